// The model's services on wxWidgets.
#include "ui/wx/wx_services.h"

#include <wx/clipbrd.h>

namespace sessiondeck {

wxDataFormat FolderTreeDataFormat() {
    static const wxDataFormat format(wxString("FolderTree"));
    return format;
}

bool WxFolderTreeClipboard::Put(const std::array<uint8_t, FolderTreeRecord::kSize>& bytes) {
    wxClipboardLocker lock;
    if (!lock) return false;
    auto* data = new wxCustomDataObject(FolderTreeDataFormat());
    data->SetData(bytes.size(), bytes.data());
    return wxTheClipboard->SetData(data);  // the clipboard owns `data` from here
}

std::optional<std::vector<uint8_t>> WxFolderTreeClipboard::Get() {
    wxClipboardLocker lock;
    if (!lock || !wxTheClipboard->IsSupported(FolderTreeDataFormat())) return std::nullopt;
    wxCustomDataObject data(FolderTreeDataFormat());
    if (!wxTheClipboard->GetData(data)) return std::nullopt;
    const auto* begin = static_cast<const uint8_t*>(data.GetData());
    return std::vector<uint8_t>(begin, begin + data.GetSize());
}

bool WxFolderTreeClipboard::HasRecord() {
    wxClipboardLocker lock;
    if (!lock) return false;
    return wxTheClipboard->IsSupported(FolderTreeDataFormat());
}

WxSessionDeckTimer::~WxSessionDeckTimer() {
    for (auto& [id, timer] : m_timers) timer->Stop();
}

void WxSessionDeckTimer::Start(unsigned id, unsigned milliseconds) {
    auto& timer = m_timers[id];
    if (!timer) timer = std::make_unique<Timer>(*this, id);
    timer->Start(static_cast<int>(milliseconds));
}

void WxSessionDeckTimer::Stop(unsigned id) {
    if (auto it = m_timers.find(id); it != m_timers.end()) it->second->Stop();
}

bool WxSessionDeckTimer::IsRunning(unsigned id) const {
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->IsRunning();
}

int WxHostCallbacks::QuickConnect(const VUnicodeString& folderPath,
                                  VUnknownPointer<ISessionConfig>& session) {
    if (!m_callbacks.quickConnect) return 0;
    ISessionConfig* made = nullptr;
    const int result = m_callbacks.quickConnect(folderPath.c_str(), &made);
    if (made) session = VUnknownPointer<ISessionConfig>::Adopt(made);
    return result;
}

int WxHostCallbacks::SessionProperties(ISessionConfig* session, int isNew) {
    return m_callbacks.properties ? m_callbacks.properties(session, isNew) : 0;
}

void WxHostCallbacks::Help(unsigned command, unsigned long data) {
    if (m_callbacks.help) m_callbacks.help(reinterpret_cast<VWindow*>(m_window), command, data);
}

int WxHostCallbacks::NewSessionWizard(ISessionConfig* session, int productId, bool& useWizard) {
    if (!m_callbacks.newSessionWizard) {
        useWizard = false;
        return kWizardFinish;
    }
    const int result = m_callbacks.newSessionWizard(
        session, productId, reinterpret_cast<VWindow*>(m_window), &useWizard);
    return result == kSessionDeckWizardFinish ? kWizardFinish : result;
}

}  // namespace sessiondeck
