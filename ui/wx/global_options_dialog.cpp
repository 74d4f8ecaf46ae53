// Global Options on wxWidgets.
#include "ui/wx/global_options_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>

#include "ui/wx/global_list_pages.h"
#include "ui/wx/option_page_view.h"
#include "ui/wx/session_options_dialog.h"

namespace sessiondeck {

GlobalOptionsDialog::GlobalOptionsDialog(wxWindow* parent, GlobalOptionsModel& model)
    : PropertyTreeDialog(parent, model.Frame(),
                         [&model](wxWindow* pageParent, PropertyTreePage* page) {
                             return MakePage(model, pageParent, page);
                         }),
      m_options(model) {
    SetName(kGlobalOptionsWindowName);
    // A renamed firewall's sessions are changed at OK, with the progress of a walk over every
    // session.
    model.Firewalls().SetSessionWalk([this](const FirewallListModel::Renames& renames) {
        BackgroundSessionWalk walk([renames](const SessionWalkProgress& progress) {
            return SessionDatabase().RenameFirewallInSessions(renames, progress);
        });
        return ShowSessionWalk(this, "Firewall", "Changing the sessions of a renamed firewall",
                               walk);
    });
}

GlobalOptionsDialog::~GlobalOptionsDialog() {
    m_options.Firewalls().SetSessionWalk({});
}

bool GlobalOptionsDialog::DoOk() {
    if (m_options.Ok()) return true;
    if (wxWindow* list = FindWindow(kFirewallListName))
        if (auto* firewalls = dynamic_cast<FirewallPageView*>(list->GetParent()))
            firewalls->Redraw();
    return false;
}

wxWindow* GlobalOptionsDialog::MakePage(GlobalOptionsModel& options, wxWindow* parent,
                                        PropertyTreePage* page) {
    if (page->Caption() == global_pages::kFirewall)
        return new FirewallPageView(parent, options.Firewalls());
    if (page->Caption() == global_pages::kColorSchemes)
        return new ColorSchemesPageView(parent, options.ColorSchemes());
    if (page->Caption() == global_pages::kFileTypes && options.FileTypes())
        return new FileTypesPageView(parent, *options.FileTypes());
    if (page->Caption() == global_pages::kAnsiColor)
        return new AnsiColorPageView(parent, options.ColorSchemes());
    auto* optionPage = dynamic_cast<OptionPage*>(page);
    if (!optionPage || page->Caption() != global_pages::kDefaultSession) return nullptr;
    auto* view = new OptionPageView(parent, *optionPage);
    auto* edit = new wxButton(view, wxID_ANY, "&Edit Default Session...");
    edit->Bind(wxEVT_BUTTON, [&options](wxCommandEvent&) { options.EditDefaultSession(); });
    // Without Session Options in this build there is nothing the button could open.
    edit->Enable(static_cast<bool>(GlobalOptionsModel::EditDefaultSessionHook()));
    view->GetSizer()->Add(edit, 0, wxLEFT | wxTOP, view->FromDIP(4));
    return view;
}

}  // namespace sessiondeck
