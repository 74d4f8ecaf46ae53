// The fault seam of the file-system calls: counters and injected errors.
#include "platform/faults.h"

#include <array>
#include <atomic>
#include <mutex>

namespace sessiondeck {

namespace platform {

namespace {

struct Fault {
    int nth = 0;  // 0: none
    int error = 0;
    int count = 0;
};

constexpr size_t kPoints = static_cast<size_t>(FaultPoint::kRemove) + 1;

std::mutex g_mutex;
std::array<Fault, kPoints> g_faults;
std::array<int, kPoints> g_calls{};
// Checked without the lock first: with no fault injected (always, outside
// tests) a call costs one atomic load.
std::atomic<bool> g_armed{false};

}  // namespace

void InjectFault(FaultPoint point, int nth, int error, int count) {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_faults[static_cast<size_t>(point)] = Fault{nth, error, count};
    g_armed = true;
}

void ClearFaults() {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_faults = {};
    g_calls = {};
    g_armed = false;
}

int FaultPointCalls(FaultPoint point) {
    std::lock_guard<std::mutex> hold(g_mutex);
    return g_calls[static_cast<size_t>(point)];
}

int CheckFault(FaultPoint point) {
    if (!g_armed.load(std::memory_order_relaxed)) return 0;
    std::lock_guard<std::mutex> hold(g_mutex);
    const size_t at = static_cast<size_t>(point);
    const int call = ++g_calls[at];
    const Fault& fault = g_faults[at];
    if (fault.nth > 0 && call >= fault.nth && call < fault.nth + fault.count) return fault.error;
    return 0;
}

}  // namespace platform

}  // namespace sessiondeck
