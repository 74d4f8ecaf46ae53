// Library initialisation: the emulation and key map tables, product id, sibling applications.
#include <gtest/gtest.h>

#include <vector>

#include "app/init.h"
#include "platform/version_record.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace {

std::vector<std::u16string> EmulationNames() {
    std::vector<std::u16string> names;
    for (const auto& row : GetEmulationTable()) names.push_back(row.name.str());
    return names;
}

}  // namespace

TEST(SessionDeckDllInit, OnlyTheOlderTerminalLacksMardellAndRebuildingDoesNotDouble) {
    SetAdditionalEmulationNamesProvider(nullptr);
    for (const char16_t* name : {u"Vetra", u"vEtRa"}) {
        SessionDeckDllInit(name, nullptr);
        EXPECT_EQ(EmulationNames(),
                  (std::vector<std::u16string>{u"ANSI", u"Linux", u"SCOANSI", u"VT100", u"VT102",
                                               u"VT220", u"WYSE50", u"WYSE60", u"Xterm"}));
        EXPECT_EQ(GetBuiltinKeymapNames().GetSize(), 9u);
    }
    SessionDeckDllInit(u"Vetralon", nullptr);
    SessionDeckDllInit(u"Vetralon", nullptr);
    const auto& table = GetEmulationTable();
    ASSERT_EQ(table.GetSize(), 10u);
    EXPECT_EQ(table[3], (EmulationInfo{u"Mardell", 9}));
    // ANSI and VT102 share an emulation number.
    EXPECT_EQ(table[0].number, 4);
    EXPECT_EQ(table[5], (EmulationInfo{u"VT102", 4}));
    const auto& names = GetBuiltinKeymapNames();
    ASSERT_EQ(names.GetSize(), 10u);
    EXPECT_EQ(names[0], u"Custom");
    EXPECT_EQ(names[9], u"Mardell");
}

TEST(SessionDeckDllInit, AdditionalEmulationsOnlyOnceTheGlobalConfigurationIsLoaded) {
    SetAdditionalEmulationNamesProvider([] { return std::optional<VStringArray>(); });
    SessionDeckDllInit(u"Vetralon", nullptr);
    EXPECT_EQ(GetEmulationTable().GetSize(), 10u);

    SetAdditionalEmulationNamesProvider([] {
        return std::optional<VStringArray>(VStringArray{u"TN3270", u"VT320"});
    });
    SessionDeckDllInit(u"Vetralon", nullptr);
    const auto& table = GetEmulationTable();
    ASSERT_EQ(table.GetSize(), 12u);
    EXPECT_EQ(table[10], (EmulationInfo{u"TN3270", 1}));
    EXPECT_EQ(table[11], (EmulationInfo{u"VT320", 1}));
    SetAdditionalEmulationNamesProvider(nullptr);
}

TEST(ClientApplications, PresenceNeedsTheMinimumMajorVersion) {
    TempDir dir;
    // Vetra at 4.x is too old (needs 5); Vetralon 5.0 and Ferrivo 3.2 are enough.
    WriteFileBytes(dir / "Vetra.exe", std::string("\x7f"
                                                  "ELF...") +
                                          kVersionRecordMarker + "4.9.1.0" + '\0');
    WriteFileBytes(dir / "Vetralon.exe",
                   std::string("binary\0", 7) + kVersionRecordMarker + "5.0.0.12\n");
    WriteFileBytes(dir / "Ferrivo.exe",
                   std::string(3 << 20, 'x') + kVersionRecordMarker + "3.2.0.1");
    const VUnicodeString folder = VUnicodeString::FromUtf8(dir.path().string());
    EXPECT_TRUE(SessionDeckDllInitClientApplications(folder.c_str()));
    EXPECT_EQ(GetClientApplicationPath(ClientApplication::Vetralon), folder + u"\\Vetralon.exe");
    EXPECT_FALSE(IsClientApplicationPresent(ClientApplication::Vetra));
    EXPECT_TRUE(IsClientApplicationPresent(ClientApplication::Vetralon));
    EXPECT_TRUE(IsClientApplicationPresent(ClientApplication::Ferrivo));

    // A missing file, or one without a well-formed record, is not present.
    std::filesystem::remove(dir / "Ferrivo.exe");
    WriteFileBytes(dir / "Vetralon.exe", std::string(kVersionRecordMarker) + "5.x.0.0");
    SessionDeckDllInitClientApplications(folder.c_str());
    EXPECT_FALSE(IsClientApplicationPresent(ClientApplication::Vetralon));
    EXPECT_FALSE(IsClientApplicationPresent(ClientApplication::Ferrivo));
}

TEST(VersionRecord, ParsesTheFirstWellFormedRecordAcrossChunkBoundaries) {
    TempDir dir;
    // The record straddles the 1 MiB read boundary.
    std::string bytes(1024 * 1024 - 10, 'z');
    bytes += kVersionRecordMarker;
    bytes += "65535.2.3.4";
    WriteFileBytes(dir / "a", bytes);
    auto v = ReadFileVersion((dir / "a").string());
    ASSERT_TRUE(v);
    EXPECT_EQ(v->major, 65535);
    EXPECT_EQ(v->revision, 4);

    WriteFileBytes(dir / "b", std::string(kVersionRecordMarker) + "65536.0.0.0");
    EXPECT_FALSE(ReadFileVersion((dir / "b").string()));
    WriteFileBytes(dir / "c", std::string(kVersionRecordMarker) + "1.2.3\0" + kVersionRecordMarker +
                                  "7.0.0.0");
    EXPECT_EQ(ReadFileVersion((dir / "c").string())->major, 7)
        << "a damaged record is skipped, the next one counts";
    EXPECT_FALSE(ReadFileVersion((dir / "missing").string()));
}

TEST(ProcessAttach, LoadsTheDialogAcceleratorsAndRunsDetachHooksInReverse) {
    ASSERT_TRUE(SessionDeckProcessAttach());
    EXPECT_EQ(GetSessionDeckAccelerators().GetSize(), 16u);

    std::vector<int> order;
    RegisterProcessDetachHook([&] { order.push_back(1); });
    RegisterProcessDetachHook([&] { order.push_back(2); });
    SessionDeckProcessDetach();
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    SessionDeckProcessDetach();  // hooks run once
    EXPECT_EQ(order.size(), 2u);
}
