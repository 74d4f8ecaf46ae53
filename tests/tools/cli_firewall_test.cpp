// The sessiondeck host's firewall commands, run as a real process: round trips, stored forms,
// password migration and refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cli_config_test.h"

using CliFirewall = CliConfigTest;

TEST_F(CliFirewall, SetShowListRemoveRoundTrip) {
    Ok({"firewall", "set", "Office", "Firewall Type", "HTTP_BASICAUTH"});
    Ok({"firewall", "set", "Office", "firewall port", "3128"});
    Ok({"firewall", "set", "Office", "Firewall Address", "proxy.example"});
    Ok({"firewall", "set", "Office", "Firewall Password", "hunter2"});
    Ok({"firewall", "set", "Home", "Proxy Command", "ssh -W %h:%p gw"});

    EXPECT_EQ(Ok({"firewall", "show", "Office"}),
              "Firewall Type=HTTP_BASICAUTH\nFirewall Address=proxy.example\nFirewall Port=3128\n"
              "Proxy Prompt=\nProxy Command=\nFirewall User=\nFirewall Password=(set)\n");
    EXPECT_NE(Ok({"firewall", "show", "Home"}).find("Firewall Password=(empty)\n"),
              std::string::npos);
    const std::string ini = ReadFileBytes(dir / "Config/Firewalls/Office.ini");
    EXPECT_EQ(ini.find("hunter2"), std::string::npos) << "never in clear";
    const std::string stored = Ok({"store", "get", "Firewalls\\Office", "Firewall Password"});
    EXPECT_EQ(Ok({"secret", "decode", stored.substr(0, stored.size() - 1)}), "hunter2\n");

    const std::string listed = Ok({"firewall", "ls"});
    EXPECT_TRUE(listed == "Home\nOffice\n" || listed == "Office\nHome\n") << listed;
    Ok({"firewall", "rm", "Office"});
    EXPECT_EQ(Ok({"firewall", "ls"}), "Home\n");
    auto missing = Run({"firewall", "rm", "Office"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no firewall 'Office'"), std::string::npos) << missing.err;
    EXPECT_EQ(Run({"firewall", "show", "Office"}).status, 1);
}

TEST_F(CliFirewall, BadInputIsRefusedAndChangesNothing) {
    Ok({"firewall", "set", "Office", "Firewall Port", "8080"});
    const std::string before = ReadFileBytes(dir / "Config/Firewalls/Office.ini");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"set", "Office", "Firewall Type", "socksv4"}, 2, "unknown firewall type 'socksv4'"},
        {{"set", "Office", "Firewall Port", "0"}, 2, "not a number from 1 to 65535"},
        {{"set", "Office", "Firewall Port", "65536"}, 2, "not a number from 1 to 65535"},
        {{"set", "Office", "Firewall Port", "12ab"}, 2, "not a number from 1 to 65535"},
        {{"set", "Office", "Colour", "red"}, 2, "unknown firewall value 'Colour'"},
        {{"set", "a/b", "Firewall Port", "22"}, 2, "illegal character: ' / '"},
        {{"set", "  ", "Firewall Port", "22"}, 2, "must be specified"},
        {{"set", "Office", "Firewall Password", "\xD0\xBF"}, 3, "cannot carry"},
        {{"set", "Office", "Proxy Prompt", "two\nlines"}, 3, "could not be written"},
        {{"--read-only", "set", "Office", "Firewall Port", "22"}, 3, "read-only"},
        {{"--read-only", "rm", "Office"}, 3, "read-only"},
        {{"show"}, 2, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        const bool readOnly = args[0] == "--read-only";
        args.insert(args.begin() + (readOnly ? 1 : 0), "firewall");
        const auto r = Run(args);
        EXPECT_EQ(r.status, c.status) << args[1] << ' ' << args.back() << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFileBytes(dir / "Config/Firewalls/Office.ini"), before);
    EXPECT_EQ(Ok({"firewall", "ls"}), "Office\n");
    EXPECT_NE(Ok({"firewall", "--help"}).find("show"), std::string::npos);
}
