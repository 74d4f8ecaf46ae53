// A protocol module that fails to load in the one way its build define names.
#include <stdexcept>

#include "foundation/messages.h"
#include "session/connect_config.h"

using namespace sessiondeck;

#define SD_EXPORT extern "C" __attribute__((visibility("default")))

#ifdef SD_FAILING_WRONG_GUID
static const VGuid kGuid = {
    0x5da32824, 0xa4be, 0x4671, {0x97, 0x24, 0xbd, 0x90, 0x91, 0xca, 0xdf, 0xb4}};
#else
static const VGuid kGuid = kConnectProtocolGuid;
#endif

SD_EXPORT const VGuid* GetProtocolGuid() {
    return &kGuid;
}

#ifndef SD_FAILING_NO_LOAD_EXPORT
SD_EXPORT bool LoadProtocol(VAppFnTable&, ConnectProtocolTableElement* element,
                            IReportMessageParams* report) {
    (void)report;
    (void)element;
#if defined(SD_FAILING_LOAD_THROWS)
    throw std::runtime_error("module failure");
#elif defined(SD_FAILING_LOAD_FAILS)
    report->SetMessage(kMsgProtocolNotSupported);
    report->AddInsert(element->protocolName.c_str());
    return false;
#else
    element->Create = &NoneConfig::Create;
    return true;
#endif
}
#endif
