// Secrets at rest: a password set through the host appears in clear in no file and no output,
// every file the host creates is private to its user, and a key file others can read is refused.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"

namespace {

namespace fs = std::filesystem;

const std::string kPassword = "Tr0ub4dor&3-unique";

std::string Utf16Le(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

class CliSecretsAtRest : public CliSandboxTest {
protected:
    // The output of a command that must succeed; everything it printed is kept in `output`.
    std::string Ok(std::vector<std::string> args) {
        const ProcessResult result = Run(args);
        output += result.out + result.err;
        EXPECT_EQ(result.status, 0) << args[0] << ": " << result.err;
        return result.out;
    }
    std::string output;  // everything every command printed
};

TEST_F(CliSecretsAtRest, PasswordsNeverAppearInClearAndFilesArePrivate) {
    Ok({"new", "Server"});
    Ok({"mkdir", "Folder"});
    Ok({"new", "Folder\\Inner"});
    Ok({"set", "Server", "Monitor Password", kPassword});
    Ok({"set", "Folder\\Inner", "Monitor Password", kPassword});
    Ok({"firewall", "set", "Proxy", "Firewall Password", kPassword});
    for (const char* form : {"scrambled", "blowfish", "capi"})
        Ok({"secret", "encode", "--form", form, kPassword});
    // The values are there (as set), only never in clear.
    EXPECT_NE(Ok({"show", "Server"}).find("Monitor Password=(set)"), std::string::npos);
    Ok({"show", "--json", "Folder\\Inner"});
    EXPECT_NE(Ok({"firewall", "show", "Proxy"}).find("(set)"), std::string::npos);
    Ok({"ls", "-r"});
    Ok({"global", "show"});

    EXPECT_EQ(output.find(kPassword), std::string::npos) << output;
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir.path())) {
        struct stat st;
        ASSERT_EQ(lstat(entry.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u) << entry.path() << " is open to others";
        if (!entry.is_regular_file()) continue;
        ++files;
        const std::string bytes = ReadFileBytes(entry.path());
        EXPECT_EQ(bytes.find(kPassword), std::string::npos) << entry.path();
        EXPECT_EQ(bytes.find(Utf16Le(kPassword)), std::string::npos) << entry.path();
    }
    // Sessions, folders, the firewall, the order records and the key file.
    EXPECT_GE(files, 6);
    EXPECT_TRUE(fs::exists(dir / "data" / "sessiondeck" / "protect.key"));
}

TEST_F(CliSecretsAtRest, AKeyFileOthersCanReadIsRefusedAndLeftAlone) {
    Ok({"secret", "encode", "--form", "capi", kPassword});
    const fs::path key = dir / "data" / "sessiondeck" / "protect.key";
    const std::string bytes = ReadFileBytes(key);
    for (const fs::perms open : {fs::perms::group_read, fs::perms::others_read}) {
        fs::permissions(key, fs::perms::owner_read | fs::perms::owner_write | open);
        const ProcessResult refused = Run({"secret", "encode", "--form", "capi", kPassword});
        EXPECT_NE(refused.status, 0);
        EXPECT_NE(refused.err.find("protect.key"), std::string::npos) << refused.err;
        EXPECT_EQ(ReadFileBytes(key), bytes);
        EXPECT_EQ(fs::status(key).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | open);
    }
}

}  // namespace
