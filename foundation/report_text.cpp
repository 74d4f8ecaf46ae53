// PLACEHOLDER: replaced by the real message tables and fall-backs.
#include "foundation/report_text.h"

namespace {
const VMessageModule g_library = {"libSessionDeck60U.so",
                                  [](uint32_t) -> const char16_t* { return nullptr; }};
}
VModuleHandle GetLibraryMessageModule() {
    return &g_library;
}
void SetHostMessageModule(VModuleHandle) {}
std::u16string ResolveReportText(uint32_t, VModuleHandle, const std::vector<std::u16string>&,
                                 bool) {
    return u"?";
}
