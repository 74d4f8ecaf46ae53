// TAPI.so: dial-up through a modem; its "host" is the phone number.
#include "plugins/common/protocol_config.h"

namespace {
const plugin::ProtocolDescription kTapi{
    u"TAPI",
    nullptr,
    0,
    u"Phone Number",
    false,
    {{u"Modem", true, 0, u""}, {u"Country Code", false, 1, nullptr}, {u"Area Code", true, 0, u""}}};
SD_PROTOCOL_CREATE(CreateTapi, kTapi)
}  // namespace

SD_PROTOCOL_MODULE({&kTapi, &CreateTapi})
