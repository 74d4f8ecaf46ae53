// The `filetype` and `tz` commands of the sessiondeck host.
#include "tools/cli/data_commands.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <regex>

#include "data/file_types.h"
#include "data/time_zone.h"

using namespace sessiondeck;

namespace cli {
namespace {

std::string Text(const char16_t* text) {
    return text ? ToUtf8(VUnicodeString(text)) : std::string("(unknown)");
}

void RunFileType(GlobalOptions& options, const std::string& extension) {
    // A refused argument writes nothing: the first use of the file types seeds them.
    std::string wanted = extension;
    if (!wanted.empty() && wanted.front() == '.') wanted.erase(0, 1);
    if (wanted.empty()) throw Failure(kUsage, "the extension is empty");
    PrepareHost(options);
    const FileTypeManager manager;
    const FileTypeDefinition* definition = manager.FindExtension(FromUtf8(wanted).c_str());
    if (!definition) throw Failure(kNotFound, "no file type holds the extension '" + wanted + "'");

    std::string extensions;
    for (const VUnicodeString& each : definition->extensions) {
        if (!extensions.empty()) extensions += '|';
        extensions += ToUtf8(each);
    }
    std::cout << "Type Name\t" << ToUtf8(definition->typeName) << '\n'
              << "Extensions\t" << extensions << '\n'
              << "Application\t" << ToUtf8(definition->application) << '\n'
              << "Icon File\t" << ToUtf8(definition->iconFile) << '\n'
              << "Icon Index\t" << definition->iconIndex << '\n'
              << "Transfer Type\t" << Text(TransferTypeText(definition->transferType)) << '\n'
              << "Remote Open Action\t" << Text(RemoteOpenActionText(definition->remoteOpenAction))
              << '\n';
}

void RunList() {
    const TimeZone zones;
    if (zones.TimeZoneCount() == 0) throw Failure(kNotFound, "no time zones are known");
    for (int i = 0; i < zones.TimeZoneCount(); ++i) {
        std::cout << ToUtf8(VUnicodeString(zones.Identifier(i))) << '\t'
                  << ToUtf8(VUnicodeString(zones.Description(i))) << '\n';
    }
}

std::string Format(const SYSTEMTIME& time) {
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", time.wYear, time.wMonth,
                  time.wDay, time.wHour, time.wMinute, time.wSecond);
    return text;
}

void RunConvert(const std::string& zoneName, const std::string& timeText) {
    static const std::regex kForm(R"((\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})(Z?))");
    std::smatch match;
    SYSTEMTIME time;
    if (std::regex_match(timeText, match, kForm)) {
        time.wYear = static_cast<uint16_t>(std::stoi(match[1]));
        time.wMonth = static_cast<uint16_t>(std::stoi(match[2]));
        time.wDay = static_cast<uint16_t>(std::stoi(match[3]));
        time.wHour = static_cast<uint16_t>(std::stoi(match[4]));
        time.wMinute = static_cast<uint16_t>(std::stoi(match[5]));
        time.wSecond = static_cast<uint16_t>(std::stoi(match[6]));
    }
    if (match.empty() || !IsValidSystemTime(time)) {
        throw Failure(kUsage, "'" + timeText +
                                  "' is not a time of the form YYYY-MM-DDTHH:MM:SS (with a "
                                  "trailing Z for UTC), years 1601 to 30827");
    }
    const bool fromUtc = match[7].length() != 0;
    const TimeZone zones;
    const VUnicodeString zone = FromUtf8(zoneName);
    SYSTEMTIME converted;
    const bool done = fromUtc ? zones.UtcToLocal(zone.c_str(), time, converted)
                              : zones.LocalToUtc(zone.c_str(), time, converted);
    if (!done) {
        throw Failure(kUsage, "unknown time zone '" + zoneName +
                                  "' (see 'sessiondeck tz list' for the identifiers)");
    }
    std::cout << Format(converted) << (fromUtc ? "" : "Z") << '\n';
}

}  // namespace

void AddFileTypeCommands(CLI::App& app, GlobalOptions& options) {
    auto extension = std::make_shared<std::string>();
    CLI::App* filetype = app.add_subcommand(
        "filetype",
        "Show the file type that holds an extension, one FIELD<TAB>VALUE line per field. The "
        "first use seeds the file types (the key 'FileTypes') from the desktop's file "
        "associations, or from a built-in list where there is no desktop. Exit status 1 when "
        "no file type holds the extension.");
    filetype->add_option("EXT", *extension, "The extension, with or without its dot, any case")
        ->required();
    filetype->callback([&options, extension] { RunFileType(options, *extension); });
}

void AddTimeZoneCommands(CLI::App& app) {
    CLI::App* tz =
        app.add_subcommand("tz", "List time zones and convert times between them and UTC");
    tz->require_subcommand(1);
    CLI::App* list =
        tz->add_subcommand("list", "One zone per line, west to east: IDENTIFIER<TAB>DESCRIPTION");
    list->callback([] { RunList(); });

    auto args = std::make_shared<std::pair<std::string, std::string>>();
    CLI::App* convert = tz->add_subcommand(
        "convert",
        "Convert TIME, a local time in ZONE written YYYY-MM-DDTHH:MM:SS, to UTC (printed with a "
        "trailing Z); a TIME ending in Z is UTC and is converted to ZONE's local time. A local "
        "time skipped by a change to daylight time is read as standard time; one repeated by "
        "the change back is read as its first (daylight) occurrence. Exit status 2 for an "
        "unknown ZONE or a malformed TIME.");
    convert
        ->add_option("ZONE", args->first,
                     "Zone identifier as 'tz list' prints it, e.g. Europe/Berlin")
        ->required();
    convert->add_option("TIME", args->second, "YYYY-MM-DDTHH:MM:SS, or ...Z for UTC")->required();
    convert->callback([args] { RunConvert(args->first, args->second); });
}

}  // namespace cli
