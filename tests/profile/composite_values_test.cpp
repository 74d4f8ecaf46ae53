// Composite settings against the in-memory store: exact stored texts, tolerant and strict parsing,
// byte-block change rules and lists of lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/codepage.h"
#include "profile/composite_values.h"
#include "support/case_file.h"
#include "support/memory_store.h"

using namespace sessiondeck;

namespace {

using Column = VProfileListViewState::ColumnInfo;

class CompositeValues : public ::testing::Test {
protected:
    std::u16string Stored(const char16_t* name) const {
        const MemoryValue* value = factory.Find(u"Global", name);
        return value && value->kind == kValueKindString ? value->string.str() : u"<absent>";
    }

    MemoryStoreFactory factory;
    VProfileStore store{&factory};
    VProfileKey key{store.GetRootKey(), u"Global"};
};

std::vector<Column> Columns(const VProfileListViewState& state) {
    return std::vector<Column>(state.columns.begin(), state.columns.end());
}

}  // namespace

TEST_F(CompositeValues, ListViewStateExactTexts) {
    VProfileListViewState state;
    state.Init(&key, u"Columns", u"");
    EXPECT_EQ(state.Format().str(), u"0,0,0,0,0") << "no columns: five numbers, nothing after";

    std::tie(state.h1, state.h2, state.h3, state.h4, state.h5) =
        std::tuple(-3, 1, 4294967295u, 2147483647, 2);
    state.columns.Add({120, 255, -2147483647 - 1});
    state.columns.Add({-1, 0, 7});
    state.Save(&key, false);
    EXPECT_EQ(Stored(u"Columns"), u"-3,1,4294967295,2147483647,2,120,255,-2147483648,-1,0,7");

    VProfileListViewState back;
    back.Init(&key, u"Columns", u"9,9,9,9,0");
    EXPECT_FALSE(back.IsUnsaved());
    // Formatted again from the parsed structure, not from the stored text.
    EXPECT_EQ(back.Format().str(), Stored(u"Columns"));
    EXPECT_EQ(Columns(back), (std::vector<Column>{{120, 255, -2147483647 - 1}, {-1, 0, 7}}));

    VProfileExplorerFrameState frame;
    frame.Init(&key, u"Frame", u"1,2,3");
    EXPECT_EQ(frame.f2, 2);
    std::tie(frame.f1, frame.f3) = std::pair(-1, 2147483647);
    frame.Save(&key, false);
    EXPECT_EQ(Stored(u"Frame"), u"-1,2,2147483647");
}

// Stored texts as a table (tests/golden/profile/composite-states.txt): what each loads as, or
// the default; a loaded state holds its structure's own text and is not modified.
TEST_F(CompositeValues, StoredStatesLoadAsTheTableSays) {
    ExpectCaseFile("profile/composite-states.txt", [&](const std::vector<std::string>& fields) {
        key.SetString(u"State", Utf8ToUtf16(fields[1]).c_str());
        VProfileListViewState list;
        VProfileExplorerFrameState frame;
        const bool isFrame = fields[0] == "frame";
        VProfileTextState& state = isFrame ? static_cast<VProfileTextState&>(frame) : list;
        const std::u16string fallback = isFrame ? u"1,1,1" : u"7,7,7,7,1,5,5,5";
        state.Init(&key, u"State", fallback);
        EXPECT_EQ(state.Format().str(), state.Get().str());
        EXPECT_EQ(static_cast<size_t>(list.h5), list.columns.GetSize());
        EXPECT_FALSE(state.IsModified());
        if (!state.IsUnsaved()) return Utf16ToUtf8(state.Get().str());
        EXPECT_EQ(state.Get().str(), fallback);
        return std::string("(default)");
    });
}

// The structure is what changes; its text is what is tracked and written.
TEST_F(CompositeValues, TextStatesTrackTheirStructure) {
    VProfileListViewState state;
    state.Init(&key, u"State", u"0,0,0,0,0");
    EXPECT_TRUE(state.IsUnsaved());
    state.Save(&key, false);
    EXPECT_EQ(factory.WriteCount(u"State"), 1) << "the default is written once";
    state.Save(&key, false);
    EXPECT_EQ(factory.WriteCount(u"State"), 1);

    state.columns.Add({1, 2, 3});
    state.h5 = 1;
    EXPECT_TRUE(state.IsModified()) << "a change to the structure alone is a change";
    state.Rollback();
    EXPECT_EQ(state.Format().str() + (state.IsModified() ? u" modified" : u""), u"0,0,0,0,0");

    state.h2 = 5;
    state.Checkpoint();
    EXPECT_FALSE(state.IsModified());
    EXPECT_TRUE(state.IsUnsaved());
    state.Save(&key, false);
    EXPECT_EQ(Stored(u"State"), u"0,5,0,0,0");

    VProfileListViewState other;
    other.Init(nullptr, u"State", u"0,0,0,0,1,9,8,7");
    state.ApplyDelta(&other);
    EXPECT_EQ(Columns(state), (std::vector<Column>{{9, 8, 7}}));
    EXPECT_EQ(state.Get().str(), u"0,0,0,0,1,9,8,7") << "the text follows the structure";
    EXPECT_TRUE(state.IsModified());
    VProfileExplorerFrameState frame;
    frame.Init(nullptr, u"Frame", u"3,3,3");
    state.ApplyDelta(&frame);
    EXPECT_EQ(state.h5, 1) << "another type's delta is ignored";

    // A default that does not parse is the empty structure.
    VProfileExplorerFrameState bad;
    bad.Init(nullptr, u"Frame", u"not a frame");
    EXPECT_EQ(bad.Get().str(), u"0,0,0");
    EXPECT_FALSE(bad.IsModified());
}

TEST_F(CompositeValues, BlobModifiedRulesAndStoredBytes) {
    VProfileBlob blob;
    ASSERT_TRUE(blob.Init(&key, u"Blob"));
    EXPECT_FALSE(blob.IsModified()) << "no checkpoint and no data";
    blob.Save(&key, false);
    EXPECT_EQ(factory.WriteCount(u"Blob"), 0) << "an absent block is not written";

    const uint8_t bytes[] = {0, 1, 2, 0xff}, sameSize[] = {0, 1, 2, 0xfe};
    blob.SetData(bytes, sizeof bytes);
    EXPECT_TRUE(blob.IsModified()) << "no checkpoint but data";
    blob.Save(&key, false);
    EXPECT_EQ(factory.Find(u"Global", u"Blob")->binary, std::vector<uint8_t>(bytes, bytes + 4));
    blob.SetData(sameSize, sizeof sameSize);
    EXPECT_TRUE(blob.IsModified()) << "one byte differs";
    blob.SetData(bytes, 3);
    EXPECT_TRUE(blob.IsModified()) << "sizes differ";
    blob.Rollback();
    EXPECT_EQ(blob.GetData(), std::vector<uint8_t>(bytes, bytes + 4));
    EXPECT_FALSE(blob.IsModified()) << "rolled back";

    // An empty stored block is still a stored block; a value of another kind is none.
    blob.Empty();
    blob.Save(&key, false);
    VProfileBlob loaded, wrongKind;
    EXPECT_TRUE(loaded.Init(&key, u"Blob") && loaded.HasCheckpoint());
    key.SetString(u"Text", u"abc");
    EXPECT_FALSE(wrongKind.Init(&key));
}
