// Firewalls and remote hosts against the in-memory store: type table, defaults, password
// migration, credential prompts, name checks and the firewall list.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/istring.h"
#include "profile/ini_store.h"
#include "profile/secret_forms.h"
#include "session/firewall_config.h"
#include "session/firewall_store.h"
#include "session/remote_host_config.h"
#include "support/golden.h"
#include "support/memory_store.h"
#include "support/scripted_prompt.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace {

class Firewalls : public ::testing::Test {
protected:
    // Writes a string value straight into the store, as another program would.
    void Put(std::u16string_view path, const char16_t* name, const VUnicodeString& value) {
        VProfileStore store(&factory);
        VProfileKey key(store.GetRootKey(), VUnicodeString(path));
        key.SetString(name, value.c_str());
    }
    std::u16string Stored(std::u16string_view path, std::u16string_view name) const {
        const MemoryValue* value = factory.Find(path, name);
        return value ? value->string.str() : u"<absent>";
    }
    FirewallConfig Load(const char16_t* name, bool readOnly = false) {
        VProfileStore store(readOnly, &factory);
        VProfileKey key(store.GetRootKey(), VUnicodeString(u"Firewalls\\") + name);
        return FirewallConfig(name, &key);
    }

    ScopedKeyFolder keys;
    MemoryStoreFactory factory;
};

}  // namespace

TEST_F(Firewalls, TypeTableNumbersNamesAndCaseSensitiveLookups) {
    // The stored names and numbers are what configurations hold: pin them.
    std::string table;
    for (const auto& row : GetFirewallTypeTable())
        table += std::to_string(row.number) + " " + VUnicodeString(row.storedName).ToUtf8() +
                 (row.needsCredentials ? " (credentials)\n" : "\n");
    ExpectMatchesGolden("session/firewall-types.txt", table);

    // Stored names compare exactly.
    for (const auto& [stored, number] :
         {std::pair{u"SOCKSv4", 2}, {u"socksv4", 0}, {u"HTTP_BASICAUTH", 6}}) {
        Put(u"Firewalls\\F", u"Firewall Type", stored);
        EXPECT_EQ(Load(u"F").GetIntFirewallType(), number) << VUnicodeString(stored).ToUtf8();
    }
    EXPECT_EQ(Load(u"F").GetFirewallTypeDisplayName(), u"HTTP (Basic username/password)");
}

TEST_F(Firewalls, NewFirewallWritesItsDefaultsAndAReloadRewritesNothing) {
    // The defaults in order, as a value file holds them.
    TempDir dir;
    VIniFileStoreFactory ini(VUnicodeString::FromUtf8(dir.path().string()));
    FirewallConfig fresh(u"Office", nullptr), firewall(u"Office", nullptr);
    ASSERT_TRUE(SaveFirewall(&fresh, false, &ini));
    ExpectMatchesGolden("session/new-firewall.ini", ReadFileBytes(dir / "Firewalls/Office.ini"));

    firewall.SetFirewallHostname(u"gate\u00e9.example");
    firewall.SetFirewallPassword(u"s3cret");
    ASSERT_TRUE(SaveFirewall(&firewall, false, &factory));
    EXPECT_EQ(DecodeScrambledString(Stored(u"Firewalls\\Office", u"Firewall Password")),
              VUnicodeString(u"s3cret"));

    FirewallConfig reread = Load(u"Office");
    EXPECT_EQ(reread.GetStoredPassword(), u"s3cret");
    EXPECT_FALSE(reread.IsModified());
    EXPECT_EQ(reread.GetFirewallHostname().str(), "gate\xE9.example") << "system code page";
    factory.ClearWrites();
    SaveFirewall(&reread, false, &factory);
    EXPECT_TRUE(factory.Writes().empty()) << "nothing changed, nothing written";
}

TEST_F(Firewalls, DataProtectedPasswordIsRewrittenScrambledThroughAWritableStore) {
    VReportMessageParams report;
    const auto capi = EncodeCapiString(u"hunter2", report);
    ASSERT_TRUE(capi) << report.GetMessageId();
    Put(u"Firewalls\\P", u"Firewall Password", *capi);

    const FirewallConfig readOnly = Load(u"P", true);
    EXPECT_EQ(readOnly.GetStoredPassword(), u"hunter2");
    EXPECT_EQ(Stored(u"Firewalls\\P", u"Firewall Password"), capi->str()) << "read-only keeps it";

    const FirewallConfig writable = Load(u"P");
    EXPECT_EQ(writable.GetStoredPassword(), u"hunter2");
    const std::u16string rewritten = Stored(u"Firewalls\\P", u"Firewall Password");
    EXPECT_FALSE(rewritten.starts_with(u"CAPI:")) << "scrambled now";
    EXPECT_EQ(DecodeScrambledString(rewritten), VUnicodeString(u"hunter2"));

    // A password the scrambled form cannot carry stays protected; an
    // unreadable protected text reads as empty and survives a later save.
    const auto wide = EncodeCapiString(u"\u043f\u0430\u0440\u043e\u043b\u044c", report);
    ASSERT_TRUE(wide);
    Put(u"Firewalls\\W", u"Firewall Password", *wide);
    EXPECT_EQ(Load(u"W").GetStoredPassword(), u"\u043f\u0430\u0440\u043e\u043b\u044c");
    EXPECT_EQ(Stored(u"Firewalls\\W", u"Firewall Password"), wide->str());

    Put(u"Firewalls\\U", u"Firewall Password", u"CAPI:0011");
    FirewallConfig broken = Load(u"U");
    EXPECT_EQ(broken.GetStoredPassword(), u"");
    EXPECT_NE(broken.GetPasswordReport().GetMessageId(), 0u);
    broken.SetFirewallUsername(u"bob");
    SaveFirewall(&broken, false, &factory);
    EXPECT_EQ(Stored(u"Firewalls\\U", u"Firewall Password"), u"CAPI:0011");
}

// What a credential getter hands out, or "refused" when it returns false.
static std::string Credential(FirewallConfig& firewall, bool password) {
    VUnicodeString value = u"stale";
    VUnicodeStringI out(value);
    const bool ok =
        password ? firewall.GetFirewallPassword(&out) : firewall.GetFirewallUsername(&out);
    return ok ? value.ToUtf8() : "refused" + value.ToUtf8();
}

TEST_F(Firewalls, MissingCredentialsArePromptedOnceAndKeptForTheProcess) {
    Put(u"Firewalls\\Web", u"Firewall Type", u"HTTP_BASICAUTH");
    FirewallConfig firewall = Load(u"Web");
    ScriptedPrompt prompt;
    prompt.AnswerText(u"alice");
    EXPECT_EQ(Credential(firewall, false), "alice");
    EXPECT_EQ(Credential(firewall, false), "alice") << "asked once, then reused";
    prompt.AnswerCancel();
    EXPECT_EQ(Credential(firewall, true), "refused");
    prompt.AnswerText(u"pw");
    EXPECT_EQ(Credential(firewall, true), "pw");
    ASSERT_EQ(prompt.Questions().size(), 3u);
    EXPECT_FALSE(prompt.Questions()[0].password);
    EXPECT_TRUE(prompt.Questions()[2].password) << "the password is asked for hidden";

    // A copy carries the entered values; stored values win; types without
    // credentials never ask. (Another question would fail the script.)
    FirewallConfig copy = firewall;
    EXPECT_EQ(Credential(copy, true), "pw");
    Put(u"Firewalls\\Web", u"Firewall User", u"stored");
    FirewallConfig reloaded = Load(u"Web");
    EXPECT_EQ(Credential(reloaded, false), "stored");
    FirewallConfig plain(u"Socks", nullptr);
    plain.SetFirewallType(u"SOCKSv5");
    EXPECT_EQ(Credential(plain, true), "");
}

TEST_F(Firewalls, StoreHelpersNamesAndAFailedWrite) {
    for (const char16_t* name : {u"Beta", u"Office"}) {
        FirewallConfig firewall(name, nullptr);
        ASSERT_TRUE(SaveFirewall(&firewall, false, &factory));
    }
    const struct {
        const char16_t *name, *current;
        const char* message;
    } rows[] = {
        {u"  \t", u"", "The firewall name must be specified"},
        {u"a/b", u"", "The firewall name contains an illegal character: ' / '"},
        {u" office ", u"", "The firewall name 'office' already exists"},
        {u"OFFICE", u"Office", "ok"},  // a change of case is no rename
    };
    for (const auto& row : rows) {
        const auto message = ValidateFirewallName(row.name, row.current, &factory);
        EXPECT_EQ(message ? message->ToUtf8() : "ok", row.message)
            << VUnicodeString(row.name).ToUtf8();
    }
    FirewallConfig bad(u"a*b", nullptr);
    EXPECT_FALSE(SaveFirewall(&bad, true, &factory));
    EXPECT_FALSE(factory.KeyExists(u"Firewalls\\a*b"));
    EXPECT_EQ(GetFirewallNames(&factory).GetSize(), 2u);
    EXPECT_TRUE(FirewallExists(u"office", &factory));
    EXPECT_EQ(LoadFirewall(u"Gamma", false, &factory), nullptr);
    EXPECT_TRUE(RemoveFirewall(u"Office", &factory));
    EXPECT_FALSE(RemoveFirewall(u"Office", &factory));
    EXPECT_TRUE(FirewallExists(u"Beta", &factory));

    FirewallConfig firewall(u"Office", nullptr);
    firewall.SetFirewallHostname(u"gate.example");
    factory.FailFlushes(EIO);
    VReportMessageParams report;
    EXPECT_FALSE(SaveFirewall(&firewall, false, &factory, &report));
    EXPECT_EQ(report.GetMessageId(), static_cast<uint32_t>(EIO));
    factory.FailFlushes(0);
    VReportMessageParams clean;
    EXPECT_TRUE(SaveFirewall(&firewall, false, &factory, &clean));
    EXPECT_EQ(clean.GetMessageId(), 0u);
}

TEST_F(Firewalls, RemoteHostFirewallNameDefaultsFromUseFirewall) {
    EXPECT_EQ(RemoteHostConfig(nullptr).GetFirewallName(), u"None");
    VProfileStore store(&factory);
    for (const auto& [use, name, shown] : {std::tuple{1u, u"", u"DefaultTerminalFirewall"},
                                           {0u, u"", u"None"},
                                           {1u, u"Office", u"Office"}}) {
        VProfileKey key(store.GetRootKey(), u"Hosts\\" + std::u16string(shown));
        key.SetDword(u"Use Firewall", use);
        if (*name) key.SetString(u"Firewall Name", name);
        EXPECT_EQ(RemoteHostConfig(&key).GetFirewallName(), shown);
    }
}
