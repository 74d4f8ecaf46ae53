// The settings of a serial port (speed, framing, flow control and the port's name), under a name
// prefix.
#pragma once

#include "foundation/export.h"
#include "foundation/unicode_string.h"
#include "profile/profile_data.h"
#include "profile/profile_store.h"

namespace sessiondeck {

// A serial port's settings as one record. Each value name is the record's
// prefix followed directly by the base name of the table below ("Printer " +
// "Baud Rate" = "Printer Baud Rate"); the port itself is stored under a name
// of its own, given at construction.
class SESSIONDECK_API VSerialDeviceConfig : public VProfileRecord<VSerialDeviceConfig> {
public:
    // Names only; every value empty until Init.
    VSerialDeviceConfig() = default;
    // Loads everything from `key` (null: all defaults).
    VSerialDeviceConfig(VProfileKey* key, const VUnicodeString& prefix,
                        const VUnicodeString& portName);

    // Sets the names and loads every setting, in table order, or its default.
    void Init(VProfileKey* key, const VUnicodeString& prefix, const VUnicodeString& portName);
    // Takes each value that `key` holds, as loaded (it also becomes the
    // checkpoint); settings the key lacks keep their values.
    void Merge(VProfileKey* key);

    const VUnicodeString& GetPrefix() const { return m_prefix; }
    const VUnicodeString& GetPortName() const { return m_portName; }

    VProfile<int> baudRate;
    VProfile<int> parity;
    VProfile<int> stopBits;
    VProfile<int> dataBits;
    VProfile<bool> dsrFlow;
    VProfile<int> dtrFlowControl;
    VProfile<bool> ctsFlow;
    VProfile<int> rtsFlowControl;
    VProfile<bool> xonFlow;
    VProfile2<VUnicodeString, VProfileSz> port;

    // Base names; the port's entry has none (its name is the port name).
    // The two control-line defaults follow the flow setting loaded just
    // before them: 2 (handshake) when that flow is on, else 1 (line on).
    static constexpr auto _profileOffsets =
        VProfileMembers(VProfileMember(&VSerialDeviceConfig::baudRate, u"Baud Rate", 38400),
                        VProfileMember(&VSerialDeviceConfig::parity, u"Parity", 0),
                        VProfileMember(&VSerialDeviceConfig::stopBits, u"Stop Bits", 0),
                        VProfileMember(&VSerialDeviceConfig::dataBits, u"Data Bits", 8),
                        VProfileMember(&VSerialDeviceConfig::dsrFlow, u"DSR Flow", false),
                        VProfileMember(&VSerialDeviceConfig::dtrFlowControl, u"DTR Flow Control",
                                       [](const auto& self) { return self.dsrFlow.Get() ? 2 : 1; }),
                        VProfileMember(&VSerialDeviceConfig::ctsFlow, u"CTS Flow", true),
                        VProfileMember(&VSerialDeviceConfig::rtsFlowControl, u"RTS Flow Control",
                                       [](const auto& self) { return self.ctsFlow.Get() ? 2 : 1; }),
                        VProfileMember(&VSerialDeviceConfig::xonFlow, u"XON Flow", false),
                        VProfileMember(&VSerialDeviceConfig::port, nullptr));

private:
    VUnicodeString m_prefix;
    VUnicodeString m_portName;
};

}  // namespace sessiondeck
