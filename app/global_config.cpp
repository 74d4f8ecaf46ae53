// GlobalConfig: loading with its corrections, merging, saving, the option texts and the shared
// instance.
#include "app/global_config.h"

#include <atomic>
#include <type_traits>

#include "app/init.h"
#include "data/log_file.h"
#include "foundation/critical_section.h"
#include "platform/window_messages.h"

namespace sessiondeck {

namespace {

// Created when the library is loaded and never destroyed, so that a record
// released from another module's static destructor can still lock.
VCriticalSection& ProcessLock() {
    static auto* section = new VCriticalSection;
    return *section;
}
[[maybe_unused]] VCriticalSection& g_lockAtLoad = ProcessLock();

const uint32_t g_changeMessage =
    platform::RegisterWindowMessage(u"Norvik_Software_Global_Config_Change");
const uint32_t g_traywardMessage =
    platform::RegisterWindowMessage(u"Norvik_Software_Trayward_Show_Selection");

std::atomic<GlobalConfig*> g_shared{nullptr};
std::atomic<bool> g_detachHookRegistered{false};

template <class Setting, class T>
constexpr bool kIs = std::is_same_v<std::remove_cvref_t<Setting>, T>;

// Loads one option under `name`, or gives it its default. Composite members
// load through their own Init.
template <class Setting, class Entry>
void InitSetting(Setting& setting, const Entry& entry, VProfileKey* key, const VUnicodeString& name,
                 const GlobalConfig& self) {
    if constexpr (kIs<Setting, ProfileColorSchemeList>) {
        setting.SetName(name);
        setting.Init(key);
    } else if constexpr (kIs<Setting, SynchronizeProfile>) {
        setting.Init(key, name);
    } else if constexpr (kIs<Setting, VSerialDeviceConfig>) {
        setting.Init(key, name, VUnicodeString(entry.defaultValue));
    } else if constexpr (kIs<Setting, VProfileBlob>) {
        setting.Init(key, name);
    } else {
        setting.Init(key, name, entry.DefaultFor(self));
    }
}

// Takes the value `key` holds for the option, if any, as value and
// checkpoint. A composite stored under a sub-key merges when that sub-key is
// there.
template <class Setting>
void MergeSetting(Setting& setting, VProfileKey* key) {
    if constexpr (kIs<Setting, ProfileColorSchemeList>) {
        if (key->SubKeyExists(kColorSchemesKeyName)) setting.Init(key);
    } else if constexpr (kIs<Setting, SynchronizeProfile>) {
        if (key->SubKeyExists(setting.GetName().c_str())) setting.Init(key, setting.GetName());
    } else if constexpr (kIs<Setting, VSerialDeviceConfig>) {
        setting.Merge(key);
    } else {
        setting.Init(key);
    }
}

// The same schemes under the same names; the order is the store's listing
// order, which need not be the order they were written in.
bool SameSchemes(const ProfileColorSchemeList& a, const ProfileColorSchemeList& b) {
    if (a.GetCount() != b.GetCount()) return false;
    for (size_t i = 0; i < a.GetCount(); ++i) {
        const int at = b.IndexOf(a.GetAt(i).GetName());
        if (at < 0 || !(b.GetAt(static_cast<size_t>(at)).Get() == a.GetAt(i).Get())) return false;
    }
    return true;
}

// The setting's text, empty when it has none.
std::u16string TextOf(const VProfileData& setting) {
    return setting.Text().value_or(std::u16string());
}

// Sets an option from its text as `global set` does, or says why not.
GlobalOptionSetResult SetFromText(VProfileData& setting, const VSettingLimits& limits,
                                  std::u16string_view text) {
    // An option reset whenever the options load would never be seen again.
    if (limits.resetOnLoad || setting.IsReadOnly() || setting.Kind() == SettingKind::kNone)
        return GlobalOptionSetResult::kNotSettable;
    return setting.SetText(text) ? GlobalOptionSetResult::kSet : GlobalOptionSetResult::kBadValue;
}

}  // namespace

bool SystemFontSmoothing() {
    bool enabled = false;
    return platform::QueryFontSmoothing(enabled) && enabled;
}

// ---- Building, rules, merging ----------------------------------------------

GlobalConfig::GlobalConfig(VProfileKey* key) {
    VUnicodeString version;
    m_versionStored = key && key->QueryString(u"Version", version);
    // The terminal applications carry "Vetra" in their names; any other host
    // is the file-transfer application.
    m_transferHost = GetAppName().str().find(u"Vetra") == std::u16string::npos;
    m_buildTime = static_cast<uint32_t>(std::time(nullptr));
    ForEachOption([&](const auto& entry) {
        InitSetting(this->*entry.member, entry, key, VUnicodeString(entry.NameFor(m_transferHost)),
                    *this);
    });
    ApplyRules(true);
}

GlobalConfig::~GlobalConfig() = default;

void GlobalConfig::ApplyRules(bool termcap) {
    ForEachOption([&](const auto& entry) {
        auto& setting = this->*entry.member;
        using Setting = std::remove_cvref_t<decltype(setting)>;
        // Only settings that take their value type can be reset; the table marks no other.
        if constexpr (requires { typename Setting::value_type; }) {
            if constexpr (std::is_assignable_v<Setting&, const typename Setting::value_type&>) {
                if (termcap && entry.limits.resetOnLoad) setting = entry.DefaultFor(*this);
            }
        }
        VApplyLimits(setting, entry.limits);
    });
    // Raw output goes to the printer itself, not through the printer port.
    if (useRawMode.Get() != 0) usePrinterPort = 0;
}

void GlobalConfig::Merge(VProfileKey* key) {
    if (!key) return;
    ForEachOption([&](const auto& entry) { MergeSetting(this->*entry.member, key); });
    ApplyRules(false);
}

// ---- Saving ----------------------------------------------------------------

bool GlobalConfig::Save(bool force) {
    // Values the host set for this run only go back to what the store holds.
    if (overrideTransferType) transferType.Rollback();
    if (overrideOverwriteAction) overwriteAction.Rollback();
    if (overrideLogFile) {
        enableLogFile.Rollback();
        logFile.Rollback();
    }
    if (overrideRetry) {
        retryAttempts.Rollback();
        retryDelay.Rollback();
    }
    VProfileStore store(false);
    VProfileKey key(store.GetRootKey(), kGlobalKeyName);
    // A frame state's text is formatted from its numbers as it saves.
    localExplorerFrameState.Save(&key, force);
    remoteExplorerFrameState.Save(&key, force);
    synchronizeExplorerFrameState.Save(&key, force);
    if (quickSync.IsModified()) quickSync.Save(&key, true);
    Save(&key, force);
    // The folder backend writes when the handle closes; flushing here is how a failed write
    // reaches the caller instead of vanishing in a destructor.
    m_saveReport = VReportMessageParams();
    if (key.Flush()) return true;
    m_saveReport = key.GetReport();
    return false;
}

// ---- Small members ---------------------------------------------------------

void GlobalConfig::Lock() {
    ProcessLock().Lock();
}
void GlobalConfig::Unlock() {
    ProcessLock().Unlock();
}

bool GlobalConfig::IsAlwaysOpaque() const {
    return activeWindowAlphaTransparency.Get() == 255 &&
           inactiveWindowAlphaTransparency.Get() == 255;
}

uint32_t GlobalConfig::GetGlobalConfigChangeMessage() {
    return g_changeMessage;
}
uint32_t GlobalConfig::GetTraywardShowSelectionMessage() {
    return g_traywardMessage;
}

// ---- Options as text -------------------------------------------------------

std::vector<GlobalOptionText> GlobalConfig::DescribeOptions() const {
    std::vector<GlobalOptionText> options;
    ForEachOption([&](const auto& entry) {
        const auto& setting = this->*entry.member;
        using Setting = std::remove_cvref_t<decltype(setting)>;
        const VUnicodeString name(entry.NameFor(m_transferHost));
        if constexpr (kIs<Setting, VSerialDeviceConfig>) {
            // Each port setting against its default, the flow-dependent
            // defaults following the flows as they are now.
            VSerialDeviceConfig::_profileOffsets.ForEach([&](const auto& e) {
                const auto& member = setting.*e.member;
                std::remove_cvref_t<decltype(member)> fresh;
                fresh.Init(nullptr, member.GetName(), e.DefaultFor(setting));
                options.push_back(
                    {member.GetName(), TextOf(member), TextOf(fresh) == TextOf(member), true});
            });
        } else {
            Setting fresh;
            InitSetting(fresh, entry, nullptr, name, *this);
            bool isDefault = false;
            // The two lists show only names: the schemes and tasks themselves decide.
            if constexpr (kIs<Setting, ProfileColorSchemeList>) {
                isDefault = SameSchemes(fresh, setting);
            } else if constexpr (kIs<Setting, SynchronizeProfile>) {
                isDefault = fresh == setting;
            } else {
                isDefault = TextOf(fresh) == TextOf(setting);
            }
            const bool settable = !entry.limits.resetOnLoad && !setting.IsReadOnly() &&
                                  setting.Kind() != SettingKind::kNone;
            options.push_back({name, TextOf(setting), isDefault, settable});
        }
    });
    return options;
}

GlobalOptionSetResult GlobalConfig::SetOptionText(std::u16string_view name,
                                                  std::u16string_view text) {
    auto attempt = [&](bool exact) {
        auto matches = [&](const VUnicodeString& candidate) {
            return exact ? candidate == name : candidate.EqualsNoCase(name);
        };
        GlobalOptionSetResult result = GlobalOptionSetResult::kUnknownName;
        bool found = false;
        ForEachOption([&](const auto& entry) {
            if (found) return;
            auto& setting = this->*entry.member;
            using Setting = std::remove_cvref_t<decltype(setting)>;
            if constexpr (kIs<Setting, VSerialDeviceConfig>) {
                VSerialDeviceConfig::_profileOffsets.ForEach([&](const auto& e) {
                    auto& member = setting.*e.member;
                    if (found || !matches(member.GetName())) return;
                    found = true;
                    result = SetFromText(member, e.limits, text);
                });
            } else if (matches(VUnicodeString(entry.NameFor(m_transferHost)))) {
                found = true;
                result = SetFromText(setting, entry.limits, text);
            }
        });
        // Keep what a later load would correct out of the store.
        if (result == GlobalOptionSetResult::kSet) ApplyRules(false);
        return result;
    };
    const GlobalOptionSetResult exact = attempt(true);
    return exact != GlobalOptionSetResult::kUnknownName ? exact : attempt(false);
}

// ---- The shared instance ---------------------------------------------------

namespace {

GlobalConfig* BuildFromStore() {
    VProfileStore store(true);
    VProfileKey key(store.GetRootKey(), kGlobalKeyName);
    return new GlobalConfig(&key);
}

// Releases the library's reference to the shared instance, if there is one.
void DropShared() {
    if (GlobalConfig* old = g_shared.exchange(nullptr)) old->Release();
}

void RegisterLifetimeHooks() {
    // The emulation table takes the terminal types the global options list.
    SetAdditionalEmulationNamesProvider([]() -> std::optional<VStringArray> {
        GlobalConfig* config = g_shared.load();
        if (!config) return std::nullopt;
        return config->selectedTermcapEntries.Get();
    });
    // Log files ask for a name starting from the remembered one, and keep the choice.
    SetTerminalLogFileOption(
        []() -> VUnicodeString {
            GlobalConfig* config = g_shared.load();
            if (!config) return {};
            VCriticalSection::Holder hold(ProcessLock());
            return config->terminalLogFile.Get();
        },
        [](const VUnicodeString& name) {
            GlobalConfig* config = g_shared.load();
            if (!config) return;
            VCriticalSection::Holder hold(ProcessLock());
            config->terminalLogFile = name;
        });
    if (g_detachHookRegistered.exchange(true)) return;
    RegisterProcessDetachHook([] {
        DropShared();
        g_detachHookRegistered = false;
    });
}

}  // namespace

void GetGlobalConfig(GlobalConfig*& config) {
    if (GlobalConfig* existing = g_shared.load()) {
        config = existing;
        return;
    }
    GlobalConfig* built = BuildFromStore();
    GlobalConfig* expected = nullptr;
    if (g_shared.compare_exchange_strong(expected, built)) {
        RegisterLifetimeHooks();
        config = built;
    } else {
        // Another thread built it first; its record is the shared one.
        built->Release();
        config = expected;
    }
}

bool SaveGlobalConfig(bool force) {
    GlobalConfig* config = g_shared.load();
    if (!config) return false;
    return config->Save(force);
}

void MergeGlobalConfig(const VProfileKey& key) {
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    // Merging only reads the key; its queries are not const only because a
    // backend may load lazily.
    config->Merge(const_cast<VProfileKey*>(&key));
}

void ReloadGlobalConfig(GlobalConfig*& config) {
    VUnknownPointer<GlobalConfig> current(g_shared.load());
    VCriticalSection::Holder lock(ProcessLock());
    DropShared();
    GetGlobalConfig(config);
}

void ResetGlobalConfig(GlobalConfig*& config) {
    VUnknownPointer<GlobalConfig> current(g_shared.load());
    VCriticalSection::Holder lock(ProcessLock());
    DropShared();
    config = nullptr;
}

GlobalConfig* CreateGlobalConfig(VProfileKey* key) {
    return new GlobalConfig(key);
}

}  // namespace sessiondeck
