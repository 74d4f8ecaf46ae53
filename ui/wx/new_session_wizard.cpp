// The new-session wizard's dialog.
#include "ui/wx/new_session_wizard.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcmemory.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "session/setting_lookup.h"
#include "ui/wx/option_page_view.h"
#include "ui/wx/wx_prompt.h"

namespace sessiondeck {

namespace {

// The wizard bitmap: a band of colour with the new-document art on it, drawn rather than shipped
// so that it follows the theme's art and the screen's scale.
wxBitmap WizardBitmap(wxWindow* window, int height) {
    const wxSize size(window->FromDIP(110), height);
    wxBitmap bitmap(size);
    wxMemoryDC dc(bitmap);
    dc.GradientFillLinear(wxRect(size), wxColour(32, 74, 135), wxColour(114, 159, 207), wxSOUTH);
    const wxSize art = window->FromDIP(wxSize(64, 64));
    dc.DrawBitmap(wxArtProvider::GetBitmap(wxART_NEW, wxART_OTHER, art), (size.x - art.x) / 2,
                  window->FromDIP(24), true);
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

wxStaticText* Text(wxWindow* parent, wxSizer* sizer, std::u16string_view text, int border) {
    auto* label = new wxStaticText(parent, wxID_ANY, Wx(text));
    sizer->Add(label, 0, wxBOTTOM, border);
    return label;
}

}  // namespace

NewSessionWizardDialog::NewSessionWizardDialog(wxWindow* parent, NewSessionWizardModel& model)
    : wxDialog(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE),
      m_model(model) {
    SetName("NewSessionWizard");
    const int gap = FromDIP(8);
    // A page of 315 by 145 dialog units, bitmap included.
    const wxSize pageSize = ConvertDialogToPixels(wxSize(315, 145));

    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* body = new wxBoxSizer(wxHORIZONTAL);
    // The band runs the page's full height, its borders included, down to the line above the
    // buttons.
    body->Add(new wxStaticBitmap(this, wxID_ANY, WizardBitmap(this, pageSize.y + 2 * gap)), 0);
    m_page = new wxPanel(this, wxID_ANY);
    m_page->SetMinSize(wxSize(pageSize.x - FromDIP(110), pageSize.y));
    body->Add(m_page, 1, wxEXPAND | wxALL, gap);
    top->Add(body, 1, wxEXPAND);
    top->Add(new wxStaticLine(this), 0, wxEXPAND);

    // Help is not offered: Cancel stands where it would be, Finish where Cancel would be.
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    m_back = new wxButton(this, kBackId, "< &Back");
    m_next = new wxButton(this, kNextId, "&Next >");
    m_finish = new wxButton(this, kFinishId, "Finish");
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    buttons->Add(m_back, 0, wxRIGHT, 0);
    buttons->Add(m_next, 0, wxRIGHT, gap);
    buttons->Add(m_finish, 0, wxRIGHT, gap);
    buttons->Add(cancel, 0);
    top->Add(buttons, 0, wxEXPAND | wxALL, gap);
    SetSizer(top);

    m_back->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnBack(); });
    m_next->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnNext(); });
    m_finish->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnFinish(); });
    cancel->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CANCEL); });
    Bind(wxEVT_CHAR_HOOK, &NewSessionWizardDialog::OnCharHook, this);
    ShowPage();
    Fit();
    CentreOnParent();
}

void NewSessionWizardDialog::ShowPage() {
    m_page->DestroyChildren();
    m_choice = nullptr;
    m_doNotUse = nullptr;
    m_name = nullptr;
    m_description = nullptr;
    m_protocolView = nullptr;
    const int gap = FromDIP(8);
    const int wrap = m_page->GetMinSize().x;
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    using M = NewSessionWizardModel;
    const WizardPage& page = m_model.Current();
    wxWindow* first = nullptr;

    auto addChoice = [&](std::u16string_view label) {
        Text(m_page, sizer, label, gap / 2);
        m_choice = new wxChoice(m_page, kProtocolChoiceId);
        for (const std::u16string& name : m_model.Choices()) m_choice->Append(Wx(name));
        if (m_model.Selection() >= 0) m_choice->SetSelection(m_model.Selection());
        sizer->Add(m_choice, 0, wxEXPAND | wxBOTTOM, gap);
        first = m_choice;
    };
    auto addDoNotUse = [&] {
        sizer->AddStretchSpacer();
        m_doNotUse = new wxCheckBox(m_page, kDoNotUseId, Wx(M::kDoNotUseLabel));
        m_doNotUse->SetValue(m_model.DoNotUseWizard());
        sizer->Add(m_doNotUse, 0);
    };

    switch (page.kind) {
        case WizardPageKind::kProtocolSingle:
            Text(m_page, sizer, M::kWelcomeText, gap)->Wrap(wrap);
            Text(m_page, sizer, M::kQuestionText, gap);
            addChoice(M::kProtocolLabel);
            addDoNotUse();
            break;
        case WizardPageKind::kTerminalProtocol:
            Text(m_page, sizer, M::kWelcomeText, gap)->Wrap(wrap);
            Text(m_page, sizer, M::kQuestionText, gap);
            addChoice(M::kTerminalLabel);
            Text(m_page, sizer, M::kTerminalNoneHint, gap)->Wrap(wrap);
            addDoNotUse();
            break;
        case WizardPageKind::kTransferProtocol:
            Text(m_page, sizer, M::kTransferNoneHint, gap)->Wrap(wrap);
            addChoice(M::kTransferLabel);
            break;
        case WizardPageKind::kProtocol: {
            if (page.description->caption)
                Text(m_page, sizer, page.description->caption, gap)->Wrap(wrap);
            m_protocolView = new OptionPageView(m_page, *m_model.ProtocolPage());
            m_protocolView->LoadFromPage();
            sizer->Add(m_protocolView, 0, wxEXPAND);
            for (std::size_t i = 0; !first && i < m_model.ProtocolPage()->ControlCount(); ++i)
                first = m_protocolView->ControlWindow(i);
            break;
        }
        case WizardPageKind::kFinish:
            Text(m_page, sizer, M::kFinishText, gap)->Wrap(wrap);
            Text(m_page, sizer, M::kNameQuestionText, gap)->Wrap(wrap);
            Text(m_page, sizer, M::kNameLabel, gap / 2);
            m_name = new wxTextCtrl(m_page, kNameId, Wx(m_model.name));
            sizer->Add(m_name, 0, wxEXPAND | wxBOTTOM, gap);
            Text(m_page, sizer, M::kDescriptionLabel, gap / 2);
            m_description = new wxTextCtrl(m_page, kDescriptionId, Wx(m_model.description),
                                           wxDefaultPosition, wxDefaultSize, wxTE_MULTILINE);
            sizer->Add(m_description, 1, wxEXPAND);
            first = m_name;
            break;
    }
    m_page->SetSizer(sizer);
    m_page->Layout();
    UpdateButtons();
    Layout();
    if (first) first->SetFocus();
    if (m_name) m_name->SelectAll();
}

void NewSessionWizardDialog::TakeValues() {
    if (m_choice && m_choice->GetSelection() != wxNOT_FOUND)
        m_model.Select(m_choice->GetSelection());
    if (m_doNotUse) m_model.SetDoNotUseWizard(m_doNotUse->GetValue());
    if (m_protocolView) m_protocolView->StoreToPage();
    if (m_name) m_model.name = FromWx(m_name->GetValue()).str();
    if (m_description) m_model.description = FromWx(m_description->GetValue()).str();
}

void NewSessionWizardDialog::UpdateButtons() {
    const NewSessionWizardModel::ButtonMasks masks = m_model.Buttons();
    const std::pair<wxButton*, int> buttons[] = {{m_back, NewSessionWizardModel::kBackButton},
                                                 {m_next, NewSessionWizardModel::kNextButton},
                                                 {m_finish, NewSessionWizardModel::kFinishButton}};
    for (const auto& [button, bit] : buttons) {
        button->Show((masks.show & bit) != 0);
        button->Enable((masks.enable & bit) != 0);
    }
    wxButton* preferred = (masks.enable & NewSessionWizardModel::kFinishButton) ? m_finish : m_next;
    preferred->SetDefault();
}

void NewSessionWizardDialog::OnBack() {
    TakeValues();
    if (m_model.Back()) ShowPage();
}

void NewSessionWizardDialog::OnNext() {
    TakeValues();
    if (m_model.Next())
        ShowPage();
    else if (m_protocolView)
        m_protocolView->FocusRefused();
}

void NewSessionWizardDialog::OnFinish() {
    TakeValues();
    if (m_model.Finish()) {
        EndModal(wxID_OK);
    } else if (m_name) {
        m_name->SetFocus();
        m_name->SelectAll();
    }
}

void NewSessionWizardDialog::OnCharHook(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (key == WXK_ESCAPE) {
        EndModal(wxID_CANCEL);
        return;
    }
    const bool enter = key == WXK_RETURN || key == WXK_NUMPAD_ENTER;
    // Enter in the description starts a new line; a focused button presses itself.
    wxWindow* focus = FindFocus();
    if (!enter || event.HasAnyModifiers() || (focus && focus == m_description) ||
        dynamic_cast<wxButton*>(focus)) {
        event.Skip();
        return;
    }
    const NewSessionWizardModel::ButtonMasks masks = m_model.Buttons();
    if (masks.enable & NewSessionWizardModel::kFinishButton)
        OnFinish();
    else if (masks.enable & NewSessionWizardModel::kNextButton)
        OnNext();
}

int RunNewSessionWizard(wxWindow* parent, ISessionConfig* session, int productId, bool& useWizard) {
    auto* config = dynamic_cast<SessionConfig*>(session);
    if (!config) return NewSessionWizardModel::kCancelResult;
    WxPrompt prompt(parent);
    NewSessionWizardModel model(*config, productId, WizardApplications::FromLibrary(), prompt,
                                GetConnectProtocolTable());
    model.InitPages();
    NewSessionWizardDialog dialog(parent, model);
    prompt.SetParent(&dialog);
    if (dialog.ShowModal() != wxID_OK) return NewSessionWizardModel::kCancelResult;
    useWizard = model.UseWizard();
    return NewSessionWizardModel::kFinishResult;
}

}  // namespace sessiondeck
