// --password-stdin: secrets reach the host through standard input, never through its arguments,
// which every user can read in /proc/PID/cmdline.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_sandbox.h"

namespace {

// Whether any process's argument list holds `text`.
std::string ProcessHolding(const std::string& text) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string args;
        try {
            args = ReadFileBytes(entry.path() / "cmdline");
        } catch (...) {
            continue;  // gone meanwhile
        }
        if (args.find(text) != std::string::npos) return name;
    }
    return {};
}

class CliPasswordStdin : public CliSandboxTest {
protected:
    // The secret stored at `value` of `key` ("Sessions\\web"), decoded; empty `key`: `stored` is
    // the encoded text itself.
    std::string Decoded(const std::string& key, const std::string& value, std::string stored = {}) {
        if (!key.empty()) stored = Ok({"store", "get", key, value});
        const std::string plain = Ok({"secret", "decode", stored.substr(0, stored.size() - 1)});
        return plain.substr(0, plain.size() - 1);
    }
};

}  // namespace

TEST_F(CliPasswordStdin, SecretsNeverAppearInAnyArgumentList) {
    Ok({"new", "web", "--protocol", "SSH2", "--host", "web.example"});
    struct Case {
        std::vector<std::string> args;
        std::string key, value;  // where the encoded secret is stored; empty: printed
    };
    const std::vector<Case> cases = {
        {{"set", "web", "Password", "--password-stdin"}, "Sessions/web", "Password"},
        {{"new", "ssh", "--protocol", "SSH2", "--host", "h.example", "--password-stdin"},
         "Sessions/ssh",
         "Password"},
        {{"new", "--url", "sftp://ann@files.example", "--password-stdin"},
         "Sessions/files.example",
         "Transfer Password"},
        {{"firewall", "set", "Office", "Firewall Password", "--password-stdin"},
         "Firewalls/Office",
         "Firewall Password"},
        {{"secret", "encode", "--form", "blowfish", "--password-stdin"}, "", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const std::string secret = "Qx7-held-secret-" + std::to_string(++n);
        RunningProcess process(SESSIONDECK_CLI_PATH, Args(c.args), Env());
        ASSERT_GT(process.pid(), 0);
        // Wait until the host runs (its own argument list is readable) and then waits for input.
        const std::string own = "/proc/" + std::to_string(process.pid()) + "/cmdline";
        for (int i = 0; i < 500 && ReadFileBytes(own).find("--password-stdin") == std::string::npos;
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_TRUE(process.Running()) << "it should wait for its input";
        EXPECT_EQ(ProcessHolding(secret), "") << "the secret is in a process's arguments";

        ASSERT_TRUE(process.Write(secret + "\n"));
        const ProcessResult r = process.Wait();
        ASSERT_EQ(r.status, 0) << r.err;
        std::string key = c.key;
        if (!key.empty()) key[key.find('/')] = '\\';
        EXPECT_EQ(Decoded(key, c.value, r.out), secret);
        if (!key.empty()) {
            EXPECT_EQ(ReadFileBytes(config / (c.key + ".ini")).find(secret), std::string::npos);
        }
    }
    EXPECT_NE(Ok({"show", "files.example"}).find("\nUsername=ann\n"), std::string::npos);
}

TEST_F(CliPasswordStdin, LineEndingsAreStrippedAndAMissingLineRefused) {
    Ok({"new", "web", "--protocol", "SSH2"});
    ASSERT_EQ(Run({"set", "web", "Password", "--password-stdin"}, "pw\r\n").status, 0);
    EXPECT_EQ(Decoded("Sessions\\web", "Password"), "pw");
    const std::string last = "last line without an ending";
    ASSERT_EQ(Run({"firewall", "set", "F", "Firewall Password", "--password-stdin"}, last).status,
              0);
    EXPECT_EQ(Decoded("Firewalls\\F", "Firewall Password"), last);

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"set", "web", "Password", "--password-stdin"},
             {"new", "--url", "sftp://ann@files.example", "--password-stdin"},
             {"secret", "encode", "--form", "scrambled", "--password-stdin"}}) {
        const ProcessResult r = Run(args, "");
        EXPECT_EQ(r.status, 3) << args[0];
        EXPECT_NE(r.err.find("standard input ended"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "Config/Sessions/files.example.ini"));
    EXPECT_EQ(Decoded("Sessions\\web", "Password"), "pw") << "unchanged";
}
