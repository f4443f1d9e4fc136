// The time provider's module (velktime.so): its one class, registered as a provider of idle
// content.
#include "platform/module.h"
#include "providers/time/velk_time_server.h"

namespace velk {
namespace {

std::span<const ModuleClass> Classes()
{
    static const ModuleClass kClasses[] = {
        {{CLSID_VelkTimeServer, "Velk Time Server", "Velk.VelkTimeServer.1", "Velk.VelkTimeServer",
          {CATID_VelkSynchronousDataServices}},
         [] { return UnknownPtr(std::static_pointer_cast<IVelkDataObject>(
                  std::make_shared<CVelkTimeServer>())); }},
    };
    return kClasses;
}

} // namespace
} // namespace velk

VELK_DEFINE_MODULE(velk::Classes)
