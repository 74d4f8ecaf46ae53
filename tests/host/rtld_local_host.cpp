// A program that opens a plug-in embedding SessionDeck with RTLD_LOCAL and runs it; exits 0 when
// the plug-in loaded every protocol module.
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PLUGIN EXPECTED-MODULE-FOLDER\n", argv[0]);
        return 2;
    }
    void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!plugin) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    using Run = int (*)(const char*, char*, size_t);
    auto run = reinterpret_cast<Run>(dlsym(plugin, "RunEmbeddedHost"));
    if (!run) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    char message[4096] = {};
    const int result = run(argv[2], message, sizeof message);
    std::printf("%s\n", message);
    return result;
}
