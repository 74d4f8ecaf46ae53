// Loading the connection protocol modules of the host's product (and of an integrated sibling)
// into the process-wide protocol table.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "foundation/export.h"
#include "foundation/product.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "session/connect_protocol_table.h"

namespace sessiondeck {

// Called once per row of a loaded product, after the attempt, with the time
// taken before it (100-nanosecond intervals since 1601, as the hosts keep
// time) and the row's protocol name.
using ProtocolProgressFunction = void (*)(uint64_t fileTime, const char16_t* protocolName);

// One row of the built-in protocol list.
struct BuiltinProtocolRow {
    Product product;
    const char16_t* protocolName;
    const VGuid* expectedGuid;
    const char16_t* moduleFile;  // the module's file name in the protocol folder
};

// The built-in list.
SESSIONDECK_API std::span<const BuiltinProtocolRow> GetBuiltinProtocolList();

// Loads the host's product and, when a sibling stands beside it, the
// sibling's; in that integrated case a "None" row follows for each. False
// when nothing of the host's product loaded or the user chose to leave from a
// download offer; `report` then says why, and GetProtocolLoadFailures what
// the system said of each module. Once modules are loaded, a further call
// changes nothing and answers true with an empty report, whatever folder or
// product it names: rows are never removed, so loading again would only
// repeat them.
SESSIONDECK_API bool LoadConnectionProtocolDlls(VAppFnTable& fns, int productId,
                                                const char16_t* folder,
                                                ProtocolProgressFunction progress,
                                                bool& offerDownload, VReportMessageParams& report);

// One module that was found but failed to load during the last
// LoadConnectionProtocolDlls: its row's protocol, the module's path, the
// status that became the report's id, and the system's own words (the
// dynamic loader's text, or the module's report when the loader had none).
struct ProtocolLoadFailure {
    VUnicodeString protocolName;
    VUnicodeString modulePath;
    uint32_t status;
    VUnicodeString systemText;
};
SESSIONDECK_API std::vector<ProtocolLoadFailure> GetProtocolLoadFailures();

// Loads every built-in row of `productId` from `folder` and returns how many
// were added. 0 comes with the report 0xE1090018 (nothing loaded; its third
// insert lists each failed module's path and system text, one per line) or
// 0xE1090017 (the user chose to leave the application).
SESSIONDECK_API int LoadProductConnectionProtocolDlls(int productId, const char16_t* folder,
                                                      VAppFnTable& fns,
                                                      ProtocolProgressFunction progress,
                                                      bool& offerDownload,
                                                      VReportMessageParams& report);

// The folder the last LoadConnectionProtocolDlls loaded from.
SESSIONDECK_API VUnicodeString GetProtocolFolder();

// Administrative policy values ("Enable FIPS Mode"), looked up by name. By
// default they are DWORD values of the key "Policy" of the host's store, read
// only; a host may install its own lookup (null restores the default). A
// lookup answers nullopt for a value it does not hold.
using PolicyLookup = std::function<std::optional<bool>(std::u16string_view name)>;
SESSIONDECK_API void SetPolicyLookup(PolicyLookup lookup);
SESSIONDECK_API bool GetPolicyBool(std::u16string_view name, bool defaultValue);

// The maker's download page for `product`, naming the interface version the
// download must match.
SESSIONDECK_API VUnicodeString BuildProductDownloadUrl(const VUnicodeString& product,
                                                       const VGuid& guid);

}  // namespace sessiondeck
