// VSecurityDescriptor: an opaque access-control blob, carried by the store and applied where the
// platform can.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/containers.h"
#include "foundation/export.h"

namespace sessiondeck {

// The store treats descriptors as opaque bytes. Its text form (used where a
// descriptor is kept as a string-array value) is one element: "SD:" followed
// by the bytes in lower-case hexadecimal.
class SESSIONDECK_API VSecurityDescriptor {
public:
    VSecurityDescriptor() = default;
    explicit VSecurityDescriptor(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    bool IsEmpty() const { return m_bytes.empty(); }

    VStringArray ToText() const;
    // Null when the elements are not a descriptor's text form.
    static std::optional<VSecurityDescriptor> FromText(const VStringArray& text);

    friend bool operator==(const VSecurityDescriptor& a, const VSecurityDescriptor& b) = default;

private:
    std::vector<uint8_t> m_bytes;
};

}  // namespace sessiondeck
