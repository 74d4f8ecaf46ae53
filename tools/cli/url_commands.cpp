// The `url` commands of the sessiondeck host.
#include "tools/cli/url_commands.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/siblings.h"
#include "data/url.h"

using namespace sessiondeck;

namespace cli {
namespace {

struct UrlParseArgs {
    std::string url;
    bool json = false;
};

void RunParse(GlobalOptions& options, const UrlParseArgs& args) {
    // An ftp URL without a login gets the anonymous password a session made
    // from it would get, which may come from the global options.
    PrepareHost(options);
    URL url(GetDefaultAnonymousPassword().c_str());
    VReportMessageParams report;
    if (!url.ParseAppUrl(FromUtf8(args.url).c_str(), report)) {
        throw Failure(kRefused, DescribeReport(report));
    }

    bool isDefault = false;
    const uint16_t port = url.GetPort(isDefault);
    nlohmann::ordered_json parts;
    parts["scheme"] = ToUtf8(url.GetSchemeName());
    parts["scheme_id"] = url.GetScheme();
    parts["address"] = ToUtf8(url.GetAddress());
    parts["port"] = port;
    parts["default_port"] = isDefault;
    parts["user"] = ToUtf8(url.GetUsername());
    parts["password"] = ToUtf8(url.GetPassword());
    parts["object"] = ToUtf8(url.GetObjectW());
    parts["transfer_type"] = url.GetTransferType();
    if (args.json) {
        std::cout << parts.dump(2) << '\n';
        return;
    }
    for (const auto& [name, value] : parts.items()) {
        std::cout << name << ": " << (value.is_string() ? value.get<std::string>() : value.dump())
                  << '\n';
    }
}

}  // namespace

void AddUrlCommands(CLI::App& app, GlobalOptions& options) {
    CLI::App* url =
        app.add_subcommand("url", "Split connection URLs as sessions are made from them");
    url->require_subcommand(1);
    auto args = std::make_shared<UrlParseArgs>();
    CLI::App* parse = url->add_subcommand(
        "parse",
        "Print the parts of URL, one 'name: value' line each: scheme (as written), scheme_id, "
        "address, port, default_port (true when the port is the scheme's default), user, "
        "password, object (the path without its leading '/'), transfer_type (-1 none, 1 ASCII, "
        "2 binary). %XX escapes are decoded, one character per escape. Only the schemes "
        "sessions are made from are accepted: ftp, ftps, sftp, ssh, ssh1, ssh2, telnet, rlogin. "
        "Exit status 3 for a URL the library refuses, with the report's id (0x%08x) and text "
        "on standard error.");
    parse->add_option("URL", args->url, "The URL, e.g. ssh2://user@host:2222/dir")->required();
    parse->add_flag("--json", args->json, "Print one JSON object with the same names instead");
    parse->callback([&options, args] { RunParse(options, *args); });
}

}  // namespace cli
