// Environment variables a test sets or clears for its own run, put back as they were when the
// guard goes out of scope, so no test leaks a variable into the next.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const char* name, const std::string& value) { Set(name, value); }
    ~ScopedEnv() {
        // Newest first, so a variable changed twice ends as it was before the first change.
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            it->second ? setenv(it->first.c_str(), it->second->c_str(), 1)
                       : unsetenv(it->first.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    ScopedEnv& Set(const char* name, const std::string& value) {
        Save(name);
        setenv(name, value.c_str(), 1);
        return *this;
    }
    ScopedEnv& Unset(const char* name) {
        Save(name);
        unsetenv(name);
        return *this;
    }

private:
    void Save(const char* name) {
        const char* value = std::getenv(name);
        m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// A fresh temporary folder on /dev/shm when it is writable: tests that kill a writer with SIGKILL
// test the process dying, not the machine losing power, so the disk's own flushing is not under
// test, and on a tmpfs each fsync is free.
inline std::unique_ptr<TempDir> MakeTempDirInMemory() {
    ScopedEnv env;
    if (access("/dev/shm", W_OK) == 0) env.Set("TMPDIR", "/dev/shm");
    return std::make_unique<TempDir>();
}
