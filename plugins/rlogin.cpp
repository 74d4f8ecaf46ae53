// RLogin.so: remote login.
#include "plugins/common/protocol_config.h"

namespace {
const plugin::ProtocolDescription kRLogin{u"RLogin", u"[RLogin] Port",
                                          513,       u"Hostname",
                                          false,     {{u"Terminal Speed", false, 38400, nullptr}}};
SD_PROTOCOL_CREATE(CreateRLogin, kRLogin)
}  // namespace

SD_PROTOCOL_MODULE({&kRLogin, &CreateRLogin})
