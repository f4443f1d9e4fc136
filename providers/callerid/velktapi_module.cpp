// The caller-ID module (velktapi.so): the caller-ID provider, registered as a provider of idle
// content.
#include "platform/module.h"
#include "providers/callerid/velk_tapi_server.h"

namespace velk {
namespace {

std::span<const ModuleClass> Classes()
{
    static const ModuleClass kClasses[] = {
        {{CLSID_VelkTAPIServer, "Velk Caller ID Server", "VelkTAPI.VelkTAPIServer.1", "VelkTAPI.VelkTAPIServer",
          {CATID_VelkAsynchronousDataServices}},
         [] { return UnknownPtr(std::static_pointer_cast<IVelkDataObject>(
                  std::make_shared<CVelkTAPIServer>())); }},
    };
    return kClasses;
}

} // namespace
} // namespace velk

VELK_DEFINE_MODULE(velk::Classes)
