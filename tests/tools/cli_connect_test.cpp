// `sessiondeck connect --dry-run`: the argument vector each protocol's client gets, hostile host
// names kept to one argument after "--", the store's overrides and firewalls (refusals:
// cli_exit_status_test.cpp).
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"
#include "support/golden.h"

namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;
using ::testing::HasSubstr;

class CliConnect : public CliSandboxTest {
protected:
    void SetUp() override {
        fs::create_directories(bin);
        Ok({"mkdir", "Lab"});
    }
    // The host with a PATH of the test's own, so which clients are "installed" is the test's
    // choice and not the machine's.
    ProcessResult Connect(std::vector<std::string> args) {
        args.insert(args.begin(), {"--config", config.string(), "connect"});
        return RunProcess(SESSIONDECK_CLI_PATH, args,
                          {"XDG_DATA_HOME=" + (dir / "data").string(), "PATH=" + bin.string()});
    }
    std::vector<std::string> DryRun(const std::string& path, bool transfer = false) {
        const ProcessResult r =
            Connect(transfer ? Argv{path, "--dry-run", "--transfer"} : Argv{path, "--dry-run"});
        EXPECT_EQ(r.status, 0) << r.err;
        return sandbox::Lines(r.out);
    }
    // A client that writes the arguments it was given, one a line, to `record`.
    void Install(const std::string& program, const fs::path& record = "/dev/null") {
        WriteFileBytes(bin / program,
                       "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record.string() + "'\n");
        chmod((bin / program).c_str(), 0755);
    }
    void New(const std::string& path, std::vector<std::string> options) {
        options.insert(options.begin(), {"new", path});
        Ok(options);
    }
    // "Name=Value" set on the session `path`.
    void Set(const std::string& path, const std::string& value) {
        Ok({"set", path, value.substr(0, value.find('=')), value.substr(value.find('=') + 1)});
    }
    void StoreClient(const std::string& name, const std::string& value) {
        Ok({"store", "set", "Connect Clients", name, "string", "--", value});
    }
    fs::path bin = dir / "bin";
};

// The fields of "a|b|c".
Argv Split(const std::string& text) {
    Argv fields(1);
    for (char c : text) c == '|' ? void(fields.emplace_back()) : fields.back().push_back(c);
    return fields;
}

}  // namespace

// The argument vectors, one case a line, are tests/golden/cli/connect-clients.txt. Each case is
// "protocol|host|port|user" and "Name=Value" settings set after `new`; the transfer protocols
// connect with --transfer. The usual port is left to the client; another port and a key file are
// passed.
TEST_F(CliConnect, EveryProtocolGetsItsClientWithPortAndUserOnlyWhenTheyMatter) {
    const char* cases[] = {
        "SSH2|web1.example.net||admin",
        "SSH2|web1.example.net|22|",
        "SSH2|h|2222|ann|Identity Filename=/keys/id ed25519",
        "SFTP|files.example|2200|deploy|Initial Directory=/srv/releases",
        "SFTP|::1|||Initial Directory=/srv",
        "Telnet|192.0.2.1||",
        "Telnet|192.0.2.1|2323|op",
        "Telnet/SSL|bbs.example|992|",
        "RLogin|old.example|1513|bob",
        "Serial|ttyUSB0||",
        "Serial|COM2|||Baud Rate=9600|Data Bits=7|Parity=2|Stop Bits=2",
        "FTP|files.example.net|2121|",
        "FTP/SSL (implicit)|f.example||ann",
        "FTP/SSL (explicit)|f.example|21|",
    };
    std::string argvs;
    int n = 0;
    for (const char* text : cases) {
        const Argv c = Split(text);
        const std::string path = "Lab\\s" + std::to_string(n++);
        Argv create = {"--protocol", c[0], "--host", c[1]};
        if (!c[2].empty()) create.insert(create.end(), {"--port", c[2]});
        if (!c[3].empty()) create.insert(create.end(), {"--user", c[3]});
        New(path, create);
        for (size_t i = 4; i < c.size(); ++i) Set(path, c[i]);
        argvs += c[0] + " " + c[1] + " " + c[2] + " " + c[3] + ":";
        for (const std::string& word : DryRun(path, c[0].find("FTP") != std::string::npos))
            argvs += " [" + word + "]";
        argvs += "\n";
    }
    ExpectMatchesGolden("cli/connect-clients.txt", argvs);
}

TEST_F(CliConnect, HostileHostNamesStayOneArgumentThatCannotBeAnOption) {
    const std::string hostile[] = {"-oProxyCommand=touch sd-pwned",
                                   "two words",
                                   "a;touch sd-pwned",
                                   "$(touch sd-pwned)",
                                   "`id`",
                                   "-x' \"quoted\""};
    int n = 0;
    for (const std::string& host : hostile) {
        SCOPED_TRACE(host);
        const std::string ssh = "Lab\\ssh" + std::to_string(n);
        const std::string ftp = "Lab\\ftp" + std::to_string(n++);
        // "--host=" keeps a leading '-' from being read as an option of `new` itself.
        New(ssh, {"--protocol", "SSH2", "--host=" + host});
        New(ftp, {"--protocol", "FTP", "--host=" + host});
        EXPECT_EQ(DryRun(ssh), (Argv{"ssh", "--", host}));
        // lftp takes the host inside a URL, where a leading '-' cannot start an option.
        EXPECT_EQ(DryRun(ftp, true), (Argv{"lftp", "ftp://" + host}));
    }

    // Run for real, the client gets exactly those words: no shell came in between.
    const fs::path record = dir / "ssh-args";
    Install("ssh", record);
    for (size_t i = 0; i < std::size(hostile); ++i) {
        SCOPED_TRACE(hostile[i]);
        const ProcessResult r = Connect({"Lab\\ssh" + std::to_string(i)});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadFileBytes(record), "--\n" + hostile[i] + "\n");
    }
}

TEST_F(CliConnect, TheFirstInstalledClientWinsAndAMissingOneIsNamedWithItsPackage) {
    New("Lab\\files", {"--protocol", "FTP", "--host", "files.example", "--port", "2121"});
    // Neither lftp nor ftp: a dry run shows the first choice and says it is missing.
    ProcessResult none = Connect({"Lab\\files", "--transfer", "--dry-run"});
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_THAT(none.err, HasSubstr("'lftp' is not installed (Debian package lftp)"));
    ProcessResult real = Connect({"Lab\\files", "--transfer"});
    EXPECT_EQ(real.status, 1);
    EXPECT_THAT(real.err, HasSubstr("Debian package lftp"));
    Install("ftp");
    EXPECT_EQ(DryRun("Lab\\files", true), (Argv{"ftp", "--", "files.example", "2121"}));
    Install("lftp");
    EXPECT_EQ(DryRun("Lab\\files", true), (Argv{"lftp", "-p", "2121", "ftp://files.example"}));
    // An installed client really runs in the host's place (this one exits 0 at once).
    EXPECT_EQ(Connect({"Lab\\files", "--transfer"}).status, 0);
}

TEST_F(CliConnect, TheStoreOverridesATemplateAndAddsOptionsOfTheUsersOwn) {
    New("Lab\\web", {"--protocol", "SSH2", "--host", "web.example", "--user", "admin"});
    StoreClient("SSH2 Options", "-F \"/etc/my ssh\" -o {user}");
    EXPECT_EQ(DryRun("Lab\\web"), (Argv{"ssh", "-F", "/etc/my ssh", "-o", "admin", "-l", "admin",
                                        "--", "web.example"}));

    StoreClient("SSH2", "mossh \"{user} at {host}\" [-x {port}] [-k {identity}]");
    EXPECT_EQ(DryRun("Lab\\web"),
              (Argv{"mossh", "-F", "/etc/my ssh", "-o", "admin", "admin at web.example"}));
    Ok({"store", "rm", "Connect Clients", "SSH2 Options"});

    const std::pair<std::string, std::string> broken[] = {
        {"ssh {nope} {host}", "unknown placeholder {nope}"},
        {"ssh [-p {port} {host}", "'[' without its ']'"},
        {"ssh \"{host}", "'\"' without its closing one"},
        {"ssh -l {user} -i {identity} {host}", "no value for {identity}"},
    };
    for (const auto& [text, says] : broken) {
        SCOPED_TRACE(text);
        StoreClient("SSH2", text);
        const ProcessResult r = Connect({"Lab\\web", "--dry-run"});
        EXPECT_EQ(r.status, 3);
        EXPECT_THAT(r.err, HasSubstr(says));
    }
    // A protocol without a built-in client can be given one.
    New("Lab\\modem", {"--protocol", "TAPI", "--host", "5551234"});
    StoreClient("TAPI", "dialer {host}");
    EXPECT_EQ(DryRun("Lab\\modem"), (Argv{"dialer", "5551234"}));
}

// What each firewall becomes for each client (a ProxyCommand, a jump host or a refusal) is
// tests/golden/cli/connect-firewalls.txt: exit status, output and errors of each dry run.
TEST_F(CliConnect, FirewallsBecomeAProxyCommandOrAJumpHostOrARefusal) {
    // The firewall's name, then "Value=Text" of each `firewall set`.
    const char* firewalls[] = {
        "Socks4|Firewall Type=SOCKSv4|Firewall Address=127.0.0.1",
        "Socks5|Firewall Type=SOCKSv5|Firewall Address=proxy.example|Firewall Port=1081",
        // A hostile address is quoted for the shell that ssh runs its ProxyCommand in.
        "Web|Firewall Type=HTTP|Firewall Address=p'x;touch sd-pwned;%h|Firewall Port=3128",
        ("Basic|Firewall Type=HTTP_BASICAUTH|Firewall Address=proxy.example|Firewall Port=8080|"
         "Firewall User=ann"),
        "Gateway|Firewall Type=Generic Proxy|Firewall Address=gw.example|Firewall User=jump",
        "Gateway2222|Firewall Type=Generic Proxy|Firewall Address=gw.example|Firewall Port=2222",
        "Command|Firewall Type=Generic Proxy|Proxy Command=corkscrew proxy.example 8080 %h %p",
        "Auth5|Firewall Type=SOCKSv5_USERPASS|Firewall Address=p",
        "FtpLogin|Firewall Type=USER user@host port|Firewall Address=p",
    };
    for (const char* text : firewalls) {
        const Argv f = Split(text);
        for (size_t i = 1; i < f.size(); ++i) {
            const size_t eq = f[i].find('=');
            Ok({"firewall", "set", f[0], f[i].substr(0, eq), f[i].substr(eq + 1)});
        }
    }
    const char* cases =
        "Socks4|SSH2|Socks5|SFTP|Web|SSH2|Basic|SSH2|Gateway|SSH2|Gateway2222|SFTP|"
        "Command|SSH2|Auth5|SSH2|FtpLogin|SSH2|Nowhere|SSH2|Socks4|Telnet";
    const Argv c = Split(cases);
    std::string results;
    for (size_t i = 0; i < c.size(); i += 2) {
        const std::string path = "Lab\\fw" + std::to_string(i), &protocol = c[i + 1];
        New(path, {"--protocol", protocol, "--host", "target.example"});
        Set(path, "Firewall Name=" + c[i]);
        const ProcessResult r = Connect(protocol == "SFTP" ? Argv{path, "--dry-run", "--transfer"}
                                                           : Argv{path, "--dry-run"});
        results += c[i] + " " + protocol + ": " + std::to_string(r.status) + "\n" + r.out + r.err;
    }
    ExpectMatchesGolden("cli/connect-firewalls.txt", results);
}

TEST_F(CliConnect, AStoredPasswordIsOfferedToSshThroughAskpassAndNeverPrinted) {
    New("Lab\\web", {"--protocol", "SSH2", "--host", "web.example"});
    New("Lab\\router", {"--protocol", "Telnet", "--host", "192.0.2.1"});
    for (const char* path : {"Lab\\web", "Lab\\router"})
        ASSERT_EQ(Run({"set", path, "Password", "--password-stdin"}, "Sd-Secret-91\n").status, 0);
    const ProcessResult ssh = Connect({"Lab\\web", "--dry-run"});
    EXPECT_EQ(ssh.status, 0);
    EXPECT_THAT(ssh.err, HasSubstr("through SSH_ASKPASS"));
    // telnet has no channel for it: it gets no password.
    const ProcessResult telnet = Connect({"Lab\\router", "--dry-run"});
    EXPECT_EQ(telnet.err.find("SSH_ASKPASS"), std::string::npos) << telnet.err;
    for (const ProcessResult* r : {&ssh, &telnet})
        EXPECT_EQ((r->out + r->err).find("Sd-Secret-91"), std::string::npos);

    // Run for real, ssh gets this program as its askpass, told which session and folder, and none
    // of the askpass variables the host itself inherited.
    const fs::path record = dir / "ssh-env";
    WriteFileBytes(bin / "ssh",
                   "#!/bin/sh\nprintf '%s|' \"$SSH_ASKPASS\" \"$SSH_ASKPASS_REQUIRE\" "
                   "\"$SESSIONDECK_ASKPASS\" \"$SESSIONDECK_ASKPASS_REGISTRY\" "
                   "\"$SESSIONDECK_CONFIG\" > '" +
                       record.string() + "'\n");
    chmod((bin / "ssh").c_str(), 0755);
    EXPECT_EQ(RunProcess(SESSIONDECK_CLI_PATH, Args({"connect", "Lab\\web"}),
                         {"XDG_DATA_HOME=" + (dir / "data").string(), "PATH=" + bin.string(),
                          "SESSIONDECK_ASKPASS_REGISTRY=HKCU\\Inherited"})
                  .status,
              0);
    EXPECT_EQ(ReadFileBytes(record), fs::canonical(SESSIONDECK_CLI_PATH).string() +
                                         "|force|Lab\\web||" + config.string() + "|");

    // The askpass mode answers a password prompt with the stored secret, and only when asked
    // through its variable with a prompt; an ordinary command still runs as one.
    const std::vector<std::string> env = {
        "XDG_DATA_HOME=" + (dir / "data").string(), "SESSIONDECK_CONFIG=" + config.string(),
        "SESSIONDECK_ASKPASS=Lab\\web", "SESSIONDECK_ASKPASS_SIDE=terminal"};
    const ProcessResult answer =
        RunProcess(SESSIONDECK_CLI_PATH, {"root@web.example's password: "}, env);
    EXPECT_EQ(answer.status, 0) << answer.err;
    EXPECT_EQ(answer.out, "Sd-Secret-91\n");
    const ProcessResult command = RunProcess(SESSIONDECK_CLI_PATH, {"ls", "Lab"}, env);
    EXPECT_EQ(command.status, 0) << command.err;
    EXPECT_THAT(command.out, HasSubstr("web\n"));
    EXPECT_THAT(command.out, ::testing::Not(HasSubstr("Sd-Secret-91")));
}
