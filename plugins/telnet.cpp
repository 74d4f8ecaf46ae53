// Telnet.so: plain Telnet.
#include "plugins/common/protocol_config.h"

namespace {
const plugin::ProtocolDescription kTelnet{
    u"Telnet",
    u"[Telnet] Port",
    23,
    u"Hostname",
    false,
    {{u"Force Character Mode", false, 0, nullptr}, {u"Terminal Type", true, 0, u"xterm"}}};
SD_PROTOCOL_CREATE(CreateTelnet, kTelnet)
}  // namespace

SD_PROTOCOL_MODULE({&kTelnet, &CreateTelnet})
