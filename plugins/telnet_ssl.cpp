// TelnetSSL.so: Telnet over TLS.
#include "plugins/common/protocol_config.h"

namespace {
const plugin::ProtocolDescription kTelnetSsl{
    u"Telnet/SSL",
    u"[Telnet/SSL] Port",
    992,
    u"Hostname",
    false,
    {{u"Verify Server Certificate", false, 1, nullptr}, {u"Client Certificate", true, 0, u""}}};
SD_PROTOCOL_CREATE(CreateTelnetSsl, kTelnetSsl)
}  // namespace

SD_PROTOCOL_MODULE({&kTelnetSsl, &CreateTelnetSsl})
