// Button bars: the stored line form of a button, damaged lines, and the bars under "ButtonBar".
#include <gtest/gtest.h>

#include "data/keymap.h"
#include "session/button_bar.h"
#include "support/memory_store.h"

using namespace sessiondeck;

TEST(ButtonBars, ButtonsAreStoredEscapedAndReadBackAndDamagedLinesGiveEmptyButtons) {
    MemoryStoreFactory factory;
    UserButtonMap* map = GetButtonMap(u"Tools", &factory);
    UserButtonMap::Item item;
    item.function = Keymap::LookupCodeByName(u"SEND");
    item.text1 = u"memory only";
    item.text2 = u"ls -l\r\nexit";
    item.text3 = u"a,b\\c";
    item.text4 = u"List";
    EXPECT_FALSE(map->SetItem(10, item));
    EXPECT_FALSE(map->IsModified()) << "a refused item changes nothing";
    ASSERT_TRUE(map->SetItem(1, item));
    ASSERT_TRUE(SaveButtonMap(map, &factory));
    map->Release();

    ASSERT_NE(factory.Find(kButtonBarKeyName, u"Tools"), nullptr);
    const VStringArray lines = factory.Find(kButtonBarKeyName, u"Tools")->strings;
    ASSERT_EQ(lines.GetSize(), 10u);
    EXPECT_EQ(lines[0], u"NONE,,,,");
    EXPECT_EQ(lines[1], u"SEND,ls -l\\r\\nexit,a\\,b\\\\c,List,");

    UserButtonMap* loaded = GetButtonMap(u"Tools", &factory);
    item.text1 = u"";  // the first text is never stored
    EXPECT_EQ((*loaded)[1], item);
    EXPECT_THROW(loaded->GetAt(10), VArrayOutOfRange);
    loaded->Release();

    // Damaged lines give empty buttons; lines past the tenth are kept but not parsed.
    VStringArray damaged{u"MENU_COPY,x,y,z,", u"MENU_COPY,only,three,", u"NO_SUCH_FUNCTION,a,b,c,",
                         u"MENU_PASTE,\\\\r\\\\n,p\\,q,,"};
    for (int i = 0; i < 8; ++i) damaged.Add(u"MENU_EXIT,,,,");
    UserButtonMap bar(nullptr, u"unused");
    {
        VProfileStore store(&factory);
        VProfileKey key(store.GetRootKey(), kButtonBarKeyName);
        key.SetStringArray(u"Bar", damaged);
        bar.Init(&key, u"Bar");
    }
    EXPECT_EQ(bar[0].text4, u"z");
    EXPECT_EQ(bar[1], UserButtonMap::Item{});
    EXPECT_EQ(bar[2], UserButtonMap::Item{});
    EXPECT_EQ(bar[3].text2, u"\\r\\n") << "escaped backslashes are no line break";
    EXPECT_EQ(bar[3].text3, u"p,q");
    EXPECT_EQ(bar.GetCount(), 10);
    EXPECT_EQ(bar.Get().GetSize(), 12u) << "the stored lines are kept as they are";
}
