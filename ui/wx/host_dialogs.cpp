// The desktop host's Quick Connect dialog and read-only session settings view.
#include "ui/wx/host_dialogs.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/create_session.h"
#include "session/connect_config.h"
#include "session/session_config.h"
#include "ui/wx/wx_prompt.h"

namespace sessiondeck {

namespace {

wxString Text(const VUnicodeString& text) {
    return ToWx(text);
}

void AddRow(wxListCtrl* list, const wxString& name, const wxString& value) {
    const long row = list->InsertItem(list->GetItemCount(), name);
    list->SetItem(row, 1, value);
}

void AddSide(wxListCtrl* list, const wxString& side, const VUnicodeString& protocol,
             ConnectConfig* config) {
    AddRow(list, side + " protocol", Text(protocol));
    if (!config) return;
    AddRow(list, side + " host", Text(config->GetHostname()));
    AddRow(list, side + " port", wxString::Format("%d", config->GetPort()));
    AddRow(list, side + " user", Text(config->GetUsername()));
    AddRow(list, side + " initial folder", Text(config->GetInitialDirectory()));
    AddRow(list, side + " firewall", Text(config->GetFirewallName()));
}

}  // namespace

int SessionDeckQuickConnectDialog(const char16_t* folderPath, ISessionConfig** session) {
    if (!session) return 2;
    *session = nullptr;
    wxDialog dialog(nullptr, wxID_ANY, "Quick Connect", wxDefaultPosition, wxDefaultSize,
                    wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(
        new wxStaticText(&dialog, wxID_ANY, "&URL or host name (e.g. sftp://user@host:22/path):"),
        0, wxALL, dialog.FromDIP(8));
    auto* entry = new wxTextCtrl(&dialog, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                 dialog.FromDIP(wxSize(320, -1)));
    entry->SetName("QuickConnectText");
    sizer->Add(entry, 0, wxEXPAND | wxLEFT | wxRIGHT, dialog.FromDIP(8));
    if (folderPath && *folderPath) {
        sizer->Add(
            new wxStaticText(&dialog, wxID_ANY, "Folder: " + ToWx(VUnicodeString(folderPath))), 0,
            wxALL, dialog.FromDIP(8));
    }
    sizer->Add(dialog.CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL,
               dialog.FromDIP(8));
    dialog.SetSizerAndFit(sizer);
    WxPrompt prompt(&dialog);
    dialog.Bind(
        wxEVT_BUTTON,
        [&](wxCommandEvent&) {
            int transferType = -1;
            VReportMessageParams report;
            const VUnicodeString text = FromWx(entry->GetValue().Strip(wxString::both));
            ISessionConfig* made = CreateSessionConfig(text.c_str(), transferType, report);
            if (!made) {
                // The dialog stays open so the user can correct the text.
                const VUnicodeString why =
                    report.GetMessageId() != 0
                        ? VUnicodeString(report.GetText())
                        : VUnicodeString(u"No session can be made from this text.");
                prompt.ShowMessage(why, u"Quick Connect", VPromptButtons::kOk,
                                   VPromptIcon::kExclamation);
                return;
            }
            *session = made;
            dialog.EndModal(wxID_OK);
        },
        wxID_OK);
    entry->SetFocus();
    return dialog.ShowModal() == wxID_OK && *session ? 1 : 2;
}

int SessionDeckSessionSettingsView(ISessionConfig* session, int isNew) {
    if (!session) return 2;
    wxDialog dialog(nullptr, wxID_ANY, "Session settings (read-only)", wxDefaultPosition,
                    wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
    auto* list = new wxListCtrl(&dialog, wxID_ANY, wxDefaultPosition,
                                dialog.FromDIP(wxSize(460, 260)), wxLC_REPORT | wxLC_SINGLE_SEL);
    list->AppendColumn("Setting", wxLIST_FORMAT_LEFT, dialog.FromDIP(160));
    list->AppendColumn("Value", wxLIST_FORMAT_LEFT, dialog.FromDIP(280));
    AddRow(list, "Name", Text(session->GetSessionName()));
    AddRow(list, "Folder", Text(session->GetSessionPath()));
    AddSide(list, "Terminal", session->GetTerminalProtocol(), session->GetTermConnectConfig());
    AddSide(list, "Transfer", session->GetTransferProtocol(), session->GetTransferConnectConfig());
    AddRow(list, "Description", Text(session->GetSessionDeckDescription()));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(list, 1, wxEXPAND | wxALL, dialog.FromDIP(8));
    // A new session made from the Default one is accepted as shown (OK) or dropped (Cancel):
    // until the options pages exist that is all a user can decide here.
    sizer->Add(dialog.CreateStdDialogButtonSizer(isNew ? wxOK | wxCANCEL : wxCLOSE), 0,
               wxEXPAND | wxALL, dialog.FromDIP(8));
    dialog.SetSizerAndFit(sizer);
    if (isNew) return dialog.ShowModal() == wxID_OK ? 1 : 2;
    dialog.SetEscapeId(wxID_CLOSE);
    dialog.Bind(
        wxEVT_BUTTON, [&](wxCommandEvent&) { dialog.EndModal(wxID_CLOSE); }, wxID_CLOSE);
    dialog.ShowModal();
    return 2;
}

}  // namespace sessiondeck
