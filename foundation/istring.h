// IString and VUnicodeStringI: the out-parameter through which a callee hands a string to its
// caller.
#pragma once

#include <cstddef>

#include "foundation/unicode_string.h"

namespace sessiondeck {

class IString {
public:
    virtual void Set(const char16_t* text, size_t length) = 0;
    virtual const char16_t* Get() const = 0;

protected:
    ~IString() = default;
};

// Implements IString over a VUnicodeString that the caller owns.
class VUnicodeStringI final : public IString {
public:
    explicit VUnicodeStringI(VUnicodeString& target) : m_target(target) {}
    void Set(const char16_t* text, size_t length) override {
        m_target = text ? VUnicodeString(text, length) : VUnicodeString();
    }
    const char16_t* Get() const override { return m_target.c_str(); }

private:
    VUnicodeString& m_target;
};

}  // namespace sessiondeck
