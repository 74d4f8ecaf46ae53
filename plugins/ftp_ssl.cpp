// FTPSSL.so: FTP over TLS, implicit (its own port) and explicit (AUTH TLS on the FTP port).
#include "plugins/common/protocol_config.h"

namespace {
const plugin::ProtocolDescription kImplicit{
    u"FTP/SSL (implicit)",
    u"[FTP/SSL implicit] Port",
    990,
    u"Hostname",
    true,
    {{u"Passive Mode", false, 1, nullptr}, {u"Verify Server Certificate", false, 1, nullptr}}};
const plugin::ProtocolDescription kExplicit{
    u"FTP/SSL (explicit)",
    u"[FTP/SSL explicit] Port",
    21,
    u"Hostname",
    true,
    {{u"Passive Mode", false, 1, nullptr}, {u"Verify Server Certificate", false, 1, nullptr}}};
SD_PROTOCOL_CREATE(CreateImplicit, kImplicit)
SD_PROTOCOL_CREATE(CreateExplicit, kExplicit)
}  // namespace

SD_PROTOCOL_MODULE({&kImplicit, &CreateImplicit}, {&kExplicit, &CreateExplicit})
