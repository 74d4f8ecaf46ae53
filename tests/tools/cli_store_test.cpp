// The sessiondeck host's store commands over a value file it may not write (their output forms are
// in cli_transcript_test.cpp).
#include <gtest/gtest.h>

#include "support/cli_config_test.h"

namespace {

class CliStore : public CliConfigTest {
protected:
    std::filesystem::path config = dir / "Config";
};

}  // namespace

// A value file without write permission is never replaced (the owner-write bit decides, so this
// holds for root too).
TEST_F(CliStore, ValueFileWithoutWritePermissionIsNeverReplaced) {
    Ok({"store", "set", "Global", "A", "dword", "1"});
    const std::string before = ReadFileBytes(config / "Global.ini");
    std::filesystem::permissions(config / "Global.ini", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_EQ(Run({"store", "set", "Global", "A", "dword", "3"}).status, 3);
    EXPECT_EQ(ReadFileBytes(config / "Global.ini"), before);
}
