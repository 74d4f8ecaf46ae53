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
