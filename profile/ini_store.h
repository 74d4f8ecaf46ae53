// The INI file backend's public face: the store and its factory, the value-file size limit, and why
// and where reading a value file stopped.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/export.h"
#include "foundation/unicode_string.h"
#include "profile/profile_store.h"

namespace sessiondeck {

// ---- Value-file reading --------------------------------------------------------

// Why reading a value file stopped. Everything before the stop is kept;
// everything from the stopping value on is ignored (and lost on the next write).
enum class VIniStop {
    EndOfFile,            // the whole file was read
    MalformedLine,        // shorter than 5, or no ':' at 1 or '"' at 2
    NoClosingQuote,       // the name never ends
    NoEquals,             // the closing quote is not followed by '='
    UnknownType,          // not D, S, B or Z (lower case included)
    BadCount,             // D/B/Z: not exactly 8 hexadecimal digits
    BinaryOddDigit,       // a line ended after the first digit of a byte
    BinaryBadDigit,       // a byte that is not two hexadecimal digits
    BinaryEndOfFile,      // the file ended before all bytes were read
    ArrayNoLeadingSpace,  // an element line without its leading space
    ArrayEndOfFile,       // the file ended before all elements were read
    FileTooLarge,         // larger than kMaxValueFileSize: not read at all
};

// No value file the library writes comes near this size (sessions take a few
// kilobytes); a larger file is not read, is never overwritten (a handle that
// changes its values drops the changes, and IsWritable says false), and its
// key's report says the file is too large. This bounds the memory that one
// damaged or hostile file can take.
inline constexpr uint64_t kMaxValueFileSize = 16u * 1024 * 1024;

struct VIniParseResult {
    VIniStop stop = VIniStop::EndOfFile;
    // 1-based number of the header line of the value that was not taken
    // (0 when the whole file was read).
    size_t line = 0;
};

// A few words for `stop`, for messages ("a binary byte is not hexadecimal").
SESSIONDECK_API const char* DescribeIniStop(VIniStop stop);

// ---- Store and factory --------------------------------------------------------

class SESSIONDECK_API VIniFileStore : public VProfilePrivateStore {
public:
    explicit VIniFileStore(const VUnicodeString& folder);
    VProfilePrivateKey* OpenRootKey(bool readOnly) override;

private:
    VUnicodeString m_folder;
};

class SESSIONDECK_API VIniFileStoreFactory : public VProfileStoreFactory {
public:
    explicit VIniFileStoreFactory(const VUnicodeString& folder) : m_folder(folder) {}
    VProfilePrivateStore* CreateStore() override;
    const VUnicodeString& GetFolder() const { return m_folder; }
    // Reads the value file of the key at `keyPath` (key names joined with
    // "\\", empty for the root) as a key of this store does, and says where
    // reading stopped: EndOfFile when the file was whole or there is none.
    VIniParseResult ReadLoadResult(const VUnicodeString& keyPath) const;

private:
    VUnicodeString m_folder;
};

}  // namespace sessiondeck
