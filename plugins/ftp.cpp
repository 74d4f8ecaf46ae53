// FTP.so: plain FTP.
#include "plugins/common/protocol_config.h"
#include "plugins/common/session_pages.h"

using namespace sessiondeck;

namespace {
const plugin::ProtocolDescription kFtp{
    .protocolName = u"FTP",
    .portValueName = u"[FTP] Port",
    .defaultPort = 21,
    .hostValueName = u"Hostname",
    .transferSide = true,
    .options =
        {{.name = u"Passive Mode", .numberDefault = 1, .label = u"&Passive mode", .isFlag = true}},
};
SD_PROTOCOL_CREATE(CreateFtp, kFtp)
}  // namespace

SD_PROTOCOL_MODULE({&kFtp, &CreateFtp, &plugin::SessionPagesOf<kFtp>})
