// SFTP.so: file transfer over SSH2.
#include "plugins/common/protocol_config.h"
#include "plugins/common/session_pages.h"

using namespace sessiondeck;

namespace {
const plugin::ProtocolDescription kSftp{
    .protocolName = u"SFTP",
    .portValueName = u"[SFTP] Port",
    .defaultPort = 22,
    .hostValueName = u"Hostname",
    .transferSide = true,
    .options = {{.name = u"Identity Filename",
                 .isText = true,
                 .textDefault = u"",
                 .label = u"&Identity file (private key):",
                 .isFile = true}},
};
SD_PROTOCOL_CREATE(CreateSftp, kSftp)
}  // namespace

SD_PROTOCOL_MODULE({&kSftp, &CreateSftp, &plugin::SessionPagesOf<kSftp>})
