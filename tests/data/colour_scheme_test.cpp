// Colour schemes: the exact stored bytes, loading and saving the list, and the editor and page
// rules.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "data/color_scheme.h"
#include "data/color_scheme_editor.h"
#include "support/golden.h"
#include "support/memory_store.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace {

Bytes SchemeBytes(const ColorScheme& scheme) {
    Bytes bytes(68);
    VProfileBinaryTraits<ColorScheme>::ToBytes(scheme, bytes.data());
    return bytes;
}
std::string SchemeHex(const ColorScheme& scheme) {
    return Hex(SchemeBytes(scheme));
}

// The scheme with its four switches set as given.
ColorScheme WithSwitches(ColorScheme scheme, uint8_t advanced, uint8_t bold, uint8_t underline,
                         uint8_t blink) {
    scheme.advanced = advanced;
    scheme.overstrikeBold = bold;
    scheme.showUnderline = underline;
    scheme.enableBlink = blink;
    return scheme;
}

// A scheme whose every byte is distinct, so a field in the wrong place shows.
ColorScheme DistinctScheme() {
    ColorScheme scheme = WithSwitches(ColorScheme(), 1, 0, 2, 3);
    for (int i = 0; i < 8; ++i) {
        scheme.foreground[i] = 0x00102030u + static_cast<uint32_t>(i);
        scheme.background[i] = 0x00A0B0C0u + static_cast<uint32_t>(i);
    }
    return scheme;
}

const char* const kDistinctHex =
    "010002033020100031201000322010003320100034201000352010003620100037201000"
    "c0b0a000c1b0a000c2b0a000c3b0a000c4b0a000c5b0a000c6b0a000c7b0a000";

std::vector<VUnicodeString> Names(const ProfileColorSchemeList& list) {
    std::vector<VUnicodeString> names;
    for (size_t i = 0; i < list.GetCount(); ++i) names.push_back(list.GetAt(i).GetName());
    return names;
}

// Stores a scheme's bytes, or other bytes, as another program would.
void StoreScheme(MemoryStoreFactory& factory, const char16_t* name, const Bytes& bytes) {
    VProfileStore store(&factory);
    VProfileKey key(store.GetRootKey(), u"Global\\Color Schemes");
    ASSERT_TRUE(key.SetBinary(name, bytes.data(), static_cast<uint32_t>(bytes.size())));
}

ProfileColorSchemeList LoadList(MemoryStoreFactory& factory) {
    VProfileStore store(&factory);
    VProfileKey global(store.GetRootKey(), u"Global");
    ProfileColorSchemeList list;
    list.Init(&global);
    return list;
}

void SaveList(MemoryStoreFactory& factory, ProfileColorSchemeList& list, bool force = false) {
    VProfileStore store(&factory);
    VProfileKey global(store.GetRootKey(), u"Global");
    list.Save(&global, force);
}

}  // namespace

TEST(ColorScheme, RecordBytesAreExactLittleEndian) {
    EXPECT_EQ(VProfileBinaryTraits<ColorScheme>::kSize, 68u);
    EXPECT_EQ(SchemeHex(DistinctScheme()), kDistinctHex);
    EXPECT_EQ(SchemeHex(ColorScheme()), "00010101" + Repeat("00000000", 8) + Repeat("ffffff00", 8));
}

TEST(ColorSchemeList, EmptyConfigurationLoadsTheBuiltInSchemesInOrder) {
    MemoryStoreFactory factory;
    ProfileColorSchemeList list = LoadList(factory);
    // Each built-in scheme as its name and stored bytes ("Windows" with the system colours).
    std::string table;
    for (size_t i = 0; i < list.GetCount(); ++i)
        table += list.GetAt(i).GetName().ToUtf8() + " " + SchemeHex(list.GetAt(i).Get()) + "\n";
    ExpectMatchesGolden("data/colour-schemes.txt", table);
    EXPECT_FALSE(list.IsModified());

    // The built-ins were never saved, so the first save writes all of them, in order.
    SaveList(factory, list);
    EXPECT_EQ(factory.ValueNames(u"Global\\Color Schemes"), Names(list));
    factory.ClearWrites();
    SaveList(factory, list);
    EXPECT_TRUE(factory.Writes().empty());
}

// Stored order is kept and Monochrome (in any spelling) goes last when missing; only the exact
// name "Windows" follows the desktop's colours, keeping its own switches; a short record overlays
// the default's start, a long or mistyped one gives the default, all keep their names.
TEST(ColorSchemeList, StoredSchemesLoadInOrderWithMonochromeAndTheDesktopsWindows) {
    MemoryStoreFactory factory;
    const ColorScheme stored = WithSwitches(ColorScheme(0x112233, 0x445566), 1, 0, 0, 1);
    StoreScheme(factory, u"Windows", SchemeBytes(stored));
    StoreScheme(factory, u"Alpha", SchemeBytes(DistinctScheme()));
    StoreScheme(factory, u"Short", {1, 0, 0, 0, 0x11, 0x22, 0x33, 0x00});
    StoreScheme(factory, u"Long", Bytes(69, 0x55));
    {
        VProfileStore store(&factory);
        VProfileKey(store.GetRootKey(), u"Global\\Color Schemes").SetString(u"Text", u"x");
    }
    ProfileColorSchemeList list = LoadList(factory);
    ASSERT_EQ(Names(list), (std::vector<VUnicodeString>{u"Windows", u"Alpha", u"Short", u"Long",
                                                        u"Text", u"Monochrome"}));
    EXPECT_EQ(list.GetAt(0).Get(), WithSwitches(ColorScheme(GetSystemColor(kSysColorWindowText),
                                                            GetSystemColor(kSysColorWindow)),
                                                1, 0, 0, 1));
    EXPECT_EQ(list.GetAt(1).Get(), DistinctScheme());
    ColorScheme shortScheme = WithSwitches(ColorScheme(), 1, 0, 0, 0);
    shortScheme.foreground[0] = 0x332211;
    EXPECT_EQ(list.GetAt(2).Get(), shortScheme);
    EXPECT_EQ(list.GetAt(3).Get(), ColorScheme());
    EXPECT_EQ(list.GetAt(4).Get(), ColorScheme());
    EXPECT_EQ(list.GetAt(5).Get(), ColorScheme(0x000000, 0xFFFFFF));
    factory.ClearWrites();
    SaveList(factory, list);
    // The added Monochrome and the values loaded otherwise than stored are written.
    EXPECT_EQ(factory.WrittenNames(),
              (std::vector<VUnicodeString>{u"Windows", u"Long", u"Text", u"Monochrome"}));

    MemoryStoreFactory other;
    StoreScheme(other, u"windows", SchemeBytes(stored));
    StoreScheme(other, u"MONOCHROME", SchemeBytes(DistinctScheme()));
    const ProfileColorSchemeList otherList = LoadList(other);
    EXPECT_EQ(Names(otherList), (std::vector<VUnicodeString>{u"windows", u"MONOCHROME"}));
    EXPECT_EQ(otherList.GetAt(0).Get(), stored);
}

TEST(ColorSchemeList, SaveWritesWhatChangedAndDeletesWhatWasRemoved) {
    MemoryStoreFactory factory;
    ProfileColorSchemeList list = LoadList(factory);
    SaveList(factory, list);
    // A change counts and rolls back; after a checkpoint it no longer counts but is still saved.
    ColorScheme changed = list.GetAt(3).Get();
    changed.foreground[5] = 0x0000FF;
    list.RemoveAt(0);
    EXPECT_TRUE(list.IsModified());
    list.Rollback();
    EXPECT_FALSE(list.IsModified());
    EXPECT_EQ(list.GetAt(0).GetName(), u"Monochrome");
    list.GetAt(3) = changed;
    list.Checkpoint();
    EXPECT_FALSE(list.IsModified());
    factory.ClearWrites();
    SaveList(factory, list);
    EXPECT_EQ(factory.WrittenNames(), std::vector<VUnicodeString>{u"Traditional"});

    ASSERT_EQ(list.IndexOf(u"yellow / black"), 2);
    list.RemoveAt(2);
    factory.ClearWrites();
    SaveList(factory, list);
    EXPECT_EQ(factory.Find(u"Global\\Color Schemes", u"Yellow / Black"), nullptr);
    EXPECT_EQ(factory.ValueNames(u"Global\\Color Schemes").size(), 7u);
    EXPECT_TRUE(factory.Writes().empty());  // nothing else changed

    // A stored name matching a listed one in another case stays; one listed nowhere goes.
    StoreScheme(factory, u"Stray", {0});
    list.GetAt(0).SetName(u"MONOCHROME");
    SaveList(factory, list);
    EXPECT_NE(factory.Find(u"Global\\Color Schemes", u"Monochrome"), nullptr);
    EXPECT_EQ(factory.Find(u"Global\\Color Schemes", u"Stray"), nullptr);
}

TEST(ColorSchemeEditor, SelectionSwatchAndApply) {
    using Layer = ColorSchemeEditor::Layer;
    ColorSchemeEditor editor(u"Mine", ColorScheme(0x111111, 0x222222));
    EXPECT_EQ(editor.GetCombinations(1), (std::vector<int>{1, 3, 5, 7}));
    EXPECT_EQ(editor.GetSwatch(Layer::Foreground), 0xC0C0C0u);  // nothing selected
    EXPECT_FALSE(editor.ApplyColor(Layer::Foreground, 0x0000FF));

    editor.SetSelection({0});  // Normal: 0, 2, 4, 6
    EXPECT_EQ(editor.GetSwatch(Layer::Foreground), 0x111111u);
    ASSERT_TRUE(editor.ApplyColor(Layer::Foreground, 0x0000FF));
    // Both rows: the foregrounds now differ, the backgrounds agree.
    editor.SetSelection({1, 0, 1, 5});
    EXPECT_EQ(editor.GetSelection(), (std::vector<int>{0, 1}));
    EXPECT_EQ(editor.GetSwatch(Layer::Foreground), 0xC0C0C0u);
    EXPECT_EQ(editor.GetSwatch(Layer::Background), 0x222222u);
    // The top byte is never part of a stored colour.
    ASSERT_TRUE(editor.ApplyColor(Layer::Background, 0xFF345678));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(editor.GetScheme().background[i], 0x345678u) << i;

    // Advanced: the rows change meaning, are single combinations and may be picked freely.
    editor.SetAdvanced(true);
    EXPECT_TRUE(editor.GetSelection().empty());
    editor.SetSelection({3, 6});
    ASSERT_TRUE(editor.ApplyColor(Layer::Foreground, 0x00FF00));
    std::string foregrounds;
    for (const uint32_t colour : editor.GetScheme().foreground)
        foregrounds += std::to_string(colour) + " ";
    EXPECT_EQ(foregrounds, "255 1118481 255 65280 255 1118481 65280 1118481 ");

    // Only the exact name "Windows" follows the desktop's colours.
    ColorSchemeEditor windows(u"Windows", ColorScheme());
    windows.SetSelection({0, 1});
    EXPECT_FALSE(windows.AreColorButtonsEnabled());
    EXPECT_FALSE(windows.ApplyColor(Layer::Background, 0x0000FF));
    ColorSchemeEditor lower(u"windows", ColorScheme());
    lower.SetSelection({0});
    EXPECT_TRUE(lower.ApplyColor(Layer::Background, 0x0000FF));
}

// The page's add and delete flow is the dialog model's (test_ui); here the rules it asks.
TEST(ColorSchemePage, CommandsFollowTheExactNamesAndUnstorableNamesAreRefused) {
    for (const auto& [name, edit, remove] : {std::tuple{u"Windows", false, false},
                                             {u"Monochrome", true, false},
                                             {u"Traditional", true, false},
                                             {u"TRADITIONAL", true, true}}) {
        EXPECT_EQ(ColorSchemePage::CanEdit(name), edit) << VUnicodeString(name).ToUtf8();
        EXPECT_EQ(ColorSchemePage::CanDelete(name), remove) << VUnicodeString(name).ToUtf8();
    }
    ProfileColorSchemeList list;
    list.Init(nullptr);
    ColorSchemePage page(list);
    VUnicodeString refusal;
    EXPECT_EQ(page.AddNew(u"two\nlines", refusal), -1);
    EXPECT_EQ(refusal, VUnicodeString(kColorSchemeNameRefused));
    EXPECT_EQ(page.AddNew(u"Mine", refusal), 8);
    EXPECT_FALSE(page.Delete(3, [](const VUnicodeString&) { return true; })) << "a built-in";
}
