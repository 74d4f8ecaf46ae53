// VCriticalSection: a recursive lock held through a scoped holder.
#pragma once

#include <mutex>

namespace sessiondeck {

class VCriticalSection {
public:
    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }

    // Holds the lock for its own lifetime.
    class Holder {
    public:
        explicit Holder(VCriticalSection& section) : m_section(section) { m_section.Lock(); }
        ~Holder() { m_section.Unlock(); }
        Holder(const Holder&) = delete;
        Holder& operator=(const Holder&) = delete;

    private:
        VCriticalSection& m_section;
    };

private:
    // Recursive, as the lock a thread already holds may be taken again by
    // code it calls.
    std::recursive_mutex m_mutex;
};

}  // namespace sessiondeck
