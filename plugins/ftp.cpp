// FTP.so: plain FTP.
#include "plugins/common/protocol_config.h"

namespace {
const plugin::ProtocolDescription kFtp{
    u"FTP", u"[FTP] Port", 21, u"Hostname", true, {{u"Passive Mode", false, 1, nullptr}}};
SD_PROTOCOL_CREATE(CreateFtp, kFtp)
}  // namespace

SD_PROTOCOL_MODULE({&kFtp, &CreateFtp})
