// ISynchObject: a reference-counted object that callers lock around a group of changes.
#pragma once

#include "foundation/unknown.h"

namespace sessiondeck {

class ISynchObject : public IVUnknown {
public:
    static constexpr VGuid IID = {
        0x4b7e2a31, 0x6c0d, 0x4f52, {0x9a, 0x1e, 0x3d, 0x70, 0x25, 0xc4, 0x8b, 0x16}};
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

}  // namespace sessiondeck
