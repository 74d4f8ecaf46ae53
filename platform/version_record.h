// File version records: how an executable of the product family states its version on this
// platform.
//
// Windows keeps a version resource in every executable; here an executable
// carries a small text record anywhere in its bytes:
//
//     "@(#)SessionDeckFileVersion " MAJOR "." MINOR "." BUILD "." REVISION
//
// ended by a NUL or a line break, each number a decimal of at most 5 digits
// (0..65535). Our own programs embed it with SESSIONDECK_VERSION_RECORD; a
// script or test fixture can simply contain the line. The first record in the
// file counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sessiondeck {

struct VFileVersion {
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t build = 0;
    uint16_t revision = 0;
};

inline constexpr char kVersionRecordMarker[] = "@(#)SessionDeckFileVersion ";

// Null when the file cannot be read or holds no well-formed record.
std::optional<VFileVersion> ReadFileVersion(const std::string& path);

#define SESSIONDECK_VERSION_STRINGIFY2(x) #x
#define SESSIONDECK_VERSION_STRINGIFY(x) SESSIONDECK_VERSION_STRINGIFY2(x)
// Embeds a version record in the program that expands it (at namespace scope).
#define SESSIONDECK_VERSION_RECORD(major, minor, build, revision) \
    [[gnu::used]] static const char sessiondeck_version_record[] =                         \
        "@(#)SessionDeckFileVersion " SESSIONDECK_VERSION_STRINGIFY(major) "." SESSIONDECK_VERSION_STRINGIFY( \
            minor) "." SESSIONDECK_VERSION_STRINGIFY(build) "." SESSIONDECK_VERSION_STRINGIFY(revision)

}  // namespace sessiondeck
