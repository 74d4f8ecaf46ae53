// RLogin.so: remote login.
#include "plugins/common/protocol_config.h"
#include "plugins/common/session_pages.h"

using namespace sessiondeck;

namespace {
const plugin::ProtocolDescription kRLogin{
    .protocolName = u"RLogin",
    .portValueName = u"[RLogin] Port",
    .defaultPort = 513,
    .hostValueName = u"Hostname",
    .options = {{.name = u"Terminal Speed", .numberDefault = 38400, .label = u"Terminal &speed:"}},
};
SD_PROTOCOL_CREATE(CreateRLogin, kRLogin)
}  // namespace

SD_PROTOCOL_MODULE({&kRLogin, &CreateRLogin, &plugin::SessionPagesOf<kRLogin>})
