// Typed settings and records against the in-memory store: when they load, write, checkpoint, roll
// back and take deltas.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "foundation/codepage.h"
#include "profile/profile_data.h"
#include "profile/text_form.h"
#include "support/memory_store.h"
#include "support/profile_case_file.h"

using namespace sessiondeck;

namespace {

struct Margins {
    int32_t left, top, right, bottom;
    bool operator==(const Margins&) const = default;
};

using StringSetting = VProfile2<VUnicodeString, VProfileSz>;
using ListSetting = VProfile2<VStringArray, VProfileMultiSz>;
using MarginsSetting = VProfile2<Margins, VProfileBinary>;

// A store with one key, "Sessions\Demo", opened writable.
class StoreTest : public ::testing::Test {
protected:
    MemoryStoreFactory factory;
    VProfileStore store{&factory};
    VProfileKey key{store.GetRootKey(), u"Sessions\\Demo"};
};

// v holds three values of the setting's type: the default, another and a third; Foreign is a
// setting of another type, which ApplyDelta must ignore.
template <class S, int Kind, class Foreign>
struct Case {
    using Setting = S;
    using ForeignSetting = Foreign;
    static constexpr int kKind = Kind;
};

struct IntCase : Case<VProfile<int>, kValueKindDword, VProfile<unsigned int>> {
    static inline const std::array<int, 3> v{-7, 42, 5};
};
// A bool has two values only, so the third is the first again.
struct BoolCase : Case<VProfile<bool>, kValueKindDword, VProfile<int>> {
    static inline const std::array<bool, 3> v{true, false, true};
};
// The third differs from the second in case only.
struct StringCase : Case<StringSetting, kValueKindString, ListSetting> {
    static inline const std::array<VUnicodeString, 3> v{u"default", u"Other", u"other"};
};
struct ListCase : Case<ListSetting, kValueKindStringArray, StringSetting> {
    static inline const std::array<VStringArray, 3> v{
        VStringArray{u"a", u"b"}, VStringArray{u"a", u"b", u""}, VStringArray{}};
};
struct BinaryCase : Case<MarginsSetting, kValueKindBinary, StringSetting> {
    static inline const std::array<Margins, 3> v{Margins{1, 2, 3, 4}, Margins{1, 2, 3, 5},
                                                 Margins{0, 0, 0, 0}};
};

template <class C>
class SettingRules : public StoreTest {};

using AllKinds = ::testing::Types<IntCase, BoolCase, StringCase, ListCase, BinaryCase>;
TYPED_TEST_SUITE(SettingRules, AllKinds);

TYPED_TEST(SettingRules, LoadAndSaveRules) {
    using C = TypeParam;
    MemoryStoreFactory& factory = this->factory;
    VProfileKey* key = &this->key;
    typename C::Setting s;
    s.SetName(u"Value");
    s = C::v[1];
    EXPECT_FALSE(s.Init(nullptr));
    EXPECT_FALSE(s.Init(key));
    EXPECT_TRUE(s.Get() == C::v[1]);  // a failed Init(key) changes nothing

    // A missing value takes the default, which the first save (only) writes, in its kind.
    EXPECT_TRUE(s.Init(key, u"Value", C::v[0]));
    EXPECT_TRUE(s.Get() == C::v[0]);
    EXPECT_TRUE(s.IsUnsaved());
    EXPECT_FALSE(s.IsModified());
    s.Save(key, false);
    s.Save(key, false);
    EXPECT_EQ(factory.WriteCount(u"Value"), 1);
    ASSERT_NE(factory.Find(u"Sessions\\Demo", u"Value"), nullptr);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Value")->kind, C::kKind);

    // Loaded and untouched: never written unless forced. A copy is the same setting.
    typename C::Setting loaded;
    EXPECT_TRUE(loaded.Init(key, u"Value", C::v[1]));
    EXPECT_TRUE(loaded.Get() == C::v[0]);
    EXPECT_FALSE(loaded.IsUnsaved());
    loaded.Save(key, false);
    EXPECT_EQ(factory.WriteCount(u"Value"), 1);
    typename C::Setting copy(loaded);
    EXPECT_TRUE(copy.GetPrevVal() == C::v[0]);
    copy.Save(key, true);
    EXPECT_EQ(factory.WriteCount(u"Value"), 2);

    // Another kind under the same name never converts.
    if (C::kKind == kValueKindString) {
        key->SetDword(u"Value", 1);
    } else {
        key->SetString(u"Value", u"1");
    }
    EXPECT_FALSE(s.Init(key));
    EXPECT_TRUE(s.Init(key, u"Value", C::v[2]));
    EXPECT_TRUE(s.Get() == C::v[2]);
    EXPECT_TRUE(s.IsUnsaved());
}

TYPED_TEST(SettingRules, CheckpointRollbackAndDelta) {
    using C = TypeParam;
    typename C::Setting s;
    s.Init(&this->key, u"Value", C::v[0]);
    s.Save(&this->key, false);
    this->factory.ClearWrites();

    s = C::v[1];
    EXPECT_TRUE(s.IsModified());
    s.Rollback();
    EXPECT_TRUE(s.Get() == C::v[0]);
    EXPECT_FALSE(s.IsModified());

    // A checkpointed change is no longer "modified" but is still written.
    s = C::v[1];
    s.Checkpoint();
    EXPECT_FALSE(s.IsModified());
    EXPECT_TRUE(s.IsUnsaved());
    s = C::v[2];
    s.Rollback();
    EXPECT_TRUE(s.Get() == C::v[1]);  // the checkpoint, not the loaded value

    // Checkpointing an unchanged value does not make it unsaved.
    typename C::Setting clean;
    clean.Init(&this->key, u"Value", C::v[2]);
    clean.Checkpoint();
    EXPECT_FALSE(clean.IsUnsaved());

    s.Save(&this->key, false);
    EXPECT_EQ(this->factory.WrittenNames(), std::vector<VUnicodeString>{u"Value"});
    typename C::Setting reread;
    reread.Init(&this->key, u"Value", C::v[0]);
    EXPECT_TRUE(reread.Get() == C::v[1]);

    // A delta brings the value only: neither the name nor the checkpoint.
    typename C::Setting source;
    source.Init(nullptr, u"Elsewhere", C::v[2]);
    reread.ApplyDelta(&source);
    EXPECT_TRUE(reread.Get() == C::v[2]);
    EXPECT_TRUE(reread.GetPrevVal() == C::v[1]);
    EXPECT_TRUE(reread.IsModified());
    EXPECT_FALSE(reread.IsUnsaved());
    EXPECT_EQ(reread.GetName().ToUtf8(), "Value");
    typename C::ForeignSetting foreign;
    reread.ApplyDelta(&foreign);
    reread.ApplyDelta(nullptr);
    EXPECT_TRUE(reread.Get() == C::v[2]);
}

TEST_F(StoreTest, DwordAndBinarySettingsStoreTheirExactBytes) {
    VProfile<int> negative;
    negative.Init(&key, u"Negative", -1);
    negative.Save(&key, false);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Negative")->dword, 0xFFFFFFFFu);

    // Any non-zero DWORD is true; it becomes 1 only when the setting is saved.
    key.SetDword(u"Flag", 2);
    VProfile<bool> flag;
    flag.Init(&key, u"Flag", false);
    EXPECT_TRUE(flag.Get());
    flag.Save(&key, false);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Flag")->dword, 2u);
    flag.Save(&key, true);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Flag")->dword, 1u);

    // The store keeps 32 bits; more does not survive.
    VProfile<unsigned long> wide;
    wide.Init(&key, u"Wide", 0ul);
    wide = 0x1'0000'0005ul;
    wide.Save(&key, false);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Wide")->dword, 5u);

    // A stored block shorter than the record overlays its start; a longer one is refused.
    const Margins fallback{1, 2, 3, 4};
    struct Row {
        std::vector<int32_t> stored;
        Margins expected;
        bool unsaved;
    };
    const Row rows[] = {{{10, 20, 30, 40}, {10, 20, 30, 40}, false},
                        {{10, 20}, {10, 20, 3, 4}, false},
                        {{}, {1, 2, 3, 4}, false},
                        {{10, 20, 30, 40, 50}, {1, 2, 3, 4}, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored.size());
        key.SetBinary(u"Margins", row.stored.data(), static_cast<uint32_t>(row.stored.size() * 4));
        MarginsSetting margins;
        margins.Init(&key, u"Margins", fallback);
        EXPECT_EQ(margins.Get(), row.expected);
        EXPECT_EQ(margins.IsUnsaved(), row.unsaved);
    }
    MarginsSetting margins;
    margins.Init(&key, u"Fresh", fallback);
    margins.bottom = 9;
    EXPECT_TRUE(margins.IsModified());
    margins.Save(&key, false);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Fresh")->binary,
              (std::vector<uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 9, 0, 0, 0}));
}

struct DemoRecord : VProfileRecord<DemoRecord> {
    StringSetting host;
    VProfile<unsigned int> port;
    VProfile<bool> compress;
    MarginsSetting margins;
    ListSetting history;
    StringSetting title;

    static constexpr auto _profileOffsets =
        VProfileMembers(VProfileMember(&DemoRecord::host, u"Hostname", u"localhost"),
                        VProfileMember(&DemoRecord::port, u"Port", 22u),
                        VProfileMember(&DemoRecord::compress, u"Compression", true),
                        VProfileMember(&DemoRecord::margins, u"Margins", Margins{1, 2, 3, 4}),
                        VProfileMember(&DemoRecord::history, u"History"),
                        VProfileMember(&DemoRecord::title, u"Title", [](const auto& record) {
                            return VUnicodeString(u"Session on ") + record.host.Get();
                        }));

    // Writes a format marker ahead of the members.
    void PreSave(VProfileKey* key, bool) override {
        if (key) key->SetDword(u"Format", 2);
    }
};

struct OtherRecord : VProfileRecord<OtherRecord> {
    StringSetting host;
    static constexpr auto _profileOffsets =
        VProfileMembers(VProfileMember(&OtherRecord::host, u"Hostname", u"x"));
};

TEST_F(StoreTest, RecordLoadsAndSavesInTableOrder) {
    DemoRecord record;
    record.Load(&key);
    EXPECT_EQ(record.port.Get(), 22u);
    EXPECT_EQ(record.margins.Get(), (Margins{1, 2, 3, 4}));
    EXPECT_EQ(record.title.Get().ToUtf8(), "Session on localhost");

    // Saving fills in every default, PreSave first, then table order; Lookup follows the table.
    record.Save(&key, false);
    const std::vector<VUnicodeString> names{u"Format",  u"Hostname", u"Port", u"Compression",
                                            u"Margins", u"History",  u"Title"};
    EXPECT_EQ(factory.WrittenNames(), names);
    ASSERT_EQ(DemoRecord::GetMemberCount(), 6);
    for (int i = -1; i <= 6; ++i) {
        VProfileData* member = record.Lookup(i);
        EXPECT_EQ(member ? member->GetName() : VUnicodeString(u"-"),
                  i < 0 || i > 5 ? u"-" : names[i + 1]);
    }
    factory.ClearWrites();
    record.Save(&key, false);
    EXPECT_EQ(factory.WrittenNames(), std::vector<VUnicodeString>{u"Format"});

    // A computed default sees the members loaded before it.
    VProfileKey other(store.GetRootKey(), u"Sessions\\Other");
    other.SetString(u"Hostname", u"example.org");
    DemoRecord second;
    second.Load(&other);
    EXPECT_EQ(second.title.Get().ToUtf8(), "Session on example.org");

    // Loaded records share their members' names; renaming one member of a copy leaves every
    // other name as it was.
    DemoRecord copy = record;
    copy.host.SetName(u"Renamed");
    EXPECT_EQ(copy.host.GetName() + u" " + record.host.GetName() + u" " + second.host.GetName(),
              u"Renamed Hostname Hostname");
}

TEST_F(StoreTest, RecordRollbackCheckpointAndDeltaWalkEveryMember) {
    VProfileKey defaultKey(store.GetRootKey(), u"Sessions\\Default");
    DemoRecord defaults;
    defaults.Load(&defaultKey);
    defaults.Save(&defaultKey, false);
    defaults.Checkpoint();

    DemoRecord session;
    session.Load(nullptr);
    session.history = VStringArray{u"ls"};
    session.port = 2022;
    EXPECT_TRUE(session.IsModified());
    session.Rollback();
    EXPECT_FALSE(session.IsModified());
    EXPECT_EQ(session.port.Get(), 22u);
    EXPECT_TRUE(session.history.Get().IsEmpty());

    // Every value differs from the default session's.
    session.host = u"example.org";
    session.port = 2022;
    session.compress = false;
    session.title = u"Mine";
    session.Save(&key, true);
    session.Checkpoint();
    session.ApplyDelta(&defaults);
    EXPECT_FALSE(session.IsModified()) << "nothing changed in the default: nothing applied";

    defaults.port = 8022;
    defaults.compress = false;  // changed, though equal to the session's value
    defaults.history = VStringArray{u"top"};
    session.ApplyDelta(&defaults);
    EXPECT_EQ(session.port.Get(), 8022u);
    EXPECT_EQ(session.history.Get(), (VStringArray{u"top"}));
    EXPECT_EQ(session.host.Get().ToUtf8(), "example.org");
    EXPECT_EQ(session.title.Get().ToUtf8(), "Mine");
    EXPECT_FALSE(session.compress.Get());
    factory.ClearWrites();
    session.Save(&key, false);
    EXPECT_EQ(factory.WrittenNames(),
              (std::vector<VUnicodeString>{u"Format", u"Port", u"History"}));

    OtherRecord other;
    other.Load(nullptr);
    other.host = u"changed";
    session.ApplyDelta(&other);
    EXPECT_EQ(session.host.Get().ToUtf8(), "example.org") << "another record type is ignored";
}

struct LimitedRecord : VProfileRecord<LimitedRecord> {
    VProfile<int> count;
    VProfile<int> width;
    VProfile<int> mode;
    VProfile<unsigned int> size;
    VProfile<bool> flag;
    StringSetting name;

    static constexpr auto _profileOffsets = VProfileMembers(
        VProfileMember(&LimitedRecord::count, u"Count", 4).Range(0, 9).Label(u"Recent items"),
        VProfileMember(&LimitedRecord::width, u"Width", 40).AtLeast(20),
        VProfileMember(&LimitedRecord::mode, u"Mode", 3).OneOf({1, 2, 3}, 3),
        VProfileMember(&LimitedRecord::size, u"Size", 132u).Range(132, 1024),
        VProfileMember(&LimitedRecord::flag, u"Flag", false).ResetOnLoad(),
        VProfileMember(&LimitedRecord::name, u"Name"));
};

TEST_F(StoreTest, RecordLimitsCorrectNumbersAndDescribeEachMember) {
    LimitedRecord record;
    record.Load(nullptr);
    ExpectCaseFile("profile/record-limits.txt", [&](const std::vector<std::string>& fields) {
        VProfileData* setting = record.Lookup(std::stoi(fields[0]));
        EXPECT_TRUE(setting->SetText(Utf8ToUtf16(fields[1])));
        record.ApplyLimits();
        return Utf16ToUtf8(setting->Text().value_or(u"(no text)"));
    });
    EXPECT_EQ(record.name.Get(), u"-5");

    const VSettingDescription count = record.Describe(0);
    EXPECT_EQ(count.kind, SettingKind::kInteger);
    EXPECT_TRUE(count.limits.hasRange);
    EXPECT_EQ(std::u16string_view(count.limits.label), u"Recent items");
    EXPECT_EQ(record.Describe(4).kind, SettingKind::kBool);
    EXPECT_TRUE(record.Describe(4).limits.resetOnLoad);
    EXPECT_FALSE(record.Describe(5).limits.Constrains());
    EXPECT_EQ(record.Describe(6).name, nullptr) << "outside the table";
}

constexpr uint32_t kBadString = 0xE1040001;

// Strings: "!..." is rejected, "?..." is rejected with the take-as-is id, anything else is
// accepted in angle brackets (so the parser's result can be told from the raw text). Numbers:
// decimal. Lists: comma-separated. Flags: never.
class ScriptedParser : public IParser {
public:
    bool ParseString(const VString& text, VUnicodeString& value,
                     IReportMessageParams* report) override {
        const bool takeAsIs = text.str().starts_with('?');
        if (takeAsIs || text.str().starts_with('!')) {
            if (report) report->SetMessage(takeAsIs ? kParseTakeTextAsIs : kBadString);
            return false;
        }
        value = VUnicodeString::FromAnsi("<" + text.str() + ">");
        return true;
    }
    bool ParseInteger(const VString& text, uint32_t& value, IReportMessageParams*) override {
        value = static_cast<uint32_t>(std::stoul(text.str()));
        return true;
    }
    bool ParseBool(const VString&, bool&, IReportMessageParams*) override { return false; }
    bool ParseList(const VString& text, VStringArray& value, bool keepEmptyItems,
                   IReportMessageParams*) override {
        value = VStringArray{};
        std::string item;
        for (char c : text.str() + ",") {
            if (c != ',') {
                item += c;
            } else if (keepEmptyItems || !item.empty()) {
                value.Add(VUnicodeString::FromAnsi(std::exchange(item, {})));
            }
        }
        return true;
    }
};

// The text forms the record members of the layers above are shown and set in.
TEST(TextForms, NumberListsAndBytes) {
    EXPECT_EQ(textform::JoinNumbers({-1, 0, 4294967295}), u"-1,0,4294967295");
    EXPECT_EQ(textform::JoinNumbers({}), u"");
    const std::vector<uint8_t> bytes{0x10, 0xab, 0x00};
    EXPECT_EQ(textform::ParseBytes(u"10aB00"), bytes);
    EXPECT_EQ(textform::ParseBytes(textform::FormatBytes(bytes)), bytes);
    for (const char16_t* bad : {u"1", u"1g", u"g1"}) EXPECT_FALSE(textform::ParseBytes(bad));
}

}  // namespace

TEST(ParseSettings, EachKindAsksItsParserAndTakesTheResultAsStored) {
    ScriptedParser parser;
    struct Row {
        const char* text;
        bool ok;
        const char* value;  // afterwards
        uint32_t reportId;  // afterwards
    };
    // Only the take-as-is id turns a rejected string into the text itself.
    const Row rows[] = {{"host", true, "<host>", 0},
                        {"?raw text", true, "?raw text", 0},
                        {"!bad", false, "before", kBadString}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        StringSetting s;
        s.Init(nullptr, u"Name", u"before");
        VReportMessageParams report;
        EXPECT_EQ(s.Parse(row.text, &parser, &report), row.ok);
        EXPECT_EQ(s.Get().ToUtf8(), row.value);
        EXPECT_EQ(report.GetMessageId(), row.reportId);
        // A parsed value is taken as the stored one: nothing left to save.
        EXPECT_EQ(s.IsUnsaved(), !row.ok);
        EXPECT_FALSE(s.IsModified());
    }

    VReportMessageParams report;
    VProfile<int> negative;
    EXPECT_TRUE(negative.Parse("4294967295", &parser, &report));
    EXPECT_EQ(negative.Get(), -1);
    // A bool setting parses as a flag, not as a number.
    VProfile<bool> flag;
    EXPECT_FALSE(flag.Parse("1", &parser, &report));

    // Lists skip empty items unless a derived setting says they matter.
    ListSetting list;
    EXPECT_TRUE(list.Parse("a,,b", &parser, &report));
    EXPECT_EQ(list.Get(), (VStringArray{u"a", u"b"}));
    struct Lines : ListSetting {
        Lines() { m_skipEmptyItems = false; }
    } lines;
    EXPECT_TRUE(lines.Parse("a,,b", &parser, &report));
    EXPECT_EQ(lines.Get(), (VStringArray{u"a", u"", u"b"}));

    // A binary record has no text form, whatever the parser could do.
    MarginsSetting margins;
    margins.Init(nullptr, u"Margins", Margins{1, 2, 3, 4});
    EXPECT_FALSE(margins.Parse("1,2,3,4", &parser, &report));
    EXPECT_EQ(margins.Get(), (Margins{1, 2, 3, 4}));
}
