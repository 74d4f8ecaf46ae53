// The sessiondeck host's exit statuses over one populated folder: 1 for what is not there, 2 for
// a usage error, 3 for a refusal, each with its reason on one line, and none of them writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cli_config_test.h"
#include "support/cli_sandbox.h"

namespace {

class CliExitStatus : public CliConfigTest {};

}  // namespace

TEST_F(CliExitStatus, EveryFailureHasItsStatusAndOneLineAndWritesNothing) {
    Ok({"mkdir", "Lab"});
    Ok({"new", "top"});
    Ok({"new", "top (2)"});
    Ok({"firewall", "set", "Office", "Firewall Port", "8080"});
    Ok({"global", "set", "Paper Size", "9"});
    Ok({"store", "set", "Global", "Port", "dword", "22"});
    const std::string capi = Ok({"secret", "encode", "--form", "capi", "x"});

    struct Row {
        std::vector<std::string> args;
        int status;
        std::string says;  // part of the one line on standard error
    };
    const Row rows[] = {
        {{}, 2, "--help"},
        {{"frobnicate"}, 2, ""},
        {{"--registry", "HKCU", "ls"}, 2, ""},  // with --config: two stores
        // Sessions and folders.
        {{"rm", "Lab\\nothing"}, 1, "no session or folder 'Lab\\nothing'"},
        {{"move", "top", "--after", "nothing"}, 1, "no session or folder 'nothing'"},
        {{"new", "nowhere\\x"}, 1, "no session or folder 'nowhere'"},
        {{"new", "x", "--protocol", "Gopher"}, 1, "unknown protocol 'Gopher'"},
        {{"new", "y", "--protocol", "SSH2", "--port", "99999"}, 2, ""},
        {{"new", "--url", "sftp://x", "--host", "y"}, 2, ""},
        {{"new", "--url", "http://host.example/"}, 3, "0xe109000d "},
        {{"ls", "top"}, 3, "'top' is a session, not a folder"},
        {{"show", "Lab"}, 3, "'Lab' is a folder, not a session"},
        {{"rename", "top", "top (2)"}, 3, "'top (2)' is already in use."},
        {{"new", "TOP"}, 3, "'TOP' is already in use."},
        {{"cp", "Lab", "Lab"}, 3, "could not be copied"},
        {{"set", "top", "Idle Timeout", "many"}, 2, ""},
        {{"set", "top", "Password"}, 2, ""},
        {{"set", "top", "Password", "x", "--password-stdin"}, 2, ""},
        // The store.
        {{"store", "get", "Global", "Nope"}, 1, "Nope"},
        {{"store", "rm", "Global", "Nope"}, 1, "Nope"},
        {{"store", "rmkey", "Sessions", "Nope"}, 1, "Nope"},
        {{"store", "get", "Global", "Port", "--kind", "string"}, 3, "is a dword, not a string"},
        {{"store", "set", "Global", "a\"b", "dword", "1"}, 3, ""},
        {{"store", "set", "Global", "Text", "string", "two\nlines"}, 3, ""},
        {{"store", "set", "Global", "X", "qword", "1"}, 2, ""},
        {{"store", "set", "Global", "X", "dword", "4294967296"}, 2, ""},
        {{"store", "set", "Global", "X", "dword", "-1"}, 2, ""},
        {{"store", "set", "Global", "X", "dword", "0xZZ"}, 2, ""},
        {{"store", "set", "Global", "X", "dword"}, 2, ""},
        {{"store", "set", "Global", "X", "string", "a", "b"}, 2, ""},
        {{"store", "set", "Global", "X", "binary", "abc"}, 2, ""},
        {{"store", "get", "Global"}, 2, ""},
        {{"store", "get", "Global", "X", "--kind", "float"}, 2, ""},
        {{"store", "dump", "..\\outside"}, 2, ""},
        {{"store", "dump", "Sessions\\\\Default"}, 2, ""},
        {{"store", "keys", "a/b"}, 2, ""},
        // Firewalls.
        {{"firewall", "rm", "Home"}, 1, "no firewall 'Home'"},
        {{"firewall", "show", "Home"}, 1, "no firewall 'Home'"},
        {{"firewall", "show"}, 2, ""},
        {{"firewall", "set", "Office", "Firewall Type", "socksv4"}, 2, "unknown firewall type"},
        {{"firewall", "set", "Office", "Firewall Port", "0"}, 2, "not a number from 1 to 65535"},
        {{"firewall", "set", "Office", "Firewall Port", "65536"}, 2, "not a number from 1 to"},
        {{"firewall", "set", "Office", "Firewall Port", "12ab"}, 2, "not a number from 1 to"},
        {{"firewall", "set", "Office", "Colour", "red"}, 2, "unknown firewall value 'Colour'"},
        {{"firewall", "set", "a/b", "Firewall Port", "22"}, 2, "illegal character: ' / '"},
        {{"firewall", "set", "  ", "Firewall Port", "22"}, 2, "must be specified"},
        {{"firewall", "set", "Office", "Firewall Password", "\xD0\xBF"}, 3, "cannot carry"},
        {{"firewall", "set", "Office", "Proxy Prompt", "two\nlines"}, 3, "could not be written"},
        // Global options: which texts an option takes is test_app's.
        {{"global"}, 2, "subcommand"},
        {{"global", "set", "No Such Option", "1"}, 2, "no global option"},
        {{"global", "set", "MRU Count", "many"}, 2, "is not a value of 'MRU Count'"},
        {{"global", "set", "Page Margins", "1,2"}, 2, "0.5,0.5,0.5,0.5"},
        {{"global", "set", "MRU Count"}, 2, "VALUE"},
        {{"global", "set", "Color Schemes", "x"}, 3, "cannot be set"},
        // Secrets, URLs and time zones.
        {{"secret", "decode", "not hex at all"}, 3, ""},
        {{"secret", "decode", capi.substr(0, capi.size() - 1) + "0"}, 3, ""},
        {{"secret", "encode", "--form", "scrambled", "\xE2\x82\xAC\xE4\xB8\xAD"}, 3, ""},
        {{"secret", "encode", "--form", "rot13", "x"}, 2, ""},
        {{"secret", "encode", "x"}, 2, "--form"},
        {{"url", "parse", "http://host"},
         3,
         "0xe109000d The URL protocol 'http' is not supported."},
        {{"url", "parse", "--json", "ssh2://h:22x"},
         3,
         "0xe109000c The specified URL has an invalid syntax."},
        {{"url", "parse"}, 2, ""},
        {{"tz", "convert", "Mars/Olympus", "2026-01-01T00:00:00"},
         2,
         "unknown time zone 'Mars/Olympus'"},
        {{"tz", "convert", "Europe/Berlin", "2026-02-30T00:00:00"},
         2,
         "is not a time of the form YYYY-MM-DDTHH:MM:SS"},
    };
    const auto before = sandbox::Snapshot(dir / "Config", false);
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        const ProcessResult r = Run(row.args);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_TRUE(sandbox::Same(before, sandbox::Snapshot(dir / "Config", false)));
    EXPECT_FALSE(std::filesystem::exists(dir / "outside.ini"));
}
