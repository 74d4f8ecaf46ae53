// dlopen/dlsym behind VDynamicLibrary.
#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace sessiondeck {

namespace {

std::string TakeLoaderError(const char* fallback) {
    const char* text = dlerror();
    return text ? std::string(text) : std::string(fallback);
}

}  // namespace

VDynamicLibrary& VDynamicLibrary::operator=(VDynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        other.m_handle = nullptr;
    }
    return *this;
}

bool VDynamicLibrary::Open(const std::string& path, std::string& error) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        error = "invalid module file name";
        return false;
    }
    dlerror();  // clear any stale message so the one we report is ours
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        error = TakeLoaderError("the module could not be loaded");
        return false;
    }
    Close();
    m_handle = handle;
    return true;
}

void* VDynamicLibrary::Symbol(const char* name, std::string& error) const {
    if (!m_handle || !name) {
        error = "no module loaded";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(m_handle, name);
    if (!address) error = TakeLoaderError("the entry point has a null address");
    return address;
}

void VDynamicLibrary::Close() {
    if (m_handle) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
}

std::string SharedObjectPathOf(const void* address) {
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname) return {};
    return info.dli_fname;
}

}  // namespace sessiondeck
