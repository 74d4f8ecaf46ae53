// A loaded shared module and its entry points: the one place that calls dlopen, dlsym and dlclose.
#pragma once

#include <string>

namespace sessiondeck {

// Owns one loaded module; the module is unloaded when the object is destroyed
// or closed. Move-only, so exactly one owner unloads it.
class VDynamicLibrary {
public:
    VDynamicLibrary() = default;
    ~VDynamicLibrary() { Close(); }
    VDynamicLibrary(VDynamicLibrary&& other) noexcept : m_handle(other.m_handle) {
        other.m_handle = nullptr;
    }
    VDynamicLibrary& operator=(VDynamicLibrary&& other) noexcept;
    VDynamicLibrary(const VDynamicLibrary&) = delete;
    VDynamicLibrary& operator=(const VDynamicLibrary&) = delete;

    // Loads the module at `path` (UTF-8), resolving all its symbols now. On
    // failure returns false, keeps whatever module was held before, and puts
    // the loader's explanation in `error`. An empty path, or one holding a NUL,
    // is refused without asking the loader (which would hand back the program).
    bool Open(const std::string& path, std::string& error);

    // The address of the entry point `name`, or null with the loader's
    // explanation in `error` when the module has none.
    void* Symbol(const char* name, std::string& error) const;

    bool IsLoaded() const { return m_handle != nullptr; }
    // Gives up ownership: the module stays loaded for the rest of the process
    // and its handle is returned.
    void* Release() {
        void* handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void Close();

private:
    void* m_handle = nullptr;
};

// The file of the loaded shared object (the library or program) that holds
// `address`, as the loader reports it; empty when the loader cannot tell.
std::string SharedObjectPathOf(const void* address);

}  // namespace sessiondeck
