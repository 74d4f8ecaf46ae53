// IRandomSource and VCapiRandomSource: where the random bytes of stored secrets come from.
#pragma once

#include <cstddef>

#include "foundation/export.h"
#include "foundation/unknown.h"

namespace sessiondeck {

// A reference-counted source of random bytes. Encoders take one so that tests
// can hand in a predictable source.
class IRandomSource : public IVUnknown {
public:
    static constexpr VGuid IID = {
        0x8b29a6fb, 0xf916, 0x45b6, {0xe5, 0x62, 0x46, 0x4e, 0x61, 0xc6, 0x46, 0x55}};
    // Fills size bytes; false when no random bytes could be had (the buffer is
    // then not to be used).
    virtual bool Fill(void* buffer, size_t size) = 0;
};

// Random bytes from the operating system's cryptographic random source.
class SESSIONDECK_API VCapiRandomSource : public VUnknown<IRandomSource> {
public:
    // A new source holding its first reference.
    static VUnknownPointer<IRandomSource> Create();
    bool Fill(void* buffer, size_t size) override;

protected:
    VCapiRandomSource() = default;
};

}  // namespace sessiondeck
