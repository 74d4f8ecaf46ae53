// Loading the connection protocol modules: the built-in list, the row loader with its policy,
// version and failure rules, and the download offer when a sibling's modules do not fit.
#include "app/protocol_loader.h"

#include <chrono>
#include <cstdio>
#include <mutex>

#include "app/init.h"
#include "app/siblings.h"
#include "foundation/message_format.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "profile/profile_store.h"
#include "session/connect_config.h"

namespace sessiondeck {

namespace {

constexpr BuiltinProtocolRow kBuiltinRows[] = {
    {Product::Vetra, u"Telnet", &kConnectProtocolGuid, u"Telnet.so"},
    {Product::Vetra, u"RLogin", &kConnectProtocolGuid, u"RLogin.so"},
    {Product::Vetra, u"Serial", &kConnectProtocolGuid, u"Serial.so"},
    {Product::Vetra, u"TAPI", &kConnectProtocolGuid, u"TAPI.so"},
    {Product::Vetralon, u"SSH2", &kConnectProtocolGuid, u"SSH2.so"},
    {Product::Vetralon, u"SSH1", &kConnectProtocolGuid, u"SSH2.so"},
    {Product::Vetralon, u"Telnet", &kConnectProtocolGuid, u"Telnet.so"},
    {Product::Vetralon, u"Telnet/SSL", &kConnectProtocolGuid, u"TelnetSSL.so"},
    {Product::Vetralon, u"RLogin", &kConnectProtocolGuid, u"RLogin.so"},
    {Product::Vetralon, u"Serial", &kConnectProtocolGuid, u"Serial.so"},
    {Product::Vetralon, u"TAPI", &kConnectProtocolGuid, u"TAPI.so"},
    {Product::Ferrivo, u"SFTP", &kConnectProtocolGuid, u"SFTP.so"},
    {Product::Ferrivo, u"FTP", &kConnectProtocolGuid, u"FTP.so"},
    {Product::Ferrivo, u"FTP/SSL (implicit)", &kConnectProtocolGuid, u"FTPSSL.so"},
    {Product::Ferrivo, u"FTP/SSL (explicit)", &kConnectProtocolGuid, u"FTPSSL.so"},
    {Product::Ssh2Only, u"SSH2", &kConnectProtocolGuid, u"SSH2.so"},
};

// Protocols a FIPS-validated installation must not offer.
constexpr const char16_t* kNonFipsProtocols[] = {u"SSH1", u"Telnet/SSL", u"FTP/SSL (implicit)",
                                                 u"FTP/SSL (explicit)"};

constexpr char16_t kDownloadWebPage[] = u"https://www.norvik-software.example/go.php";

struct LoaderState {
    std::mutex lock;
    PolicyLookup policy;
    VUnicodeString folder;
    std::vector<ProtocolLoadFailure> failures;
};

LoaderState& State() {
    static auto* state = new LoaderState;
    return *state;
}

std::optional<bool> StorePolicy(std::u16string_view name) {
    if (!GetCurrentProfileStoreFactory()) return std::nullopt;
    VProfileStore store(true);
    VProfileKey policy(store.GetRootKey(), u"Policy");
    uint32_t value = 0;
    if (!policy.QueryDword(VUnicodeString(name).c_str(), value)) return std::nullopt;
    return value != 0;
}

uint64_t CurrentFileTime() {
    // 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
    constexpr uint64_t kEpochDifference = 116444736000000000ull;
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return kEpochDifference + static_cast<uint64_t>(since1970.count() / 100);
}

VUnicodeString JoinFolder(const VUnicodeString& folder, const char16_t* file) {
    VUnicodeString path = folder;
    if (!path.IsEmpty() && path[path.Length() - 1] != u'/' && path[path.Length() - 1] != u'\\')
        path += u"/";
    return path + file;
}

std::string NativePath(const VUnicodeString& path) {
    return platform::ToNativeSeparators(path.ToUtf8());
}

VUnicodeString GuidText(const VGuid& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", guid.data1,
                  guid.data2, guid.data3, guid.data4[0], guid.data4[1], guid.data4[2],
                  guid.data4[3], guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
    return VUnicodeString::FromUtf8(text);
}

VUnicodeString HostProductName(VAppFnTable& fns) {
    const char16_t* name = fns.GetProductName ? fns.GetProductName() : nullptr;
    return VUnicodeString(name);
}

// The sibling's module belongs to another version of the family: offer to
// download whichever side is older. OK continues without the module (and
// without further offers); anything else asks the host to end.
void OfferDownload(VAppFnTable& fns, const BuiltinProtocolRow& row, Product product,
                   const VUnicodeString& dllPath, const VGuid& moduleGuid, bool& offerDownload,
                   bool& exitApplication) {
    const VUnicodeString hostProduct = HostProductName(fns);
    const VUnicodeString rowProduct = GetProductDisplayName(product);
    VUnicodeString downloadProduct = rowProduct;
    const VGuid* downloadGuid = row.expectedGuid;
    const auto moduleTime = platform::LastWriteTime(NativePath(dllPath));
    const auto hostTime = platform::LastWriteTime(RunningExecutablePath());
    if (moduleTime && hostTime && *moduleTime > *hostTime) {
        // The module is newer than the host: the host is the outdated side.
        downloadProduct = hostProduct;
        downloadGuid = &moduleGuid;
    }
    const VUnicodeString kind =
        product == Product::Ferrivo ? u"file transfer" : u"terminal emulation";
    const std::u16string text = FormatMessageText(
        u"%1 cannot use the %4 protocols installed with %2: the two programs belong to "
        u"different versions.\r\n\r\nChoose OK to continue without them, or Cancel to close "
        u"%1. Tick the box below to download the current version of %3 before %1 closes.",
        std::u16string_view(hostProduct), std::u16string_view(rowProduct),
        std::u16string_view(downloadProduct), std::u16string_view(kind));
    const std::u16string check =
        FormatMessageText(u"Download %1 now", std::u16string_view(downloadProduct));
    const VPromptCheckedAnswer answer = GetPrompt().ShowOptionalMessage(
        VUnicodeString(text), GetAppName(), VPromptButtons::kOkCancel, VPromptIcon::kExclamation,
        VUnicodeString(check));
    if (answer.button == VPromptAnswer::kOk) {
        offerDownload = false;
        return;
    }
    exitApplication = true;
    if (answer.checked) {
        OpenWithDesktop(BuildProductDownloadUrl(downloadProduct, *downloadGuid).ToUtf8());
    }
}

// Adds the "None" row of `product`, which an integrated host shows beside
// the protocols of each side.
void AddNoneRow(Product product) {
    ConnectProtocolTableElement element;
    element.protocolName = ConnectConfigPtr::kNoneProtocol;
    element.Create = &NoneConfig::Create;
    element.productId = ProductId(product);
    GetConnectProtocolTable().Add(element);
}

// Keeps why a module failed, with the loader's own text, for the host to show.
void RecordLoadFailure(const ConnectProtocolTableElement& element, uint32_t status,
                       const std::string& systemText, VReportMessageParams& moduleReport) {
    ProtocolLoadFailure failure{element.protocolName, element.dllPath, status,
                                VUnicodeString::FromUtf8(systemText)};
    if (failure.systemText.IsEmpty()) failure.systemText = moduleReport.GetTextSingleLine();
    std::lock_guard lock(State().lock);
    State().failures.push_back(std::move(failure));
}

// Whether an earlier load filled the table from modules: then loading again
// would only repeat every row.
bool TableHoldsLoadedModules() {
    const ConnectProtocolTable& table = GetConnectProtocolTable();
    for (int i = 0; i < table.GetSize(); ++i) {
        if (table[i].moduleHandle) return true;
    }
    return false;
}

// Whether this installation offers the row's protocol at all: a FIPS
// installation leaves out the protocols it must not offer, and SSH1 is
// offered only where the protocol folder holds "SSH1.enable".
bool IsRowOffered(const BuiltinProtocolRow& row, const VUnicodeString& folder) {
    const VUnicodeString name(row.protocolName);
    if (GetPolicyBool(u"Enable FIPS Mode", false)) {
        for (const char16_t* excluded : kNonFipsProtocols) {
            if (name == excluded) return false;
        }
    }
    return name != u"SSH1" ||
           platform::GetFileStatus(NativePath(JoinFolder(folder, u"SSH1.enable"))).exists;
}

// What loading one module came to: 0 when `element` is filled and `library`
// holds the module, else the message id of the failure.
struct ModuleLoad {
    uint32_t status = 0;
    // The interface version the module answered; null when it was not asked.
    const VGuid* moduleGuid = nullptr;
    // The loader's own explanation (dlerror), kept for the host.
    std::string systemText;
    // The module's own report when its LoadProtocol refused the row.
    VReportMessageParams moduleReport;
};

// Opens the element's module, checks its interface version and has it fill
// the element. Nothing a module throws crosses into the host.
ModuleLoad LoadRowModule(VAppFnTable& fns, const BuiltinProtocolRow& row,
                         ConnectProtocolTableElement& element, VDynamicLibrary& library) {
    ModuleLoad load;
    try {
        const platform::FileStatus file = platform::GetFileStatus(NativePath(element.dllPath));
        if (element.dllPath.IsEmpty() || !file.exists || file.isFolder) {
            load.status = kMsgDllDoesNotExist;
            return load;
        }
        if (!library.Open(NativePath(element.dllPath), load.systemText)) {
            load.status = kMsgDllEntryPointFailed;
            return load;
        }
        element.GetProtocolGuid = reinterpret_cast<GetProtocolGuidFunction>(
            library.Symbol(kGetProtocolGuidExport, load.systemText));
        if (!element.GetProtocolGuid) {
            load.status = kMsgDllEntryPointFailed;
            return load;
        }
        load.moduleGuid = element.GetProtocolGuid();
        if (!load.moduleGuid || !(*load.moduleGuid == *row.expectedGuid)) {
            load.status = kMsgDllGuidMismatch;
            return load;
        }
        element.LoadProtocol = reinterpret_cast<LoadProtocolFunction>(
            library.Symbol(kLoadProtocolExport, load.systemText));
        if (!element.LoadProtocol) {
            load.status = kMsgDllEntryPointFailed;
        } else if (!element.LoadProtocol(fns, &element, &load.moduleReport)) {
            load.status = load.moduleReport.GetMessageId();
            // A module that fails without saying why still fails.
            if (load.status == 0) load.status = kMsgDllEntryPointFailed;
        }
    } catch (...) {
        load.status = kMsgDllLoadException;
    }
    return load;
}

// Tells the user that a present module could not be loaded: a sibling's
// module of another version gets the download offer, anything else a message
// naming the module, the product, the protocol and the reason.
void ReportRowFailure(VAppFnTable& fns, const BuiltinProtocolRow& row, Product product,
                      const ConnectProtocolTableElement& element, ModuleLoad& load,
                      bool& offerDownload, bool& exitApplication) {
    const VUnicodeString rowProduct = GetProductDisplayName(product);
    if (load.status == kMsgDllGuidMismatch && rowProduct != HostProductName(fns)) {
        const VGuid foreignGuid = load.moduleGuid ? *load.moduleGuid : *row.expectedGuid;
        OfferDownload(fns, row, product, element.dllPath, foreignGuid, offerDownload,
                      exitApplication);
        return;
    }
    VReportMessageParams box(kMsgProtocolDllLoadFailed);
    box.AddInsert(element.dllPath.c_str());
    box.AddInsert(rowProduct.c_str());
    box.AddInsert(element.protocolName.c_str());
    box.AddInsert(load.moduleReport.GetText());
    GetPrompt().ShowMessage(box.GetText(), GetAppName(), VPromptButtons::kOk,
                            VPromptIcon::kExclamation);
}

// Adds a loaded row to the table, keeping its module loaded; the last "SSH2"
// or "SFTP" row added provides the global options' SSH pages.
void AddLoadedRow(ConnectProtocolTableElement& element, VDynamicLibrary& library) {
    element.moduleHandle = library.Release();
    GetConnectProtocolTable().Add(element);
    if (element.protocolName.EqualsNoCase(u"SSH2") || element.protocolName.EqualsNoCase(u"SFTP"))
        SetGlobalPagesHook(element.globalPages);
}

// Loads built-in row `rowIndex` for `product` from `folder`. True when a row
// was added. A missing module is passed over in silence; any other failure is
// reported when `offerDownload` allows, and may ask the host to end.
bool LoadProtocolRow(const VUnicodeString& folder, int rowIndex, Product product, VAppFnTable& fns,
                     bool& exitApplication, bool& offerDownload) {
    exitApplication = false;
    const BuiltinProtocolRow& row = kBuiltinRows[rowIndex];
    if (!IsRowOffered(row, folder)) return false;

    ConnectProtocolTableElement element;
    element.dllPath = JoinFolder(folder, row.moduleFile);
    element.protocolName = row.protocolName;
    element.productId = ProductId(product);
    VDynamicLibrary library;
    ModuleLoad load = LoadRowModule(fns, row, element, library);
    if (load.status == 0) {
        AddLoadedRow(element, library);
        return true;
    }
    if (load.status == kMsgDllDoesNotExist) return false;
    load.moduleReport.SetMessageId(load.status);
    RecordLoadFailure(element, load.status, load.systemText, load.moduleReport);
    if (offerDownload)
        ReportRowFailure(fns, row, product, element, load, offerDownload, exitApplication);
    // `library` unloads the module as it goes out of scope.
    return false;
}

// Loads every built-in row of `product`; LoadProductConnectionProtocolDlls's work.
int LoadProductRows(Product product, const char16_t* folder, VAppFnTable& fns,
                    ProtocolProgressFunction progress, bool& offerDownload,
                    VReportMessageParams& report) {
    const VUnicodeString folderText(folder);
    int count = 0;
    for (int i = 0; i < static_cast<int>(std::size(kBuiltinRows)); ++i) {
        const uint64_t started = CurrentFileTime();
        if (kBuiltinRows[i].product != product) continue;
        bool exitApplication = false;
        const bool added =
            LoadProtocolRow(folderText, i, product, fns, exitApplication, offerDownload);
        if (exitApplication) {
            report = VReportMessageParams(kMsgExitApplication);
            return 0;
        }
        if (added) ++count;
        if (progress) progress(started, kBuiltinRows[i].protocolName);
    }
    if (count > 0) return count;
    report = VReportMessageParams(kMsgNoProtocolDlls);
    report.AddInsert(folderText.c_str());
    report.AddInsert(GetAppName().c_str());
    // The text names only the folder; the third insert says, module by
    // module, what the system answered, for a host that shows details.
    VUnicodeString details;
    for (const ProtocolLoadFailure& failure : GetProtocolLoadFailures()) {
        if (failure.protocolName.IsEmpty() || failure.systemText.IsEmpty()) continue;
        details += failure.modulePath + u": " + failure.systemText + u"\r\n";
    }
    report.AddInsert(details.c_str());
    return 0;
}

}  // namespace

std::span<const BuiltinProtocolRow> GetBuiltinProtocolList() {
    return kBuiltinRows;
}

void SetPolicyLookup(PolicyLookup lookup) {
    std::lock_guard lock(State().lock);
    State().policy = std::move(lookup);
}

bool GetPolicyBool(std::u16string_view name, bool defaultValue) {
    PolicyLookup lookup;
    {
        std::lock_guard lock(State().lock);
        lookup = State().policy;
    }
    const std::optional<bool> value = lookup ? lookup(name) : StorePolicy(name);
    return value.value_or(defaultValue);
}

std::vector<ProtocolLoadFailure> GetProtocolLoadFailures() {
    std::lock_guard lock(State().lock);
    return State().failures;
}

VUnicodeString GetProtocolFolder() {
    std::lock_guard lock(State().lock);
    return State().folder;
}

VUnicodeString BuildProductDownloadUrl(const VUnicodeString& product, const VGuid& guid) {
    return VUnicodeString(FormatMessageText(u"%1?pid=%2&guid=%3", kDownloadWebPage,
                                            std::u16string_view(product),
                                            std::u16string_view(GuidText(guid))));
}

int LoadProductConnectionProtocolDlls(int productId, const char16_t* folder, VAppFnTable& fns,
                                      ProtocolProgressFunction progress, bool& offerDownload,
                                      VReportMessageParams& report) {
    return LoadProductRows(ToProduct(productId), folder, fns, progress, offerDownload, report);
}

bool LoadConnectionProtocolDlls(VAppFnTable& fns, int productId, const char16_t* folder,
                                ProtocolProgressFunction progress, bool& offerDownload,
                                VReportMessageParams& report) {
    if (TableHoldsLoadedModules()) {
        report = VReportMessageParams();
        return true;
    }
    {
        std::lock_guard lock(State().lock);
        State().folder = VUnicodeString(folder);
        State().failures.clear();
    }
    const Product product = ToProduct(productId);
    if (LoadProductRows(product, folder, fns, progress, offerDownload, report) == 0) return false;

    Product sibling = Product::None;
    if (product == Product::Vetralon && IsFerrivoInstalled()) {
        sibling = Product::Ferrivo;
    } else if (product == Product::Ferrivo && CanLaunchTerminalApp()) {
        sibling = Product::Vetralon;
    } else {
        return true;
    }

    if (LoadProductRows(sibling, folder, fns, progress, offerDownload, report) > 0) {
        for (Product side : {product, sibling}) AddNoneRow(side);
        return true;
    }
    if (report.GetMessageId() == kMsgExitApplication) return false;
    SetClientApplicationPresent(
        sibling == Product::Ferrivo ? ClientApplication::Ferrivo : ClientApplication::Vetralon,
        false);
    return true;
}

}  // namespace sessiondeck
