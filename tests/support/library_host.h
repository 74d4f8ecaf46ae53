// The library as a host application starts it, for tests: profile stores come from a factory of the
// test's own (an in-memory store unless told otherwise), the host's name picks its products, and
// real protocol modules can be loaded from a folder of the test's own. The shared state the library
// keeps between calls (the global options, the protocol table, the store factory) is put back when
// the guard goes out of scope, so no test sees another's.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <vector>

#include "app/global_config.h"
#include "app/init.h"
#include "app/protocol_loader.h"
#include "session/connect_protocol_table.h"
#include "support/memory_store.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

class LibraryHost {
public:
    explicit LibraryHost(const char16_t* host = u"Vetralon",
                         VProfileStoreFactory* factory = nullptr) {
        UseFactory(factory ? factory : &memory);
        Become(host);
    }
    ~LibraryHost() {
        GetConnectProtocolTable().ResetForTesting();
        ResetGlobal();
        Current() = nullptr;
    }
    LibraryHost(const LibraryHost&) = delete;
    LibraryHost& operator=(const LibraryHost&) = delete;

    // Stores opened through the library from now on come from `factory`.
    void UseFactory(VProfileStoreFactory* factory) {
        Current() = factory;
        SessionDeckDllInitProfileFactory([] { return Current(); });
    }
    // Starts anew as `host`: no global options read yet, no protocol loaded.
    void Become(const char16_t* host) {
        SessionDeckDllInit(host, nullptr);
        ResetGlobal();
        GetConnectProtocolTable().ResetForTesting();
    }
#ifdef SESSIONDECK_PROTOCOL_DIR
    // Loads `product` from a fresh folder holding only the named real modules; false, with
    // `report` set, when the loader refuses.
    bool LoadProtocols(int product, std::initializer_list<const char*> names,
                       VReportMessageParams* report = nullptr) {
        TempDir& folder = *folders.emplace_back(std::make_unique<TempDir>());
        for (const char* name : names)
            std::filesystem::copy_file(std::filesystem::path(SESSIONDECK_PROTOCOL_DIR) / name,
                                       folder / name);
        VAppFnTable fns;
        VReportMessageParams ignored;
        bool offerDownload = false;
        return LoadConnectionProtocolDlls(fns, product,
                                          VUnicodeString::FromUtf8(folder.path().string()).c_str(),
                                          nullptr, offerDownload, report ? *report : ignored);
    }
#endif

    MemoryStoreFactory memory;

private:
    static VProfileStoreFactory*& Current() {
        static VProfileStoreFactory* factory = nullptr;
        return factory;
    }
    static void ResetGlobal() {
        GlobalConfig* none = nullptr;
        ResetGlobalConfig(none);
    }
    std::vector<std::unique_ptr<TempDir>> folders;
};
