// What the session manager's filter searches: every session of the store with its name, host,
// user and description folded once, read on a thread of its own so that typing never waits for
// the files.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "foundation/unicode_string.h"
#include "ui/model/session_tree_model.h"

namespace sessiondeck {

class SessionFilterIndex {
public:
    // A folder of the store, the root being entry 0 with an empty path.
    struct Folder {
        VUnicodeString path;
        VUnicodeString name;
        int parent = -1;
        std::vector<int> folders;        // sub-folders in stored (user-arranged) order
        std::vector<int> foldersSorted;  // the same in alphabetical order, as the tree sorts
        std::vector<int> sessions;       // its sessions in stored order
        std::vector<int> sessionsSorted;
    };
    // One session; the texts are folded (FoldNoCase) once, when the index is built.
    struct Session {
        int folder = 0;
        VUnicodeString name;
        std::u16string foldedName;
        std::u16string foldedHost;  // the terminal and transfer sides' host names
        std::u16string foldedUser;
        std::u16string foldedDescription;  // its lines joined with "\n"
        bool terminalProtocol = false;     // a terminal protocol of its own, not "None"
        bool transferProtocol = false;
        bool gone = false;  // removed (or read again) since the index was built: never matches
    };

    SessionFilterIndex() = default;
    // Stops a build under way and waits for its thread, which gives up at its next session.
    ~SessionFilterIndex();
    SessionFilterIndex(const SessionFilterIndex&) = delete;
    SessionFilterIndex& operator=(const SessionFilterIndex&) = delete;

    // Reads the store the session database opens, on a thread the index owns; `ready`, when
    // given, is called on that thread once the index is ready (a view posts it to its own
    // thread). A second call does nothing.
    void Start(std::function<void()> ready = {});
    // Reads the store on the calling thread (benchmarks, and hosts without threads).
    void BuildNow();
    bool Started() const { return m_started; }
    bool Ready() const { return m_ready.load(std::memory_order_acquire); }
    // Waits at most `milliseconds` for the index and its ready callback; true when both are
    // done.
    bool WaitReady(int milliseconds) const;
    // Sessions read so far by a build under way.
    size_t Progress() const { return m_progress.load(std::memory_order_relaxed); }

    // Only once Ready(): the folders (0 is the root) and the sessions.
    const std::vector<Folder>& Folders() const { return m_folders; }
    const std::vector<Session>& Sessions() const { return m_sessions; }
    VUnicodeString Path(int session) const;

    // Only once Ready(), on the thread that asks the index: bring it in line with the store
    // after the dialog changed one entry, instead of reading every session again.
    // `path` names a session or folder that was added, changed or removed; a folder is read
    // again with everything below it.
    void Refresh(const VUnicodeString& path);
    // As Refresh for each of the entries `names` of one folder, with one listing of the folder
    // for all of them.
    void Refresh(const VUnicodeString& folder, const std::vector<VUnicodeString>& names);
    // An entry of `folder` renamed in place: it keeps what was read, under its new name (a
    // folder's ten thousand sessions are not read again for a new name).
    void Renamed(const VUnicodeString& folder, const VUnicodeString& oldName,
                 const VUnicodeString& newName);
    // The stored order of a folder's entries changed.
    void Reordered(const VUnicodeString& folder);

    // Whether the session's name, host, user or description contains `folded` (a FoldNoCase
    // text); every session matches an empty text.
    bool Matches(const Session& session, std::u16string_view folded) const;
    // Whether the tree shows the session for this host and these options: the same rule as
    // SessionTreeModel's (the top-level Default session is never in the index).
    static bool Shows(const Session& session, const SessionDeckHost& host,
                      const SessionTreeOptions& options);

private:
    void Build(std::stop_token stop);
    void ReadFolder(std::stop_token& stop, int folder, std::vector<Folder>& folders,
                    std::vector<Session>& sessions);
    int FindFolder(const VUnicodeString& path) const;
    // Takes the entries whose FoldNoCase names are `folded` out of the folder's lists; their
    // sessions (a folder's, all below it) are marked gone.
    void Drop(int folder, const std::unordered_set<std::u16string>& folded);
    void DropBelow(int folder);
    // The folder's lists in the order the store now gives, and sorted again.
    void ApplyOrder(int folder, const VStringArray& sessionNames, const VStringArray& folderNames);

    std::vector<Folder> m_folders;
    std::vector<Session> m_sessions;
    std::atomic<bool> m_ready{false};
    std::atomic<size_t> m_progress{0};
    bool m_started = false;
    bool m_settled = false;  // ready and the callback returned; guarded by m_mutex
    std::function<void()> m_readyCallback;
    mutable std::mutex m_mutex;
    mutable std::condition_variable_any m_readyChanged;
    std::jthread m_thread;  // last: stopped and joined before the members it fills go away
};

}  // namespace sessiondeck
