// Global Options on wxWidgets: the frame over GlobalOptionsModel, with the Default Session
// page's Edit button.
#pragma once

#include "ui/model/global_options_model.h"
#include "ui/wx/property_tree_dialog.h"

namespace sessiondeck {

// The dialog's window name, by which hosts and tests find it.
inline constexpr const char* kGlobalOptionsWindowName = "GlobalOptions";

class GlobalOptionsDialog : public PropertyTreeDialog {
public:
    GlobalOptionsDialog(wxWindow* parent, GlobalOptionsModel& model);
    // The model may outlive the dialog: its firewall page no longer walks with this progress.
    ~GlobalOptionsDialog() override;
    GlobalOptionsModel& Options() { return m_options; }

protected:
    // A refused OK leaves the dialog open; the Firewall page then shows what is still pending.
    bool DoOk() override;
    void DoCancel() override { m_options.Cancel(); }

private:
    // Called while the frame opens, from the base class's constructor, before this class's
    // members exist: it may use only what it is given.
    static wxWindow* MakePage(GlobalOptionsModel& options, wxWindow* parent,
                              PropertyTreePage* page);
    GlobalOptionsModel& m_options;
};

}  // namespace sessiondeck
