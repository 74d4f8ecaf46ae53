// Walks every option page table (Global Options, Session Options, the protocol modules' pages and
// their wizard pages) and checks that each control names a real setting whose kind and range fit
// the control, so a renamed setting cannot leave a dead control behind.
#include <gtest/gtest.h>

#include <map>

#include "ui/model/global_options_model.h"
#include "ui/model/new_session_wizard_model.h"
#include "ui/model/session_option_pages.h"
#include "ui/session_options_fixture.h"

namespace {

std::string Text(const std::vector<std::u16string>& problems) {
    std::string text;
    for (const auto& problem : problems) text += VUnicodeString(problem).ToUtf8() + "\n";
    return text;
}

TEST_F(SessionOptionsTest, EveryControlOfEveryPageTableNamesARealSettingThatFitsIt) {
    // The global record names its host-dependent options for the host it was built for.
    EXPECT_EQ(Text(CheckOptionPages(GlobalOptionPageTable(config->IsTransferHost()),
                                    [&](OptionRecord record) -> VProfileData* {
                                        return record == OptionRecord::kGlobal ? config.Get()
                                                                               : nullptr;
                                    })),
              "");
    // The library's Session Options pages bind to the session record. The window position
    // fields are texts ("-0" is the right edge) that the Window page's rule turns into a number
    // and a side: walked as the numbers they store.
    MakeSession(u"s", u"SSH2", u"FTP");
    Open(u"s");
    auto* record = dynamic_cast<SessionConfig*>(session.Get());
    OptionPageSet pages;
    for (SessionPageId id : AllSessionOptionPages()) pages.pages.push_back(SessionOptionPage(id));
    for (OptionPageDescription& page : pages.pages)
        for (OptionControl& control : page.controls)
            if (control.setting && std::u16string_view(control.setting).ends_with(u" Position"))
                control.kind = OptionControlKind::kNumber;
    EXPECT_EQ(Text(CheckOptionPages(pages,
                                    [&](OptionRecord which) -> VProfileData* {
                                        return which == OptionRecord::kSession ? record : nullptr;
                                    })),
              "");
    // The modules' pages bind to their connection records, which only exist with the modules
    // loaded; the wizard pages name the settings a new session needs, under ids of their own.
    const ConnectProtocolTable& table = GetConnectProtocolTable();
    std::string wizardFields;
    std::map<int, std::string> wizardIds{{NewSessionWizardModel::kFinishPage, "finish"}};
    int modulesWithPages = 0;
    for (int row = 0; row < table.GetSize(); ++row) {
        const std::string name = VUnicodeString(table[row].protocolName).ToUtf8();
        SCOPED_TRACE(name);
        const bool transfer = IsTransferProduct(ToProduct(table[row].productId));
        if (transfer)
            record->SetTransferProtocol(table[row].protocolName.c_str());
        else
            record->SetTerminalProtocol(table[row].protocolName.c_str());
        VProfileData* connection =
            transfer ? record->GetTransferConnectConfig() : record->GetTermConnectConfig();
        const auto resolve = [&](OptionRecord) { return connection; };
        if (const auto* set = static_cast<const OptionPageSet*>(table[row].sessionPages())) {
            ++modulesWithPages;
            EXPECT_EQ(Text(CheckOptionPages(*set, resolve)), "");
        }
        int id = 0;
        const auto* wizard =
            table[row].wizardPage
                ? static_cast<const OptionPageDescription*>(table[row].wizardPage(nullptr, 0, &id))
                : nullptr;
        if (!wizard) continue;
        if (const auto [seen, fresh] = wizardIds.emplace(id, name); !fresh) {
            EXPECT_EQ(seen->second, name) << "two wizard pages share an id";
            continue;  // a protocol of two products
        }
        EXPECT_EQ(Text(CheckOptionPages(OptionPageSet{{*wizard}}, resolve)), "");
        wizardFields += name + ":";
        for (const OptionControl& control : wizard->controls)
            wizardFields += " " + VUnicodeString(control.setting).ToUtf8();
        wizardFields += "\n";
    }
    EXPECT_EQ(modulesWithPages, 6);
    EXPECT_EQ(wizardFields,
              "SSH2: Hostname [SSH2] Port Username\n"
              "Telnet: Hostname [Telnet] Port Username\n"
              "Serial: Com Port Baud Rate\n"
              "TAPI: Phone Number Country Code Area Code\n"
              "SFTP: Hostname [SFTP] Port Username\n"
              "FTP: Hostname [FTP] Port Username\n");
}

}  // namespace
