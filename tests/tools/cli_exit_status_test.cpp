// The sessiondeck host's exit statuses over one populated folder: 1 for what is not there, 2 for
// a usage error, 3 for a refusal, each with its reason on one line, and none of them writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cli_sandbox.h"
#include "support/golden.h"

namespace {

class CliExitStatus : public CliSandboxTest {};

}  // namespace

TEST_F(CliExitStatus, EveryFailureHasItsStatusAndOneLineAndWritesNothing) {
    Ok({"mkdir", "Lab"});
    Ok({"new", "top"});
    Ok({"new", "top (2)"});
    Ok({"firewall", "set", "Office", "Firewall Port", "8080"});
    Ok({"global", "set", "Paper Size", "9"});
    Ok({"store", "set", "Global", "Port", "dword", "22"});
    Ok({"new", "modem", "--protocol", "TAPI", "--host", "5551234"});
    Ok({"new", "web", "--protocol", "SSH2", "--host", "web.example"});
    Ok({"set", "web", "Transfer Protocol Name", "None"});
    Ok({"new", "nohost", "--protocol", "SSH2"});
    Ok({"new", "keeper"});
    Ok({"store", "set", "Sessions\\keeper\\below", "Is Session", "dword", "1"});
    std::string tampered = Ok({"secret", "encode", "--form", "capi", "x"});
    tampered.back() = '0';  // the line end becomes one digit too many

    // The exit status and the one line on standard error of each are
    // tests/golden/cli/exit-status.txt.
    const std::vector<std::vector<std::string>> rows = {
        {},
        {"frobnicate"},
        {"--registry", "HKCU", "ls"},  // with --config: two stores
        // Sessions and folders.
        {"rm", "Lab\\nothing"},
        {"move", "top", "--after", "nothing"},
        {"new", "nowhere\\x"},
        {"new", "x", "--protocol", "Gopher"},
        {"new", "y", "--protocol", "SSH2", "--port", "99999"},
        {"new", "--url", "sftp://x", "--host", "y"},
        {"new", "--url", "http://host.example/"},
        {"ls", "top"},
        {"show", "Lab"},
        {"rename", "top", "top (2)"},
        {"cp", "Lab", "Lab"},
        {"cp", "Lab\\nothing", ""},
        {"set", "top", "Idle Timeout", "many"},
        {"set", "top", "Password"},
        {"set", "top", "Password", "x", "--password-stdin"},
        // The store.
        {"filetype", "."},
        {"rm", "keeper"},  // a key below the session
        {"store", "get", "Global", "Nope"},
        {"store", "rm", "Global", "Nope"},
        {"store", "rmkey", "Sessions", "Nope"},
        {"store", "get", "Global", "Port", "--kind", "string"},
        {"store", "set", "Global", "a\"b", "dword", "1"},
        {"store", "set", "Global", "Text", "string", "two\nlines"},
        {"store", "set", "Global", "X", "qword", "1"},
        {"store", "set", "Global", "X", "dword", "4294967296"},
        {"store", "set", "Global", "X", "dword", "-1"},
        {"store", "set", "Global", "X", "dword", "0xZZ"},
        {"store", "set", "Global", "X", "dword"},
        {"store", "set", "Global", "X", "string", "a", "b"},
        {"store", "set", "Global", "X", "binary", "abc"},
        {"store", "get", "Global"},
        {"store", "get", "Global", "X", "--kind", "float"},
        {"store", "dump", "..\\outside"},
        {"store", "dump", "Sessions\\\\Default"},
        {"store", "keys", "a/b"},
        // Firewalls.
        {"firewall", "rm", "Home"},
        {"firewall", "show", "Home"},
        {"firewall", "show"},
        {"firewall", "set", "Office", "Firewall Type", "socksv4"},
        {"firewall", "set", "Office", "Firewall Port", "0"},
        {"firewall", "set", "Office", "Firewall Port", "65536"},
        {"firewall", "set", "Office", "Firewall Port", "12ab"},
        {"firewall", "set", "Office", "Colour", "red"},
        {"firewall", "set", "a/b", "Firewall Port", "22"},
        {"firewall", "set", "  ", "Firewall Port", "22"},
        {"firewall", "set", "Office", "Firewall Password", "\xD0\xBF"},
        {"firewall", "set", "Office", "Proxy Prompt", "two\nlines"},
        // Global options: which texts an option takes is test_app's.
        {"global"},
        {"global", "set", "No Such Option", "1"},
        {"global", "set", "MRU Count", "many"},
        {"global", "set", "MRU Count"},
        {"global", "set", "Color Schemes", "x"},
        // Connections: protocols without a client, and bad paths.
        {"connect", "modem", "--dry-run"},
        {"connect", "web", "--transfer", "--dry-run"},
        {"connect", "nohost", "--dry-run"},
        {"connect", "Lab\\missing", "--dry-run"},
        {"connect", "Lab", "--dry-run"},
        {"connect", "--dry-run"},
        // Secrets, URLs and time zones.
        {"secret", "decode", "not hex at all"},
        {"secret", "decode", tampered},
        {"secret", "encode", "--form", "scrambled", "\xE2\x82\xAC\xE4\xB8\xAD"},
        {"secret", "encode", "--form", "rot13", "x"},
        {"secret", "encode", "x"},
        {"url", "parse", "http://host"},
        {"url", "parse", "--json", "ssh2://h:22x"},
        {"url", "parse"},
        {"tz", "convert", "Mars/Olympus", "2026-01-01T00:00:00"},
        {"tz", "convert", "Europe/Berlin", "2026-02-30T00:00:00"},
    };
    const auto before = sandbox::Snapshot(dir / "Config", false);
    std::string results;
    for (const auto& args : rows) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        results += ::testing::PrintToString(args) + " " + std::to_string(r.status) + ": " + r.err;
    }
    // The golden file holds neither the random data-protected text nor the test's folder.
    const std::pair<std::string, std::string> varying[] = {{tampered, "CAPI:(tampered)"},
                                                           {dir.path().string(), "$DIR"}};
    for (const auto& [text, shown] : varying) {
        for (size_t at; (at = results.find(text)) != std::string::npos;)
            results.replace(at, text.size(), shown);
    }
    ExpectMatchesGolden("cli/exit-status.txt", results);
    EXPECT_TRUE(sandbox::Same(before, sandbox::Snapshot(dir / "Config", false)));
    EXPECT_FALSE(std::filesystem::exists(dir / "outside.ini"));
}
