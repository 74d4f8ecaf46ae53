// Session Options' window: the frame, the Connection page's own controls, the progress of an
// apply-to-all.
#include "ui/wx/session_options_dialog.h"

#include <memory>

#include <wx/app.h>
#include <wx/choice.h>
#include <wx/progdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "app/global_config.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "ui/model/global_options_model.h"
#include "ui/model/mapped_keys_model.h"
#include "ui/model/property_tree_model.h"
#include "ui/model/session_options_model.h"
#include "ui/wx/mapped_keys_page.h"
#include "ui/wx/option_page_view.h"
#include "ui/wx/property_tree_dialog.h"
#include "ui/wx/wx_prompt.h"

namespace sessiondeck {

namespace {

std::u16string FromWx(const wxString& text) {
    return VUnicodeString::FromUtf8(text.utf8_string()).str();
}

// The Connection page: name, the protocol choice (two in the multiple form) and the bound
// controls below. A protocol choice goes to the model at once, which shows the pages it brings.
class ConnectPageWindow : public wxPanel, public IPropertyPageWindow {
public:
    ConnectPageWindow(wxWindow* parent, SessionConnectPage& page, SessionOptionsModel& model)
        : wxPanel(parent), m_page(page), m_model(model) {
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        auto* grid = new wxFlexGridSizer(2, FromDIP(6), FromDIP(8));
        grid->AddGrowableCol(1);
        grid->Add(new wxStaticText(this, wxID_ANY, "&Name:"), 0, wxALIGN_CENTER_VERTICAL);
        m_name = new wxTextCtrl(this, wxID_ANY);
        grid->Add(m_name, 1, wxEXPAND);
        m_terminalNames = page.TerminalChoices();
        m_transferNames = page.TransferChoices();
        if (!m_terminalNames.empty())
            m_terminal = AddChoice(grid, page.Multiple() ? "&Terminal protocol:" : "&Protocol:",
                                   m_terminalNames, true);
        if (!m_transferNames.empty())
            m_transfer = AddChoice(
                grid, page.Multiple() ? "File transfer p&rotocol:" : "&Protocol:", m_transferNames,
                false);
        sizer->Add(grid, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, FromDIP(4));
        m_bound = new OptionPageView(this, page);
        sizer->Add(m_bound, 1, wxEXPAND);
        SetSizer(sizer);
        AlignLabelColumns(grid);
        if (page.readOnly) {
            m_name->SetEditable(false);
            if (m_terminal) m_terminal->Disable();
            if (m_transfer) m_transfer->Disable();
        }
    }

    wxTextCtrl* NameControl() const { return m_name; }

    void LoadFromPage() override {
        m_name->ChangeValue(Wx(m_page.Name()));
        Select(m_terminal, m_terminalNames, m_model.Session().GetTerminalProtocol().str());
        Select(m_transfer, m_transferNames, m_model.Session().GetTransferProtocol().str());
        m_bound->LoadFromPage();
    }
    void StoreToPage() override {
        m_page.SetName(FromWx(m_name->GetValue()));
        m_bound->StoreToPage();
    }
    void FocusRefused() override {
        if (m_page.FocusControl() >= 0)
            m_bound->FocusRefused();
        else
            m_name->SetFocus();
    }

private:
    // The name and protocol rows and the bound rows below are two grids; one width for both
    // label columns lines their fields up as if they were one.
    void AlignLabelColumns(wxFlexGridSizer* own) {
        std::vector<wxWindow*> labels;
        auto collect = [&labels](wxSizer* grid) {
            const wxSizerItemList& items = grid->GetChildren();
            size_t index = 0;
            for (wxSizerItem* item : items) {
                if (index++ % 2 != 0) continue;
                if (auto* label = dynamic_cast<wxStaticText*>(item->GetWindow()))
                    labels.push_back(label);
            }
        };
        collect(own);
        for (wxWindow* child : m_bound->GetChildren()) {
            wxSizer* grid = child->GetContainingSizer();
            if (dynamic_cast<wxFlexGridSizer*>(grid)) {
                collect(grid);
                break;
            }
        }
        int width = 0;
        for (wxWindow* label : labels) width = std::max(width, label->GetBestSize().x);
        for (wxWindow* label : labels) label->SetMinSize(wxSize(width, -1));
    }

    wxChoice* AddChoice(wxFlexGridSizer* grid, const wxString& label,
                        const std::vector<std::u16string>& names, bool terminal) {
        grid->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        auto* choice = new wxChoice(this, wxID_ANY);
        for (const auto& name : names) choice->Append(Wx(name));
        grid->Add(choice, 1, wxEXPAND);
        choice->Bind(wxEVT_CHOICE, [this, choice, names, terminal](wxCommandEvent&) {
            const int index = choice->GetSelection();
            if (index < 0) return;
            if (terminal)
                m_page.ChooseTerminalProtocol(names[static_cast<size_t>(index)]);
            else
                m_page.ChooseTransferProtocol(names[static_cast<size_t>(index)]);
        });
        return choice;
    }
    static void Select(wxChoice* choice, const std::vector<std::u16string>& names,
                       std::u16string_view current) {
        if (!choice) return;
        for (size_t i = 0; i < names.size(); ++i)
            if (EqualsNoCase(names[i], current)) choice->SetSelection(static_cast<int>(i));
    }

    SessionConnectPage& m_page;
    SessionOptionsModel& m_model;
    wxTextCtrl* m_name = nullptr;
    wxChoice* m_terminal = nullptr;
    wxChoice* m_transfer = nullptr;
    std::vector<std::u16string> m_terminalNames;
    std::vector<std::u16string> m_transferNames;
    OptionPageView* m_bound = nullptr;
};

// Global Options' "Default Session" page edits the Default session through this hook; it is
// filled in when the library loads, so the page's Edit button works in every host.
const bool kDefaultSessionHookInstalled = [] {
    GlobalOptionsModel::EditDefaultSessionHook() = [] {
        const DefaultSessionEdit edit =
            RunDefaultSessionEdit(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
        return edit.dialogResult == 1 && edit.saved;
    };
    return true;
}();

}  // namespace

int RunSessionOptionsDialog(wxWindow* parent, ISessionConfig* session, int mode) {
    if (!session) return 2;
    GlobalConfig* global = nullptr;
    GetGlobalConfig(global);
    if (!global) return 2;
    WxPrompt prompt(parent);
    PropertyTreeModel frame(SessionOptionsModel::CaptionFor(*session, mode).str(),
                            SessionOptionsModel::PageStateMap());
    SessionOptionsModel model(frame, prompt, *global, *session, SessionOptionsHost::FromLibrary(),
                              mode, global->maxColumns.Get());
    for (PropertyTreePage* page : frame.TopLevelPages())
        if (auto* option = dynamic_cast<OptionPage*>(page))
            option->messageCaption = model.Caption();
    // The key list edits a copy of the session's key map, which only OK hands to the session.
    std::unique_ptr<MappedKeysModel> keys;
    if (auto* concrete = dynamic_cast<SessionConfig*>(session))
        keys = std::make_unique<MappedKeysModel>(concrete->terminal, prompt, model.Caption().str(),
                                                 mode == 2);
    PropertyTreeDialog dialog(parent, frame, [&](wxWindow* area, PropertyTreePage* page) {
        if (page == &model.ConnectPage())
            return static_cast<wxWindow*>(new ConnectPageWindow(area, model.ConnectPage(), model));
        auto* option = static_cast<OptionPage*>(page);
        if (keys && page == model.Page(SessionPageId::kMappedKeys))
            return static_cast<wxWindow*>(new MappedKeysPageView(area, *option, *keys));
        return static_cast<wxWindow*>(new OptionPageView(area, *option));
    });
    prompt.SetParent(&dialog);
    model.Opened();
    if (mode == 2) dialog.CallAfter([&model] { model.ReadOnlyPrompt(); });
    const int result = dialog.ShowModal() == wxID_OK ? 1 : 2;
    if (result == 1) {
        model.PersistTreeState();
        model.ApplySharedPages();
        if (keys) keys->Apply();
    }
    // The tree strings and a "do not show again" answer are the global record's; only what
    // changed is written.
    SaveGlobalConfig(false);
    if (result == 1 && mode == 0) {
        const std::u16string name = model.ChosenName();
        if (!name.empty() && name != session->GetSessionName().str())
            session->SetSessionName(VUnicodeString(name));
    }
    return result;
}

GlobalChangeTally ShowSessionWalk(wxWindow* parent, const wxString& caption, const wxString& doing,
                                  BackgroundSessionWalk& walk) {
    wxProgressDialog progress(caption, "Counting the sessions...", 100, parent,
                              wxPD_APP_MODAL | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME);
    // The walk runs on its own thread; this loop only draws its count and keeps the events of
    // the window flowing.
    while (!walk.Finished()) {
        const int total = walk.Total();
        const int done = walk.Done();
        const int percent = total > 0 ? std::min(99, done * 100 / total) : 0;
        progress.Update(percent, total > 0
                                     ? wxString::Format("%s: %d of %d done", doing, done, total)
                                     : wxString("Counting the sessions..."));
        wxMilliSleep(40);
    }
    const GlobalChangeTally tally = walk.Wait();
    progress.Update(100);
    return tally;
}

DefaultSessionEdit RunDefaultSessionEdit(wxWindow* parent) {
    WxPrompt prompt(parent);
    // Yes changes every session for good; Enter must not do it.
    prompt.SetNoDefault(true);
    return EditDefaultSession(
        prompt, u"Global Options",
        [parent](ISessionConfig& session) { return RunSessionOptionsDialog(parent, &session, 0); },
        [parent](ISessionConfig* delta) {
            DefaultSessionApply apply(delta);
            return ShowSessionWalk(parent, "Default Session",
                                   "Applying the changes to every session", apply);
        });
}

int RunStoredSessionEdit(const VUnicodeString& path, VUnicodeString& error,
                         const std::function<bool()>& ensureToolkit) {
    const SessionDatabase database;
    auto refused = [&](const char16_t* what) {
        VReportMessageParams report = database.GetReport();
        error = VUnicodeString(what) + path;
        if (report.GetMessageId() != 0) error += VUnicodeString(u": ") + report.GetText();
        return 0;
    };
    if (path.IsEmpty() || !SessionDatabase::Exists(path) || database.IsFolder(path)) {
        error = VUnicodeString(u"no session '") + path + u"'";
        return 0;
    }
    VUnknownPointer<ISessionConfig> session =
        VUnknownPointer<ISessionConfig>::Adopt(database.Lookup(path));
    if (!session) return refused(u"cannot load the session ");
    if (!ensureToolkit()) return -1;
    const VUnicodeString oldName = session->GetSessionName();
    const int result = RunSessionOptionsDialog(nullptr, session.Get(), 0);
    if (result != 1) return 2;
    if (!database.Save(session.Get(), session->IsDefaultSession()))
        return refused(u"the session could not be saved: ");
    const VUnicodeString newName = session->GetSessionName();
    if (newName != oldName && !database.Rename(SessionDatabase::ParentPath(path), oldName, newName))
        return refused(u"the session was saved but not renamed: ");
    return 1;
}

}  // namespace sessiondeck
