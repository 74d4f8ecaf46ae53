// Resolving a report's text: system table, the report's module, the host's module, then a fixed
// fall-back text.
#include "foundation/report_text.h"

#include <atomic>
#include <optional>

#include "foundation/codepage.h"
#include "foundation/message_format.h"
#include "foundation/messages.h"
#include "platform/system_messages.h"

namespace sessiondeck {

namespace {

// The status numbers the fall-back text quotes for a failed lookup. They keep
// the numbers the message-table lookup of the original platform reports, so a
// reader who knows those numbers reads these the same way.
constexpr int kLookupErrorMessageNotFound = 317;  // the table exists but lacks the id
constexpr int kLookupErrorNoMessageTable = 1813;  // there is no module, or it has no table

constexpr char16_t kFallbackFormat[] =
    u"Could not retrieve the error text for error code 0x%1!08x!.\r\nStatus codes from "
    u"FormatMessage were "
    u"%2:%3!d! and %4!d!.";
constexpr char16_t kUnknownModule[] = u"<Unknown Module>";

std::atomic<VModuleHandle> g_hostModule{nullptr};

// One formatting attempt over a text that was found: first with the inserts;
// when that call is invalid (too few inserts, a bad conversion), again with the
// inserts ignored so the placeholders stay visible.
std::u16string FormatFound(std::u16string_view text, const std::vector<MessageArgument>& args,
                           bool singleLine) {
    if (auto out =
            FormatMessageString(text, args, {.ignoreInserts = false, .singleLine = singleLine}))
        return *out;
    // Ignoring inserts never needs an argument, so this attempt cannot fail.
    return FormatMessageString(text, {}, {.ignoreInserts = true, .singleLine = singleLine})
        .value_or(std::u16string());
}

// Looks `id` up in one module's table. On failure `error` tells why.
const char16_t* LookupInModule(VModuleHandle module, uint32_t id, int& error) {
    if (!module || !module->lookup) {
        error = kLookupErrorNoMessageTable;
        return nullptr;
    }
    const char16_t* text = module->lookup(id);
    if (!text) error = kLookupErrorMessageNotFound;
    return text;
}

}  // namespace

void SetHostMessageModule(VModuleHandle module) {
    g_hostModule = module;
}

std::u16string ResolveReportText(uint32_t id, VModuleHandle module,
                                 const std::vector<std::u16string>& inserts, bool singleLine) {
    std::vector<MessageArgument> args(inserts.begin(), inserts.end());

    // 1. System error codes come from the system's table. Here that is the C
    //    library's errno table; its texts get the CR LF that message-table
    //    texts carry, so both behave alike in single-line mode. There is no
    //    second native system table on this platform, so that lookup always
    //    finds nothing and we go straight on to the report's module.
    if (IsSystemErrorCode(id)) {
        if (auto text = SystemErrorDescription(id)) {
            return FormatFound(Utf8ToUtf16(*text) + u"\r\n", args, singleLine);
        }
    }

    // 2. The report's own module.
    int moduleError = 0;
    if (const char16_t* text = LookupInModule(module, id, moduleError))
        return FormatFound(text, args, singleLine);

    // 3. The host's main module, which holds the host's own messages.
    int hostError = 0;
    if (const char16_t* text = LookupInModule(g_hostModule.load(), id, hostError)) {
        return FormatFound(text, args, singleLine);
    }

    // 4. Nothing holds the id: say so, with both lookup failures.
    const std::u16string moduleName =
        module && module->fileName ? Utf8ToUtf16(module->fileName) : std::u16string(kUnknownModule);
    const std::vector<MessageArgument> fallbackArgs{uint64_t{id}, std::u16string_view(moduleName),
                                                    int64_t{moduleError}, int64_t{hostError}};
    return FormatFound(kFallbackFormat, fallbackArgs, singleLine);
}

std::u16string ReportLine(const VReportMessageParams& report) {
    VReportMessageParams copy(report);
    std::u16string line = copy.GetTextSingleLine();
    const std::size_t end = line.find_last_not_of(u" \t\n\v\f\r");
    line.erase(end == std::u16string::npos ? 0 : end + 1);
    return line;
}

}  // namespace sessiondeck
