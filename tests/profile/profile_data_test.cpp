// Typed settings and records against the in-memory store: when they load, write, checkpoint, roll
// back and take deltas.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "foundation/codepage.h"
#include "profile/profile_data.h"
#include "profile/text_form.h"
#include "support/case_file.h"
#include "support/memory_store.h"

using namespace sessiondeck;

namespace {

struct Margins {
    int32_t left, top, right, bottom;
    bool operator==(const Margins&) const = default;
};

using StringSetting = VProfile2<VUnicodeString, VProfileSz>;
using ListSetting = VProfile2<VStringArray, VProfileMultiSz>;
using MarginsSetting = VProfile2<Margins, VProfileBinary>;

// A setting's state flags: "U" unsaved, "M" modified, "-" for each that is not.
std::string Flags(VProfileData& s) {
    return std::string(s.IsUnsaved() ? "U" : "-") + (s.IsModified() ? "M" : "-");
}

// A store with one key, "Sessions\Demo", opened writable.
class StoreTest : public ::testing::Test {
protected:
    MemoryValue Stored(const char16_t* name) {
        MemoryValue absent;
        absent.kind = -1;
        const MemoryValue* value = factory.Find(u"Sessions\\Demo", name);
        return value ? *value : absent;
    }

    MemoryStoreFactory factory;
    VProfileStore store{&factory};
    VProfileKey key{store.GetRootKey(), u"Sessions\\Demo"};
};

// v holds three values of the setting's type: the default, another and a third; Foreign is a
// setting of another type, which ApplyDelta must ignore.
template <class S, int Kind, class Foreign, class T>
struct Case {
    using Setting = S;
    using ForeignSetting = Foreign;
    static constexpr int kKind = Kind;
};

struct IntCase : Case<VProfile<int>, kValueKindDword, VProfile<unsigned int>, int> {
    static inline const std::array<int, 3> v{-7, 42, 5};
};
// A bool has two values only, so the third is the first again.
struct BoolCase : Case<VProfile<bool>, kValueKindDword, VProfile<int>, bool> {
    static inline const std::array<bool, 3> v{true, false, true};
};
// The third differs from the second in case only.
struct StringCase : Case<StringSetting, kValueKindString, ListSetting, VUnicodeString> {
    static inline const std::array<VUnicodeString, 3> v{u"default", u"Other", u"other"};
};
struct ListCase : Case<ListSetting, kValueKindStringArray, StringSetting, VStringArray> {
    static inline const std::array<VStringArray, 3> v{
        VStringArray{u"a", u"b"}, VStringArray{u"a", u"b", u""}, VStringArray{}};
};
struct BinaryCase : Case<MarginsSetting, kValueKindBinary, StringSetting, Margins> {
    static inline const std::array<Margins, 3> v{Margins{1, 2, 3, 4}, Margins{1, 2, 3, 5},
                                                 Margins{0, 0, 0, 0}};
};

template <class C>
class SettingRules : public StoreTest {};

using AllKinds = ::testing::Types<IntCase, BoolCase, StringCase, ListCase, BinaryCase>;
TYPED_TEST_SUITE(SettingRules, AllKinds);

TYPED_TEST(SettingRules, LoadSaveCheckpointRollbackAndDelta) {
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
    EXPECT_EQ(Flags(s), "U-");
    s.Save(key, false);
    s.Save(key, false);
    EXPECT_EQ(factory.WriteCount(u"Value"), 1);
    EXPECT_EQ(this->Stored(u"Value").kind, C::kKind);

    // Loaded and untouched: never written unless forced. A copy is the same setting.
    typename C::Setting loaded;
    EXPECT_TRUE(loaded.Init(key, u"Value", C::v[1]));
    EXPECT_TRUE(loaded.Get() == C::v[0]);
    EXPECT_EQ(Flags(loaded), "--");
    loaded.Save(key, false);
    EXPECT_EQ(factory.WriteCount(u"Value"), 1);
    typename C::Setting copy(loaded);
    EXPECT_TRUE(copy.GetPrevVal() == C::v[0]);
    copy.Save(key, true);
    EXPECT_EQ(factory.WriteCount(u"Value"), 2);
    factory.ClearWrites();

    s = C::v[1];
    EXPECT_EQ(Flags(s), "-M");
    s.Rollback();
    EXPECT_TRUE(s.Get() == C::v[0]);
    EXPECT_EQ(Flags(s), "--");
    // A checkpointed change is no longer "modified" but is still written.
    s = C::v[1];
    s.Checkpoint();
    EXPECT_EQ(Flags(s), "U-");
    s = C::v[2];
    s.Rollback();
    EXPECT_TRUE(s.Get() == C::v[1]);  // the checkpoint, not the loaded value
    // Checkpointing an unchanged value does not make it unsaved.
    loaded.Checkpoint();
    EXPECT_EQ(Flags(loaded), "--");

    s.Save(key, false);
    EXPECT_EQ(factory.WrittenNames(), std::vector<VUnicodeString>{u"Value"});
    typename C::Setting reread;
    reread.Init(key, u"Value", C::v[0]);
    EXPECT_TRUE(reread.Get() == C::v[1]);

    // A delta brings the value only: neither the name nor the checkpoint.
    typename C::Setting source;
    source.Init(nullptr, u"Elsewhere", C::v[2]);
    reread.ApplyDelta(&source);
    EXPECT_TRUE(reread.Get() == C::v[2]);
    EXPECT_TRUE(reread.GetPrevVal() == C::v[1]);
    EXPECT_EQ(Flags(reread), "-M");
    EXPECT_EQ(reread.GetName().ToUtf8(), "Value");
    typename C::ForeignSetting foreign;
    reread.ApplyDelta(&foreign);
    reread.ApplyDelta(nullptr);
    EXPECT_TRUE(reread.Get() == C::v[2]);

    // Another kind under the same name never converts.
    if (C::kKind == kValueKindString) {
        key->SetDword(u"Value", 1);
    } else {
        key->SetString(u"Value", u"1");
    }
    EXPECT_FALSE(s.Init(key));
    EXPECT_TRUE(s.Init(key, u"Value", C::v[2]));
    EXPECT_TRUE(s.Get() == C::v[2]);
    EXPECT_EQ(Flags(s), "U-");
}

TEST_F(StoreTest, DwordAndBinarySettingsStoreTheirExactBytes) {
    VProfile<int> negative;
    negative.Init(&key, u"Negative", -1);
    negative.Save(&key, false);
    // Any non-zero DWORD is true; it becomes 1 only when the setting is saved.
    key.SetDword(u"Flag", 2);
    VProfile<bool> flag;
    flag.Init(&key, u"Flag", false);
    EXPECT_TRUE(flag.Get());
    flag.Save(&key, false);
    const uint32_t before = Stored(u"Flag").dword;
    flag.Save(&key, true);
    // The store keeps 32 bits; more does not survive.
    VProfile<unsigned long> wide;
    wide.Init(&key, u"Wide", 0ul);
    wide = 0x1'0000'0005ul;
    wide.Save(&key, false);
    EXPECT_EQ(std::to_string(Stored(u"Negative").dword) + " " + std::to_string(before) + " " +
                  std::to_string(Stored(u"Flag").dword) + " " +
                  std::to_string(Stored(u"Wide").dword),
              "4294967295 2 1 5");

    // A stored block shorter than the record overlays its start; a longer one is refused.
    const Margins fallback{1, 2, 3, 4};
    const std::pair<std::vector<int32_t>, Margins> rows[] = {
        {{10, 20, 30, 40}, {10, 20, 30, 40}}, {{10, 20}, {10, 20, 3, 4}}, {{}, {1, 2, 3, 4}}};
    for (const auto& [stored, expected] : rows) {
        key.SetBinary(u"Margins", stored.data(), static_cast<uint32_t>(stored.size() * 4));
        MarginsSetting margins;
        margins.Init(&key, u"Margins", fallback);
        EXPECT_EQ(margins.Get(), expected) << stored.size();
        EXPECT_EQ(Flags(margins), "--");
    }
    const int32_t tooLong[] = {10, 20, 30, 40, 50};
    key.SetBinary(u"Margins", tooLong, sizeof tooLong);
    MarginsSetting margins;
    margins.Init(&key, u"Margins", fallback);
    EXPECT_EQ(margins.Get(), fallback);
    EXPECT_EQ(Flags(margins), "U-");
    margins.Init(&key, u"Fresh", fallback);
    margins.bottom = 9;
    EXPECT_TRUE(margins.IsModified());
    margins.Save(&key, false);
    EXPECT_EQ(Stored(u"Fresh").binary,
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

// One line of a record's values: host, port, compression, history size, title.
std::string Values(const DemoRecord& r) {
    return r.host.Get().ToUtf8() + " " + std::to_string(r.port.Get()) + " " +
           std::to_string(r.compress.Get()) + " " + std::to_string(r.history.Get().GetSize()) +
           " " + r.title.Get().ToUtf8();
}

TEST_F(StoreTest, RecordLoadsAndSavesInTableOrder) {
    DemoRecord record;
    record.Load(&key);
    EXPECT_EQ(Values(record), "localhost 22 1 0 Session on localhost");
    EXPECT_EQ(record.margins.Get(), (Margins{1, 2, 3, 4}));

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
    EXPECT_EQ(Values(session), "localhost 22 1 0 Session on localhost");

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
    EXPECT_EQ(Values(session), "example.org 8022 0 1 Mine");
    EXPECT_EQ(session.history.Get(), (VStringArray{u"top"}));
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
            if (c != ',')
                item += c;
            else if (keepEmptyItems || !item.empty())
                value.Add(VUnicodeString::FromAnsi(std::exchange(item, {})));
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
    // Only the take-as-is id turns a rejected string into the text itself; a parsed value is
    // taken as the stored one: nothing left to save.
    const std::tuple<const char*, bool, const char*, uint32_t> rows[] = {
        {"host", true, "<host>", 0},
        {"?raw text", true, "?raw text", 0},
        {"!bad", false, "before", kBadString}};
    for (const auto& [text, ok, value, reportId] : rows) {
        StringSetting s;
        s.Init(nullptr, u"Name", u"before");
        VReportMessageParams report;
        EXPECT_EQ(s.Parse(text, &parser, &report), ok);
        EXPECT_EQ(s.Get().ToUtf8() + " " + Flags(s) + " " + std::to_string(report.GetMessageId()),
                  std::string(value) + (ok ? " -- " : " U- ") + std::to_string(reportId));
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
