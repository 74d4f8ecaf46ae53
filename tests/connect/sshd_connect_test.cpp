// `sessiondeck connect` against the real OpenSSH clients and a throwaway sshd of the test's own:
// its host key, configuration, authorized keys and pid file live in the test's folder, it
// listens on a free port of 127.0.0.1 and is stopped when the test ends, passed or failed.
// Where the machine cannot run a server, the tests skip and say why.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                       getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    close(fd);
    return bound ? ntohs(address.sin_port) : 0;
}

bool WaitListening(int port, pid_t pid) {
    for (int i = 0; i < 250; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = Loopback(port);
        const bool ok =
            connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (ok) return true;
        if (waitpid(pid, nullptr, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void Stop(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
    pid = -1;
}

class SshdConnect : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"/usr/sbin/sshd", "/usr/bin/ssh", "/usr/bin/sftp",
                                    "/usr/bin/ssh-keygen", "/usr/bin/nc"}) {
            if (access(program, X_OK) != 0)
                GTEST_SKIP() << program << " is missing: run scripts/install-deps.sh "
                             << "(openssh-server, openssh-client, netcat-openbsd)";
        }
        Keygen(dir / "host_key", "");
        Keygen(dir / "id_plain", "");
        Keygen(dir / "id_locked", keyPassphrase);
        WriteFileBytes(dir / "authorized_keys",
                       ReadFileBytes(dir / "id_plain.pub") + ReadFileBytes(dir / "id_locked.pub"));
        port = FreePort();
        if (const passwd* me = getpwuid(getuid())) user = me->pw_name;
        // StrictModes is off because the test's folder lies below the shared /tmp, whose mode
        // sshd would hold against the authorized keys. Root may log in with a key only.
        WriteFileBytes(dir / "sshd_config",
                       "Port " + std::to_string(port) + "\nListenAddress 127.0.0.1\nHostKey " +
                           (dir / "host_key").string() + "\nPidFile " +
                           (dir / "sshd.pid").string() + "\nAuthorizedKeysFile " +
                           (dir / "authorized_keys").string() +
                           "\nPermitRootLogin prohibit-password\nPubkeyAuthentication yes\n"
                           "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                           "UsePAM no\nStrictModes no\nAllowTcpForwarding yes\nPrintMotd no\n"
                           "Subsystem sftp internal-sftp\nLogLevel VERBOSE\n");
        if (!StartSshd()) GTEST_SKIP() << why;
        ASSERT_GT(sshd, 0) << "the throwaway sshd did not start: " << why;

        // The client's own configuration: the server's key known in advance, and nothing read
        // from or written to the user's ~/.ssh or an agent.
        std::string hostKey = ReadFileBytes(dir / "host_key.pub");
        WriteFileBytes(dir / "known_hosts", "[127.0.0.1]:" + std::to_string(port) + " " + hostKey);
        WriteFileBytes(dir / "ssh_config",
                       "Host *\n  UserKnownHostsFile " + (dir / "known_hosts").string() +
                           "\n  GlobalKnownHostsFile /dev/null\n  StrictHostKeyChecking yes\n"
                           "  UpdateHostKeys no\n  IdentitiesOnly yes\n  IdentityAgent none\n"
                           "  PasswordAuthentication no\n  KbdInteractiveAuthentication no\n"
                           "  ConnectTimeout 5\n  LogLevel ERROR\n");
        Cli({"mkdir", "Lab"});
        Cli({"store", "set", "Connect Clients", "SSH2 Options", "string", "--",
             "-F " + (dir / "ssh_config").string() + " -T"});
        Cli({"store", "set", "Connect Clients", "SFTP Options", "string", "--",
             "-F " + (dir / "ssh_config").string() + " -b -"});
    }
    void TearDown() override {
        Stop(proxy);
        Stop(sshd);
    }

    void Keygen(const fs::path& file, const std::string& passphrase) {
        const ProcessResult r = RunProcess(
            "/usr/bin/ssh-keygen", {"-q", "-t", "ed25519", "-N", passphrase, "-f", file.string()});
        ASSERT_EQ(r.status, 0) << r.err;
    }

    // sshd run as root wants its privilege-separation folder, /run/sshd, which only the system's
    // own start of the service makes. Without it, the server runs in a mount namespace of its
    // own where /run is a folder of the test's, so that no system folder is made or changed.
    // False (skip) only when this machine cannot give sshd what it needs; a server that then
    // does not listen is a failure of the test, with sshd's log.
    bool StartSshd() {
        const std::string sshdCommand = "exec /usr/sbin/sshd -D -f " +
                                        (dir / "sshd_config").string() + " -E " +
                                        (dir / "sshd.log").string();
        if (getuid() != 0 || fs::is_directory("/run/sshd")) {
            sshd = StartProcess("/bin/sh", {"-c", sshdCommand});
        } else {
            const ProcessResult probe = RunProcess(
                "/usr/bin/unshare", {"--mount", "--propagation", "private", "/bin/true"});
            if (probe.status != 0) {
                why =
                    "cannot run a throwaway sshd here: /run/sshd does not exist and no private "
                    "mount namespace can be made for one (" +
                    probe.err + ")";
                return false;
            }
            fs::create_directories(dir / "run" / "sshd");
            chmod((dir / "run").c_str(), 0755);
            chmod((dir / "run" / "sshd").c_str(), 0755);
            sshd = StartProcess(
                "/usr/bin/unshare",
                {"--mount", "--propagation", "private", "/bin/sh", "-c",
                 "mount --bind " + (dir / "run").string() + " /run && " + sshdCommand});
        }
        if (sshd > 0 && WaitListening(port, sshd)) return true;
        Stop(sshd);
        why = ReadFileBytes(dir / "sshd.log");
        return true;
    }

    std::vector<std::string> Env() const {
        return {"XDG_DATA_HOME=" + (dir / "data").string(), "SSH_AUTH_SOCK=", "DISPLAY="};
    }
    std::vector<std::string> Args(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--config", (dir / "Config").string()});
        return args;
    }
    void Cli(const std::vector<std::string>& args, const std::optional<std::string>& input = {}) {
        const ProcessResult r = RunProcess(SESSIONDECK_CLI_PATH, Args(args), Env(), input);
        EXPECT_EQ(r.status, 0) << testing::PrintToString(args) << r.err;
    }
    ProcessResult Connect(std::vector<std::string> args, const std::string& input) {
        args.insert(args.begin(), "connect");
        return RunProcess(SESSIONDECK_CLI_PATH, Args(args), Env(), input);
    }
    // A session of the throwaway server as this user, with that key file.
    void NewSession(const std::string& path, const std::string& protocol, const fs::path& key) {
        Cli({"new", path, "--protocol", protocol, "--host", "127.0.0.1", "--port",
             std::to_string(port), "--user", user});
        Cli({"set", path, "Identity Filename", key.string()});
    }

    // Each test process has its own: ctest runs these tests side by side, and the key made by
    // another test's set-up (ssh-keygen takes the passphrase as an argument) must not be taken
    // for the host showing this test's secret.
    const std::string keyPassphrase = "Sd-Pass phrase-" + std::to_string(getpid());
    TempDir dir;
    int port = 0;
    std::string user = "root";
    pid_t sshd = -1;
    pid_t proxy = -1;
    std::string why;
};

}  // namespace

// An SSH2 session runs remote commands through the real ssh (the remote shell reads them from
// standard input; the arithmetic shows that the server ran them, as ssh does not echo its
// input); an SFTP session lists its initial directory in batch mode. That a hostile host name
// reaches ssh as one argument after "--" is shown by the command line's tests.
TEST_F(SshdConnect, Ssh2AndSftpSessionsConnectThroughTheRealClients) {
    NewSession("Lab\\web", "SSH2", dir / "id_plain");
    const ProcessResult ssh = Connect({"Lab\\web"}, "echo sd-remote-$((6*7))\nexit\n");
    EXPECT_EQ(ssh.status, 0) << ssh.err;
    EXPECT_NE(ssh.out.find("sd-remote-42"), std::string::npos) << ssh.out << ssh.err;

    fs::create_directories(dir / "listing");
    WriteFileBytes(dir / "listing" / "alpha.txt", "a");
    NewSession("Lab\\files", "SFTP", dir / "id_plain");
    Cli({"set", "Lab\\files", "Initial Directory", (dir / "listing").string()});
    const ProcessResult sftp = Connect({"Lab\\files", "--transfer"}, "pwd\nls -1\n");
    EXPECT_EQ(sftp.status, 0) << sftp.err;
    EXPECT_NE(sftp.out.find((dir / "listing").string()), std::string::npos) << sftp.out;
    EXPECT_NE(sftp.out.find("alpha.txt"), std::string::npos) << sftp.out << sftp.err;
}

TEST_F(SshdConnect, AskpassDeliversTheStoredPassphraseAndNoProcessShowsIt) {
    NewSession("Lab\\locked", "SSH2", dir / "id_locked");
    Cli({"set", "Lab\\locked", "Password", "--password-stdin"}, keyPassphrase + "\n");

    RunningProcess client(SESSIONDECK_CLI_PATH, Args({"connect", "Lab\\locked"}), Env());
    ASSERT_GT(client.pid(), 0);
    ASSERT_TRUE(client.Write("echo sd-unlocked-$((2+3))\nsleep 1\n"));
    // While the client runs: no process's arguments or environment hold the passphrase. The
    // scan must have seen the client itself, or it proved nothing.
    int scans = 0;
    bool sawClient = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(900);
    while (std::chrono::steady_clock::now() < until && client.Running()) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/proc", ec)) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            // Everything a process shows of itself to other users.
            const std::string view = ReadFileBytes(entry.path() / "cmdline") + "\n" +
                                     ReadFileBytes(entry.path() / "environ");
            EXPECT_EQ(view.find(keyPassphrase), std::string::npos)
                << "process " << name << " shows the secret";
            if (view.find("id_locked") != std::string::npos &&
                view.find("SSH_ASKPASS=") != std::string::npos)
                sawClient = true;
        }
        ++scans;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    client.Write("exit\n");
    client.CloseInput();
    const ProcessResult r = client.Wait(15000);
    EXPECT_GT(scans, 0);
    EXPECT_TRUE(sawClient) << "the scan never saw the ssh client with its askpass variable";
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("sd-unlocked-5"), std::string::npos) << r.out << r.err;

    // The stored secret is what opened the key: a wrong one does not.
    Cli({"set", "Lab\\locked", "Password", "--password-stdin"}, std::string("wrong\n"));
    const ProcessResult wrong = Connect({"Lab\\locked"}, "echo sd-unlocked-$((2+3))\nexit\n");
    EXPECT_NE(wrong.status, 0);
    EXPECT_EQ(wrong.out.find("sd-unlocked-5"), std::string::npos) << wrong.out;
}

TEST_F(SshdConnect, ASocksFirewallCarriesTheConnectionThroughTheProxy) {
    // The proxy: a dynamic forward of the same server, logging what it forwards.
    const int socksPort = FreePort();
    proxy =
        StartProcess("/usr/bin/ssh",
                     {"-F", (dir / "ssh_config").string(), "-i", (dir / "id_plain").string(), "-p",
                      std::to_string(port), "-N", "-v", "-E", (dir / "proxy.log").string(), "-D",
                      "127.0.0.1:" + std::to_string(socksPort), user + "@127.0.0.1"},
                     Env());
    ASSERT_TRUE(WaitListening(socksPort, proxy)) << ReadFileBytes(dir / "proxy.log");
    Cli({"firewall", "set", "Tunnel", "Firewall Type", "SOCKSv5"});
    Cli({"firewall", "set", "Tunnel", "Firewall Address", "127.0.0.1"});
    Cli({"firewall", "set", "Tunnel", "Firewall Port", std::to_string(socksPort)});
    NewSession("Lab\\behind", "SSH2", dir / "id_plain");
    Cli({"set", "Lab\\behind", "Firewall Name", "Tunnel"});

    const ProcessResult r = Connect({"Lab\\behind"}, "echo sd-proxied-$((3*3))\nexit\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("sd-proxied-9"), std::string::npos) << r.out << r.err;
    const std::string log = ReadFileBytes(dir / "proxy.log");
    EXPECT_NE(log.find("forwarding to socks"), std::string::npos) << "not through the proxy";
}
