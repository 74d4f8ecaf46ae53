// The new-session wizard as a model: which pages it has for the applications that are installed,
// the protocol lists, where Next and Back lead, the buttons of each page, the protocol modules'
// pages bound to the session's connections, and the finish page's name rules. A view only draws
// the current page and forwards the buttons; the wizard edits the session it is given and the
// caller stores it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/prompt.h"
#include "session/connect_protocol_table.h"
#include "session/option_page.h"
#include "session/session_config.h"
#include "ui/model/option_page_model.h"

namespace sessiondeck {

// Which applications of the family are installed, as the wizard asks.
struct WizardApplications {
    bool terminalInstalled = false;  // either terminal application
    bool transferInstalled = false;  // the transfer application
    bool canLaunchTerminal = false;  // the newer terminal application can be started

    static WizardApplications FromLibrary();
};

enum class WizardPageKind {
    kProtocolSingle,    // one protocol list, for a host whose family has one side installed
    kTerminalProtocol,  // the terminal side's list, "None" for a transfer-only session
    kTransferProtocol,  // the transfer side's list, "None" for a terminal-only session
    kProtocol,          // a protocol module's page
    kFinish,            // name and description
};

struct WizardPage {
    WizardPageKind kind = WizardPageKind::kFinish;
    long id = 0;
    // A protocol page: the row that supplied it, the name it is recorded under, its controls.
    int row = -1;
    std::u16string protocol = {};
    const OptionPageDescription* description = nullptr;
};

class NewSessionWizardModel {
public:
    // Page ids.
    static constexpr long kProtocolSinglePage = 11463;
    static constexpr long kTerminalPage = 11464;
    static constexpr long kBitmap = 11465;
    static constexpr long kTransferPage = 11466;
    static constexpr long kFinishPage = 11467;
    // Button bits of ButtonMasks, and what DoModal answers.
    static constexpr int kBackButton = 1;
    static constexpr int kNextButton = 2;
    static constexpr int kFinishButton = 4;
    static constexpr int kFinishResult = 12325;
    static constexpr int kCancelResult = 2;

    // The page texts.
    static constexpr const char16_t* kWelcomeText =
        u"This wizard will help you create a new session for connecting to a remote server.";
    static constexpr const char16_t* kQuestionText =
        u"What type of connection do you want to establish?";
    static constexpr const char16_t* kProtocolLabel = u"P&rotocol:";
    static constexpr const char16_t* kTerminalLabel = u"Vetralon\u00AE protocol:";
    static constexpr const char16_t* kTransferLabel = u"Ferrivo\u00AE protocol:";
    static constexpr const char16_t* kTerminalNoneHint =
        u"Choose \"None\" to create a session for file transfer only.";
    static constexpr const char16_t* kTransferNoneHint =
        u"Choose \"None\" to create a session for the terminal only.";
    static constexpr const char16_t* kDoNotUseLabel =
        u"Do not use this &wizard when creating sessions";
    static constexpr const char16_t* kFinishText =
        u"The wizard is now ready to create the new session for you.";
    static constexpr const char16_t* kNameQuestionText =
        u"What name do you want to use to uniquely identify the new session?";
    static constexpr const char16_t* kNameLabel = u"Session &name:";
    static constexpr const char16_t* kDescriptionLabel = u"&Description:";

    // `session` is edited in place; `productId` is the host's (1, 3 or 6); questions and
    // refusals go through `prompt`.
    NewSessionWizardModel(SessionConfig& session, int productId, WizardApplications applications,
                          IPrompt& prompt, const ConnectProtocolTable& table);
    NewSessionWizardModel(const NewSessionWizardModel&) = delete;
    NewSessionWizardModel& operator=(const NewSessionWizardModel&) = delete;

    // Builds the pages and shows the first one.
    void InitPages();
    const std::vector<WizardPage>& Pages() const { return m_pages; }
    const WizardPage* Page(long id) const;
    long CurrentId() const { return m_current; }
    const WizardPage& Current() const { return *Page(m_current); }
    // The product of the other side's list; 0 when only one side's list is shown.
    int SecondProduct() const { return m_secondProduct; }

    // The protocol list of the current page (empty on other pages) and its selection.
    const std::vector<std::u16string>& Choices() const { return m_choices; }
    int Selection() const { return m_selection; }
    void Select(int index);
    bool SelectName(std::u16string_view name);

    // The "do not use this wizard" check box of the first page.
    bool DoNotUseWizard() const { return m_doNotUse; }
    void SetDoNotUseWizard(bool checked) { m_doNotUse = checked; }
    bool UseWizard() const { return !m_doNotUse; }

    // The current protocol page, bound to the session's connections and loaded from them; null
    // on the other pages. Next checks it against the settings' kinds and ranges and writes it.
    OptionPage* ProtocolPage() { return m_protocolPage.get(); }
    const OptionPage* ProtocolPage() const { return m_protocolPage.get(); }

    // The finish page's two fields.
    std::u16string name;
    std::u16string description;

    // Takes the current page's values (a page that refuses them stays, having said why through
    // the prompt) and shows the next page; false when it stayed.
    bool Next();
    // Shows the page that moved forward to this one; false on the first page.
    bool Back();
    // The finish page: checks the name, and puts name and description into the session. False
    // when it refused (and said why).
    bool Finish();

    struct ButtonMasks {
        int show = 0;
        int enable = 0;
    };
    // Before the finish page Back and Next show and Next is enabled, Back from the second page
    // on; the finish page shows Back and Finish, both enabled.
    ButtonMasks Buttons() const;

    long GetNextID() const;
    long GetFinishPage() const { return kFinishPage; }
    // The page id recorded for a protocol name (without case); 0 when no module gave a page.
    long GetNextProtocolResourceID(std::u16string_view protocolName) const;
    void SetPreviousID(long id) { m_previousId = id; }
    long GetPreviousID() const { return m_previousId; }
    bool IsVetraProtocolNone() const { return m_terminalNone; }
    void IsVetraProtocolNone(bool none) { m_terminalNone = none; }
    // Asks the row's page function for its page and records its id under the row's name.
    void AddWizardPage(int row);

    // The finish page's first name: the host entered on the way (the terminal side's, else the
    // transfer side's), or the session's own name when there is none, made unique in the
    // session's folder as "NAME (N)".
    std::u16string DefaultName() const;

private:
    void Show(long id);
    void FillChoices();
    // The rows' names of `product` in table order, "None" left out when `withNone` is false.
    std::vector<std::u16string> RowNames(int product, bool withNone) const;
    std::u16string Chosen() const;
    // The record a protocol page's control lives in; null when the side has no connection.
    VProfileData* RecordOf(OptionRecord record) const;
    bool Refuse(const std::u16string& text, VPromptIcon icon = VPromptIcon::kExclamation);
    // Sets the side's protocol of a list page's choice.
    void ApplyChoice(WizardPageKind kind, const std::u16string& choice);
    long ProtocolPageAfter(const std::u16string& choice) const;

    SessionConfig& m_session;
    int m_product;
    WizardApplications m_applications;
    IPrompt& m_prompt;
    const ConnectProtocolTable& m_table;

    std::vector<WizardPage> m_pages;
    // Protocol name (folded) -> page id.
    std::map<std::u16string, long> m_protocolPageIds;
    int m_secondProduct = 0;
    long m_current = 0;
    long m_previousId = 0;
    std::vector<long> m_history;
    bool m_terminalNone = false;
    bool m_doNotUse = false;
    std::vector<std::u16string> m_choices;
    int m_selection = -1;
    std::unique_ptr<OptionPage> m_protocolPage;
    // The name the finish page last offered: a name still equal to it was not typed by the user.
    std::u16string m_offeredName;
    bool m_descriptionFilled = false;
};

}  // namespace sessiondeck
