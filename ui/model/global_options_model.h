// Global Options without a toolkit: which pages the dialog shows for the installed applications,
// what the pages hold (ui/model/global_option_pages.cpp), the pages' own rules, the protocol
// modules' global pages, and the tree state kept in the global configuration.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "foundation/prompt.h"
#include "ui/model/option_page_model.h"
#include "ui/model/property_tree_model.h"

namespace sessiondeck {

class GlobalConfig;

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
    // Edits `config` in place (saving it is the caller's business).
    GlobalOptionsModel(GlobalConfig& config, const GlobalOptionsHost& host, IPrompt& prompt);
    ~GlobalOptionsModel();
    GlobalOptionsModel(const GlobalOptionsModel&) = delete;
    GlobalOptionsModel& operator=(const GlobalOptionsModel&) = delete;

    PropertyTreeModel& Frame() { return m_frame; }
    // The library's pages (the protocol modules' are in ProtocolPages).
    const OptionPageTree& Pages() const { return *m_pages; }
    const OptionPageTree* ProtocolPages() const { return m_protocolPages.get(); }
    // What the global pages hook returned (null: no hook, or it gave none).
    const OptionPageSet* ProtocolPageSet() const { return m_protocolSet; }

    // OK through the frame; on success the tree state goes into the global configuration.
    bool Ok();
    void Cancel() { m_frame.Cancel(); }

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
};

}  // namespace sessiondeck
