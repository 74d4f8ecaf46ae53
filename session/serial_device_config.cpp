// Loading and merging the settings of a serial port under their prefixed names.
#include "session/serial_device_config.h"

namespace sessiondeck {

VSerialDeviceConfig::VSerialDeviceConfig(VProfileKey* key, const VUnicodeString& prefix,
                                         const VUnicodeString& portName) {
    Init(key, prefix, portName);
}

void VSerialDeviceConfig::Init(VProfileKey* key, const VUnicodeString& prefix,
                               const VUnicodeString& portName) {
    m_prefix = prefix;
    m_portName = portName;
    ForEachEntry([&](const auto& entry) {
        const VUnicodeString name = entry.name ? m_prefix + entry.name : m_portName;
        (this->*entry.member).Init(key, name, entry.DefaultFor(*this));
    });
}

void VSerialDeviceConfig::Merge(VProfileKey* key) {
    ForEachEntry([&](const auto& entry) { (this->*entry.member).Init(key); });
}

}  // namespace sessiondeck
