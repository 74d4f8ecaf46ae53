// Session Options pages of the reference protocol modules, built from their descriptions.
#include "plugins/common/session_pages.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace plugin {

namespace {

// Texts made from a description live as long as the pages pointing at them (the process); a
// deque keeps them in place while more are added. Build runs under SessionPages' lock.
const char16_t* Keep(std::u16string text) {
    static std::deque<std::u16string> texts;
    return texts.emplace_back(std::move(text)).c_str();
}

OptionPageSet Build(const ProtocolDescription& description) {
    const OptionRecord record = description.transferSide ? OptionRecord::kTransferConnection
                                                         : OptionRecord::kTerminalConnection;
    OptionPageDescription page;
    // "SSH2\nSSH2": the protocol's name labels the node and the caption bar alike.
    page.caption =
        Keep(std::u16string(description.protocolName) + u"\n" + description.protocolName);
    const bool hostIsName = std::u16string_view(description.hostValueName) == u"Hostname";
    page.controls.push_back(
        {.kind = OptionControlKind::kText,
         .record = record,
         .setting = description.hostValueName,
         .label =
             hostIsName ? u"&Hostname:" : Keep(std::u16string(description.hostValueName) + u":")});
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
    page.controls.push_back({.kind = OptionControlKind::kChoice,
                             .record = record,
                             .setting = u"Firewall Name",
                             .label = u"&Firewall:",
                             .choiceSource = OptionChoiceSource::kFirewalls});
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
        OptionControlKind kind =
            option.isText ? OptionControlKind::kText : OptionControlKind::kNumber;
        if (option.isFlag) kind = OptionControlKind::kCheck;
        if (!option.choices.empty()) kind = OptionControlKind::kChoice;
        if (option.isFile) kind = OptionControlKind::kFile;
        page.controls.push_back(
            {.kind = kind,
             .record = record,
             .setting = option.name,
             .label = option.label ? option.label : Keep(std::u16string(option.name) + u":"),
             .choices = option.choices,
             .pickerTitle = option.isFile ? u"Select a file" : nullptr,
             .pickerFilter = option.isFile ? u"All files (*)|*||" : nullptr});
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
