// Telnet.so: plain Telnet.
#include "plugins/common/protocol_config.h"
#include "plugins/common/session_pages.h"

using namespace sessiondeck;

namespace {
const plugin::ProtocolDescription kTelnet{
    .protocolName = u"Telnet",
    .portValueName = u"[Telnet] Port",
    .defaultPort = 23,
    .hostValueName = u"Hostname",
    .options = {{.name = u"Force Character Mode",
                 .numberDefault = 0,
                 .label = u"&Force character mode",
                 .isFlag = true},
                {.name = u"Terminal Type",
                 .isText = true,
                 .textDefault = u"xterm",
                 .label = u"&Terminal type:"}},
};
SD_PROTOCOL_CREATE(CreateTelnet, kTelnet)
}  // namespace

SD_PROTOCOL_MODULE({&kTelnet, &CreateTelnet, &plugin::SessionPagesOf<kTelnet>})
