// Editing the Default session from Global Options: Session Options on it, then the offer to
// carry the changes over to every session, applied off the user-interface thread with a count
// a progress view can show, and the tally of sessions that could not be changed.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "foundation/prompt.h"
#include "session/session_database.h"

namespace sessiondeck {

class ISessionConfig;

// A walk that changes many sessions (apply-to-all, a firewall's new name), run on a thread of
// its own. The owner polls Done/Total/Finished from its own thread and shows them; the
// destructor waits for the walk to end (it cannot be stopped half-way: a change made to some
// sessions only would be worse than a slow one).
class BackgroundSessionWalk {
public:
    // `walk` tells its progress through the function it is given.
    explicit BackgroundSessionWalk(
        std::function<GlobalChangeTally(const SessionWalkProgress&)> walk);
    ~BackgroundSessionWalk();
    BackgroundSessionWalk(const BackgroundSessionWalk&) = delete;
    BackgroundSessionWalk& operator=(const BackgroundSessionWalk&) = delete;

    int Done() const { return m_done.load(); }
    // 0 until the sessions are counted.
    int Total() const { return m_total.load(); }
    bool Finished() const { return m_finished.load(); }
    // Waits for the walk and gives its tally.
    GlobalChangeTally Wait();

private:
    std::atomic<int> m_done{0};
    std::atomic<int> m_total{0};
    std::atomic<bool> m_finished{false};
    GlobalChangeTally m_tally;
    std::jthread m_thread;
};

// Applies `delta`'s changes (a session checkpointed before it was changed) to every session.
class DefaultSessionApply : public BackgroundSessionWalk {
public:
    explicit DefaultSessionApply(ISessionConfig* delta);
};

// "Do you want to apply the changes ... to ALL of your sessions?" with Yes and No.
bool AskApplyDefaultToAll(IPrompt& prompt, const VUnicodeString& caption);
// The warning for sessions that could not be changed; nothing when every one was.
void ReportApplyTally(IPrompt& prompt, const VUnicodeString& caption,
                      const GlobalChangeTally& tally);

struct DefaultSessionEdit {
    int dialogResult = 2;  // 1 OK, 2 Cancel
    bool asked = false;
    bool applied = false;
    bool saved = false;
    GlobalChangeTally tally;
};

// The whole edit: loads "Default" as the default session, checkpoints it, runs `dialog` on it
// (Session Options; answers 1 for OK), and after OK with changes asks, applies through `apply`
// (which a view runs with its progress dialog; given the session as the delta), reports the
// tally and saves the Default session. Nothing is asked when the dialog was cancelled or changed
// nothing.
DefaultSessionEdit EditDefaultSession(
    IPrompt& prompt, const VUnicodeString& caption,
    const std::function<int(ISessionConfig& session)>& dialog,
    const std::function<GlobalChangeTally(ISessionConfig* delta)>& apply);

}  // namespace sessiondeck
