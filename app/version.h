// The library's version: the macros a host was compiled with, and the version of the library it
// runs with.
#pragma once

#include "foundation/export.h"
#include "sessiondeck_version.h"

namespace sessiondeck {

struct SessionDeckVersion {
    int major;
    int minor;
    int patch;
};

// The version of the shared library actually loaded, which may be newer than
// the SESSIONDECK_VERSION_* macros the host was built with. A host built
// against major version N should refuse a library whose major differs.
SESSIONDECK_API SessionDeckVersion GetSessionDeckVersion();
// The same as text, "major.minor.patch".
SESSIONDECK_API const char* GetSessionDeckVersionString();

}  // namespace sessiondeck
