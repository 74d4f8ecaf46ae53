// Serial port settings: prefixed names, flow-dependent defaults, merging.
#include <gtest/gtest.h>

#include "profile/ini_store.h"
#include "session/serial_device_config.h"
#include "support/golden.h"
#include "support/memory_store.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

TEST(SerialDeviceConfig, DefaultsAreWrittenUnderPrefixedNames) {
    TempDir dir;
    VIniFileStoreFactory ini(VUnicodeString::FromUtf8(dir.path().string()));
    {
        VProfileStore store(false, &ini);
        VProfileKey key(store.GetRootKey(), u"Global");
        VSerialDeviceConfig port(&key, u"Printer ", u"Printer Port");
        port.Save(&key, false);
        ASSERT_TRUE(key.Flush());
    }
    ExpectMatchesGolden("session/serial-defaults.ini", ReadFileBytes(dir / "Global.ini"));
}

TEST(SerialDeviceConfig, ControlLineDefaultsFollowTheStoredFlows) {
    MemoryStoreFactory factory;
    VProfileStore store(false, &factory);
    VProfileKey key(store.GetRootKey(), u"S");
    key.SetDword(u"COM DSR Flow", 1);
    key.SetDword(u"COM CTS Flow", 0);
    key.SetString(u"Device", u"/dev/ttyS1");
    VSerialDeviceConfig port(&key, u"COM ", u"Device");
    EXPECT_EQ(port.dtrFlowControl.Get(), 2);
    EXPECT_EQ(port.rtsFlowControl.Get(), 1);
    EXPECT_EQ(port.port.Get(), u"/dev/ttyS1");

    // Merging takes only what the other key holds, as loaded.
    VProfileKey other(store.GetRootKey(), u"T");
    other.SetDword(u"COM Baud Rate", 9600);
    port.dataBits = 7;
    port.Merge(&other);
    EXPECT_EQ(port.baudRate.Get(), 9600);
    EXPECT_FALSE(port.baudRate.IsModified());
    EXPECT_EQ(port.dataBits.Get(), 7);
    EXPECT_EQ(port.dtrFlowControl.Get(), 2);
}
