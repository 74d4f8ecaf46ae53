// IBuffer and VBasicBuffer: a reference-counted growable byte buffer used to hand serialised data
// to the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/unknown.h"

namespace sessiondeck {

class IBuffer : public IVUnknown {
public:
    static constexpr VGuid IID = {0x5d1e0001, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual const uint8_t* GetData() const = 0;
    virtual uint8_t* GetData() = 0;
    virtual size_t GetSize() const = 0;
    virtual void SetSize(size_t size) = 0;
    virtual void Append(const void* data, size_t size) = 0;
};

class VBasicBuffer : public VUnknown<IBuffer> {
public:
    VBasicBuffer() = default;
    explicit VBasicBuffer(size_t size) : m_bytes(size) {}

    const uint8_t* GetData() const override { return m_bytes.data(); }
    uint8_t* GetData() override { return m_bytes.data(); }
    size_t GetSize() const override { return m_bytes.size(); }
    void SetSize(size_t size) override { m_bytes.resize(size); }
    void Append(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), bytes, bytes + size);
    }

private:
    std::vector<uint8_t> m_bytes;
};

}  // namespace sessiondeck
