// LoadLibraryFunctions: a module's entry points resolved into the caller's slots, failures as
// reports.
#include "foundation/load_library.h"

#include <string>
#include <vector>

#include "foundation/codepage.h"
#include "foundation/messages.h"

namespace sessiondeck {

namespace {

VReportMessageParams LoadFailure(uint32_t id, std::u16string_view fileName,
                                 const std::string& systemError) {
    VReportMessageParams report(id);
    report.AddInsert(fileName);
    report.AddInsert(Utf8ToUtf16(systemError));
    return report;
}

}  // namespace

VReportMessageParams LoadLibraryFunctions(std::u16string_view fileName,
                                          const VLibraryFunctionEx* table,
                                          VDynamicLibrary& library) {
    // The rows this call must resolve, with what their slots held before so a
    // failed call can put everything back.
    struct Pending {
        const VLibraryFunctionEx* row;
        void* before;
    };
    std::vector<Pending> pending;
    bool anyRequired = false;
    for (const VLibraryFunctionEx* row = table; row && row->name; ++row) {
        if (!row->slot) continue;  // nowhere to put the address: nothing to do for this row
        if ((row->flags & kLibraryFunctionSkipIfResolved) && *row->slot) continue;
        pending.push_back({row, *row->slot});
        if (!(row->flags & kLibraryFunctionOptional)) anyRequired = true;
    }
    auto restore = [&] {
        for (const Pending& p : pending) *p.row->slot = p.before;
    };

    VDynamicLibrary loaded;
    std::string error;
    if (!loaded.Open(Utf16ToUtf8(fileName), error)) {
        if (anyRequired) return LoadFailure(kMsgHostLibraryLoadFailed, fileName, error);
        for (const Pending& p : pending) *p.row->slot = nullptr;
        return VReportMessageParams(0);
    }

    for (const Pending& p : pending) {
        void* address = loaded.Symbol(p.row->name, error);
        if (!address && !(p.row->flags & kLibraryFunctionOptional)) {
            // No slot may point into a module we are about to unload.
            restore();
            loaded.Close();
            return LoadFailure(kMsgHostEntryPointMissing, fileName, error);
        }
        *p.row->slot = address;
    }
    library = std::move(loaded);
    return VReportMessageParams(0);
}

VReportMessageParams LoadLibraryFunctions(std::u16string_view fileName,
                                          const VLibraryFunction* table, VDynamicLibrary& library) {
    std::vector<VLibraryFunctionEx> rows;
    for (const VLibraryFunction* row = table; row && row->name; ++row) {
        rows.push_back({row->name, row->slot, kLibraryFunctionRequired});
    }
    rows.push_back({nullptr, nullptr, 0});
    return LoadLibraryFunctions(fileName, rows.data(), library);
}

}  // namespace sessiondeck
