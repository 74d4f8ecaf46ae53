// Settings read and written by name as typed values: each kind, the table's limits, refusals that
// change nothing, and a connection's current protocol reached through the same walk.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/binary_records.h"
#include "profile/composite_values.h"
#include "profile/secret_settings.h"
#include "session/connect_config.h"
#include "session/session_config.h"
#include "session/session_fixture.h"
#include "session/setting_value.h"
#include "support/library_host.h"

using namespace sessiondeck;

namespace {

struct Options : VProfileRecord<Options> {
    VProfile<int> count;
    VProfile<unsigned int> size;
    VProfile<int> mode;
    VProfile<bool> flag;
    VProfile<bool> once;
    VProfile2<VUnicodeString, VProfileSz> title;
    VProfile2<VStringArray, VProfileMultiSz> hosts;
    VProfileBlob data;
    VProfileMargins margins;
    VProfileEncodedString password;

    static constexpr auto _profileOffsets = VProfileMembers(
        VProfileMember(&Options::count, u"Count", 4).Range(-5, 9),
        VProfileMember(&Options::size, u"Size", 132u).Range(132, 1024),
        VProfileMember(&Options::mode, u"Mode", 3).OneOf({1, 2, 3}, 3),
        VProfileMember(&Options::flag, u"Flag", false),
        VProfileMember(&Options::once, u"Once", false).ResetOnLoad(),
        VProfileMember(&Options::title, u"Title", u"t"), VProfileMember(&Options::hosts, u"Hosts"),
        VProfileMember(&Options::data, u"Data"),
        VProfileMember(&Options::margins, u"Margins", VMarginData{1, 1, 1, 1}),
        VProfileMember(&Options::password, u"Password", u"secret"));
};

using Bytes = std::vector<uint8_t>;
using List = std::vector<std::u16string>;
using Text = std::u16string;

// A protocol whose one option is outside any table, as a protocol module's are.
class PortConfig : public NoneConfig {
public:
    PortConfig() { port.Init(nullptr, u"[Fake] Port", 22); }
    static ConnectConfig* Create(VProfileKey*, ICommonConfig*) { return new PortConfig; }
    ConnectConfig* Clone(ICommonConfig*) const override { return new PortConfig(*this); }
    VProfileData* Lookup(int index) const override {
        return index == 0 ? const_cast<VProfile<int>*>(&port) : nullptr;
    }
    VProfile<int> port;
};

}  // namespace

TEST(SettingValues, EachKindReadsAndWritesByNameWithinTheTablesLimits) {
    Options record;
    record.Load(nullptr);
    record.hosts = VStringArray{u"a", u"b"};
    record.Checkpoint();
    using R = SettingValueResult;
    const std::optional<SettingValue> none;
    // Each write, what it answers and what the setting reads back afterwards.
    const struct {
        const char16_t* name;
        SettingValue value;
        R result;
        std::optional<SettingValue> after;
    } rows[] = {
        {u"Count", int32_t{-5}, R::kSet, int32_t{-5}},
        {u"count", int32_t{9}, R::kSet, int32_t{9}},
        {u"Count", int32_t{10}, R::kOutOfRange, int32_t{9}},
        {u"Count", int32_t{-6}, R::kOutOfRange, int32_t{9}},
        {u"Count", uint32_t{5}, R::kWrongKind, int32_t{9}},
        {u"Size", uint32_t{1024}, R::kSet, uint32_t{1024}},
        {u"Size", uint32_t{131}, R::kOutOfRange, uint32_t{1024}},
        {u"Mode", int32_t{1}, R::kSet, int32_t{1}},
        {u"Mode", int32_t{4}, R::kOutOfRange, int32_t{1}},
        {u"Flag", true, R::kSet, true},
        {u"Flag", int32_t{0}, R::kWrongKind, true},
        {u"Once", true, R::kNotSettable, false},
        {u"Title", Text(u"a;b"), R::kSet, Text(u"a;b")},
        {u"Title", Text(u"two\nlines"), R::kRefused, Text(u"a;b")},
        {u"Hosts", List{u"x", u"", u"z"}, R::kSet, List{u"x", u"", u"z"}},
        {u"Hosts", List{u"x;y"}, R::kRefused, List{u"x", u"", u"z"}},
        {u"Hosts", List{u""}, R::kRefused, List{u"x", u"", u"z"}},
        {u"Hosts", List{}, R::kSet, List{}},
        {u"Data", Bytes{0x0a, 0xff}, R::kSet, Bytes{0x0a, 0xff}},
        {u"Data", Text(u"0aff"), R::kWrongKind, Bytes{0x0a, 0xff}},
        {u"Margins", Text(u"1,2,3,4"), R::kNotSettable, none},
        // A secret takes a text and is never read back.
        {u"Password", Text(u"new"), R::kSet, none},
        {u"Nothing", true, R::kUnknownName, none},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(VUnicodeString(row.name).ToUtf8() + " row " + std::to_string(&row - rows));
        EXPECT_EQ(SetSettingValue(record, row.name, row.value), row.result);
        EXPECT_EQ(GetSettingValue(record, row.name), row.after);
    }
    EXPECT_EQ(record.margins.Text(), u"1,1,1,1");
    EXPECT_EQ(record.password.Get().str(), u"new");

    // Writes are edits: the checkpoint stays, so a rollback undoes them all.
    EXPECT_TRUE(record.IsModified());
    record.Rollback();
    EXPECT_EQ(GetSettingValue(record, u"Count"), SettingValue(int32_t{4}));
    EXPECT_EQ(GetSettingValue(record, u"Hosts"), SettingValue(List{u"a", u"b"}));
    EXPECT_EQ(record.password.Get().str(), u"secret");
}

// A connection holds one configuration per protocol; the walk reaches the current one through
// the record itself, without knowing that it is a connection.
TEST(SettingValues, AConnectionAnswersItsCurrentProtocolsSettings) {
    LibraryHost library;
    for (const char16_t* name : {u"Fake", u"Other"})
        AddRow(ProductId(Product::Vetralon), name, &PortConfig::Create);
    VProfileStore store(false, &library.memory);
    VProfileKey key(store.GetRootKey(), u"Sessions\\S");
    key.SetString(u"Protocol Name", u"Fake");
    SessionPtr session(new SessionConfig(u"S", &key));
    auto& record = static_cast<SessionConfig::Record&>(*session);
    EXPECT_EQ(GetSettingValue(record, u"Protocol Name"), SettingValue(std::u16string(u"Fake")));
    EXPECT_EQ(GetSettingValue(record, u"[Fake] Port"), SettingValue(int32_t{22}));
    ASSERT_EQ(SetSettingValue(record, u"[fake] port", int32_t{2222}), SettingValueResult::kSet);
    auto* current = static_cast<PortConfig*>(session->GetTermConnectConfig());
    EXPECT_EQ(current->port.Get(), 2222);

    // Another protocol: its own configuration answers, the first one keeps its value.
    session->SetRelevantProtocol(u"Other");
    EXPECT_EQ(GetSettingValue(record, u"[Fake] Port"), SettingValue(int32_t{22}));
    EXPECT_EQ(current->port.Get(), 2222);
}
