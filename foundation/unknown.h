// VUnknown and VUnknownPointer: interlocked reference counting for objects that cross the library
// boundary.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

namespace sessiondeck {

// A 16-byte interface identifier.
struct VGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
    friend bool operator==(const VGuid& a, const VGuid& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
};

// The root of every reference-counted interface.
class IVUnknown {
public:
    static constexpr VGuid IID = {0x5d1e0000, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
    // Returns true and one new reference in *object when the interface is supported.
    virtual bool QueryInterface(const VGuid& iid, void** object) = 0;
    virtual long AddRef() = 0;
    virtual long Release() = 0;

protected:
    virtual ~IVUnknown() = default;
};

// Whether interface I's own table has the DeleteThis slot (it then says so
// with a public `static constexpr bool kDeclaresDeleteThis = true;` beside its
// protected pure DeleteThis); other interfaces get the slot from VUnknown.
template <class I>
concept VDeclaresDeleteThis = I::kDeclaresDeleteThis;

// Fills DeleteThis: a new virtual after the interface's own, or the
// interface's declared slot, which must then be marked as an override.
template <class I>
class VUnknownDeleter : public I {
protected:
    virtual void DeleteThis() { delete this; }
};

template <VDeclaresDeleteThis I>
class VUnknownDeleter<I> : public I {
protected:
    void DeleteThis() override { delete this; }
};

// Implements the counting for an interface I (which derives from IVUnknown and
// declares its own static IID). The count starts at 1: the creator holds the
// first reference.
template <class I>
class VUnknown : public VUnknownDeleter<I> {
public:
    bool QueryInterface(const VGuid& iid, void** object) override {
        if (!object) return false;
        if (iid == I::IID || iid == IVUnknown::IID) {
            *object = static_cast<I*>(this);
            AddRef();
            return true;
        }
        *object = nullptr;
        return false;
    }
    long AddRef() override { return m_refs.fetch_add(1, std::memory_order_relaxed) + 1; }
    long Release() override {
        const long left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) this->DeleteThis();
        return left;
    }

protected:
    VUnknown() = default;
    VUnknown(const VUnknown&) : VUnknownDeleter<I>(), m_refs(1) {}
    VUnknown& operator=(const VUnknown&) { return *this; }
    ~VUnknown() override = default;

private:
    std::atomic<long> m_refs{1};
};

// Holds one reference to a counted object.
template <class T>
class VUnknownPointer {
public:
    VUnknownPointer() = default;
    // Takes over a reference the caller already owns (as from creation).
    static VUnknownPointer Adopt(T* object) {
        VUnknownPointer p;
        p.m_object = object;
        return p;
    }
    // Takes a new reference of its own.
    explicit VUnknownPointer(T* object) : m_object(object) {
        if (m_object) m_object->AddRef();
    }
    VUnknownPointer(const VUnknownPointer& other) : VUnknownPointer(other.m_object) {}
    VUnknownPointer(VUnknownPointer&& other) noexcept : m_object(other.m_object) {
        other.m_object = nullptr;
    }
    VUnknownPointer& operator=(VUnknownPointer other) noexcept {
        std::swap(m_object, other.m_object);
        return *this;
    }
    ~VUnknownPointer() { Reset(); }

    void Reset() {
        if (m_object) m_object->Release();
        m_object = nullptr;
    }
    T* Detach() {
        T* object = m_object;
        m_object = nullptr;
        return object;
    }
    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T* m_object = nullptr;
};

}  // namespace sessiondeck
