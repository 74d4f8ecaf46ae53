// Library initialisation: the emulation and key map tables, version records, the process hooks
// (the sibling applications: siblings_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/init.h"
#include "platform/version_record.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace {

// The emulation table as "name:number" words.
std::string Emulations() {
    std::string words;
    for (const auto& row : GetEmulationTable())
        words += (words.empty() ? "" : " ") + row.name.ToUtf8() + ":" + std::to_string(row.number);
    return words;
}

}  // namespace

// ANSI and VT102 share an emulation number; the additional emulations (the global options'
// termcap entries) come only once the global configuration is loaded.
TEST(SessionDeckDllInit, OnlyTheOlderTerminalLacksMardellAndRebuildingDoesNotDouble) {
    const std::string table =
        "ANSI:4 Linux:2 SCOANSI:3 Mardell:9 VT100:1 VT102:4 VT220:5 "
        "WYSE50:6 WYSE60:7 Xterm:8";
    SetAdditionalEmulationNamesProvider(nullptr);
    for (const char16_t* name : {u"Vetra", u"vEtRa"}) {
        SessionDeckDllInit(name, nullptr);
        EXPECT_EQ(Emulations(),
                  "ANSI:4 Linux:2 SCOANSI:3 VT100:1 VT102:4 VT220:5 WYSE50:6 "
                  "WYSE60:7 Xterm:8");
        EXPECT_EQ(GetBuiltinKeymapNames().GetSize(), 9u);
    }
    SessionDeckDllInit(u"Vetralon", nullptr);
    SessionDeckDllInit(u"Vetralon", nullptr);
    EXPECT_EQ(Emulations(), table);
    const auto& names = GetBuiltinKeymapNames();
    ASSERT_EQ(names.GetSize(), 10u);
    EXPECT_EQ(names[0], u"Custom");
    EXPECT_EQ(names[9], u"Mardell");

    SetAdditionalEmulationNamesProvider([] { return std::optional<VStringArray>(); });
    SessionDeckDllInit(u"Vetralon", nullptr);
    EXPECT_EQ(Emulations(), table);
    SetAdditionalEmulationNamesProvider([] {
        return std::optional<VStringArray>(VStringArray{u"TN3270", u"VT320"});
    });
    SessionDeckDllInit(u"Vetralon", nullptr);
    EXPECT_EQ(Emulations(), table + " TN3270:1 VT320:1");
    SetAdditionalEmulationNamesProvider(nullptr);
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
