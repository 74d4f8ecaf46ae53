// Library initialisation: the process-wide facts a host records before it uses anything else.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/product.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "profile/profile_store.h"

namespace sessiondeck {

using VProfileStoreFactoryGetter = VProfileStoreFactory* (*)();
using VReportMessageRouterGetter = VReportMessageRouter* (*)();

SESSIONDECK_API void SessionDeckDllInitProfileFactory(VProfileStoreFactoryGetter getter);
SESSIONDECK_API void SessionDeckDllInit(const char16_t* appName,
                                        VReportMessageRouterGetter routerGetter);
SESSIONDECK_API void SessionDeckDllInitApplicationCommandLine(const VUnicodeString& commandLine);
SESSIONDECK_API bool SessionDeckDllInitClientApplications(const char16_t* folder);
// The host's product id, kept as given (hosts pass plain numbers);
// GetCurrentAppProduct reads it as a Product, None for a number no product has.
SESSIONDECK_API int GetCurrentAppProductID();
SESSIONDECK_API void SetCurrentAppProductID(int productId);
inline Product GetCurrentAppProduct() {
    return ToProduct(GetCurrentAppProductID());
}
// The module whose tables hold the library's own resources (message texts, accelerators).
SESSIONDECK_API VModuleHandle GetSessionDeckDll();

// One row of the emulation table: a name and its emulation number.
struct EmulationInfo {
    VUnicodeString name;
    int32_t number = 0;
    friend bool operator==(const EmulationInfo&, const EmulationInfo&) = default;
};

// The sibling applications, in the order their paths are recorded.
enum class ClientApplication { Vetra = 0, Vetralon = 1, Ferrivo = 2 };

// Library-internal accessors that other parts of the library read.
SESSIONDECK_API VProfileStoreFactory* GetCurrentProfileStoreFactory();
SESSIONDECK_API const VUnicodeString& GetAppName();
SESSIONDECK_API const VUnicodeString& GetAppCommandLine();
SESSIONDECK_API const VArray<EmulationInfo>& GetEmulationTable();
SESSIONDECK_API const VStringArray& GetBuiltinKeymapNames();
SESSIONDECK_API const VUnicodeString& GetClientApplicationPath(ClientApplication app);
SESSIONDECK_API bool IsClientApplicationPresent(ClientApplication app);
// Overrides one sibling's presence: protocol loading marks a sibling whose
// modules would not load as absent, and hosts without sibling executables on
// disk (and tests) declare what stands beside them.
SESSIONDECK_API void SetClientApplicationPresent(ClientApplication app, bool present);

// The global configuration registers how to read its list of additional
// emulation names once it has been loaded; until then there is none, and
// SessionDeckDllInit appends nothing.
using AdditionalEmulationNamesProvider = std::function<std::optional<VStringArray>()>;
SESSIONDECK_API void SetAdditionalEmulationNamesProvider(AdditionalEmulationNamesProvider provider);

// Runs when the library leaves the process: releases what initialisation and
// the global configuration hold. Hooks run in reverse order of registration.
SESSIONDECK_API void RegisterProcessDetachHook(std::function<void()> hook);

// One accelerator of a compiled-in accelerator table.
struct VAccelerator {
    enum Modifier : uint8_t { kNone = 0, kAlt = 1, kCtrl = 2, kShift = 4 };
    uint8_t modifiers;
    char16_t key;  // an upper-case letter, or one of the named keys below
    uint16_t command;
};
inline constexpr char16_t kAccelKeyF2 = 0xF002;
inline constexpr char16_t kAccelKeyEnter = 0x000D;
inline constexpr int kSessionDeckAcceleratorTable = 136;
// The accelerator table loaded when the library is attached; empty before.
SESSIONDECK_API const VArray<VAccelerator>& GetSessionDeckAccelerators();

// Attach and detach, run by a static object of the shared library when it is
// loaded and unloaded (the counterpart of process attach and detach); exposed
// so tests can run them explicitly.
SESSIONDECK_API bool SessionDeckProcessAttach();
SESSIONDECK_API void SessionDeckProcessDetach();

}  // namespace sessiondeck
