// Serial.so: a local serial line; its "host" is the device.
#include "plugins/common/protocol_config.h"

namespace {
const plugin::ProtocolDescription kSerial{u"Serial",
                                          nullptr,
                                          0,
                                          u"Com Port",
                                          false,
                                          {{u"Baud Rate", false, 38400, nullptr},
                                           {u"Data Bits", false, 8, nullptr},
                                           {u"Parity", false, 0, nullptr},
                                           {u"Stop Bits", false, 0, nullptr}}};
SD_PROTOCOL_CREATE(CreateSerial, kSerial)
}  // namespace

SD_PROTOCOL_MODULE({&kSerial, &CreateSerial})
