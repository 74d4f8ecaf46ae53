// The global options: defaults and corrections, host names, saving, merging and the shared
// instance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <set>

#include "app/global_config.h"
#include "app/init.h"
#include "profile/ini_store.h"
#include "support/golden.h"
#include "support/library_host.h"

using namespace sessiondeck;

namespace {

using ConfigPtr = VUnknownPointer<GlobalConfig>;

class GlobalOptions : public ::testing::Test {
protected:
    void UseFactory(VProfileStoreFactory* factory, const char16_t* appName) {
        library.UseFactory(factory);
        library.Become(appName);
    }
    // A record built from "Global" after `fill` has written into it.
    template <class Fill>
    ConfigPtr Build(Fill fill) {
        VProfileStore store(false, &memory);
        VProfileKey key(store.GetRootKey(), kGlobalKeyName);
        fill(key);
        return ConfigPtr::Adopt(CreateGlobalConfig(&key));
    }
    static std::u16string Text(const GlobalConfig& config, std::u16string_view name) {
        for (const auto& option : config.DescribeOptions()) {
            if (option.name == name) return option.value.str();
        }
        ADD_FAILURE() << "no option " << VUnicodeString(name).ToUtf8();
        return {};
    }
    const MemoryValue* Stored(std::u16string_view name) const {
        return memory.Find(u"Global", name);
    }

    LibraryHost library;
    MemoryStoreFactory& memory = library.memory;
};

}  // namespace

TEST_F(GlobalOptions, NullKeyGivesEveryDefault) {
    const auto before = static_cast<unsigned long>(std::time(nullptr));
    ConfigPtr config = ConfigPtr::Adopt(CreateGlobalConfig(nullptr));
    const GlobalConfig& c = *config;
    // The update prompt date starts at "now", so it is checked here and left out of the table.
    EXPECT_GE(c.updatePromptDate.Get(), before);
    EXPECT_LE(c.updatePromptDate.Get(), before + 5);
    EXPECT_TRUE(c.colorSchemes.Exists(u"Monochrome"));
    EXPECT_TRUE(c.IsAlwaysOpaque());
    EXPECT_FALSE(c.IsModified());
    EXPECT_EQ(GlobalConfig::GetMemberCount(), 187);
    // Every option by name with its text form: the serial port shows its ten settings.
    std::string table;
    for (const auto& option : c.DescribeOptions()) {
        EXPECT_TRUE(option.isDefault) << option.name.ToUtf8();
        if (option.name.str().ends_with(u"Update Prompt Date")) continue;
        table += option.name.ToUtf8() + "\t" + option.value.ToUtf8() + "\n";
    }
    ExpectMatchesGolden("global/terminal-defaults.txt", table);
}

TEST_F(GlobalOptions, StoredValuesOutOfRangeAreCorrected) {
    struct Row {
        const char16_t* name;
        uint32_t stored;
        const char16_t* loaded;
    };
    // Below, above and inside a range, a stored negative number, and a choice out of its list.
    for (const Row& row : {Row{u"Status Indicator Width", 0, u"1"},
                           {u"Max Columns", 2000, u"1024"},
                           {u"Max Columns", 200, u"200"},
                           {u"MRU Count", static_cast<uint32_t>(-3), u"0"},
                           {u"Transfer Type", 0, u"3"},
                           {u"Transfer Type", 2, u"2"}}) {
        auto config = Build([&](VProfileKey& key) { key.SetDword(row.name, row.stored); });
        EXPECT_EQ(Text(*config, row.name), row.loaded)
            << VUnicodeString(row.name).ToUtf8() << " stored as " << static_cast<int>(row.stored);
    }
}

TEST_F(GlobalOptions, RawModeTermcapAndVersionRules) {
    auto config = Build([](VProfileKey& key) {
        key.SetDword(u"Use Raw Mode", 1);
        key.SetDword(u"Use Printer Port", 1);
        key.SetStringArray(u"Selected Termcap Entries", VStringArray{u"vt320", u"tn3270"});
        key.SetDword(u"Enable Termcap Editing", 1);
        key.SetString(u"Version", u"0311ABC6-1CDD-46fc-A08A-0D7C00242FCA");
    });
    EXPECT_EQ(config->usePrinterPort.Get(), 0);
    EXPECT_TRUE(config->selectedTermcapEntries.Get().IsEmpty());
    EXPECT_FALSE(config->enableTermcapEditing.Get());
    EXPECT_TRUE(config->rightClickPopupShown.Get()) << "a stored Version means an older user";
    EXPECT_EQ(config->version.Get(), u"0311ABC6-1CDD-46fc-A08A-0D7C00242FCA");

    auto stored = Build([](VProfileKey& key) { key.SetDword(u"Right Click Popup Shown", 0); });
    EXPECT_FALSE(stored->rightClickPopupShown.Get());
}

TEST_F(GlobalOptions, EachHostReadsAndWritesItsOwnNames) {
    UseFactory(&memory, u"Ferrivo");
    auto transfer = Build([](VProfileKey& key) {
        key.SetDword(u"Show Toolbar", 0);
        key.SetDword(u"Show Menu Bar FRV", 0);
    });
    EXPECT_TRUE(transfer->IsTransferHost());
    EXPECT_EQ(transfer->showToolbar.Get(), 1) << "the terminal's value is not the host's";
    EXPECT_EQ(transfer->showMenuBar.Get(), 0);
    memory.ClearWrites();
    transfer->Save();
    EXPECT_EQ(memory.WriteCount(u"Show Toolbar FRV"), 1);
    EXPECT_EQ(memory.WriteCount(u"FRV Update Prompt Date"), 1);
    EXPECT_EQ(memory.WriteCount(u"FRV Never Check For Updates"), 1);
    EXPECT_EQ(memory.WriteCount(u"Show Toolbar"), 0);
    EXPECT_EQ(memory.WriteCount(u"Vetra Update Prompt Date"), 0);
    EXPECT_EQ(Stored(u"Show Toolbar")->dword, 0u);

    // The test is case-sensitive: "vetra" is not the terminal application.
    UseFactory(&memory, u"vetra");
    EXPECT_TRUE(Build([](VProfileKey&) {})->IsTransferHost());
    UseFactory(&memory, u"Vetralon");
    auto terminal = Build([](VProfileKey&) {});
    EXPECT_FALSE(terminal->IsTransferHost());
    EXPECT_EQ(terminal->showToolbar.Get(), 0);
    EXPECT_EQ(Text(*terminal, u"Auto Session Name"), u"");
}

TEST_F(GlobalOptions, SaveWritesOnlyChangesAndKeepsRunOnlyValuesOut) {
    {
        VProfileStore store(false, &memory);
        VProfileKey key(store.GetRootKey(), kGlobalKeyName);
        key.SetDword(u"Transfer Type", 2);
        key.SetDword(u"Line Send Delay", 7);
    }
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    ASSERT_TRUE(SaveGlobalConfig(false));  // fills in the defaults
    memory.ClearWrites();

    config->overrideTransferType = true;
    config->transferType = 1;
    config->overrideLogFile = true;
    config->logFile = VUnicodeString(u"/tmp/run.log");
    config->lineSendDelay = 50;
    config->characterSendDelay = 3;
    config->mruCount = 6;
    config->Save();
    EXPECT_EQ(memory.WrittenNames(), std::vector<VUnicodeString>{u"MRU Count"});
    EXPECT_EQ(Stored(u"Transfer Type")->dword, 2u);
    EXPECT_EQ(config->transferType.Get(), 2) << "the run-only value went back";
    EXPECT_EQ(Stored(u"Line Send Delay")->dword, 7u);
    EXPECT_EQ(Stored(u"Character Send Delay"), nullptr);

    // A changed sync profile is written whole; a forced save writes every
    // persisted option but still not the send delays.
    SynchronizeTask task;
    task.name = u"Nightly";
    config->quickSync.GetTasks().Add(task);
    memory.ClearWrites();
    config->Save(true);
    EXPECT_EQ(memory.Find(u"Global\\QuickSync", u"Task[0].Name")->string, u"Nightly");
    EXPECT_EQ(memory.WriteCount(u"Line Send Delay"), 0);
    EXPECT_EQ(memory.WriteCount(u"Character Send Delay"), 0);
    EXPECT_EQ(memory.WriteCount(u"Printer Baud Rate"), 1);
    EXPECT_GE(memory.WriteCount(u"Show Transfer Queue Window"), 1);
}

TEST_F(GlobalOptions, MergeTakesValuesAsCheckpointAndCorrectsThemAgain) {
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    config->paperSize = 9;
    VProfileStore store(false, &memory);
    VProfileKey other(store.GetRootKey(), u"Import");
    other.SetDword(u"Timeout", 30);
    other.SetDword(u"MRU Count", 20);
    other.SetDword(u"Line Send Delay", 12);
    other.SetDword(u"Printer Baud Rate", 9600);
    other.SetStringArray(u"Selected Termcap Entries", VStringArray{u"vt320"});
    MergeGlobalConfig(other);

    EXPECT_EQ(config->timeout.Get(), 30);
    EXPECT_FALSE(config->timeout.IsModified());
    EXPECT_EQ(config->lineSendDelay.Get(), 12);
    EXPECT_EQ(config->printerSerialPort.baudRate.Get(), 9600);
    EXPECT_EQ(config->mruCount.Get(), 9) << "clamped again after the merge";
    EXPECT_EQ(config->selectedTermcapEntries.Get().GetSize(), 1u) << "merging keeps the list";
    EXPECT_EQ(config->paperSize.Get(), 9) << "not in the key: kept";

    SaveGlobalConfig(false);  // the defaults
    memory.ClearWrites();
    config->timeout = 31;
    config->Save();
    EXPECT_EQ(memory.WrittenNames(), std::vector<VUnicodeString>{u"Timeout"});
}

TEST_F(GlobalOptions, IniStoreGetsEveryDefaultOnceThenNothing) {
    TempDir dir;
    VIniFileStoreFactory ini(VUnicodeString::FromUtf8(dir.path().string()));
    UseFactory(&ini, u"Vetralon");
    EXPECT_FALSE(SaveGlobalConfig(false))
        << "no shared instance yet: nothing built, nothing written";
    EXPECT_FALSE(std::filesystem::exists(dir / "Global.ini"));

    std::vector<std::u16string> traced;
    SetProfileTraceSink([&](std::u16string_view line) { traced.emplace_back(line); });
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    ASSERT_TRUE(SaveGlobalConfig(false));
    std::multiset<std::u16string> saved;
    // "Save: F U D Name\n": three one-digit flags, then the name.
    for (const auto& line : traced) saved.insert(line.substr(12, line.size() - 13));
    for (const auto& option : config->DescribeOptions()) {
        const auto& name = option.name.str();
        const size_t expected = name == u"Line Send Delay" || name == u"Character Send Delay" ||
                                        name == u"QuickSync" || name == u"Color Schemes" ||
                                        name == u"FRV Custom Toolbar Data"
                                    ? 0
                                    : 1;
        EXPECT_EQ(saved.count(name), expected) << option.name.ToUtf8();
    }
    EXPECT_EQ(saved.count(u"Monochrome"), 1u) << "the built-in schemes are written too";

    const std::string first = ReadFileBytes(dir / "Global.ini");
    const std::string schemes = ReadFileBytes(dir / "Global" / "Color Schemes.ini");
    traced.clear();
    SaveGlobalConfig(false);
    ReloadGlobalConfig(config);
    SaveGlobalConfig(false);
    SetProfileTraceSink(nullptr);
    EXPECT_TRUE(traced.empty()) << VUnicodeString(traced.front()).ToUtf8();
    EXPECT_EQ(ReadFileBytes(dir / "Global.ini"), first);
    EXPECT_EQ(ReadFileBytes(dir / "Global" / "Color Schemes.ini"), schemes);
    EXPECT_TRUE(config->rightClickPopupShown.Get() == false) << "it was stored as false";
}

TEST_F(GlobalOptions, SharedInstanceLifecycle) {
    GlobalConfig* first = nullptr;
    GetGlobalConfig(first);
    GlobalConfig* again = nullptr;
    GetGlobalConfig(again);
    EXPECT_EQ(first, again);

    ConfigPtr held(first);  // a holder keeps the dropped record alive
    first->selectedTermcapEntries = VStringArray{u"vt320"};
    SessionDeckDllInit(u"Vetralon", nullptr);
    const auto& table = GetEmulationTable();
    EXPECT_EQ(table[table.GetSize() - 1], (EmulationInfo{u"vt320", 1}));

    GlobalConfig* reloaded = nullptr;
    ReloadGlobalConfig(reloaded);
    EXPECT_NE(reloaded, first);
    EXPECT_EQ(held->selectedTermcapEntries.Get().GetSize(), 1u) << "stale but valid";
    GetGlobalConfig(again);
    EXPECT_EQ(again, reloaded);

    ResetGlobalConfig(again);
    EXPECT_EQ(again, nullptr);
    EXPECT_FALSE(SaveGlobalConfig(false));
    GetGlobalConfig(again);
    ConfigPtr beforeDetach(again);
    SessionDeckProcessDetach();
    EXPECT_FALSE(SaveGlobalConfig(false)) << "detaching drops the shared instance";
    SessionDeckProcessAttach();
    EXPECT_EQ(beforeDetach.Detach()->Release(), 0) << "the holder's reference was the last";
}

TEST_F(GlobalOptions, OpacityAndOptionsByText) {
    ConfigPtr config = ConfigPtr::Adopt(CreateGlobalConfig(nullptr));
    config->inactiveWindowAlphaTransparency = 254;
    EXPECT_FALSE(config->IsAlwaysOpaque());
    config->inactiveWindowAlphaTransparency = 255;
    config->activeWindowAlphaTransparency = 254;
    EXPECT_FALSE(config->IsAlwaysOpaque());

    using R = GlobalOptionSetResult;
    EXPECT_EQ(config->SetOptionText(u"mru count", u"12"), R::kSet);
    EXPECT_EQ(config->mruCount.Get(), 9) << "corrected as a load would";
    EXPECT_EQ(config->SetOptionText(u"MRU Count", u"seven"), R::kBadValue);
    EXPECT_EQ(config->SetOptionText(u"No Such Option", u"1"), R::kUnknownName);
    EXPECT_EQ(config->SetOptionText(u"Enable Termcap Editing", u"true"), R::kNotSettable);
    EXPECT_EQ(config->SetOptionText(u"Color Schemes", u""), R::kNotSettable);
    EXPECT_EQ(config->SetOptionText(u"Log Error Text Color", u"-1"), R::kBadValue);
    // Each kind's text form is the setting's own (test_data); here, that a set goes through it and
    // marks the option changed.
    EXPECT_EQ(config->SetOptionText(u"Page Margins", u"1,2,3"), R::kBadValue);
    EXPECT_EQ(config->SetOptionText(u"Remote ExplorerFrame State", u"0,5,6"), R::kSet);
    EXPECT_EQ(config->remoteExplorerFrameState.f2, 5);
    EXPECT_TRUE(config->remoteExplorerFrameState.IsModified());
}

TEST_F(GlobalOptions, SaveReportsAFailedWrite) {
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    ASSERT_TRUE(SaveGlobalConfig(false));
    EXPECT_EQ(config->GetSaveReport().GetMessageId(), 0u);

    memory.FailFlushes(ENOSPC);
    config->mruCount = 6;
    EXPECT_FALSE(SaveGlobalConfig(false)) << "a write the store did not make is no success";
    EXPECT_EQ(config->GetSaveReport().GetMessageId(), static_cast<uint32_t>(ENOSPC));
    VReportMessageParams report = config->GetSaveReport();
    EXPECT_NE(VUnicodeString(report.GetTextSingleLine()).ToUtf8().find("No space left"),
              std::string::npos);

    memory.FailFlushes(0);
    EXPECT_TRUE(config->Save());
    EXPECT_EQ(config->GetSaveReport().GetMessageId(), 0u) << "a good save clears the report";
}
