// The cryptographic random source over platform/crypto.
#include "profile/random_source.h"

#include "platform/crypto.h"

namespace sessiondeck {

VUnknownPointer<IRandomSource> VCapiRandomSource::Create() {
    return VUnknownPointer<IRandomSource>::Adopt(new VCapiRandomSource());
}

bool VCapiRandomSource::Fill(void* buffer, size_t size) {
    return CryptoRandomBytes(buffer, size);
}

}  // namespace sessiondeck
