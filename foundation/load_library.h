// Loading a shared module and resolving a table of its entry points into the caller's slots.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/report.h"
#include "platform/dynamic_library.h"

namespace sessiondeck {

// One entry point to resolve: its exported name and where its address goes.
// A table ends with a row whose name is null.
struct VLibraryFunction {
    const char* name;
    void** slot;
};

// Row flags of the second table form.
inline constexpr uint32_t kLibraryFunctionRequired = 0;
// A missing entry point is left null instead of failing the call.
inline constexpr uint32_t kLibraryFunctionOptional = 1u << 0;
// A row whose slot already holds an address is left as it is.
inline constexpr uint32_t kLibraryFunctionSkipIfResolved = 1u << 1;

struct VLibraryFunctionEx {
    const char* name;
    void** slot;
    uint32_t flags;
};

// The slot of a function pointer of any type, for the tables above.
template <class Function>
void** FunctionSlot(Function*& pointer) {
    return reinterpret_cast<void**>(&pointer);
}

// Loads the module `fileName` and resolves every row of the null-terminated
// `table`. On success returns a report with id 0 and hands the loaded module
// to `library` (closing what it held); the slots are valid while `library`
// keeps it loaded. Failures:
// - the module does not load: kMsgHostLibraryLoadFailed (0xE1040049);
// - an entry point is missing: the module is unloaded again,
//   kMsgHostEntryPointMissing (0xE104004A);
// both with the inserts: the file name, the system's explanation. On failure
// `library` and every slot keep what they held before the call.
VReportMessageParams LoadLibraryFunctions(std::u16string_view fileName,
                                          const VLibraryFunction* table, VDynamicLibrary& library);

// The same over a table with row flags. Rows skipped because they are already
// resolved need nothing from the module. A module that does not load is an
// error only when some remaining row is required; otherwise the call
// succeeds, the optional slots are set to null and `library` is left empty.
VReportMessageParams LoadLibraryFunctions(std::u16string_view fileName,
                                          const VLibraryFunctionEx* table,
                                          VDynamicLibrary& library);

}  // namespace sessiondeck
