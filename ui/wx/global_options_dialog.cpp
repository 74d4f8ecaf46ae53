// Global Options on wxWidgets.
#include "ui/wx/global_options_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>

#include "ui/wx/global_list_pages.h"
#include "ui/wx/option_page_view.h"

namespace sessiondeck {

GlobalOptionsDialog::GlobalOptionsDialog(wxWindow* parent, GlobalOptionsModel& model)
    : PropertyTreeDialog(parent, model.Frame(),
                         [this](wxWindow* pageParent, PropertyTreePage* page) {
                             return MakePage(pageParent, page);
                         }),
      m_options(model) {
    SetName(kGlobalOptionsWindowName);
}

bool GlobalOptionsDialog::DoOk() {
    if (m_options.Ok()) return true;
    if (m_firewallPage) m_firewallPage->Redraw();
    return false;
}

wxWindow* GlobalOptionsDialog::MakePage(wxWindow* parent, PropertyTreePage* page) {
    if (page->Caption() == global_pages::kFirewall)
        return m_firewallPage = new FirewallPageView(parent, m_options.Firewalls());
    if (page->Caption() == global_pages::kColorSchemes)
        return new ColorSchemesPageView(parent, m_options.ColorSchemes());
    if (page->Caption() == global_pages::kFileTypes && m_options.FileTypes())
        return new FileTypesPageView(parent, *m_options.FileTypes());
    if (page->Caption() == global_pages::kAnsiColor)
        return new AnsiColorPageView(parent, m_options.ColorSchemes());
    auto* optionPage = dynamic_cast<OptionPage*>(page);
    if (!optionPage || page->Caption() != global_pages::kDefaultSession) return nullptr;
    auto* view = new OptionPageView(parent, *optionPage);
    auto* edit = new wxButton(view, wxID_ANY, "&Edit Default Session...");
    edit->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { m_options.EditDefaultSession(); });
    // Without Session Options in this build there is nothing the button could open.
    edit->Enable(static_cast<bool>(GlobalOptionsModel::EditDefaultSessionHook()));
    view->GetSizer()->Add(edit, 0, wxLEFT | wxTOP, view->FromDIP(4));
    return view;
}

}  // namespace sessiondeck
