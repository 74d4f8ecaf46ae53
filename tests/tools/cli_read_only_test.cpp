// `--read-only` over a populated configuration folder: every command of the host, and every
// command of its command groups, leaves each file and folder exactly as it was, and those that
// would write say so and fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"

namespace fs = std::filesystem;

namespace {

// The command names a help text lists under its "Subcommands" heading.
std::set<std::string> ListedSubcommands(const std::string& help) {
    std::set<std::string> names;
    bool inList = false;
    for (const std::string& line : sandbox::Lines(help)) {
        // "  name   description": a name starts two blanks in; wrapped descriptions start deeper.
        if (inList && line.size() > 2 && line[0] == ' ' && line[2] != ' ')
            names.insert(line.substr(2, line.find(' ', 2) - 2));
        if (line.empty() || line[0] != ' ')
            inList = line.starts_with("SUBCOMMANDS") || line.starts_with("Subcommands");
    }
    return names;
}

class CliReadOnly : public CliSandboxTest {};

}  // namespace

TEST_F(CliReadOnly, EveryCommandLeavesThePopulatedFolderAlone) {
    Ok({"mkdir", "Lab"});
    Ok({"new", "Lab\\one", "--protocol", "SSH2", "--host", "one.example", "--user", "ann"});
    Ok({"new", "two"});
    Ok({"set", "two", "Rows", "30"});
    Ok({"global", "set", "MRU Count", "5"});
    Ok({"firewall", "set", "Office", "Firewall Address", "gate.example"});
    Ok({"firewall", "set", "Office", "Firewall Password", "s3cret"});
    Ok({"store", "set", "Custom", "Value", "string", "x"});
    std::string scrambled = Ok({"secret", "encode", "--form", "scrambled", "pw"});
    scrambled.pop_back();

    struct Row {
        std::vector<std::string> args;
        bool writes;
    };
    const std::vector<Row> rows = {
        {{"where"}, false},
        {{"ls"}, false},
        {{"ls", "-r"}, false},
        {{"show", "Lab\\one"}, false},
        {{"show", "Default", "--json"}, false},
        {{"new", "three"}, true},
        {{"new", "--url", "sftp://host.example"}, true},
        {{"set", "two", "Rows", "40"}, true},
        {{"apply-default", "Rows", "50"}, true},
        {{"mkdir", "Lab2"}, true},
        {{"cp", "two", "Lab"}, true},
        {{"rename", "two", "zwei"}, true},
        {{"move", "two", "--before", "Default"}, true},
        {{"rm", "two"}, true},
        {{"store", "get", "Custom", "Value"}, false},
        {{"store", "dump", "Sessions\\two"}, false},
        {{"store", "keys", ""}, false},
        {{"store", "values", "Global"}, false},
        {{"store", "set", "Custom", "Value", "string", "y"}, true},
        {{"store", "rm", "Custom", "Value"}, true},
        {{"store", "rmkey", "", "Custom"}, true},
        {{"secret", "encode", "--form", "scrambled", "pw"}, false},
        {{"secret", "decode", scrambled}, false},
        {{"firewall", "ls"}, false},
        {{"firewall", "show", "Office"}, false},
        {{"firewall", "set", "Office", "Firewall Port", "99"}, true},
        {{"firewall", "rm", "Office"}, true},
        {{"global", "show"}, false},
        {{"global", "show", "--terminal"}, false},
        {{"global", "set", "MRU Count", "7"}, true},
        {{"filetype", "txt"}, false},
        {{"tz", "list"}, false},
        {{"tz", "convert", "Europe/Berlin", "2024-01-01T12:00:00"}, false},
        {{"protocols"}, false},
        {{"check"}, false},
        {{"check", "--repair"}, true},
        {{"url", "parse", "sftp://ann@host.example"}, false},
        {{"connect", "Lab\\one", "--dry-run"}, false},
    };

    // Every command the host lists, and every command of a group, has a row: a new command
    // cannot slip past this test.
    std::set<std::string> covered;
    for (const Row& row : rows) {
        covered.insert(row.args[0]);
        if (row.args.size() > 1) covered.insert(row.args[0] + " " + row.args[1]);
    }
    const std::set<std::string> commands = ListedSubcommands(Ok({"--help"}));
    ASSERT_GE(commands.size(), 19u) << Ok({"--help"});
    for (const std::string& command : commands) {
        EXPECT_TRUE(covered.count(command)) << "no row runs '" << command << "'";
        for (const std::string& sub : ListedSubcommands(Ok({command, "--help"})))
            EXPECT_TRUE(covered.count(command + " " + sub))
                << "no row runs '" << command << " " << sub << "'";
    }

    const auto before = sandbox::Snapshot(config, true, true, true);
    ASSERT_TRUE(before.count("Sessions/two.ini"));
    ASSERT_FALSE(before.count("FileTypes.ini")) << "filetype must find nothing seeded yet";
    for (const Row& row : rows) {
        std::vector<std::string> args{"--read-only"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const auto r = Run(args);
        const std::string name = ::testing::PrintToString(row.args) + ": ";
        if (row.writes) {
            EXPECT_EQ(r.status, 3) << name << r.out;
            EXPECT_NE(r.err.find("read-only"), std::string::npos) << name << r.err;
        } else {
            EXPECT_EQ(r.status, 0) << name << r.err;
        }
        const auto after = sandbox::Snapshot(config, true, true, true);
        EXPECT_TRUE(sandbox::Same(before, after)) << name;
        if (after != before) break;  // one culprit is enough; the rest would repeat it
    }
}
