// The model's services as wxWidgets provides them: the system clipboard holding a "FolderTree"
// record, timers, and the host's C callbacks behind ISessionDeckHostCallbacks.
#pragma once

#include <functional>
#include <map>
#include <memory>

#include <wx/dataobj.h>
#include <wx/timer.h>
#include <wx/window.h>

#include "ui/model/session_deck_services.h"
#include "ui/wx/session_deck_ui.h"

namespace sessiondeck {

// The clipboard format another process looks for; the bytes are the 1048-byte record.
wxDataFormat FolderTreeDataFormat();

// The system clipboard. A record put here can be pasted by any process that knows the format,
// including a second session manager on the same configuration.
class WxFolderTreeClipboard : public IFolderTreeClipboard {
public:
    bool Put(const std::array<uint8_t, FolderTreeRecord::kSize>& bytes) override;
    std::optional<std::vector<uint8_t>> Get() override;
    // True when the clipboard offers a "FolderTree" record, whoever put it there.
    static bool HasRecord();
};

// One wxTimer per id; `fired` runs on the UI thread when a timer goes off.
class WxSessionDeckTimer : public ISessionDeckTimer {
public:
    explicit WxSessionDeckTimer(std::function<void(unsigned)> fired) : m_fired(std::move(fired)) {}
    ~WxSessionDeckTimer() override;
    void Start(unsigned id, unsigned milliseconds) override;
    void Stop(unsigned id) override;
    bool IsRunning(unsigned id) const;

private:
    class Timer : public wxTimer {
    public:
        Timer(WxSessionDeckTimer& owner, unsigned id) : m_owner(owner), m_id(id) {}
        void Notify() override { m_owner.m_fired(m_id); }

    private:
        WxSessionDeckTimer& m_owner;
        unsigned m_id;
    };
    std::function<void(unsigned)> m_fired;
    std::map<unsigned, std::unique_ptr<Timer>> m_timers;
};

struct SessionDeckCallbacks {
    SessionDeckQuickConnectCallback quickConnect = nullptr;
    SessionDeckSessionPropertiesCallback properties = nullptr;
    SessionDeckHelpCallback help = nullptr;
    SessionDeckNewSessionWizardCallback newSessionWizard = nullptr;
};

// The callbacks a host registered, as the model asks for them. Without a registered wizard the
// wizard step hands over to the properties dialog.
class WxHostCallbacks : public ISessionDeckHostCallbacks {
public:
    WxHostCallbacks(const SessionDeckCallbacks& callbacks, wxWindow* window)
        : m_callbacks(callbacks), m_window(window) {}
    int QuickConnect(const VUnicodeString& folderPath,
                     VUnknownPointer<ISessionConfig>& session) override;
    int SessionProperties(ISessionConfig* session, int isNew) override;
    void Help(unsigned command, unsigned long data) override;
    int NewSessionWizard(ISessionConfig* session, int productId, bool& useWizard) override;

private:
    SessionDeckCallbacks m_callbacks;
    wxWindow* m_window;
};

}  // namespace sessiondeck
