// Process-wide state recorded by the host at start-up, and the library's attach and detach.
#include "app/init.h"

#include <atomic>
#include <vector>

#include "app/session_host.h"
#include "data/keymap.h"
#include "platform/file_system.h"
#include "platform/version_record.h"

namespace sessiondeck {

namespace {

struct ProcessState {
    std::atomic<VProfileStoreFactoryGetter> factoryGetter{nullptr};
    VUnicodeString appName;
    VUnicodeString commandLine;
    std::atomic<int> productId{ProductId(Product::None)};
    VModuleHandle module = nullptr;
    VArray<VAccelerator> accelerators;
    VUnicodeString clientPaths[3];
    bool clientPresent[3] = {false, false, false};
    VArray<EmulationInfo> emulations;
    VStringArray keymapNames;
    AdditionalEmulationNamesProvider additionalEmulations;
    std::vector<std::function<void()>> detachHooks;
};

ProcessState& State() {
    // Never destroyed: hosts may call in from their own static destructors.
    static auto* state = new ProcessState;
    return *state;
}

// The SessionDeck dialog's keyboard accelerators.
const VArray<VAccelerator>& AcceleratorTable136() {
    using A = VAccelerator;
    static const VArray<VAccelerator> table{
        {A::kAlt, u'A', 2111},  {A::kAlt, u'C', 32777},         {A::kCtrl, u'C', 2104},
        {A::kAlt, u'D', 2106},  {A::kAlt, u'E', 2109},          {A::kAlt, u'F', 2107},
        {A::kAlt, u'M', 32922}, {A::kNone, kAccelKeyF2, 32922}, {A::kAlt, u'N', 2101},
        {A::kAlt, u'Q', 32924}, {A::kAlt, u'R', 2102},          {A::kAlt, kAccelKeyEnter, 2102},
        {A::kAlt, u'T', 32772}, {A::kCtrl, u'V', 2105},         {A::kCtrl, u'X', 2103},
        {A::kAlt, u'X', 32773},
    };
    return table;
}

// The minimum major file version at which a sibling counts as present.
constexpr uint16_t kMinimumMajorVersion[3] = {5, 5, 3};
constexpr const char16_t* kClientExecutables[3] = {u"Vetra.exe", u"Vetralon.exe", u"Ferrivo.exe"};

bool IsPresentApplication(const VUnicodeString& path, uint16_t minimumMajor) {
    // A path names a file on disk; the record tells its version.
    const auto version = ReadFileVersion(platform::ToNativeSeparators(path.ToUtf8()));
    return version && version->major >= minimumMajor;
}

// Loading and unloading the shared library attaches and detaches it.
struct AttachGuard {
    AttachGuard() { SessionDeckProcessAttach(); }
    ~AttachGuard() { SessionDeckProcessDetach(); }
} g_attach;

}  // namespace

void SessionDeckDllInitProfileFactory(VProfileStoreFactoryGetter getter) {
    State().factoryGetter = getter;
    SetProfileStoreFactoryGetter(getter);
}

void SessionDeckDllInit(const char16_t* appName, VReportMessageRouterGetter routerGetter) {
    ProcessState& s = State();
    s.appName = VUnicodeString(appName);
    SetReportRouterGetter(routerGetter);

    // The older terminal application has no Mardell emulation.
    const bool withMardell = !s.appName.EqualsNoCase(u"Vetra");
    s.emulations.RemoveAll();
    const EmulationInfo builtIn[] = {
        {u"ANSI", 4},  {u"Linux", 2}, {u"SCOANSI", 3}, {u"Mardell", 9}, {u"VT100", 1},
        {u"VT102", 4}, {u"VT220", 5}, {u"WYSE50", 6},  {u"WYSE60", 7},  {u"Xterm", 8},
    };
    for (const auto& row : builtIn) {
        if (row.name == u"Mardell" && !withMardell) continue;
        s.emulations.Add(row);
    }
    if (s.additionalEmulations) {
        if (auto extra = s.additionalEmulations()) {
            for (const auto& name : *extra) s.emulations.Add({name, 1});
        }
    }

    s.keymapNames.RemoveAll();
    s.keymapNames.Add(u"Custom");
    for (const char16_t* name : Keymap::BuiltinNames()) {
        if (std::u16string_view(name) == u"Mardell" && !withMardell) continue;
        s.keymapNames.Add(name);
    }
}

void SessionDeckDllInitApplicationCommandLine(const VUnicodeString& commandLine) {
    State().commandLine = commandLine;
}

bool SessionDeckDllInitClientApplications(const char16_t* folder) {
    if (!folder) return true;
    ProcessState& s = State();
    for (int i = 0; i < 3; ++i) {
        s.clientPaths[i] = VUnicodeString(folder) + u"\\" + kClientExecutables[i];
        s.clientPresent[i] = IsPresentApplication(s.clientPaths[i], kMinimumMajorVersion[i]);
    }
    return true;
}

int GetCurrentAppProductID() {
    return State().productId;
}
void SetCurrentAppProductID(int productId) {
    State().productId = productId;
}
VModuleHandle GetSessionDeckDll() {
    return State().module;
}

VProfileStoreFactory* GetCurrentProfileStoreFactory() {
    VProfileStoreFactoryGetter getter = State().factoryGetter;
    return getter ? getter() : nullptr;
}
const VUnicodeString& GetAppName() {
    return State().appName;
}
const VUnicodeString& GetAppCommandLine() {
    return State().commandLine;
}
const VArray<EmulationInfo>& GetEmulationTable() {
    return State().emulations;
}
const VStringArray& GetBuiltinKeymapNames() {
    return State().keymapNames;
}
const VUnicodeString& GetClientApplicationPath(ClientApplication app) {
    return State().clientPaths[static_cast<int>(app)];
}
void SetClientApplicationPresent(ClientApplication app, bool present) {
    State().clientPresent[static_cast<int>(app)] = present;
}
bool IsClientApplicationPresent(ClientApplication app) {
    return State().clientPresent[static_cast<int>(app)];
}

void SetAdditionalEmulationNamesProvider(AdditionalEmulationNamesProvider provider) {
    State().additionalEmulations = std::move(provider);
}

void RegisterProcessDetachHook(std::function<void()> hook) {
    State().detachHooks.push_back(std::move(hook));
}

const VArray<VAccelerator>& GetSessionDeckAccelerators() {
    return State().accelerators;
}

bool SessionDeckProcessAttach() {
    // There is no UI framework to register with below the dialogs; the
    // library's "module" is its message table, which always exists, so
    // attaching cannot fail here.
    ProcessState& s = State();
    // The session records ask the application for their global defaults
    // through this; it answers from the start, as they may load at any time.
    InstallAppSessionHost();
    s.module = GetLibraryMessageModule();
    if (!s.module) return false;
    s.accelerators = AcceleratorTable136();
    return true;
}

void SessionDeckProcessDetach() {
    ProcessState& s = State();
    auto hooks = std::move(s.detachHooks);
    s.detachHooks.clear();
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) (*it)();
}

}  // namespace sessiondeck
