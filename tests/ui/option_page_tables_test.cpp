// Walks every option page table and checks that each control names a real setting whose kind
// and range fit the control, so a renamed setting cannot leave a dead control behind.
#include <gtest/gtest.h>

#include "app/global_config.h"
#include "tests/ui/option_page_tables.h"
#include "ui/model/global_options_model.h"

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

}  // namespace

const std::vector<OptionPageTableRow>& AllOptionPageTables() {
    static const std::vector<OptionPageTableRow> rows = {
        {"Global Options", &CheckGlobalOptionPages},
        // Session Options and the new-session wizard add their tables here.
    };
    return rows;
}

TEST(OptionPageTables, EveryControlNamesARealSettingThatFitsIt) {
    ASSERT_FALSE(AllOptionPageTables().empty());
    for (const OptionPageTableRow& row : AllOptionPageTables()) {
        SCOPED_TRACE(row.name);
        const auto problems = row.check();
        std::string text;
        for (const auto& problem : problems) text += VUnicodeString(problem).ToUtf8() + "\n";
        EXPECT_TRUE(problems.empty()) << text;
    }
}
