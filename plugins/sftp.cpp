// SFTP.so: file transfer over SSH2.
#include "plugins/common/protocol_config.h"

namespace {
const plugin::ProtocolDescription kSftp{
    u"SFTP", u"[SFTP] Port", 22, u"Hostname", true, {{u"Identity Filename", true, 0, u""}}};
SD_PROTOCOL_CREATE(CreateSftp, kSftp)
}  // namespace

SD_PROTOCOL_MODULE({&kSftp, &CreateSftp})
