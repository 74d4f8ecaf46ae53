// The pages a protocol module adds under Session Options' Connection page, made from the module's
// ProtocolDescription, so that every module shows its host, port, user and own options the same
// way without a page of its own (and without a toolkit).
#pragma once

#include "plugins/common/protocol_config.h"
#include "session/option_page.h"

namespace plugin {

// The description's session pages: one page captioned with the protocol's name holding its host
// (or device), port, user name, firewall, transfer-side directory and login, then its own options
// in the description's order. Built on first use and kept while the module is loaded.
const OptionPageSet& SessionPages(const ProtocolDescription& description);

// The row's session pages function for one description (the protocol table's function takes no
// argument, so each description gets its own instance).
template <const ProtocolDescription& description>
void* SessionPagesOf() {
    return const_cast<OptionPageSet*>(&SessionPages(description));
}

}  // namespace plugin
