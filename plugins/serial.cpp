// Serial.so: a local serial line; its "host" is the device.
#include "plugins/common/protocol_config.h"
#include "plugins/common/session_pages.h"

using namespace sessiondeck;

namespace {
const plugin::ProtocolDescription kSerial{
    .protocolName = u"Serial",
    .hostValueName = u"Com Port",
    .options = {{.name = u"Baud Rate", .numberDefault = 38400, .label = u"&Baud rate:"},
                {.name = u"Data Bits", .numberDefault = 8, .label = u"&Data bits:"},
                // As the serial API numbers them (the connect command maps them back).
                {.name = u"Parity",
                 .numberDefault = 0,
                 .label = u"&Parity:",
                 .choices = {u"None", u"Odd", u"Even", u"Mark", u"Space"}},
                {.name = u"Stop Bits",
                 .numberDefault = 0,
                 .label = u"&Stop bits:",
                 .choices = {u"1", u"1.5", u"2"}}},
};
SD_PROTOCOL_CREATE(CreateSerial, kSerial)
}  // namespace

SD_PROTOCOL_MODULE({&kSerial, &CreateSerial, &plugin::SessionPagesOf<kSerial>})
