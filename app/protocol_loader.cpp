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

namespace {

constexpr BuiltinProtocolRow kBuiltinRows[] = {
    {1, u"Telnet", &kConnectProtocolGuid, u"Telnet.so"},
    {1, u"RLogin", &kConnectProtocolGuid, u"RLogin.so"},
    {1, u"Serial", &kConnectProtocolGuid, u"Serial.so"},
    {1, u"TAPI", &kConnectProtocolGuid, u"TAPI.so"},
    {3, u"SSH2", &kConnectProtocolGuid, u"SSH2.so"},
    {3, u"SSH1", &kConnectProtocolGuid, u"SSH2.so"},
    {3, u"Telnet", &kConnectProtocolGuid, u"Telnet.so"},
    {3, u"Telnet/SSL", &kConnectProtocolGuid, u"TelnetSSL.so"},
    {3, u"RLogin", &kConnectProtocolGuid, u"RLogin.so"},
    {3, u"Serial", &kConnectProtocolGuid, u"Serial.so"},
    {3, u"TAPI", &kConnectProtocolGuid, u"TAPI.so"},
    {6, u"SFTP", &kConnectProtocolGuid, u"SFTP.so"},
    {6, u"FTP", &kConnectProtocolGuid, u"FTP.so"},
    {6, u"FTP/SSL (implicit)", &kConnectProtocolGuid, u"FTPSSL.so"},
    {6, u"FTP/SSL (explicit)", &kConnectProtocolGuid, u"FTPSSL.so"},
    {7, u"SSH2", &kConnectProtocolGuid, u"SSH2.so"},
    {0, nullptr, nullptr, nullptr},
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
void OfferDownload(VAppFnTable& fns, const BuiltinProtocolRow& row, int productId,
                   const VUnicodeString& dllPath, const VGuid& moduleGuid, bool& offerDownload,
                   bool& exitApplication) {
    const VUnicodeString hostProduct = HostProductName(fns);
    const VUnicodeString rowProduct = GetProductDisplayName(productId);
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
        productId == kProductFerrivo ? u"file transfer" : u"terminal emulation";
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

// Loads built-in row `rowIndex` for `productId` from `folder` (null: register
// "None" for the product). True when a row was added; its index goes to
// `addedRow`.
bool LoadProtocolRow(const VUnicodeString* folder, int rowIndex, int productId, VAppFnTable& fns,
                     int& addedRow, bool& exitApplication, bool& offerDownload) {
    addedRow = -1;
    exitApplication = false;
    ConnectProtocolTableElement element;
    ConnectProtocolTable& table = GetConnectProtocolTable();

    if (!folder) {
        element.protocolName = ConnectConfigPtr::kNoneProtocol;
        element.Create = &NoneConfig::Create;
        element.productId = productId;
        addedRow = table.Add(element);
        return true;
    }

    const BuiltinProtocolRow& row = kBuiltinRows[rowIndex];
    element.dllPath = JoinFolder(*folder, row.moduleFile);
    element.protocolName = row.protocolName;
    element.productId = productId;

    if (GetPolicyBool(u"Enable FIPS Mode", false)) {
        for (const char16_t* name : kNonFipsProtocols) {
            if (element.protocolName == name) return false;
        }
    }
    if (element.protocolName == u"SSH1" &&
        !platform::GetFileStatus(NativePath(JoinFolder(*folder, u"SSH1.enable"))).exists)
        return false;

    VReportMessageParams moduleReport;
    VDynamicLibrary library;
    uint32_t status = 0;
    std::string systemText;  // the loader's own explanation, kept for the host
    const VGuid* moduleGuid = nullptr;
    try {
        if (!(element.moduleHandle && element.GetProtocolGuid)) {
            const platform::FileStatus file = platform::GetFileStatus(NativePath(element.dllPath));
            if (element.dllPath.IsEmpty() || !file.exists || file.isFolder) {
                status = kMsgDllDoesNotExist;
            } else {
                if (!library.Open(NativePath(element.dllPath), systemText)) {
                    status = kMsgDllEntryPointFailed;
                } else {
                    element.GetProtocolGuid = reinterpret_cast<GetProtocolGuidFunction>(
                        library.Symbol(kGetProtocolGuidExport, systemText));
                    if (!element.GetProtocolGuid) status = kMsgDllEntryPointFailed;
                }
            }
        }
        if (status == kMsgDllDoesNotExist) return false;
        if (status == 0) {
            moduleGuid = element.GetProtocolGuid();
            if (!moduleGuid || !(*moduleGuid == *row.expectedGuid)) {
                status = kMsgDllGuidMismatch;
            } else {
                element.LoadProtocol = reinterpret_cast<LoadProtocolFunction>(
                    library.Symbol(kLoadProtocolExport, systemText));
                if (!element.LoadProtocol) {
                    status = kMsgDllEntryPointFailed;
                } else if (!element.LoadProtocol(fns, &element, &moduleReport)) {
                    status = moduleReport.GetMessageId();
                    // A module that fails without saying why still fails.
                    if (status == 0) status = kMsgDllEntryPointFailed;
                }
            }
        }
    } catch (...) {
        // Nothing a module throws may cross into the host.
        status = kMsgDllLoadException;
    }

    if (status == 0) {
        element.moduleHandle = library.Release();
        addedRow = table.Add(element);
    } else {
        moduleReport.SetMessageId(status);
        RecordLoadFailure(element, status, systemText, moduleReport);
        if (offerDownload) {
            const VUnicodeString rowProduct = GetProductDisplayName(productId);
            if (status == kMsgDllGuidMismatch && rowProduct != HostProductName(fns)) {
                const VGuid foreignGuid = moduleGuid ? *moduleGuid : *row.expectedGuid;
                OfferDownload(fns, row, productId, element.dllPath, foreignGuid, offerDownload,
                              exitApplication);
            } else {
                VReportMessageParams box(kMsgProtocolDllLoadFailed);
                box.AddInsert(element.dllPath.c_str());
                box.AddInsert(rowProduct.c_str());
                box.AddInsert(element.protocolName.c_str());
                box.AddInsert(moduleReport.GetText());
                GetPrompt().ShowMessage(box.GetText(), GetAppName(), VPromptButtons::kOk,
                                        VPromptIcon::kExclamation);
            }
        }
        // `library` unloads the module as it goes out of scope.
    }

    if (addedRow >= 0 &&
        (element.protocolName.EqualsNoCase(u"SSH2") || element.protocolName.EqualsNoCase(u"SFTP")))
        SetGlobalPagesHook(element.globalPages);
    return addedRow >= 0;
}

}  // namespace

std::span<const BuiltinProtocolRow> GetBuiltinProtocolList() {
    return std::span<const BuiltinProtocolRow>(kBuiltinRows, std::size(kBuiltinRows) - 1);
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
    const VUnicodeString folderText(folder);
    int count = 0;
    for (int i = 0; kBuiltinRows[i].productId != 0; ++i) {
        const uint64_t started = CurrentFileTime();
        if (kBuiltinRows[i].productId != productId) continue;
        int addedRow = -1;
        bool exitApplication = false;
        const bool added = LoadProtocolRow(&folderText, i, productId, fns, addedRow,
                                           exitApplication, offerDownload);
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
    if (LoadProductConnectionProtocolDlls(productId, folder, fns, progress, offerDownload,
                                          report) == 0)
        return false;

    int sibling = 0;
    if (productId == kProductVetralon && IsFerrivoInstalled()) {
        sibling = kProductFerrivo;
    } else if (productId == kProductFerrivo && CanLaunchTerminalApp()) {
        sibling = kProductVetralon;
    } else {
        return true;
    }

    if (LoadProductConnectionProtocolDlls(sibling, folder, fns, progress, offerDownload, report) >
        0) {
        for (int product : {productId, sibling}) {
            int addedRow = -1;
            bool exitApplication = false;
            LoadProtocolRow(nullptr, -1, product, fns, addedRow, exitApplication, offerDownload);
        }
        return true;
    }
    if (report.GetMessageId() == kMsgExitApplication) return false;
    SetClientApplicationPresent(
        sibling == kProductFerrivo ? ClientApplication::Ferrivo : ClientApplication::Vetralon,
        false);
    return true;
}
