// Environment variables, portable-drive folders, numeric addresses and the clock on POSIX.
#include "platform/environment.h"

#include <arpa/inet.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace sessiondeck {

namespace platform {

std::string ExpandEnvironmentStrings(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const size_t close = text[i] == '%' ? text.find('%', i + 1) : std::string_view::npos;
        if (close != std::string_view::npos && close > i + 1) {
            const std::string name(text.substr(i + 1, close - i - 1));
            if (const char* value = std::getenv(name.c_str())) {
                out += value;
                i = close + 1;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

std::optional<std::string> NonEmptyEnvironmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

std::optional<std::string> PortableDataFolder() {
    return NonEmptyEnvironmentVariable("U3_APP_DATA_PATH");
}

std::optional<std::string> PortableDocumentFolder() {
    // Without the data folder the application does not run from the drive,
    // whatever else the environment says.
    if (!PortableDataFolder()) return std::nullopt;
    return NonEmptyEnvironmentVariable("U3_DEVICE_DOCUMENT_PATH");
}

bool IsNumericNetworkAddress(std::string_view text) {
    if (text.size() > 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    const std::string address(text);
    unsigned char parsed[16];
    return inet_pton(AF_INET, address.c_str(), parsed) == 1 ||
           inet_pton(AF_INET6, address.c_str(), parsed) == 1;
}

CalendarTime CurrentTime(bool local) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm fields{};
    if (local) {
        localtime_r(&seconds, &fields);
    } else {
        gmtime_r(&seconds, &fields);
    }
    CalendarTime time;
    time.year = fields.tm_year + 1900;
    time.month = fields.tm_mon + 1;
    time.dayOfWeek = fields.tm_wday;
    time.day = fields.tm_mday;
    time.hour = fields.tm_hour;
    time.minute = fields.tm_min;
    time.second = fields.tm_sec;
    time.millisecond = static_cast<int>(millis < 0 ? millis + 1000 : millis);
    return time;
}

}  // namespace platform

}  // namespace sessiondeck
