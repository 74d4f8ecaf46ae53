// Walks every option page table and checks that each control names a real setting whose kind
// and range fit the control, so a renamed setting cannot leave a dead control behind.
#include <gtest/gtest.h>

#include "app/global_config.h"
#include "session/session_config.h"
#include "ui/model/global_options_model.h"
#include "ui/model/session_option_pages.h"

using namespace sessiondeck;

namespace {

std::vector<std::u16string> CheckGlobalOptionPages() {
    auto record = VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr));
    GlobalConfig& config = *record;
    // The record names its host-dependent options for the host it was built for.
    return CheckOptionPages(GlobalOptionPageTable(config.IsTransferHost()),
                            [&](OptionRecord record) -> VProfileData* {
                                return record == OptionRecord::kGlobal ? &config : nullptr;
                            });
}

// The library's Session Options pages bind to the session record only (the connection pages
// come from the protocol modules and are walked with them in the Session Options tests).
std::vector<std::u16string> CheckSessionOptionPages() {
    auto session = VUnknownPointer<ISessionConfig>::Adopt(new SessionConfig(u"Walk", nullptr));
    OptionPageSet set;
    for (SessionPageId id : AllSessionOptionPages()) set.pages.push_back(SessionOptionPage(id));
    // The window position fields are texts ("-0" is the right edge) that the Window page's rule
    // turns into a number and a side: walked as the numbers they store.
    for (OptionPageDescription& page : set.pages)
        for (OptionControl& control : page.controls)
            if (control.setting && std::u16string_view(control.setting).ends_with(u" Position"))
                control.kind = OptionControlKind::kNumber;
    return CheckOptionPages(set, [&](OptionRecord record) -> VProfileData* {
        return record == OptionRecord::kSession ? dynamic_cast<VProfileData*>(session.Get())
                                                : nullptr;
    });
}

}  // namespace

TEST(OptionPageTables, EveryControlNamesARealSettingThatFitsIt) {
    const struct {
        const char* name;
        std::vector<std::u16string> (*check)();
    } tables[] = {{"Global Options", &CheckGlobalOptionPages},
                  {"Session Options", &CheckSessionOptionPages}};
    for (const auto& table : tables) {
        SCOPED_TRACE(table.name);
        const auto problems = table.check();
        std::string text;
        for (const auto& problem : problems) text += VUnicodeString(problem).ToUtf8() + "\n";
        EXPECT_TRUE(problems.empty()) << text;
    }
}
