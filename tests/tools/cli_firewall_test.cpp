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
    EXPECT_EQ(Run({"firewall", "show", "Office"}).status, 1);
}
