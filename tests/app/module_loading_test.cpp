// What a host learns when protocol modules fail (the system's own text), that loading twice adds
// nothing, and where the library looks for its installed modules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/init.h"
#include "app/module_folder.h"
#include "app/protocol_loader.h"
#include "foundation/messages.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace {

const char16_t* VetralonName() {
    return u"Vetralon";
}

class ModuleLoading : public ::testing::Test {
protected:
    void SetUp() override {
        GetConnectProtocolTable().ResetForTesting();
        SessionDeckDllInit(u"Vetralon", nullptr);
        SetClientApplicationPresent(ClientApplication::Ferrivo, false);
        SetPolicyLookup([](std::u16string_view) { return std::optional<bool>(false); });
        fns.GetProductName = &VetralonName;
    }
    void TearDown() override {
        GetConnectProtocolTable().ResetForTesting();
        SetPolicyLookup(nullptr);
    }
    bool Load(const fs::path& from, int product) {
        const VUnicodeString text = VUnicodeString::FromUtf8(from.string());
        return LoadConnectionProtocolDlls(fns, product, text.c_str(), nullptr, offer, report);
    }

    TempDir folder;
    VAppFnTable fns;
    bool offer = false;  // no boxes: the host reads the report
    VReportMessageParams report;
};

std::string Utf8(const VUnicodeString& text) {
    return text.ToUtf8();
}

}  // namespace

// Each way a present module can fail keeps the words that explain it, both in
// the failure list and in the third insert of the "nothing loaded" report.
TEST_F(ModuleLoading, FailedModulesKeepTheSystemsExplanation) {
    struct Case {
        const char* name;
        std::string source;  // a module to copy as SSH2.so, or empty for garbage bytes
        uint32_t status;
        std::string expectedText;
    } cases[] = {
        {"not a shared object", "", kMsgDllEntryPointFailed, "SSH2.so: "},
        {"entry point missing",
         std::string(SESSIONDECK_FAILING_PROTOCOL_DIR) + "/no_load_export.so",
         kMsgDllEntryPointFailed, "LoadProtocol"},
        {"foreign interface", std::string(SESSIONDECK_FAILING_PROTOCOL_DIR) + "/wrong_guid.so",
         kMsgDllGuidMismatch, "GUID stored in the DLL does not match"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GetConnectProtocolTable().ResetForTesting();
        const fs::path module = folder / "SSH2.so";
        if (c.source.empty()) {
            std::ofstream(module, std::ios::binary | std::ios::trunc) << "no ELF here";
        } else {
            fs::copy_file(c.source, module, fs::copy_options::overwrite_existing);
        }
        EXPECT_FALSE(Load(folder.path(), ProductId(Product::Ssh2Only)));
        EXPECT_EQ(report.GetMessageId(), kMsgNoProtocolDlls);

        const std::vector<ProtocolLoadFailure> failures = GetProtocolLoadFailures();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].protocolName, u"SSH2");
        EXPECT_EQ(Utf8(failures[0].modulePath), module.string());
        EXPECT_EQ(failures[0].status, c.status);
        EXPECT_NE(Utf8(failures[0].systemText).find(c.expectedText), std::string::npos)
            << Utf8(failures[0].systemText);

        // The message text stays as it is; the details ride in insert 3.
        ASSERT_EQ(report.GetInsertCount(), 3u);
        const std::string details = VUnicodeString(report.GetInserts()[2]).ToUtf8();
        EXPECT_NE(details.find(module.string() + ": "), std::string::npos) << details;
        EXPECT_NE(details.find(Utf8(failures[0].systemText)), std::string::npos) << details;
    }
}

// A module that is simply absent is not a failure to explain, and a new load
// forgets the failures of the one before.
TEST_F(ModuleLoading, AbsentModulesAreNoFailureAndEachLoadStartsAfresh) {
    std::ofstream(folder / "SSH2.so", std::ios::binary) << "junk";
    EXPECT_FALSE(Load(folder.path(), ProductId(Product::Ssh2Only)));
    EXPECT_EQ(GetProtocolLoadFailures().size(), 1u);

    fs::remove(folder / "SSH2.so");
    EXPECT_FALSE(Load(folder.path(), ProductId(Product::Ssh2Only)));
    EXPECT_TRUE(GetProtocolLoadFailures().empty());
    ASSERT_EQ(report.GetInsertCount(), 3u);
    EXPECT_EQ(std::u16string(report.GetInserts()[2]), u"");
}

// Loading a second time, even from another folder or for another product,
// keeps the rows of the first load and their indices.
TEST_F(ModuleLoading, SecondLoadAddsNothing) {
    ASSERT_TRUE(Load(SESSIONDECK_PROTOCOL_DIR, ProductId(Product::Vetralon)))
        << Utf8(report.GetText());
    const ConnectProtocolTable& table = GetConnectProtocolTable();
    std::vector<std::u16string> first;
    for (int i = 0; i < table.GetSize(); ++i) first.push_back(table[i].protocolName.str());
    ASSERT_GE(first.size(), 6u);

    report = VReportMessageParams(kMsgNoProtocolDlls);
    EXPECT_TRUE(Load(SESSIONDECK_PROTOCOL_DIR, ProductId(Product::Vetralon)));
    EXPECT_EQ(report.GetMessageId(), 0u);
    EXPECT_TRUE(Load(folder.path(), ProductId(Product::Ferrivo)));
    std::vector<std::u16string> after;
    for (int i = 0; i < table.GetSize(); ++i) after.push_back(table[i].protocolName.str());
    EXPECT_EQ(after, first);
    EXPECT_EQ(GetProtocolFolder(), VUnicodeString::FromUtf8(SESSIONDECK_PROTOCOL_DIR));
}

// The installed layout beside the library wins, then a build tree's plugins
// folder, then the configured install folder; a file of the right name is
// not a folder.
TEST(ProtocolFolderLookup, PrefersTheFolderBesideTheLibrary) {
    TempDir root;
    const fs::path lib = root.path() / "lib";
    const std::string library = (lib / "libSessionDeck60U.so").string();
    const std::string configured = "/configured/protocols";
    fs::create_directories(lib);

    EXPECT_EQ(ChooseProtocolFolder(library, configured), configured);
    EXPECT_EQ(ChooseProtocolFolder("", configured), configured);

    std::ofstream(lib / "plugins") << "a file, not a folder";
    EXPECT_EQ(ChooseProtocolFolder(library, configured), configured);
    fs::remove(lib / "plugins");

    fs::create_directories(lib / "plugins");
    EXPECT_EQ(ChooseProtocolFolder(library, configured), (lib / "plugins").string());

    fs::create_directories(lib / "sessiondeck" / "protocols");
    EXPECT_EQ(ChooseProtocolFolder(library, configured),
              (lib / "sessiondeck" / "protocols").string());
}
