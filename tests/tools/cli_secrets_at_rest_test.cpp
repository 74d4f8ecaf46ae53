// The secret commands and secrets at rest: each form round-trips, a password set through the host
// appears in clear in no file and no output, and every file the host creates is private to its
// user (a key file others can read is refused and left alone: CapiString in test_profile).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"

namespace {

namespace fs = std::filesystem;

const std::string kPassword = "Tr0ub4dor&3-unique";

class CliSecretsAtRest : public CliSandboxTest {
protected:
    // The output of a command that must succeed, without its line end; everything it printed is
    // kept in `output`.
    std::string Ok(const std::vector<std::string>& args) {
        const ProcessResult r = Run(args);
        output += r.out + r.err;
        EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
        EXPECT_TRUE(r.out.empty() || r.out.ends_with('\n')) << r.out;
        return r.out.substr(0, r.out.size() - (r.out.empty() ? 0 : 1));
    }
    std::string output;  // everything every command printed
    fs::path key = dir / "data" / "sessiondeck" / "protect.key";
};

// The layout of each form is test_profile's; here: each form is chosen by --form, printed as one
// line and read back by decode, which tells the form from the text.
TEST_F(CliSecretsAtRest, EveryFormRoundTrips) {
    const std::string value = "pa ss\xC3\xA9";  // "pa ssé": all Windows-1252
    for (const auto& [form, prefix] : {std::pair<std::string, std::string>{"scrambled", ""},
                                       {"blowfish", "u"},
                                       {"capi", "CAPI:"}}) {
        std::string stored = Ok({"secret", "encode", "--form", form, value});
        EXPECT_TRUE(stored.starts_with(prefix) && stored != value) << form << ": " << stored;
        EXPECT_EQ(Ok({"secret", "decode", stored}), value) << stored;
        if (form != "scrambled") continue;
        for (char& c : stored) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(Ok({"secret", "decode", stored}), value) << "hex digits in either case";
    }
    EXPECT_EQ(Ok({"secret", "decode", "00000000616263"}), "abc") << "a fixed scrambled text";
}

TEST_F(CliSecretsAtRest, PasswordsNeverAppearInClearAndFilesArePrivate) {
    Ok({"new", "Server"});
    Ok({"mkdir", "Folder"});
    Ok({"new", "Folder\\Inner"});
    Ok({"set", "Server", "Monitor Password", kPassword});
    Ok({"set", "Folder\\Inner", "monitor password", kPassword});  // a name in any case
    Ok({"firewall", "set", "Proxy", "Firewall Password", kPassword});
    for (const char* form : {"scrambled", "blowfish", "capi"})
        Ok({"secret", "encode", "--form", form, kPassword});
    // The values are there (as set), only never in clear.
    EXPECT_NE(Ok({"show", "Server"}).find("Monitor Password=(set)"), std::string::npos);
    EXPECT_NE(Ok({"firewall", "show", "Proxy"}).find("(set)"), std::string::npos);
    EXPECT_NE(Ok({"show", "--json", "Default"}).find("\"Monitor Password\": \"(unset)\""),
              std::string::npos);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"show", "--json", "Folder\\Inner"}, {"ls", "-r"}, {"global", "show"}})
        Ok(args);

    EXPECT_EQ(output.find(kPassword), std::string::npos) << output;
    std::string utf16;
    for (char c : kPassword) utf16 += std::string{c, '\0'};
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir.path())) {
        struct stat st;
        ASSERT_EQ(lstat(entry.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u) << entry.path() << " is open to others";
        if (!entry.is_regular_file()) continue;
        ++files;
        const std::string bytes = ReadFileBytes(entry.path());
        EXPECT_EQ(bytes.find(kPassword), std::string::npos) << entry.path();
        EXPECT_EQ(bytes.find(utf16), std::string::npos) << entry.path();
    }
    // Sessions, folders, the firewall, the order records and the key file.
    EXPECT_GE(files, 6);
    EXPECT_TRUE(fs::exists(key));
}

}  // namespace
