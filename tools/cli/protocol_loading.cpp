// Finding the protocol modules relative to the executable, loading them as a host of a product
// does, and the `protocols` command that shows the resulting table.
#include "tools/cli/protocol_loading.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "app/init.h"
#include "app/protocol_loader.h"
#include "app/siblings.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace cli {

namespace {

Product g_product = Product::Vetralon;

const char16_t* HostProductName() {
    static VUnicodeString name;
    name = GetProductDisplayName(g_product);
    return name.c_str();
}

bool HoldsModules(const fs::path& folder) {
    std::error_code error;
    for (const char* module : {"SSH2.so", "Telnet.so", "SFTP.so", "FTP.so"}) {
        if (fs::is_regular_file(folder / module, error)) return true;
    }
    return false;
}

}  // namespace

std::string FindProtocolFolder() {
    std::error_code error;
    const fs::path here = fs::read_symlink("/proc/self/exe", error).parent_path();
    if (error) return {};
    // The build tree puts the host in tools/ and the modules in plugins/; an
    // installation puts it in bin/ and them under the library folder.
    for (const fs::path& candidate :
         {here.parent_path() / "plugins",
          here.parent_path() / SESSIONDECK_INSTALL_LIBDIR / "sessiondeck" / "protocols"}) {
        if (HoldsModules(candidate)) return fs::weakly_canonical(candidate).string();
    }
    return {};
}

ProtocolLoadResult EnsureProtocolsLoaded(GlobalOptions& options, Product product,
                                         const std::string& folder) {
    static std::optional<ProtocolLoadResult> loaded;
    if (loaded) return *loaded;
    PrepareHost(options);

    ProtocolLoadResult result;
    result.folder = folder.empty() ? FindProtocolFolder() : folder;
    g_product = product;
    SetCurrentAppProductID(ProductId(product));
    // This host stands for both applications of an integrated installation, itself included:
    // without its own mark a Connect of one session would hand it to the sibling instead of
    // returning it to the host.
    if (product == Product::Vetralon || product == Product::Ferrivo) {
        SetClientApplicationPresent(ClientApplication::Vetralon, true);
        SetClientApplicationPresent(ClientApplication::Ferrivo, true);
    }

    VAppFnTable fns;
    fns.GetProductName = &HostProductName;
    // A command line cannot offer downloads: failures are reported, not asked about.
    bool offerDownload = false;
    VReportMessageParams report;
    const VUnicodeString folderText = VUnicodeString::FromUtf8(result.folder);
    result.loaded = LoadConnectionProtocolDlls(fns, ProductId(product), folderText.c_str(), nullptr,
                                               offerDownload, report);
    if (report.GetMessageId() != 0) result.report = VUnicodeString(report.GetText()).ToUtf8();
    loaded = result;
    return result;
}

void AddProtocolsCommand(CLI::App& app, GlobalOptions& options) {
    CLI::App* command = app.add_subcommand(
        "protocols",
        "Load the protocol modules as a host of a product would and print the protocol table: "
        "index, name, product and module path, one row a line, tab-separated; then the loader's "
        "report, if any. Products: 3 terminal (with the file-transfer side, the default), 6 "
        "file transfer (with the terminal side), 1 older terminal, 7 SSH2 only. Exit status 1 "
        "when nothing loaded.");
    // Owned by the command's callback, which lives as long as the parser that fills them.
    auto product = std::make_shared<int>(ProductId(Product::Vetralon));
    auto folder = std::make_shared<std::string>();
    command->add_option("--product", *product, "Product id of the host")
        ->check(CLI::IsMember({ProductId(Product::Vetra), ProductId(Product::Vetralon),
                               ProductId(Product::Ferrivo), ProductId(Product::Ssh2Only)}));
    command->add_option("--folder", *folder,
                        "Protocol folder (default: beside the executable, build tree or install)");
    command->callback([&options, product, folder] {
        const ProtocolLoadResult result =
            EnsureProtocolsLoaded(options, ToProduct(*product), *folder);
        std::cout << "folder: " << result.folder << '\n';
        const ConnectProtocolTable& table = GetConnectProtocolTable();
        for (int i = 0; i < table.GetSize(); ++i) {
            const ConnectProtocolTableElement& row = table[i];
            std::cout << i << '\t' << row.protocolName.ToUtf8() << '\t' << row.productId << '\t'
                      << row.dllPath.ToUtf8() << '\n';
        }
        if (!result.report.empty()) std::cout << "report: " << result.report;
        if (!result.loaded) throw Failure(kNotFound, "no protocol module loaded");
    });
}

}  // namespace cli
