// The Default session's edit and its apply-to-all.
#include "ui/model/default_session_edit.h"

#include "foundation/message_format.h"
#include "foundation/messages.h"
#include "session/session_config.h"
#include "ui/model/session_name_rules.h"
#include "ui/model/warning.h"

namespace sessiondeck {

BackgroundSessionWalk::BackgroundSessionWalk(
    std::function<GlobalChangeTally(const SessionWalkProgress&)> walk) {
    m_thread = std::jthread([this, walk = std::move(walk)] {
        m_total = SessionDatabase::CountAllSessions();
        m_tally = walk([this](int visited) {
            m_done = visited;
            // A session added meanwhile must not show more than all done.
            if (visited > m_total) m_total = visited;
        });
        m_finished = true;
    });
}

BackgroundSessionWalk::~BackgroundSessionWalk() {
    if (m_thread.joinable()) m_thread.join();
}

GlobalChangeTally BackgroundSessionWalk::Wait() {
    if (m_thread.joinable()) m_thread.join();
    return m_tally;
}

DefaultSessionApply::DefaultSessionApply(ISessionConfig* delta)
    : BackgroundSessionWalk(
          [delta = VUnknownPointer<ISessionConfig>(delta)](const SessionWalkProgress& progress) {
              return SessionDatabase().EnumAndApplyDelta(delta.Get(), progress);
          }) {}

bool AskApplyDefaultToAll(IPrompt& prompt, const VUnicodeString& caption) {
    // No is what a dismissed box answers: there is no undo for the change.
    return prompt.ShowMessage(LibraryMessageText(kMsgApplyDefaultToAll), caption,
                              VPromptButtons::kYesNo,
                              VPromptIcon::kQuestion) == VPromptAnswer::kYes;
}

void ReportApplyTally(IPrompt& prompt, const VUnicodeString& caption,
                      const GlobalChangeTally& tally) {
    // A write that failed is not a read-only session: telling the user it was would hide a full
    // disk behind a harmless message.
    const int readOnly = tally.visited - tally.updated - tally.failed;
    const std::u16string seen = FormatMessageText(u"%1!d!", tally.visited);
    if (readOnly > 0) {
        const std::u16string skipped = FormatMessageText(u"%1!d!", readOnly);
        Warn(prompt, LibraryMessageText(kMsgSessionsReadOnlyNotUpdated, seen, skipped), caption);
    }
    if (tally.failed > 0) {
        prompt.ShowMessage(
            FormatMessageText(u"The change could not be written to %1!d! of your %2!d! sessions "
                              u"(the disk may be full, or their files may not be writable); "
                              u"those sessions keep their old settings.",
                              tally.failed, tally.visited),
            caption, VPromptButtons::kOk, VPromptIcon::kError);
    }
}

DefaultSessionEdit EditDefaultSession(
    IPrompt& prompt, const VUnicodeString& caption,
    const std::function<int(ISessionConfig& session)>& dialog,
    const std::function<GlobalChangeTally(ISessionConfig* delta)>& apply) {
    DefaultSessionEdit edit;
    const SessionDatabase database;
    ISessionConfig* session = database.Lookup(SessionConfig::kDefaultSessionName);
    if (!session) return edit;
    if (auto* concrete = dynamic_cast<SessionConfig*>(session)) concrete->IsDefaultSession(1);
    session->Checkpoint();
    edit.dialogResult = dialog(*session);
    if (edit.dialogResult == 1 && session->IsModified()) {
        edit.asked = true;
        if (AskApplyDefaultToAll(prompt, caption)) {
            edit.applied = true;
            edit.tally = apply(session);
            ReportApplyTally(prompt, caption, edit.tally);
        }
        // Saved after the walk, which reads the changes as changes against the checkpoint.
        edit.saved = database.Save(session, true);
        if (!edit.saved)
            prompt.ShowMessage(
                u"The Default session could not be saved (the disk may be full, or "
                u"its file may not be writable); its changes are lost.",
                caption, VPromptButtons::kOk, VPromptIcon::kError);
    }
    session->Release();
    return edit;
}

}  // namespace sessiondeck
