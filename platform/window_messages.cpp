// Registered window messages kept in a process-wide table, and the desktop's font smoothing.
#include "platform/window_messages.h"

#include <map>
#include <mutex>
#include <string>

namespace sessiondeck {

namespace platform {
namespace {

std::u16string FoldAscii(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return folded;
}

struct MessageTable {
    std::mutex mutex;
    std::map<std::u16string, uint32_t> ids;
    uint32_t next = kFirstRegisteredMessage;
};

MessageTable& Table() {
    // Never destroyed: registrations may come from static constructors and
    // lookups from static destructors of other modules.
    static auto* table = new MessageTable;
    return *table;
}

}  // namespace

uint32_t RegisterWindowMessage(std::u16string_view name) {
    if (name.empty()) return 0;
    MessageTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    const std::u16string key = FoldAscii(name);
    if (auto found = table.ids.find(key); found != table.ids.end()) return found->second;
    if (table.next > kLastRegisteredMessage) return 0;
    const uint32_t id = table.next++;
    table.ids.emplace(key, id);
    return id;
}

bool QueryFontSmoothing(bool&) {
    // Linux desktops keep font rendering per toolkit and per user, not in one
    // setting the library could ask.
    return false;
}

}  // namespace platform

}  // namespace sessiondeck
