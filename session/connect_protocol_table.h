// The process-wide table of loaded connection protocols: one row per protocol module the host
// loaded, found by index, name and product.
#pragma once

#include <cstdint>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/product.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "foundation/unknown.h"

namespace sessiondeck {

class ConnectConfig;
class ICommonConfig;
class VProfileKey;
struct ConnectProtocolTableElement;

// The interface version every protocol module must answer from GetProtocolGuid:
// {5DA32824-A4BE-4671-9724-BD9091CADFB3}.
inline constexpr VGuid kConnectProtocolGuid = {
    0x5da32824, 0xa4be, 0x4671, {0x97, 0x24, 0xbd, 0x90, 0x91, 0xca, 0xdf, 0xb3}};

// The host's table of functions, handed unchanged to every module's
// LoadProtocol. Its entries are a contract between the host and its modules;
// the library itself calls only GetProductName, the fifth.
struct VAppFnTable {
    using Entry = void (*)();
    Entry hostEntries[4] = {};
    // The host's product name ("Vetralon", "Ferrivo", ...).
    const char16_t* (*GetProductName)() = nullptr;
    Entry moreHostEntries[11] = {};
};

// The hooks a row carries. Every one has a default that does nothing (or
// answers null), so a caller may call any hook of any row unchecked.
using ConnectConfigCreateFunction = ConnectConfig* (*)(VProfileKey* key, ICommonConfig* common);
using SessionPagesFunction = void* (*)();
using GlobalPagesFunction = void* (*)(void* dialog, int flags);
using ProtocolHookFunction = void (*)();
using WizardPageFunction = void* (*)(void* wizard, int flags, int* outValue);
using GetProtocolGuidFunction = const VGuid* (*)();
using LoadProtocolFunction = bool (*)(VAppFnTable& fns, ConnectProtocolTableElement* element,
                                      IReportMessageParams* report);

// The exported names a protocol module provides.
inline constexpr const char kGetProtocolGuidExport[] = "GetProtocolGuid";
inline constexpr const char kLoadProtocolExport[] = "LoadProtocol";

// One loaded protocol. Copied by value into the table; the module fills in
// the hooks it provides from LoadProtocol.
struct SESSIONDECK_API ConnectProtocolTableElement {
    ConnectProtocolTableElement();

    VUnicodeString protocolName;
    int productId = 0;  // a Product's number (ProductId); modules read it as an int
    uintptr_t reserved1 = 0;
    ConnectConfigCreateFunction Create = nullptr;
    uintptr_t reserved2 = 0;
    SessionPagesFunction sessionPages;
    GlobalPagesFunction globalPages;
    ProtocolHookFunction hook1;
    ProtocolHookFunction hook2;
    ProtocolHookFunction hook3;
    WizardPageFunction wizardPage;
    ProtocolHookFunction wizardHook;
    // Called once per row when the configuration moves to a removable drive.
    ProtocolHookFunction migrationHook;
    uintptr_t reserved3[3] = {};
    VUnicodeString dllPath;
    // The loaded module (a dlopen handle); a row that was added keeps its
    // module loaded for the life of the process.
    void* moduleHandle = nullptr;
    GetProtocolGuidFunction GetProtocolGuid = nullptr;
    LoadProtocolFunction LoadProtocol = nullptr;
};

// Rows are only ever added: a row's index names its protocol for the rest of
// the process (connect configurations keep one slot per row).
class SESSIONDECK_API ConnectProtocolTable {
public:
    ConnectProtocolTable();

    int GetSize() const { return static_cast<int>(m_rows.GetSize()); }
    // Raises VArray::OutOfRange outside 0 to size-1.
    ConnectProtocolTableElement& operator[](int index);
    const ConnectProtocolTableElement& operator[](int index) const;
    int Add(const ConnectProtocolTableElement& element);

    // The first row named `name` (without regard to case) that belongs to a
    // product of `products` (null: any product); -1 when there is none.
    int Find(std::u16string_view name, std::initializer_list<int> products = {}) const;

    // Empties the table and the global pages hook. Hosts never do this (rows
    // identify protocols for the life of the process); it exists so that tests
    // can load a fresh table in one process.
    void ResetForTesting();

private:
    VArray<ConnectProtocolTableElement> m_rows;
};

SESSIONDECK_API ConnectProtocolTable& GetConnectProtocolTable();

// The global pages function of the last added "SSH2" or "SFTP" row; null
// until one is added. The Global Options dialog calls it to add the SSH-level
// pages.
SESSIONDECK_API GlobalPagesFunction GetGlobalPagesHook();
SESSIONDECK_API void SetGlobalPagesHook(GlobalPagesFunction hook);

// Terminal-side rows are those of Vetra and Vetralon, transfer-side rows those
// of Ferrivo; a row's productId reads as a Product through ToProduct.
inline bool IsTerminalProduct(Product product) {
    return product == Product::Vetra || product == Product::Vetralon;
}
inline bool IsTransferProduct(Product product) {
    return product == Product::Ferrivo;
}

}  // namespace sessiondeck
