// Global Options without a toolkit: which pages the dialog shows for the installed applications,
// what the pages hold (ui/model/global_option_pages.cpp), the pages' own rules, the protocol
// modules' global pages, and the tree state kept in the global configuration.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/prompt.h"
#include "ui/model/option_page_model.h"
#include "ui/model/property_tree_model.h"

namespace sessiondeck {

class GlobalConfig;
class ColorSchemesModel;
class FileTypeManager;
class FileTypesModel;
class FirewallListModel;

inline constexpr const char16_t* kGlobalOptionsTitle = u"Global Options";

// Captions of the pages that the rules and the tests name.
namespace global_pages {
inline constexpr const char16_t* kGeneral = u"General\nGeneral";
inline constexpr const char16_t* kDefaultSession = u"Default Session\nDefault Session Setup";
inline constexpr const char16_t* kTerminal = u"Terminal\nTerminal";
inline constexpr const char16_t* kWebBrowser = u"Web Browser\nWeb Browser Setup";
inline constexpr const char16_t* kFileTransfer = u"File Transfer\nFile Transfer";
inline constexpr const char16_t* kFtp = u"FTP\nFTP";
inline constexpr const char16_t* kFileTypes = u"File Types\nFile Types";
inline constexpr const char16_t* kFirewall = u"Firewall\nFirewall";
inline constexpr const char16_t* kAnsiColor = u"ANSI Color";
inline constexpr const char16_t* kColorSchemes = u"Color Schemes\nColor Schemes";
}  // namespace global_pages

// Every page of Global Options, in tree order, with the value names of the host kind (a
// transfer host stores some options under names of its own). The dialog leaves out the subtrees
// of applications that are not installed.
const OptionPageSet& GlobalOptionPageTable(bool transferHost);

// What decides the page set.
struct GlobalOptionsHost {
    bool terminalInstalled = false;
    bool transferInstalled = false;
    // Both a file type manager and an icon manager were given.
    bool fileTypeManagers = false;
};

// The buffer sizes the FTP page accepts; -1 leaves the size to the system.
inline constexpr int kMinFtpBufferSize = 512;
inline constexpr int kMaxFtpBufferSize = 1048576;

class GlobalOptionsModel {
public:
    // Edits `config` in place (saving it is the caller's business). `colorScheme` names the
    // scheme the Color Schemes page shows first; `fileTypes` is what the File Types page edits
    // (the page is there only when the host says both managers were given).
    GlobalOptionsModel(GlobalConfig& config, const GlobalOptionsHost& host, IPrompt& prompt,
                       std::u16string_view colorScheme = {}, FileTypeManager* fileTypes = nullptr);
    ~GlobalOptionsModel();
    GlobalOptionsModel(const GlobalOptionsModel&) = delete;
    GlobalOptionsModel& operator=(const GlobalOptionsModel&) = delete;

    PropertyTreeModel& Frame() { return m_frame; }
    // The library's pages (the protocol modules' are in ProtocolPages).
    const OptionPageTree& Pages() const { return *m_pages; }
    const OptionPageTree* ProtocolPages() const { return m_protocolPages.get(); }
    // The Firewall page's list (written to the store by OK).
    FirewallListModel& Firewalls() { return *m_firewalls; }
    // The Color Schemes and ANSI Color pages' copy of the schemes and palette (OK commits it).
    ColorSchemesModel& ColorSchemes() { return *m_colorSchemes; }
    // The File Types page's rows and commands; null without the page.
    FileTypesModel* FileTypes() { return m_fileTypes.get(); }
    // What the global pages hook returned (null: no hook, or it gave none).
    const OptionPageSet* ProtocolPageSet() const { return m_protocolSet; }

    // OK through the frame; then changed file types and the Firewall page's changes are stored
    // (a failure is reported and keeps the dialog open with what was not written), and the tree
    // state, the colour schemes and the ANSI palette go into the global configuration.
    bool Ok();
    // Cancel: the values pages wrote while the dialog was open are put back; edited colour
    // schemes are dropped, the file types are read back from the store and the Firewall page's
    // changes are dropped unwritten.
    void Cancel();

    // The Default Session page's Edit button: edits the Default session. Session Options fills
    // this in; until then the button does nothing. True when the session was changed.
    static std::function<bool()>& EditDefaultSessionHook();
    // The button, as the view calls it.
    bool EditDefaultSession();

    // The dialog kind's page state map for the life of the process, and emptying it.
    static PropertyPageStateMap& StateMap();
    static void DeleteStateMap();

private:
    GlobalConfig& m_config;
    IPrompt& m_prompt;
    PropertyTreeModel m_frame;
    std::unique_ptr<OptionPageTree> m_pages;
    std::unique_ptr<OptionPageTree> m_protocolPages;
    const OptionPageSet* m_protocolSet = nullptr;
    OptionPageSet m_shown;
    std::unique_ptr<FirewallListModel> m_firewalls;
    std::unique_ptr<ColorSchemesModel> m_colorSchemes;
    std::unique_ptr<FileTypesModel> m_fileTypes;
    // Every setting's text when the dialog was made, for Cancel.
    std::vector<std::pair<VProfileData*, std::u16string>> m_before;
};

}  // namespace sessiondeck
