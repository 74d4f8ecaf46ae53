// The protocol modules' new-session wizard pages, made from each protocol's description so that
// every module offers the same kind of page without a copy of its own, and no module links a
// toolkit: a page is an OptionPageDescription that the wizard's view renders.
#pragma once

#include <string_view>

#include "plugins/common/protocol_config.h"
#include "session/option_page.h"

namespace plugin {

// The page id of a protocol's wizard page. The reference protocols have fixed ids, so that two
// modules, each with its own copy of this code, never hand out the same id; any other name gets
// an id derived from the name.
int WizardPageId(std::u16string_view protocolName);

// The wizard page of `description`, built on first use and kept while the module is loaded; its
// id goes to *pageId when pageId is not null. The page asks for where to connect: the host name,
// port and user name of a network protocol, the device and speed of a serial line, the phone
// number of a modem.
const OptionPageDescription* WizardPageFor(const ProtocolDescription& description, int* pageId);

// The protocol table's wizard page function of one description.
template <const ProtocolDescription& description>
void* WizardPageOf(void*, int, int* outValue) {
    return const_cast<OptionPageDescription*>(WizardPageFor(description, outValue));
}

// Which page functions belong to a description, noted by SD_PROTOCOL_CREATE when the module is
// loaded and read by RegisterProtocol when it fills a row.
bool RememberWizardPage(const ProtocolDescription* description,
                        sessiondeck::WizardPageFunction function);
sessiondeck::WizardPageFunction RememberedWizardPage(const ProtocolDescription* description);

}  // namespace plugin
