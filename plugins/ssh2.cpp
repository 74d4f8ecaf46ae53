// SSH2.so: the SSH2 protocol and its predecessor SSH1, which share one module.
#include "plugins/common/protocol_config.h"

namespace {
const plugin::ProtocolDescription kSsh2{u"SSH2",
                                        u"[SSH2] Port",
                                        22,
                                        u"Hostname",
                                        false,
                                        {{u"Compression", false, 0, nullptr},
                                         {u"Key Exchange", true, 0, u"curve25519-sha256"},
                                         {u"Identity Filename", true, 0, u""}}};
const plugin::ProtocolDescription kSsh1{
    u"SSH1", u"[SSH1] Port",
    22,      u"Hostname",
    false,   {{u"Cipher", true, 0, u"3DES"}, {u"Identity Filename", true, 0, u""}}};
SD_PROTOCOL_CREATE(CreateSsh2, kSsh2)
SD_PROTOCOL_CREATE(CreateSsh1, kSsh1)
}  // namespace

SD_PROTOCOL_MODULE({&kSsh2, &CreateSsh2}, {&kSsh1, &CreateSsh1})
