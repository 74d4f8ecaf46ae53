// Building the scale workloads through the library itself, and their key-file copies for the peer.
#include "bench/workload.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/global_config.h"
#include "app/init.h"
#include "app/protocol_loader.h"
#include "foundation/codepage.h"
#include "foundation/hex_digits.h"
#include "platform/file_system.h"
#include "platform/write_batch.h"
#include "profile/ini_store_private.h"
#include "session/connect_config.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "session/terminal_config.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace bench {

void ReportPeakMemory(benchmark::State& state) {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

bool IsSessionFile(std::string_view name) {
    return name.ends_with(".ini") && name != "__FolderData__.ini";
}

void WarmUp(const fs::path& root) {
    std::vector<char> buffer(1 << 16);
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(root, error)) {
        if (!entry.is_regular_file()) continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        while (::read(fd, buffer.data(), buffer.size()) > 0) {
        }
        ::close(fd);
    }
}

namespace {

// Written last, naming the size; its name changes when what a session holds
// does, so older workloads are built again.
constexpr const char* kCompleteMarker = "complete-2";

std::unique_ptr<VIniFileStoreFactory> g_factory;

VProfileStoreFactory* CurrentFactory() {
    return g_factory.get();
}

const char16_t* ProductName() {
    return u"Vetralon";
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "workload: %s\n", what.c_str());
    std::exit(2);
}

VUnicodeString U(const std::string& text) {
    return VUnicodeString::FromUtf8(text);
}

std::string Numbered(const char* format, int number) {
    char text[64];
    std::snprintf(text, sizeof text, format, number);
    return text;
}

std::string FolderName(int index) {
    return Numbered("Group %04d", index / kSessionsPerFolder);
}

std::string SessionName(int index) {
    return Numbered("srv-%06d", index);
}

// The terminal and transfer protocols of a session, by index: mostly SSH2,
// some Telnet, RLogin and serial lines, and a share with a transfer side.
struct ProtocolMix {
    const char16_t* terminal;
    const char16_t* transfer;
};

ProtocolMix MixFor(int index) {
    switch (index % 20) {
        case 10:
        case 11:
            return {u"Telnet", u"None"};
        case 12:
            return {u"Telnet", u"FTP"};
        case 13:
            return {u"RLogin", u"None"};
        case 14:
            return {u"Serial", u"None"};
        case 15:
        case 16:
        case 17:
            return {u"SSH2", u"SFTP"};
        case 18:
            return {u"None", u"FTP"};
        default:
            return {u"SSH2", u"None"};
    }
}

void FillConnection(ConnectConfig* config, int index) {
    if (!config) return;
    const VUnicodeString host = U(Numbered("srv-%06d.dc.example.net", index));
    const VUnicodeString user = U(Numbered("op%04d", index % 5000));
    config->SetHostname(host.c_str());
    config->SetUsername(user.c_str());
    const VUnicodeString password = U(Numbered("Pw-%08d!", index * 7919));
    config->SetPassword(password.c_str());
    if (index % 3 == 0) config->SetPort(2200 + index % 100);
}

// One session with every member of its records written: the session record
// (connections, password, description, logging) with its terminal record.
void WriteSession(VProfileKey& key, const std::string& name, int index) {
    auto* session = new SessionConfig(U(name), nullptr);
    const ProtocolMix mix = MixFor(index);
    session->SetTerminalProtocol(mix.terminal);
    session->SetTransferProtocol(mix.transfer);
    FillConnection(session->GetTermConnectConfig(), index);
    FillConnection(session->GetTransferConnectConfig(), index);
    session->monitorPassword = U(Numbered("Pw-%08d!", index * 7919)).str();
    session->description =
        VStringArray{U(Numbered("Server %d", index)), U(Numbered("Rack %d", index % 40))};
    session->logFilename = U(Numbered("/var/log/sessions/%%S-%d.log", index));
    TerminalConfig& terminal = session->terminal;
    static const char16_t* const kEmulations[] = {u"VT100", u"Xterm", u"ANSI", u"Linux"};
    terminal.emulation = VUnicodeString(kEmulations[index % 4]);
    terminal.rows = index % 5 == 0 ? 50 : 24;
    terminal.cols = index % 7 == 0 ? 132 : 80;
    terminal.scrollback = 500 + (index % 20) * 1000;
    session->Save(&key, true);
    session->Release();
}

void WriteFolder(VProfileKey& folder, const std::vector<std::pair<std::string, int>>& sessions) {
    for (const auto& [name, index] : sessions) {
        VProfileKey key(folder, U(name));
        WriteSession(key, name, index);
    }
}

// ---- key-file copies ---------------------------------------------------------------

std::string KeyName(std::u16string_view name) {
    std::string key = Utf16ToUtf8(name);
    for (char& c : key) {
        if (c == '=' || c == '[' || c == ']') c = '_';
    }
    return key;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    AppendHex(text, bytes.data(), bytes.size());
    return text;
}

// The values of one value file as a key file: numbers as numbers, strings as
// strings, binary values as hexadecimal text, string arrays as lists.
void ConvertToKeyFile(const fs::path& valueFile, const fs::path& keyFile) {
    std::string bytes;
    if (!platform::ReadWholeFile(valueFile, bytes)) Fail("cannot read " + valueFile.string());
    VIniFileKey::Map map;
    VIniFileKey::ParseValueFile(bytes, map);
    GKeyFile* file = g_key_file_new();
    for (size_t i = 0; i < map.GetSize(); ++i) {
        if (!map.Exists(i)) continue;
        const std::string key = KeyName(map.GetName(i));
        switch (map.GetKind(i)) {
            case kValueKindDword: {
                uint32_t value = 0;
                map.GetDword(i, value);
                g_key_file_set_uint64(file, "Session", key.c_str(), value);
                break;
            }
            case kValueKindString: {
                VUnicodeString value;
                map.GetString(i, value);
                g_key_file_set_string(file, "Session", key.c_str(), value.ToUtf8().c_str());
                break;
            }
            case kValueKindBinary: {
                uint32_t size = 0;
                map.GetBinary(i, nullptr, size);
                std::vector<uint8_t> value(size);
                map.GetBinary(i, value.data(), size);
                g_key_file_set_string(file, "Session", key.c_str(), Hex(value).c_str());
                break;
            }
            case kValueKindStringArray: {
                VStringArray value;
                map.GetStringArray(i, value);
                std::vector<std::string> texts;
                for (const VUnicodeString& text : value) texts.push_back(text.ToUtf8());
                std::vector<const char*> list;
                for (const std::string& text : texts) list.push_back(text.c_str());
                g_key_file_set_string_list(file, "Session", key.c_str(), list.data(), list.size());
                break;
            }
            default:
                break;
        }
    }
    // Written plainly: GLib's own save flushes every file to disk, which would
    // make the copies of a large workload take minutes.
    gsize length = 0;
    gchar* text = g_key_file_to_data(file, &length, nullptr);
    std::ofstream out(keyFile, std::ios::binary);
    out.write(text, static_cast<std::streamsize>(length));
    g_free(text);
    if (!out) Fail("cannot write " + keyFile.string());
    g_key_file_free(file);
}

void ConvertTree(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
        const fs::path name = entry.path().filename();
        if (entry.is_directory()) {
            ConvertTree(entry.path(), to / name);
        } else if (name.extension() == ".ini" && name.stem() != "__FolderData__") {
            ConvertToKeyFile(entry.path(), to / (name.stem().string() + ".keyfile"));
        }
    }
}

void Generate(const Workload& workload) {
    std::error_code error;
    fs::remove_all(workload.root, error);
    if (!platform::CreateFolders(workload.ConfigFolder()))
        Fail("cannot create " + workload.ConfigFolder().string());
    UseConfigFolder(workload.ConfigFolder());

    {
        GlobalConfig* global = CreateGlobalConfig(nullptr);
        global->Save(true);
        global->Release();
    }
    SessionDatabase database;
    if (ISessionConfig* session = database.Lookup(VUnicodeString(kDefaultSessionName)))
        session->Release();

    // The sessions go to disk in batches; the order records, which list what
    // is on disk, are written once every session is there.
    std::vector<VUnicodeString> folders;
    VProfileStore store(false);
    VProfileKey sessions(store.GetRootKey(), kSessionsKeyName);
    {
        platform::WriteBatch batch;
        for (int first = 0; first < workload.size; first += kSessionsPerFolder) {
            std::vector<std::pair<std::string, int>> names;
            for (int i = first; i < std::min(first + kSessionsPerFolder, workload.size); ++i)
                names.emplace_back(SessionName(i), i);
            folders.push_back(U(FolderName(first)));
            VProfileKey folder(sessions, folders.back());
            WriteFolder(folder, names);
        }
        std::vector<std::pair<std::string, int>> names{{"host", 0}};
        for (int n = 2; n <= kNumberedHosts; ++n) names.emplace_back(Numbered("host (%d)", n), n);
        folders.push_back(VUnicodeString(kNumberedHostsFolder));
        VProfileKey folder(sessions, folders.back());
        WriteFolder(folder, names);
    }
    if (workload.bigFolder > 0) {
        platform::WriteBatch batch;
        std::vector<std::pair<std::string, int>> names;
        for (int i = 0; i < workload.bigFolder; ++i)
            names.emplace_back(Numbered("big-%06d", i), workload.size + i);
        folders.push_back(VUnicodeString(kBigFolder));
        VProfileKey folder(sessions, folders.back());
        WriteFolder(folder, names);
    }
    {
        platform::WriteBatch batch;
        for (const VUnicodeString& name : folders) {
            VProfileKey folder(sessions, name);
            ProfileFolderData(folder, 0).Write(folder);
        }
    }
    ProfileFolderData(sessions, 0).Write(sessions);

    if (workload.bigFolder == 0) ConvertTree(workload.SessionsFolder(), workload.KeyFileFolder());
    std::ofstream(workload.root / kCompleteMarker)
        << workload.size << ' ' << workload.bigFolder << '\n';
}

}  // namespace

void UseConfigFolder(const fs::path& configFolder) {
    static bool started = false;
    g_factory = std::make_unique<VIniFileStoreFactory>(U(configFolder.string()));
    if (!started) {
        started = true;
        SessionDeckDllInitProfileFactory(&CurrentFactory);
        SessionDeckDllInit(u"Vetralon", nullptr);
        SetCurrentAppProductID(ProductId(Product::Vetralon));
        // This host stands for both applications, so the transfer protocols load too.
        SetClientApplicationPresent(ClientApplication::Ferrivo, true);
        VAppFnTable functions;
        functions.GetProductName = &ProductName;
        bool offerDownload = false;
        VReportMessageParams report;
        const VUnicodeString folder = U(SESSIONDECK_PROTOCOL_DIR);
        if (!LoadConnectionProtocolDlls(functions, ProductId(Product::Vetralon), folder.c_str(),
                                        nullptr, offerDownload, report))
            Fail("the protocol modules did not load from " SESSIONDECK_PROTOCOL_DIR);
    }
    GlobalConfig* global = nullptr;
    ReloadGlobalConfig(global);
}

VUnicodeString SessionPath(int index) {
    return U(FolderName(index) + "\\" + SessionName(index));
}

Workload EnsureWorkload(const fs::path& root, int size) {
    return EnsureWorkload(root, size, 0);
}

Workload EnsureWorkload(const fs::path& root, int size, int bigFolder) {
    Workload workload{root, size, bigFolder};
    int stored = -1, storedBig = 0;
    std::ifstream(root / kCompleteMarker) >> stored >> storedBig;
    if (stored != size || storedBig != bigFolder) Generate(workload);
    UseConfigFolder(workload.ConfigFolder());
    return workload;
}

}  // namespace bench
