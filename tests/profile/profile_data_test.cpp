// Typed settings and records against the in-memory store: when they load, write, checkpoint, roll
// back, parse and take deltas.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "profile/profile_data.h"
#include "support/memory_store.h"

using namespace sessiondeck;

namespace {

struct Margins {
    int32_t left, top, right, bottom;
    bool operator==(const Margins&) const = default;
};

// A record whose stored bytes are laid out by hand: a flag byte, then a
// little-endian 32-bit count, with no padding between them.
struct Packed {
    uint8_t flag = 0;
    uint32_t count = 0;
    bool operator==(const Packed&) const = default;
};

}  // namespace

template <>
struct sessiondeck::VProfileBinaryTraits<Packed> {
    static constexpr uint32_t kSize = 5;
    static void ToBytes(const Packed& value, uint8_t* bytes) {
        bytes[0] = value.flag;
        for (int i = 0; i < 4; ++i) bytes[1 + i] = static_cast<uint8_t>(value.count >> (8 * i));
    }
    static void FromBytes(const uint8_t* bytes, Packed& value) {
        value.flag = bytes[0];
        value.count = 0;
        for (int i = 0; i < 4; ++i) value.count |= uint32_t{bytes[1 + i]} << (8 * i);
    }
};

namespace {

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

template <class S, class V, int Kind, class Foreign>
struct Case {
    using Setting = S;
    using Value = V;
    using ForeignSetting = Foreign;  // a setting of another type, for ApplyDelta
    static constexpr int kKind = Kind;
};

struct IntCase : Case<VProfile<int>, int, kValueKindDword, VProfile<unsigned int>> {
    static int Default() { return -7; }
    static int Other() { return 42; }
    static int Third() { return 5; }
};
struct UintCase : Case<VProfile<unsigned int>, unsigned int, kValueKindDword, VProfile<int>> {
    static unsigned Default() { return 0xFFFFFFFFu; }
    static unsigned Other() { return 0; }
    static unsigned Third() { return 9; }
};
struct UlongCase
    : Case<VProfile<unsigned long>, unsigned long, kValueKindDword, VProfile<unsigned int>> {
    static unsigned long Default() { return 1; }
    static unsigned long Other() { return 0x80000000ul; }
    static unsigned long Third() { return 3; }
};
// A bool has two values only, so the third is the first again.
struct BoolCase : Case<VProfile<bool>, bool, kValueKindDword, VProfile<int>> {
    static bool Default() { return true; }
    static bool Other() { return false; }
    static bool Third() { return true; }
};
struct StringCase : Case<StringSetting, VUnicodeString, kValueKindString, ListSetting> {
    static VUnicodeString Default() { return u"default"; }
    static VUnicodeString Other() { return u"Other"; }
    static VUnicodeString Third() { return u"other"; }  // differs from Other in case only
};
struct ListCase : Case<ListSetting, VStringArray, kValueKindStringArray, StringSetting> {
    static VStringArray Default() { return {u"a", u"b"}; }
    static VStringArray Other() { return {u"a", u"b", u""}; }
    static VStringArray Third() { return {}; }
};
struct BinaryCase : Case<MarginsSetting, Margins, kValueKindBinary, StringSetting> {
    static Margins Default() { return {1, 2, 3, 4}; }
    static Margins Other() { return {1, 2, 3, 5}; }
    static Margins Third() { return {0, 0, 0, 0}; }
};

template <class C>
class SettingRules : public StoreTest {
protected:
    using Setting = typename C::Setting;
};

using AllKinds =
    ::testing::Types<IntCase, UintCase, UlongCase, BoolCase, StringCase, ListCase, BinaryCase>;
TYPED_TEST_SUITE(SettingRules, AllKinds);

TYPED_TEST(SettingRules, LoadAndSaveRules) {
    using C = TypeParam;
    MemoryStoreFactory& factory = this->factory;
    VProfileKey* key = &this->key;
    typename C::Setting s;
    s.SetName(u"Value");
    s = C::Other();
    EXPECT_FALSE(s.Init(nullptr));
    EXPECT_FALSE(s.Init(key));
    EXPECT_TRUE(s.Get() == C::Other());  // a failed Init(key) changes nothing

    // A missing value takes the default, which the first save (only) writes, in its kind.
    EXPECT_TRUE(s.Init(key, u"Value", C::Default()));
    EXPECT_TRUE(s.Get() == C::Default());
    EXPECT_TRUE(s.IsUnsaved());
    EXPECT_FALSE(s.IsModified());
    s.Save(key, false);
    EXPECT_FALSE(s.IsUnsaved());
    s.Save(key, false);
    EXPECT_EQ(factory.WriteCount(u"Value"), 1);
    ASSERT_NE(factory.Find(u"Sessions\\Demo", u"Value"), nullptr);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Value")->kind, C::kKind);

    // Loaded and untouched: never written unless forced. A copy is the same setting.
    typename C::Setting loaded;
    EXPECT_TRUE(loaded.Init(key, u"Value", C::Other()));
    EXPECT_TRUE(loaded.Get() == C::Default());
    EXPECT_FALSE(loaded.IsUnsaved());
    loaded.Save(key, false);
    EXPECT_EQ(factory.WriteCount(u"Value"), 1);
    typename C::Setting copy(loaded);
    EXPECT_TRUE(copy.GetPrevVal() == C::Default());
    copy.Save(key, true);
    EXPECT_EQ(factory.WriteCount(u"Value"), 2);

    // Another kind under the same name never converts.
    if (C::kKind == kValueKindString) {
        key->SetDword(u"Value", 1);
    } else {
        key->SetString(u"Value", u"1");
    }
    EXPECT_FALSE(s.Init(key));
    EXPECT_TRUE(s.Init(key, u"Value", C::Third()));
    EXPECT_TRUE(s.Get() == C::Third());
    EXPECT_TRUE(s.IsUnsaved());
    EXPECT_TRUE(s.Init(nullptr, u"Value", C::Default()));
    EXPECT_TRUE(s.Get() == C::Default());
}

TYPED_TEST(SettingRules, CheckpointRollbackAndDelta) {
    using C = TypeParam;
    typename C::Setting s;
    s.Init(&this->key, u"Value", C::Default());
    s.Save(&this->key, false);
    this->factory.ClearWrites();

    s = C::Other();
    EXPECT_TRUE(s.IsModified());
    s.Rollback();
    EXPECT_TRUE(s.Get() == C::Default());
    EXPECT_FALSE(s.IsModified());

    // A checkpointed change is no longer "modified" but is still written.
    s = C::Other();
    s.Checkpoint();
    EXPECT_FALSE(s.IsModified());
    EXPECT_TRUE(s.IsUnsaved());
    s = C::Third();
    s.Rollback();
    EXPECT_TRUE(s.Get() == C::Other());  // the checkpoint, not the loaded value

    // Checkpointing an unchanged value does not make it unsaved.
    typename C::Setting clean;
    clean.Init(&this->key, u"Value", C::Third());
    clean.Checkpoint();
    EXPECT_FALSE(clean.IsUnsaved());

    s.Save(&this->key, false);
    EXPECT_EQ(this->factory.WrittenNames(), std::vector<VUnicodeString>{u"Value"});
    typename C::Setting reread;
    reread.Init(&this->key, u"Value", C::Default());
    EXPECT_TRUE(reread.Get() == C::Other());

    // A delta brings the value only: neither the name nor the checkpoint.
    typename C::Setting source;
    source.Init(nullptr, u"Elsewhere", C::Third());
    reread.ApplyDelta(&source);
    EXPECT_TRUE(reread.Get() == C::Third());
    EXPECT_TRUE(reread.GetPrevVal() == C::Other());
    EXPECT_TRUE(reread.IsModified());
    EXPECT_FALSE(reread.IsUnsaved());
    EXPECT_EQ(reread.GetName().ToUtf8(), "Value");
    // A setting of another type is ignored.
    typename C::ForeignSetting foreign;
    reread.ApplyDelta(&foreign);
    reread.ApplyDelta(nullptr);
    EXPECT_TRUE(reread.Get() == C::Third());
}

TEST_F(StoreTest, DwordSettingsStoreTheirThirtyTwoBits) {
    VProfile<int> negative;
    negative.Init(&key, u"Negative", -1);
    negative.Save(&key, false);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Negative")->dword, 0xFFFFFFFFu);

    // Any non-zero DWORD is true; it becomes 1 only when the setting is saved.
    key.SetDword(u"Flag", 2);
    factory.ClearWrites();
    VProfile<bool> flag;
    flag.Init(&key, u"Flag", false);
    EXPECT_TRUE(flag.Get());
    flag.Save(&key, false);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Flag")->dword, 2u);
    EXPECT_TRUE(factory.WrittenNames().empty());
    flag.Save(&key, true);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Flag")->dword, 1u);

    // The store keeps 32 bits; more does not survive.
    VProfile<unsigned long> wide;
    wide.Init(&key, u"Wide", 0ul);
    wide = 0x1'0000'0005ul;
    wide.Save(&key, false);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Wide")->dword, 5u);
}

TEST_F(StoreTest, BinaryValuesOverlayTheDefaultOrAreRefused) {
    const Margins fallback{1, 2, 3, 4};
    struct Row {
        const char* what;
        std::vector<int32_t> stored;  // as the store holds it
        Margins expected;
        bool unsaved;
    };
    const Row rows[] = {
        {"exact size", {10, 20, 30, 40}, {10, 20, 30, 40}, false},
        {"shorter: overlays the start", {10, 20}, {10, 20, 3, 4}, false},
        {"empty: nothing to overlay", {}, {1, 2, 3, 4}, false},
        {"longer: refused", {10, 20, 30, 40, 50}, {1, 2, 3, 4}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        key.SetBinary(u"Margins", row.stored.data(), static_cast<uint32_t>(row.stored.size() * 4));
        MarginsSetting margins;
        margins.Init(&key, u"Margins", fallback);
        EXPECT_EQ(margins.Get(), row.expected);
        EXPECT_EQ(margins.IsUnsaved(), row.unsaved);
    }

    // Saved as exactly the record's bytes; equal only when every field is.
    MarginsSetting margins;
    margins.Init(&key, u"Fresh", fallback);
    margins.bottom = 9;
    EXPECT_TRUE(margins.IsModified());
    margins.Save(&key, false);
    const std::vector<uint8_t> bytes{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 9, 0, 0, 0};
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Fresh")->binary, bytes);

    // A record with its own byte layout is stored and read in that layout.
    VProfile2<Packed, VProfileBinary> packed;
    packed.Init(&key, u"Packed", Packed{1, 0x01020304});
    packed.Save(&key, false);
    EXPECT_EQ(factory.Find(u"Sessions\\Demo", u"Packed")->binary,
              (std::vector<uint8_t>{1, 4, 3, 2, 1}));
    const uint8_t shorter[] = {7, 0xAA};
    key.SetBinary(u"Packed", shorter, sizeof shorter);
    packed.Init(&key, u"Packed", Packed{1, 0x01020304});
    EXPECT_EQ(packed.Get(), (Packed{7, 0x010203AA}));
}

constexpr uint32_t kBadString = 0xE1040001;
constexpr uint32_t kBadNumber = 0xE1040002;
constexpr uint32_t kBadFlag = 0xE1040003;

// Strings: "!..." is rejected, "?..." is rejected with the take-as-is id,
// anything else is accepted in angle brackets (so the parser's result can be
// told from the raw text). Numbers: decimal digits. Flags: "yes" and "no".
// Lists: comma-separated.
class ScriptedParser : public IParser {
public:
    bool ParseString(const VString& text, VUnicodeString& value,
                     IReportMessageParams* report) override {
        if (text.str().starts_with('!')) return Fail(report, kBadString);
        if (text.str().starts_with('?')) return Fail(report, kParseTakeTextAsIs);
        value = VUnicodeString::FromAnsi("<" + text.str() + ">");
        return true;
    }
    bool ParseInteger(const VString& text, uint32_t& value, IReportMessageParams* report) override {
        if (text.IsEmpty() || text.str().find_first_not_of("0123456789") != std::string::npos) {
            return Fail(report, kBadNumber);
        }
        value = static_cast<uint32_t>(std::stoul(text.str()));
        return true;
    }
    bool ParseBool(const VString& text, bool& value, IReportMessageParams* report) override {
        if (text.str() != "yes" && text.str() != "no") return Fail(report, kBadFlag);
        value = text.str() == "yes";
        return true;
    }
    bool ParseList(const VString& text, VStringArray& value, bool keepEmptyItems,
                   IReportMessageParams*) override {
        lastKeepEmpty = keepEmptyItems;
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
    int lastKeepEmpty = -1;  // not asked yet

private:
    static bool Fail(IReportMessageParams* report, uint32_t id) {
        if (report) report->SetMessage(id);
        return false;
    }
};

TEST(ParseSettings, StringsTakeRejectedTextAsIsOnlyForOneId) {
    ScriptedParser parser;
    struct Row {
        const char* text;
        bool ok;
        const char* value;  // afterwards
        uint32_t reportId;  // afterwards
    };
    const Row rows[] = {
        {"host", true, "<host>", 0},
        {"?raw text", true, "?raw text", 0},  // rejected with the take-as-is id
        {"!bad", false, "before", kBadString},
    };
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
    // The take-as-is rule works without a report from the caller too.
    StringSetting s;
    EXPECT_TRUE(s.Parse("?x", &parser, nullptr));
    EXPECT_EQ(s.Get().ToUtf8(), "?x");
    EXPECT_FALSE(s.Parse("x", nullptr, nullptr));
}

TEST(ParseSettings, NumbersFlagsAndLists) {
    ScriptedParser parser;
    VReportMessageParams report;

    VProfile<unsigned int> number;
    number.Init(nullptr, u"Number", 3u);
    EXPECT_TRUE(number.Parse("4000000000", &parser, &report));
    EXPECT_EQ(number.Get(), 4000000000u);
    EXPECT_EQ(number.GetPrevVal(), 4000000000u);
    EXPECT_FALSE(number.IsUnsaved());
    EXPECT_FALSE(number.Parse("12x", &parser, &report));
    EXPECT_EQ(report.GetMessageId(), kBadNumber);
    EXPECT_EQ(number.Get(), 4000000000u);

    VProfile<int> negative;
    EXPECT_TRUE(negative.Parse("4294967295", &parser, &report));
    EXPECT_EQ(negative.Get(), -1);

    // A bool setting parses as a flag, not as a number.
    VProfile<bool> flag;
    EXPECT_TRUE(flag.Parse("yes", &parser, &report));
    EXPECT_TRUE(flag.Get());
    EXPECT_FALSE(flag.Parse("1", &parser, &report));
    EXPECT_EQ(report.GetMessageId(), kBadFlag);
    EXPECT_TRUE(flag.Get());

    // The list policy asks the parser to skip empty items unless a derived
    // setting says they matter.
    ListSetting list;
    EXPECT_TRUE(list.Parse("a,,b", &parser, &report));
    EXPECT_EQ(parser.lastKeepEmpty, 0);
    EXPECT_EQ(list.Get(), (VStringArray{u"a", u"b"}));
    struct Lines : ListSetting {
        Lines() { m_skipEmptyItems = false; }
    } lines;
    EXPECT_TRUE(lines.Parse("a,,b", &parser, &report));
    EXPECT_EQ(parser.lastKeepEmpty, 1);
    EXPECT_EQ(lines.Get(), (VStringArray{u"a", u"", u"b"}));

    // A binary record has no text form, whatever the parser could do.
    MarginsSetting margins;
    margins.Init(nullptr, u"Margins", Margins{1, 2, 3, 4});
    EXPECT_FALSE(margins.Parse("1,2,3,4", &parser, &report));
    EXPECT_EQ(margins.Get(), (Margins{1, 2, 3, 4}));
    EXPECT_TRUE(margins.IsUnsaved());
}

TEST_F(StoreTest, SaveTraceNamesForceUnsavedAndChange) {
    std::vector<std::u16string> lines;
    SetProfileTraceSink([&](std::u16string_view line) { lines.emplace_back(line); });
    struct Restore {
        ~Restore() { SetProfileTraceSink(nullptr); }
    } restore;

    VProfile<int> port;
    port.Init(&key, u"Port", 22);
    port.Save(&key, false);  // default: unsaved, unchanged
    port.Save(&key, false);  // nothing to write, nothing traced
    port = 2222;
    port.Save(&key, true);
    StringSetting host;
    host.Init(&key, u"Host Name", u"a");
    host = u"b";
    host.Checkpoint();
    host.Save(&key, false);
    port.Save(nullptr, true);  // no key: nothing written, nothing traced

    EXPECT_EQ(lines, (std::vector<std::u16string>{u"Save: 0 1 0 Port\n", u"Save: 1 0 1 Port\n",
                                                  u"Save: 0 1 0 Host Name\n"}));
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

struct EmptyRecord : VProfileRecord<EmptyRecord> {
    static constexpr auto _profileOffsets = VProfileMembers();
};

struct OtherRecord : VProfileRecord<OtherRecord> {
    StringSetting host;
    static constexpr auto _profileOffsets =
        VProfileMembers(VProfileMember(&OtherRecord::host, u"Hostname", u"x"));
};

const std::vector<VUnicodeString> kDemoNames{u"Hostname", u"Port",    u"Compression",
                                             u"Margins",  u"History", u"Title"};

TEST_F(StoreTest, RecordLoadsAndSavesInTableOrder) {
    DemoRecord record;
    record.Load(&key);
    EXPECT_EQ(record.host.Get().ToUtf8(), "localhost");
    EXPECT_EQ(record.port.Get(), 22u);
    EXPECT_TRUE(record.compress.Get());
    EXPECT_EQ(record.margins.Get(), (Margins{1, 2, 3, 4}));
    EXPECT_TRUE(record.history.Get().IsEmpty());
    EXPECT_EQ(record.title.Get().ToUtf8(), "Session on localhost");

    // Saving fills in every default, PreSave first, then table order.
    record.Save(&key, false);
    std::vector<VUnicodeString> expected{u"Format"};
    expected.insert(expected.end(), kDemoNames.begin(), kDemoNames.end());
    EXPECT_EQ(factory.WrittenNames(), expected);
    factory.ClearWrites();
    record.Save(&key, false);
    EXPECT_EQ(factory.WrittenNames(), std::vector<VUnicodeString>{u"Format"});

    // A computed default sees the members loaded before it.
    VProfileKey other(store.GetRootKey(), u"Sessions\\Other");
    other.SetString(u"Hostname", u"example.org");
    DemoRecord second;
    second.Load(&other);
    EXPECT_EQ(second.title.Get().ToUtf8(), "Session on example.org");

    // Lookup walks the same table.
    ASSERT_EQ(DemoRecord::GetMemberCount(), 6);
    for (int i = 0; i < DemoRecord::GetMemberCount(); ++i) {
        ASSERT_NE(record.Lookup(i), nullptr);
        EXPECT_EQ(record.Lookup(i)->GetName(), kDemoNames[i]);
    }
    EXPECT_EQ(record.Lookup(1), static_cast<VProfileData*>(&record.port));
    EXPECT_EQ(record.Lookup(-1), nullptr);
    EXPECT_EQ(record.Lookup(6), nullptr);

    // Loaded records share their members' names; renaming one member of one
    // record, or of a copy, leaves every other name as it was.
    EXPECT_EQ(&record.host.GetName(), &second.host.GetName());
    DemoRecord copy = record;
    copy.host.SetName(u"Renamed");
    second.port.SetName(second.port.GetName());
    EXPECT_EQ(copy.host.GetName().ToUtf8(), "Renamed");
    EXPECT_EQ(record.host.GetName().ToUtf8(), "Hostname");
    EXPECT_EQ(second.host.GetName().ToUtf8(), "Hostname");
    EXPECT_EQ(second.port.GetName().ToUtf8(), "Port");

    // An empty table loads, saves and looks up nothing.
    factory.ClearWrites();
    EmptyRecord empty;
    empty.Load(&key);
    empty.Save(&key, true);
    EXPECT_EQ(EmptyRecord::GetMemberCount(), 0);
    EXPECT_EQ(empty.Lookup(0), nullptr);
    EXPECT_FALSE(empty.IsModified());
    EXPECT_TRUE(factory.WrittenNames().empty());
}

TEST_F(StoreTest, RecordCheckpointRollbackAndModified) {
    DemoRecord record;
    record.Load(&key);
    record.Save(&key, false);
    record.Checkpoint();
    EXPECT_FALSE(record.IsModified());

    record.history = VStringArray{u"ls"};
    EXPECT_TRUE(record.IsModified());
    record.port = 2022;
    record.Rollback();
    EXPECT_FALSE(record.IsModified());
    EXPECT_EQ(record.port.Get(), 22u);
    EXPECT_TRUE(record.history.Get().IsEmpty());

    record.margins.left = 0;
    record.title = u"Mine";
    record.Checkpoint();
    EXPECT_FALSE(record.IsModified());
    factory.ClearWrites();
    record.Save(&key, false);
    EXPECT_EQ(factory.WrittenNames(),
              (std::vector<VUnicodeString>{u"Format", u"Margins", u"Title"}));
}

TEST_F(StoreTest, RecordApplyDeltaCopiesExactlyTheChangedMembers) {
    VProfileKey defaultKey(store.GetRootKey(), u"Sessions\\Default");
    DemoRecord defaults;
    defaults.Load(&defaultKey);
    defaults.Save(&defaultKey, false);
    defaults.Checkpoint();

    // Every value differs from the default session's.
    DemoRecord session;
    session.Load(nullptr);
    session.host = u"example.org";
    session.port = 2022;
    session.compress = false;
    session.title = u"Mine";
    session.Save(&key, true);
    session.Checkpoint();

    // Nothing changed in the default session: nothing is applied.
    session.ApplyDelta(&defaults);
    EXPECT_FALSE(session.IsModified());

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

    // A record of another type is ignored.
    OtherRecord other;
    other.Load(nullptr);
    other.host = u"changed";
    session.ApplyDelta(&other);
    EXPECT_EQ(session.host.Get().ToUtf8(), "example.org");
}

}  // namespace

namespace {

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

}  // namespace

TEST_F(StoreTest, RecordLimitsCorrectNumbersAndDescribeEachMember) {
    LimitedRecord record;
    record.Load(nullptr);
    struct Row {
        VProfileData* setting;
        const char16_t* text;
        const char16_t* kept;
    };
    // Each number just inside, just outside and far outside its limits.
    for (const Row& row : std::vector<Row>{{&record.count, u"9", u"9"},
                                           {&record.count, u"10", u"9"},
                                           {&record.count, u"-1", u"0"},
                                           {&record.width, u"20", u"20"},
                                           {&record.width, u"19", u"20"},
                                           {&record.width, u"2147483647", u"2147483647"},
                                           {&record.mode, u"2", u"2"},
                                           {&record.mode, u"0", u"3"},
                                           {&record.mode, u"4", u"3"},
                                           {&record.size, u"4294967295", u"1024"},
                                           {&record.size, u"131", u"132"}}) {
        const std::u16string_view text(row.text);
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        ASSERT_TRUE(row.setting->SetText(text));
        record.ApplyLimits();
        EXPECT_EQ(row.setting->Text(), row.kept);
    }
    // Only numbers are corrected.
    ASSERT_TRUE(record.name.SetText(u"-5"));
    record.ApplyLimits();
    EXPECT_EQ(record.name.Get(), u"-5");

    const VSettingDescription count = record.Describe(0);
    EXPECT_EQ(std::u16string_view(count.name), u"Count");
    EXPECT_EQ(count.kind, SettingKind::kInteger);
    EXPECT_TRUE(count.limits.hasRange);
    EXPECT_EQ(std::u16string_view(count.limits.label), u"Recent items");
    EXPECT_EQ(record.Describe(4).kind, SettingKind::kBool);
    EXPECT_TRUE(record.Describe(4).limits.resetOnLoad);
    EXPECT_FALSE(record.Describe(5).limits.Constrains());
    EXPECT_EQ(record.Describe(6).name, nullptr) << "outside the table";
}
