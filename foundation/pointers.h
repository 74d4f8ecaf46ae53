// VPodPointer and VPointer: owning pointers that delete the object they hold.
#pragma once

#include <memory>

namespace sessiondeck {

// Owns a plain object; deletes it when it goes out of scope.
template <class T>
class VPodPointer {
public:
    VPodPointer() = default;
    explicit VPodPointer(T* object) : m_object(object) {}
    VPodPointer& operator=(T* object) {
        m_object.reset(object);
        return *this;
    }
    T* operator->() const { return m_object.get(); }
    T& operator*() const { return *m_object; }
    T* Get() const { return m_object.get(); }
    T* Detach() { return m_object.release(); }
    explicit operator bool() const { return m_object != nullptr; }

private:
    std::unique_ptr<T> m_object;
};

// Owns a polymorphic object; deletes it through its virtual destructor.
template <class T>
class VPointer : public VPodPointer<T> {
public:
    using VPodPointer<T>::VPodPointer;
    using VPodPointer<T>::operator=;
};

}  // namespace sessiondeck
