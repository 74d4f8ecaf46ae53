// `sessiondeck connect --dry-run`: the argument vector each protocol's client gets, hostile host
// names kept to one argument after "--", the store's overrides, firewalls, and the refusals.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "support/cli_config_test.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Words(const std::string& out) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < out.size()) {
        const size_t end = out.find('\n', start);
        words.push_back(out.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return words;
}

class CliConnect : public CliConfigTest {
protected:
    void SetUp() override {
        fs::create_directories(bin);
        Ok({"mkdir", "Lab"});
    }
    // The host with a PATH of the test's own, so which clients are "installed" is the test's
    // choice and not the machine's.
    ProcessResult Connect(std::vector<std::string> args) {
        args.insert(args.begin(), {"--config", (dir / "Config").string(), "connect"});
        return RunProcess(SESSIONDECK_CLI_PATH, args,
                          {"XDG_DATA_HOME=" + (dir / "data").string(), "PATH=" + bin.string()});
    }
    std::vector<std::string> DryRun(const std::string& path, bool transfer = false) {
        std::vector<std::string> args = {path, "--dry-run"};
        if (transfer) args.push_back("--transfer");
        const ProcessResult r = Connect(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return Words(r.out);
    }
    void Install(const std::string& program) {
        const fs::path file = bin / program;
        WriteFileBytes(file, "#!/bin/sh\nexit 0\n");
        chmod(file.c_str(), 0755);
    }
    void New(const std::string& path, std::vector<std::string> options) {
        options.insert(options.begin(), {"new", path});
        Ok(options);
    }
    void Set(const std::string& path, const std::string& name, const std::string& value) {
        Ok({"set", path, name, value});
    }
    void StoreClient(const std::string& name, const std::string& value) {
        Ok({"store", "set", "Connect Clients", name, "string", "--", value});
    }
    fs::path bin = dir / "bin";
};

using Argv = std::vector<std::string>;

}  // namespace

TEST_F(CliConnect, EveryProtocolGetsItsClientWithPortAndUserOnlyWhenTheyMatter) {
    struct Case {
        std::vector<std::string> create;  // options of `new`
        std::vector<std::pair<std::string, std::string>> values;
        bool transfer;
        Argv argv;
    };
    const Case cases[] = {
        {{"--protocol", "SSH2", "--host", "web1.example.net", "--user", "admin"},
         {},
         false,
         {"ssh", "-l", "admin", "--", "web1.example.net"}},
        // The usual port is left to the client; another port and a key file are passed.
        {{"--protocol", "SSH2", "--host", "web1.example.net", "--port", "22"},
         {},
         false,
         {"ssh", "--", "web1.example.net"}},
        {{"--protocol", "SSH2", "--host", "h", "--port", "2222", "--user", "ann"},
         {{"Identity Filename", "/keys/id ed25519"}},
         false,
         {"ssh", "-p", "2222", "-l", "ann", "-i", "/keys/id ed25519", "--", "h"}},
        {{"--protocol", "SFTP", "--host", "files.example", "--port", "2200", "--user", "deploy"},
         {{"Initial Directory", "/srv/releases"}},
         true,
         {"sftp", "-P", "2200", "-o", "User=deploy", "--", "files.example:/srv/releases"}},
        {{"--protocol", "SFTP", "--host", "::1"},
         {{"Initial Directory", "/srv"}},
         true,
         {"sftp", "--", "[::1]:/srv"}},
        {{"--protocol", "Telnet", "--host", "192.0.2.1"}, {}, false, {"telnet", "--", "192.0.2.1"}},
        {{"--protocol", "Telnet", "--host", "192.0.2.1", "--port", "2323", "--user", "op"},
         {},
         false,
         {"telnet", "-l", "op", "--", "192.0.2.1", "2323"}},
        {{"--protocol", "Telnet/SSL", "--host", "bbs.example", "--port", "992"},
         {},
         false,
         {"telnet-ssl", "-z", "ssl", "--", "bbs.example"}},
        {{"--protocol", "RLogin", "--host", "old.example", "--port", "1513", "--user", "bob"},
         {},
         false,
         {"rlogin", "-l", "bob", "-p", "1513", "--", "old.example"}},
        {{"--protocol", "Serial", "--host", "ttyUSB0"},
         {},
         false,
         {"picocom", "-b", "38400", "-d", "8", "-y", "n", "-p", "1", "--", "/dev/ttyUSB0"}},
        {{"--protocol", "Serial", "--host", "COM2"},
         {{"Baud Rate", "9600"}, {"Data Bits", "7"}, {"Parity", "2"}, {"Stop Bits", "2"}},
         false,
         {"picocom", "-b", "9600", "-d", "7", "-y", "e", "-p", "2", "--", "/dev/ttyS1"}},
        {{"--protocol", "FTP", "--host", "files.example.net", "--port", "2121"},
         {},
         true,
         {"lftp", "-p", "2121", "ftp://files.example.net"}},
        {{"--protocol", "FTP/SSL (implicit)", "--host", "f.example", "--user", "ann"},
         {},
         true,
         {"lftp", "-u", "ann", "ftps://f.example"}},
        {{"--protocol", "FTP/SSL (explicit)", "--host", "f.example", "--port", "21"},
         {},
         true,
         {"lftp", "-e", "set ftp:ssl-force true", "ftp://f.example"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = "Lab\\s" + std::to_string(n++);
        SCOPED_TRACE(path + " " + testing::PrintToString(c.create));
        New(path, c.create);
        for (const auto& [name, value] : c.values) Set(path, name, value);
        EXPECT_EQ(DryRun(path, c.transfer), c.argv);
    }
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

    // Run for real, the client gets exactly those words: no shell came in between. This ssh
    // writes the arguments it was given, one a line.
    const fs::path record = dir / "ssh-args";
    WriteFileBytes(bin / "ssh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record.string() + "'\n");
    chmod((bin / "ssh").c_str(), 0755);
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
    EXPECT_NE(none.err.find("'lftp' is not installed (Debian package lftp)"), std::string::npos)
        << none.err;
    ProcessResult real = Connect({"Lab\\files", "--transfer"});
    EXPECT_EQ(real.status, 1);
    EXPECT_NE(real.err.find("Debian package lftp"), std::string::npos) << real.err;

    Install("ftp");
    EXPECT_EQ(DryRun("Lab\\files", true), (Argv{"ftp", "--", "files.example", "2121"}));
    Install("lftp");
    EXPECT_EQ(DryRun("Lab\\files", true), (Argv{"lftp", "-p", "2121", "ftp://files.example"}));
    // An installed client really runs in the host's place (this one exits 0 at once).
    EXPECT_EQ(Connect({"Lab\\files", "--transfer"}).status, 0);
}

TEST_F(CliConnect, ProtocolsWithoutAClientAndBadPathsAreRefusedWithTheReason) {
    New("Lab\\modem", {"--protocol", "TAPI", "--host", "5551234"});
    New("Lab\\web", {"--protocol", "SSH2", "--host", "web.example"});
    Ok({"set", "Lab\\web", "Transfer Protocol Name", "None"});
    New("Lab\\nohost", {"--protocol", "SSH2"});
    struct Case {
        Argv args;
        int status;
        std::string says;
    };
    const Case cases[] = {
        {{"Lab\\modem", "--dry-run"}, 1, "modem"},
        {{"Lab\\web", "--transfer", "--dry-run"}, 1, "has no file-transfer connection"},
        {{"Lab\\nohost", "--dry-run"}, 3, "names no host"},
        {{"Lab\\missing", "--dry-run"}, 1, "no session 'Lab\\missing'"},
        {{"Lab", "--dry-run"}, 3, "is a folder"},
        {{"--dry-run"}, 2, "PATH"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProcessResult r = Connect(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
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
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    }
    // A protocol without a built-in client can be given one.
    New("Lab\\modem", {"--protocol", "TAPI", "--host", "5551234"});
    StoreClient("TAPI", "dialer {host}");
    EXPECT_EQ(DryRun("Lab\\modem"), (Argv{"dialer", "5551234"}));
}

TEST_F(CliConnect, FirewallsBecomeAProxyCommandOrAJumpHostOrARefusal) {
    auto firewall = [&](const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [value, text] : values) Ok({"firewall", "set", name, value, text});
    };
    firewall("Socks4", {{"Firewall Type", "SOCKSv4"}, {"Firewall Address", "127.0.0.1"}});
    firewall("Socks5", {{"Firewall Type", "SOCKSv5"},
                        {"Firewall Address", "proxy.example"},
                        {"Firewall Port", "1081"}});
    // A hostile address is quoted for the shell that ssh runs its ProxyCommand in.
    firewall("Web", {{"Firewall Type", "HTTP"},
                     {"Firewall Address", "p'x;touch sd-pwned;%h"},
                     {"Firewall Port", "3128"}});
    firewall("Basic", {{"Firewall Type", "HTTP_BASICAUTH"},
                       {"Firewall Address", "proxy.example"},
                       {"Firewall Port", "8080"},
                       {"Firewall User", "ann"}});
    firewall("Gateway", {{"Firewall Type", "Generic Proxy"},
                         {"Firewall Address", "gw.example"},
                         {"Firewall User", "jump"}});
    firewall("Gateway2222", {{"Firewall Type", "Generic Proxy"},
                             {"Firewall Address", "gw.example"},
                             {"Firewall Port", "2222"}});
    firewall("Command", {{"Firewall Type", "Generic Proxy"},
                         {"Proxy Command", "corkscrew proxy.example 8080 %h %p"}});
    firewall("Auth5", {{"Firewall Type", "SOCKSv5_USERPASS"}, {"Firewall Address", "p"}});
    firewall("FtpLogin", {{"Firewall Type", "USER user@host port"}, {"Firewall Address", "p"}});

    struct Case {
        std::string firewall;
        std::string protocol;
        int status;
        std::string result;  // the ProxyCommand or jump words, or what the refusal says
    };
    const Case cases[] = {
        {"Socks4", "SSH2", 0, "-o\nProxyCommand=nc -X 4 -x '127.0.0.1:1080' %h %p"},
        {"Socks5", "SFTP", 0, "-o\nProxyCommand=nc -X 5 -x 'proxy.example:1081' %h %p"},
        {"Web", "SSH2", 0,
         "-o\nProxyCommand=nc -X connect -x 'p'\\''x;touch sd-pwned;%%h:3128' %h %p"},
        {"Basic", "SSH2", 0,
         "-o\nProxyCommand=nc -X connect -P 'ann' -x 'proxy.example:8080' %h %p"},
        {"Gateway", "SSH2", 0, "-J\njump@gw.example"},
        {"Gateway2222", "SFTP", 0, "-J\ngw.example:2222"},
        {"Command", "SSH2", 0, "-o\nProxyCommand=corkscrew proxy.example 8080 %h %p"},
        {"Auth5", "SSH2", 1, "cannot log in to a SOCKS 5 proxy"},
        {"FtpLogin", "SSH2", 1, "FTP proxy login"},
        {"Nowhere", "SSH2", 1, "firewall 'Nowhere', which does not exist"},
        {"Socks4", "Telnet", 1, "telnet cannot go through firewall 'Socks4'"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.firewall + " " + c.protocol);
        const std::string path = "Lab\\fw" + std::to_string(n++);
        New(path, {"--protocol", c.protocol, "--host", "target.example"});
        Set(path, "Firewall Name", c.firewall);
        const bool transfer = c.protocol == "SFTP";
        Argv args = {path, "--dry-run"};
        if (transfer) args.push_back("--transfer");
        const ProcessResult r = Connect(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status == 0) {
            const std::string program = transfer ? "sftp\n" : "ssh\n";
            EXPECT_EQ(r.out, program + c.result + "\n--\ntarget.example\n");
        } else {
            EXPECT_NE(r.err.find(c.result), std::string::npos) << r.err;
        }
    }
}

TEST_F(CliConnect, AStoredPasswordIsOfferedToSshThroughAskpassAndNeverPrinted) {
    New("Lab\\web", {"--protocol", "SSH2", "--host", "web.example"});
    New("Lab\\router", {"--protocol", "Telnet", "--host", "192.0.2.1"});
    for (const char* path : {"Lab\\web", "Lab\\router"}) {
        const ProcessResult set = RunProcess(
            SESSIONDECK_CLI_PATH,
            {"--config", (dir / "Config").string(), "set", path, "Password", "--password-stdin"},
            {"XDG_DATA_HOME=" + (dir / "data").string()}, std::string("Sd-Secret-91\n"));
        ASSERT_EQ(set.status, 0) << set.err;
    }
    const ProcessResult ssh = Connect({"Lab\\web", "--dry-run"});
    EXPECT_EQ(ssh.status, 0);
    EXPECT_NE(ssh.err.find("through SSH_ASKPASS"), std::string::npos) << ssh.err;
    // telnet has no channel for it: it gets no password.
    const ProcessResult telnet = Connect({"Lab\\router", "--dry-run"});
    EXPECT_EQ(telnet.err.find("SSH_ASKPASS"), std::string::npos) << telnet.err;
    for (const ProcessResult* r : {&ssh, &telnet})
        EXPECT_EQ((r->out + r->err).find("Sd-Secret-91"), std::string::npos);

    // The askpass mode answers a password prompt with the stored secret, and only when asked
    // through its variable with a prompt; an ordinary command still runs as one.
    const std::vector<std::string> env = {"XDG_DATA_HOME=" + (dir / "data").string(),
                                          "SESSIONDECK_CONFIG=" + (dir / "Config").string(),
                                          "SESSIONDECK_ASKPASS=Lab\\web",
                                          "SESSIONDECK_ASKPASS_SIDE=terminal"};
    const ProcessResult answer =
        RunProcess(SESSIONDECK_CLI_PATH, {"root@web.example's password: "}, env);
    EXPECT_EQ(answer.status, 0) << answer.err;
    EXPECT_EQ(answer.out, "Sd-Secret-91\n");
    const ProcessResult command = RunProcess(SESSIONDECK_CLI_PATH, {"ls", "Lab"}, env);
    EXPECT_EQ(command.status, 0) << command.err;
    EXPECT_EQ(command.out.find("Sd-Secret-91"), std::string::npos);
    EXPECT_NE(command.out.find("web"), std::string::npos);
}
