// TAPI.so: dial-up through a modem; its "host" is the phone number.
#include "plugins/common/protocol_config.h"
#include "plugins/common/session_pages.h"

using namespace sessiondeck;

namespace {
const plugin::ProtocolDescription kTapi{
    .protocolName = u"TAPI",
    .hostValueName = u"Phone Number",
    .options =
        {{.name = u"Modem", .isText = true, .textDefault = u"", .label = u"&Modem:"},
         {.name = u"Country Code", .numberDefault = 1, .label = u"C&ountry code:"},
         {.name = u"Area Code", .isText = true, .textDefault = u"", .label = u"&Area code:"}},
};
SD_PROTOCOL_CREATE(CreateTapi, kTapi)
}  // namespace

SD_PROTOCOL_MODULE({&kTapi, &CreateTapi, &plugin::SessionPagesOf<kTapi>})
