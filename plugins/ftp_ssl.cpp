// FTPSSL.so: FTP over TLS, implicit (its own port) and explicit (AUTH TLS on the FTP port).
#include "plugins/common/protocol_config.h"
#include "plugins/common/session_pages.h"

using namespace sessiondeck;

namespace {
// Both kinds of FTP over TLS take the same options.
std::vector<plugin::ProtocolOption> TlsOptions() {
    return {
        {.name = u"Passive Mode", .numberDefault = 1, .label = u"&Passive mode", .isFlag = true},
        {.name = u"Verify Server Certificate",
         .numberDefault = 1,
         .label = u"&Verify the server's certificate",
         .isFlag = true}};
}
const plugin::ProtocolDescription kImplicit{
    .protocolName = u"FTP/SSL (implicit)",
    .portValueName = u"[FTP/SSL implicit] Port",
    .defaultPort = 990,
    .hostValueName = u"Hostname",
    .transferSide = true,
    .options = TlsOptions(),
};
const plugin::ProtocolDescription kExplicit{
    .protocolName = u"FTP/SSL (explicit)",
    .portValueName = u"[FTP/SSL explicit] Port",
    .defaultPort = 21,
    .hostValueName = u"Hostname",
    .transferSide = true,
    .options = TlsOptions(),
};
SD_PROTOCOL_CREATE(CreateImplicit, kImplicit)
SD_PROTOCOL_CREATE(CreateExplicit, kExplicit)
}  // namespace

SD_PROTOCOL_MODULE({&kImplicit, &CreateImplicit, &plugin::SessionPagesOf<kImplicit>},
                   {&kExplicit, &CreateExplicit, &plugin::SessionPagesOf<kExplicit>})
