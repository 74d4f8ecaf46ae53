// Global Options: the page set for the installed applications, the pages' own rules, the
// protocol modules' global pages, and the tree state kept in the global configuration.
#include "ui/model/global_options_model.h"

#include "app/global_config.h"
#include "foundation/messages.h"
#include "profile/text_form.h"
#include "session/connect_protocol_table.h"
#include "ui/model/color_schemes_model.h"
#include "ui/model/file_types_model.h"
#include "ui/model/firewall_list_model.h"

namespace sessiondeck {

namespace {

std::u16string_view CaptionOf(const OptionPageDescription& page) {
    return page.caption ? std::u16string_view(page.caption) : std::u16string_view();
}

// The table's pages less the subtrees of applications that are not there.
OptionPageSet ShownPages(const OptionPageSet& table, const GlobalOptionsHost& host) {
    OptionPageSet shown;
    for (const OptionPageDescription& page : table.pages) {
        if (CaptionOf(page) == global_pages::kTerminal && !host.terminalInstalled) continue;
        if (CaptionOf(page) == global_pages::kFileTransfer) {
            if (!host.transferInstalled) continue;
            OptionPageDescription transfer = page;
            if (!host.fileTypeManagers)
                std::erase_if(transfer.children, [](const OptionPageDescription& child) {
                    return CaptionOf(child) == global_pages::kFileTypes;
                });
            shown.pages.push_back(std::move(transfer));
            continue;
        }
        shown.pages.push_back(page);
    }
    return shown;
}

// "Use auto session" needs a session to use.
class DefaultSessionPage : public OptionPage {
public:
    using OptionPage::OptionPage;

protected:
    bool CheckPage() override {
        int use = -1, name = -1;
        for (std::size_t i = 0; i < ControlCount(); ++i) {
            if (Control(i).kind == OptionControlKind::kCheck) use = static_cast<int>(i);
            if (Control(i).kind == OptionControlKind::kText) name = static_cast<int>(i);
        }
        if (use < 0 || name < 0 || !Value(use).checked) return true;
        if (!Value(name).text.empty()) return true;
        const char16_t* text = LookupLibraryMessage(kMsgAutoSessionMissing);
        std::u16string message = text ? text : u"";
        while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r'))
            message.pop_back();
        Refuse(name, message);
        return false;
    }
};

// Without the system's browser, the browser to start must be named.
class WebBrowserPage : public OptionPage {
public:
    using OptionPage::OptionPage;

protected:
    bool CheckPage() override {
        const int system = IndexOf(u"HTTP Use Registry Entry");
        const int browser = IndexOf(u"HTTP Browser Application");
        if (system < 0 || browser < 0 || Value(system).checked) return true;
        if (Value(browser).text.find_first_not_of(u' ') != std::u16string::npos) return true;
        Refuse(browser,
               u"Browser Application cannot be blank.\n\nPlease enter a valid browser application");
        return false;
    }
};

// Buffer sizes are the system's (-1) or within the range the transfer code handles.
class FtpPage : public OptionPage {
public:
    using OptionPage::OptionPage;

protected:
    bool CheckPage() override {
        for (const char16_t* name : {u"Receive Buffer Size", u"Send Buffer Size"}) {
            const int index = IndexOf(name);
            if (index < 0) continue;
            const auto size = textform::ParseNumber(Value(index).text, INT32_MIN, INT32_MAX);
            if (size && (*size == -1 || (*size >= kMinFtpBufferSize && *size <= kMaxFtpBufferSize)))
                continue;
            Refuse(index, u"Please enter a buffer size between " +
                              textform::Widen(std::to_string(kMinFtpBufferSize)) + u" and " +
                              textform::Widen(std::to_string(kMaxFtpBufferSize)) + u".");
            return false;
        }
        return true;
    }
};

void Flatten(const std::vector<PropertyTreePage*>& level, std::vector<PropertyTreePage*>& out) {
    for (PropertyTreePage* page : level) {
        out.push_back(page);
        Flatten(page->Children(), out);
    }
}

// Whether reopening from the stored strings would show the tree as `map` has it now: then the
// strings are left as they are, so that OK without touching the tree rewrites nothing.
bool StoredStringsMatch(const PropertyPageStateMap& map,
                        const std::vector<PropertyTreePage*>& topLevel, std::u16string_view state,
                        std::u16string_view selected) {
    PropertyPageStateMap stored;
    SeedPageStateMap(stored, topLevel, state, selected);
    std::vector<PropertyTreePage*> pages;
    Flatten(topLevel, pages);
    PropertyTreePage* storedSelected = topLevel.empty() ? nullptr : topLevel.front();
    PropertyTreePage* nowSelected = nullptr;
    for (PropertyTreePage* page : pages) {
        const auto before = stored.find(page->Caption());
        const auto now = map.find(page->Caption());
        const bool expandedBefore = before == stored.end() || before->second.expanded;
        const bool expandedNow = now == map.end() || now->second.expanded;
        if (expandedBefore != expandedNow) return false;
        if (before != stored.end() && before->second.selected) storedSelected = page;
        if (now != map.end() && now->second.selected) nowSelected = page;
    }
    return nowSelected == nullptr || nowSelected == storedSelected;
}

}  // namespace

GlobalOptionsModel::GlobalOptionsModel(GlobalConfig& config, const GlobalOptionsHost& host,
                                       IPrompt& prompt, std::u16string_view colorScheme,
                                       FileTypeManager* fileTypes)
    : m_config(config),
      m_prompt(prompt),
      m_frame(kGlobalOptionsTitle, StateMap()),
      m_firewalls(std::make_unique<FirewallListModel>(prompt, kGlobalOptionsTitle)),
      m_colorSchemes(
          std::make_unique<ColorSchemesModel>(config, prompt, kGlobalOptionsTitle, colorScheme)) {
    m_shown = ShownPages(GlobalOptionPageTable(config.IsTransferHost()), host);
    if (fileTypes && host.transferInstalled && host.fileTypeManagers)
        m_fileTypes = std::make_unique<FileTypesModel>(*fileTypes, prompt, kGlobalOptionsTitle);
    const OptionRecordResolver resolver = [this](OptionRecord record) -> VProfileData* {
        return record == OptionRecord::kGlobal ? &m_config : nullptr;
    };
    m_pages = std::make_unique<OptionPageTree>(
        m_shown, resolver, prompt,
        [&](const OptionPageDescription& page) -> std::unique_ptr<OptionPage> {
            const std::u16string_view caption = CaptionOf(page);
            if (caption == global_pages::kDefaultSession)
                return std::make_unique<DefaultSessionPage>(page, resolver, prompt);
            if (caption == global_pages::kWebBrowser)
                return std::make_unique<WebBrowserPage>(page, resolver, prompt);
            if (caption == global_pages::kFtp)
                return std::make_unique<FtpPage>(page, resolver, prompt);
            return nullptr;
        });
    for (const auto& page : m_pages->All()) page->messageCaption = kGlobalOptionsTitle;
    for (OptionPage* page : m_pages->TopLevel()) m_frame.AddPage(page);

    // The protocol modules' global pages come after the library's.
    if (GlobalPagesFunction hook = GetGlobalPagesHook()) {
        m_protocolSet =
            static_cast<const OptionPageSet*>(hook(static_cast<IPropertyTreeDialog*>(&m_frame), 1));
        if (m_protocolSet) {
            m_protocolPages = std::make_unique<OptionPageTree>(*m_protocolSet, resolver, prompt);
            for (const auto& page : m_protocolPages->All())
                page->messageCaption = kGlobalOptionsTitle;
            for (OptionPage* page : m_protocolPages->TopLevel()) m_frame.AddPage(page);
        }
    }
    for (const FoundSetting& found : CollectSettings(m_config)) {
        if (found.setting->IsReadOnly() || found.setting->IsSecret()) continue;
        if (auto text = found.setting->Text()) m_before.emplace_back(found.setting, *text);
    }
    SeedPageStateMap(StateMap(), m_frame.TopLevelPages(),
                     m_config.globalOptionsTreeState.Get().str(),
                     m_config.globalOptionsTreeSelected.Get().str());
}

GlobalOptionsModel::~GlobalOptionsModel() = default;

bool GlobalOptionsModel::Ok() {
    if (!m_frame.Ok()) return false;
    if (m_fileTypes && !m_fileTypes->Commit()) return false;
    if (!m_firewalls->Commit()) return false;
    const std::u16string storedState = m_config.globalOptionsTreeState.Get().str();
    const std::u16string storedSelected = m_config.globalOptionsTreeSelected.Get().str();
    if (!StoredStringsMatch(StateMap(), m_frame.TopLevelPages(), storedState, storedSelected)) {
        const PersistedTreeState persisted =
            PersistPageStateMap(StateMap(), m_frame.TopLevelPages(), storedState);
        m_config.globalOptionsTreeState = VUnicodeString(persisted.state);
        if (!persisted.selected.empty())
            m_config.globalOptionsTreeSelected = VUnicodeString(persisted.selected);
    }
    m_colorSchemes->Commit();
    return true;
}

void GlobalOptionsModel::Cancel() {
    m_frame.Cancel();
    if (m_fileTypes) m_fileTypes->Cancel();
    for (const auto& [setting, text] : m_before)
        if (setting->Text() != text) setting->SetText(text);
}

std::function<bool()>& GlobalOptionsModel::EditDefaultSessionHook() {
    static std::function<bool()> hook;
    return hook;
}

bool GlobalOptionsModel::EditDefaultSession() {
    auto& hook = EditDefaultSessionHook();
    return hook ? hook() : false;
}

PropertyPageStateMap& GlobalOptionsModel::StateMap() {
    static PropertyPageStateMap map;
    return map;
}

void GlobalOptionsModel::DeleteStateMap() {
    sessiondeck::DeleteStateMap(StateMap());
}

}  // namespace sessiondeck
