// Serial.so: a local serial line; its "host" is the device.
#include "plugins/common/protocol_config.h"
#include "plugins/common/session_pages.h"

using namespace sessiondeck;

namespace {
const plugin::ProtocolDescription kSerial{
    .protocolName = u"Serial",
    .hostValueName = u"Com Port",
    .options = {{.name = u"Baud Rate", .numberDefault = 38400},
                {.name = u"Data Bits", .numberDefault = 8},
                {.name = u"Parity", .numberDefault = 0},
                {.name = u"Stop Bits", .numberDefault = 0}},
};
SD_PROTOCOL_CREATE(CreateSerial, kSerial)
}  // namespace

SD_PROTOCOL_MODULE({&kSerial, &CreateSerial, &plugin::SessionPagesOf<kSerial>})
