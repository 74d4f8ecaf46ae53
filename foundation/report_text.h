// Turning a report's id and inserts into text: the message tables in their order of fall-back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/report.h"

namespace sessiondeck {

// Registers the host's own message table, searched as the process's main
// module when the report's module lacks an id. Null unregisters it.
SESSIONDECK_API void SetHostMessageModule(VModuleHandle module);

// The report's text as one line (GetTextSingleLine) with the blanks at its end (spaces, tabs,
// line breaks) cut: how a message quoting a report's reason shows it. The report itself is not
// changed (its text is formed on a copy).
SESSIONDECK_API std::u16string ReportLine(const VReportMessageParams& report);

// The text of a report, never empty: the system's table (for system error
// codes), the report's module, the host's module, and last the fixed
// "Could not retrieve the error text" text.
std::u16string ResolveReportText(uint32_t id, VModuleHandle module,
                                 const std::vector<std::u16string>& inserts, bool singleLine);

}  // namespace sessiondeck
