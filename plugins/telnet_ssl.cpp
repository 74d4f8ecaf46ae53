// TelnetSSL.so: Telnet over TLS.
#include "plugins/common/protocol_config.h"
#include "plugins/common/session_pages.h"

using namespace sessiondeck;

namespace {
const plugin::ProtocolDescription kTelnetSsl{
    .protocolName = u"Telnet/SSL",
    .portValueName = u"[Telnet/SSL] Port",
    .defaultPort = 992,
    .hostValueName = u"Hostname",
    .options = {{.name = u"Verify Server Certificate",
                 .numberDefault = 1,
                 .label = u"&Verify the server's certificate",
                 .isFlag = true},
                {.name = u"Client Certificate",
                 .isText = true,
                 .textDefault = u"",
                 .label = u"&Client certificate:",
                 .isFile = true}},
};
SD_PROTOCOL_CREATE(CreateTelnetSsl, kTelnetSsl)
}  // namespace

SD_PROTOCOL_MODULE({&kTelnetSsl, &CreateTelnetSsl, &plugin::SessionPagesOf<kTelnetSsl>})
