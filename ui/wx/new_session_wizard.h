// The new-session wizard on wxWidgets: a dialog with the wizard bitmap on the left, the current
// page of a NewSessionWizardModel beside it, and Back, Next, Finish and Cancel below. The view
// draws the model's current page, hands the controls' values to it and asks it where to go.
#pragma once

#include <wx/dialog.h>

#include <vector>

#include "ui/model/new_session_wizard_model.h"
#include "ui/wx/wx_prompt.h"

class wxButton;
class wxCheckBox;
class wxChoice;
class wxPanel;
class wxTextCtrl;

namespace sessiondeck {
class OptionPageView;
}

namespace sessiondeck {

class NewSessionWizardDialog : public wxDialog {
public:
    // Control ids, as the dialog's tests find them.
    static constexpr int kProtocolChoiceId = 1212;
    static constexpr int kDoNotUseId = 3032;
    static constexpr int kNameId = 1044;
    static constexpr int kDescriptionId = 1045;
    static constexpr int kBackId = 12323;
    static constexpr int kNextId = 12324;
    static constexpr int kFinishId = 12325;

    // The model must have its pages (InitPages) and outlive the dialog.
    NewSessionWizardDialog(wxWindow* parent, NewSessionWizardModel& model);

private:
    void ShowPage();
    void TakeValues();
    void UpdateButtons();
    void OnBack();
    void OnNext();
    void OnFinish();
    void OnCharHook(wxKeyEvent& event);

    NewSessionWizardModel& m_model;
    wxPanel* m_page = nullptr;
    wxButton* m_back = nullptr;
    wxButton* m_next = nullptr;
    wxButton* m_finish = nullptr;
    wxChoice* m_choice = nullptr;
    wxCheckBox* m_doNotUse = nullptr;
    wxTextCtrl* m_name = nullptr;
    wxTextCtrl* m_description = nullptr;
    // The protocol page, drawn by the option pages' own view.
    OptionPageView* m_protocolView = nullptr;
};

// Runs the wizard for `session` (a SessionConfig) over `parent`: kFinishResult when the user
// finished, the session then holds what was entered and `useWizard` the check box's answer;
// kCancelResult otherwise.
int RunNewSessionWizard(wxWindow* parent, ISessionConfig* session, int productId, bool& useWizard);

}  // namespace sessiondeck
