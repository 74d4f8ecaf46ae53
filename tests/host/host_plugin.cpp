// A host's own plug-in that embeds SessionDeck: it links the shared library and is opened by its
// program with RTLD_LOCAL, so the library's symbols are not global when it loads the protocols.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/init.h"
#include "app/module_folder.h"
#include "app/protocol_loader.h"

using namespace sessiondeck;

namespace {

const char16_t* ProductName() {
    return u"Vetralon";
}

int Fail(char* message, size_t size, const std::string& text) {
    std::snprintf(message, size, "%s", text.c_str());
    return 1;
}

}  // namespace

// Loads the terminal host's protocols from the folder the library finds for
// itself, which must be `expectedFolder`, twice; 0 when every row loaded once.
extern "C" __attribute__((visibility("default"))) int RunEmbeddedHost(const char* expectedFolder,
                                                                      char* message, size_t size) {
    SessionDeckDllInit(u"Vetralon", nullptr);
    SetCurrentAppProductID(ProductId(Product::Vetralon));
    SetClientApplicationPresent(ClientApplication::Ferrivo, false);
    SetPolicyLookup([](std::u16string_view) { return std::optional<bool>(false); });

    const VUnicodeString folder = GetInstalledProtocolFolder();
    if (folder.ToUtf8() != expectedFolder)
        return Fail(message, size, "module folder " + folder.ToUtf8());

    VAppFnTable fns;
    fns.GetProductName = &ProductName;
    bool offer = false;
    VReportMessageParams report;
    if (!LoadConnectionProtocolDlls(fns, ProductId(Product::Vetralon), folder.c_str(), nullptr,
                                    offer, report)) {
        std::string text = VUnicodeString(report.GetText()).ToUtf8();
        for (const ProtocolLoadFailure& failure : GetProtocolLoadFailures())
            text += failure.modulePath.ToUtf8() + ": " + failure.systemText.ToUtf8() + "\n";
        return Fail(message, size, text);
    }
    // SSH2, Telnet, Telnet/SSL, RLogin, Serial, TAPI (SSH1 needs its enable file).
    const int rows = GetConnectProtocolTable().GetSize();
    if (rows != 6 || !GetProtocolLoadFailures().empty())
        return Fail(message, size, "rows: " + std::to_string(rows));
    if (!LoadConnectionProtocolDlls(fns, ProductId(Product::Vetralon), folder.c_str(), nullptr,
                                    offer, report) ||
        GetConnectProtocolTable().GetSize() != rows)
        return Fail(message, size, "a second load changed the table");
    std::snprintf(message, size, "%d rows from %s", rows, expectedFolder);
    return 0;
}
