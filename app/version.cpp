// The version compiled into the shared library.
#include "app/version.h"

namespace sessiondeck {

SessionDeckVersion GetSessionDeckVersion() {
    return {SESSIONDECK_VERSION_MAJOR, SESSIONDECK_VERSION_MINOR, SESSIONDECK_VERSION_PATCH};
}

const char* GetSessionDeckVersionString() {
    return SESSIONDECK_VERSION_STRING;
}

}  // namespace sessiondeck
