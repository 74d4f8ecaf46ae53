// The protocol modules' wizard pages, made from their descriptions.
#include "plugins/common/wizard_pages.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

using namespace sessiondeck;

namespace plugin {

namespace {

// The reference protocols' page ids, one per protocol name; the wizard's own pages use
// 11463 to 11467.
struct KnownPage {
    const char16_t* protocolName;
    int pageId;
};
constexpr KnownPage kKnownPages[] = {
    {u"SSH2", 11480},
    {u"SSH1", 11481},
    {u"Telnet", 11482},
    {u"Telnet/SSL", 11483},
    {u"RLogin", 11484},
    {u"Serial", 11485},
    {u"TAPI", 11486},
    {u"SFTP", 11487},
    {u"FTP", 11488},
    {u"FTP/SSL (implicit)", 11489},
    {u"FTP/SSL (explicit)", 11490},
};

// What the "host" of a protocol is called on its page, and the options that belong beside it:
// a serial line needs its speed, a modem the codes in front of the number.
struct HostKind {
    const char16_t* hostValueName;
    const char16_t* label;
    struct Extra {
        const char16_t* option = nullptr;
        const char16_t* label = nullptr;
    };
    Extra extras[2] = {};
};
const HostKind kHostKinds[] = {
    {u"Hostname", u"&Host name:", {}},
    {u"Com Port", u"&Device:", {{u"Baud Rate", u"&Speed (baud):"}}},
    {u"Phone Number",
     u"&Phone number:",
     {{u"Country Code", u"&Country code:"}, {u"Area Code", u"&Area code:"}}},
};

// A page with the texts its controls point at.
struct BuiltPage {
    std::u16string caption;
    int pageId = 0;
    OptionPageDescription page;
};

struct PageState {
    std::mutex lock;
    std::map<const ProtocolDescription*, std::unique_ptr<BuiltPage>> pages;
    std::map<const ProtocolDescription*, WizardPageFunction> functions;
};
PageState& State() {
    static PageState state;
    return state;
}

const ProtocolOption* FindOption(const ProtocolDescription& description, std::u16string_view name) {
    for (const ProtocolOption& option : description.options) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

std::unique_ptr<BuiltPage> BuildPage(const ProtocolDescription& description) {
    auto built = std::make_unique<BuiltPage>();
    const std::u16string name = description.protocolName ? description.protocolName : u"";
    built->caption = u"Enter the details of the " + name + u" connection.";
    built->pageId = WizardPageId(name);
    const OptionRecord record = description.transferSide ? OptionRecord::kTransferConnection
                                                         : OptionRecord::kTerminalConnection;
    auto add = [&](OptionControlKind kind, const char16_t* setting, const char16_t* label) {
        built->page.controls.push_back(
            {.kind = kind, .record = record, .setting = setting, .label = label});
    };
    const HostKind* host = nullptr;
    for (const HostKind& kind : kHostKinds) {
        if (description.hostValueName && std::u16string_view(kind.hostValueName) ==
                                             std::u16string_view(description.hostValueName))
            host = &kind;
    }
    if (description.hostValueName)
        add(OptionControlKind::kText, description.hostValueName, host ? host->label : nullptr);
    if (description.portValueName)
        add(OptionControlKind::kNumber, description.portValueName, u"P&ort:");
    // A user name belongs to a login over the network; a line or a modem has none.
    if (description.portValueName) add(OptionControlKind::kText, u"Username", u"&Username:");
    if (host) {
        for (const HostKind::Extra& extra : host->extras) {
            // The module's own kind decides the control: an area code is text, since a
            // number field would drop its leading zero.
            const ProtocolOption* option =
                extra.option ? FindOption(description, extra.option) : nullptr;
            if (option)
                add(option->isText ? OptionControlKind::kText : OptionControlKind::kNumber,
                    extra.option, extra.label);
        }
    }
    built->page.caption = built->caption.c_str();
    built->page.pageId = built->pageId;
    return built;
}

}  // namespace

int WizardPageId(std::u16string_view protocolName) {
    for (const KnownPage& known : kKnownPages) {
        if (protocolName == known.protocolName) return known.pageId;
    }
    // Another module's protocol: a stable id from its name, above the known ones.
    unsigned hash = 2166136261u;
    for (char16_t c : protocolName) hash = (hash ^ c) * 16777619u;
    return 11600 + static_cast<int>(hash % 400);
}

const OptionPageDescription* WizardPageFor(const ProtocolDescription& description, int* pageId) {
    PageState& state = State();
    std::lock_guard guard(state.lock);
    auto& slot = state.pages[&description];
    if (!slot) slot = BuildPage(description);
    if (pageId) *pageId = slot->pageId;
    return &slot->page;
}

bool RememberWizardPage(const ProtocolDescription* description, WizardPageFunction function) {
    PageState& state = State();
    std::lock_guard guard(state.lock);
    state.functions[description] = function;
    return true;
}

WizardPageFunction RememberedWizardPage(const ProtocolDescription* description) {
    PageState& state = State();
    std::lock_guard guard(state.lock);
    auto found = state.functions.find(description);
    return found == state.functions.end() ? nullptr : found->second;
}

}  // namespace plugin
