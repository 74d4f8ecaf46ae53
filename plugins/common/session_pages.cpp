// Session Options pages of the reference protocol modules, built from their descriptions.
#include "plugins/common/session_pages.h"

#include <map>
#include <memory>
#include <mutex>

namespace plugin {

namespace {

OptionPageSet Build(const ProtocolDescription& description) {
    const OptionRecord record = description.transferSide ? OptionRecord::kTransferConnection
                                                         : OptionRecord::kTerminalConnection;
    OptionPageDescription page;
    // "SSH2\nSSH2": the protocol's name labels the node and the caption bar alike.
    static std::map<const ProtocolDescription*, std::u16string> captions;
    std::u16string& caption = captions[&description];
    caption = std::u16string(description.protocolName) + u"\n" + description.protocolName;
    page.caption = caption.c_str();
    const bool hostIsName = std::u16string_view(description.hostValueName) == u"Hostname";
    page.controls.push_back({.kind = OptionControlKind::kText,
                             .record = record,
                             .setting = description.hostValueName,
                             .label = hostIsName ? u"&Hostname:" : description.hostValueName});
    if (description.portValueName) {
        page.controls.push_back({.kind = OptionControlKind::kNumber,
                                 .record = record,
                                 .setting = description.portValueName,
                                 .label = u"&Port:"});
    }
    page.controls.push_back({.kind = OptionControlKind::kText,
                             .record = record,
                             .setting = u"Username",
                             .label = u"&Username:"});
    page.controls.push_back(
        {.kind = OptionControlKind::kSecret,
         .record = record,
         .setting = description.transferSide ? kTransferPasswordName : kPasswordName,
         .label = u"Pass&word:"});
    page.controls.push_back({.kind = OptionControlKind::kText,
                             .record = record,
                             .setting = u"Firewall Name",
                             .label = u"&Firewall:"});
    if (description.transferSide) {
        page.controls.push_back({.kind = OptionControlKind::kText,
                                 .record = record,
                                 .setting = u"Initial Directory",
                                 .label = u"&Initial remote directory:"});
        page.controls.push_back({.kind = OptionControlKind::kCheck,
                                 .record = record,
                                 .setting = u"Anonymous Login",
                                 .label = u"&Anonymous login"});
    }
    for (const ProtocolOption& option : description.options) {
        page.controls.push_back(
            {.kind = option.isText ? OptionControlKind::kText : OptionControlKind::kNumber,
             .record = record,
             .setting = option.name,
             .label = option.name});
    }
    return OptionPageSet{{std::move(page)}};
}

}  // namespace

const OptionPageSet& SessionPages(const ProtocolDescription& description) {
    static std::mutex lock;
    static std::map<const ProtocolDescription*, std::unique_ptr<OptionPageSet>> built;
    std::lock_guard guard(lock);
    auto& slot = built[&description];
    if (!slot) slot = std::make_unique<OptionPageSet>(Build(description));
    return *slot;
}

}  // namespace plugin
