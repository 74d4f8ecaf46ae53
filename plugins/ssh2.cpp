// SSH2.so: the SSH2 protocol and its predecessor SSH1, which share one module.
#include "plugins/common/protocol_config.h"
#include "plugins/common/session_pages.h"

using namespace sessiondeck;

namespace {
const plugin::ProtocolDescription kSsh2{
    .protocolName = u"SSH2",
    .portValueName = u"[SSH2] Port",
    .defaultPort = 22,
    .hostValueName = u"Hostname",
    .options =
        {{.name = u"Compression", .numberDefault = 0, .label = u"&Compression", .isFlag = true},
         {.name = u"Key Exchange",
          .isText = true,
          .textDefault = u"curve25519-sha256",
          .label = u"&Key exchange:"},
         {.name = u"Identity Filename",
          .isText = true,
          .textDefault = u"",
          .label = u"&Identity file (private key):",
          .isFile = true}},
};
const plugin::ProtocolDescription kSsh1{
    .protocolName = u"SSH1",
    .portValueName = u"[SSH1] Port",
    .defaultPort = 22,
    .hostValueName = u"Hostname",
    .options = {{.name = u"Cipher", .isText = true, .textDefault = u"3DES", .label = u"C&ipher:"},
                {.name = u"Identity Filename",
                 .isText = true,
                 .textDefault = u"",
                 .label = u"&Identity file (private key):",
                 .isFile = true}},
};
SD_PROTOCOL_CREATE(CreateSsh2, kSsh2)
SD_PROTOCOL_CREATE(CreateSsh1, kSsh1)
}  // namespace

SD_PROTOCOL_MODULE({&kSsh2, &CreateSsh2, &plugin::SessionPagesOf<kSsh2>},
                   {&kSsh1, &CreateSsh1, &plugin::SessionPagesOf<kSsh1>})
