// The mail module (velkmail.so): the mail provider, registered as a provider of idle content.
#include "platform/module.h"
#include "providers/mail/velk_mail_server.h"

namespace velk {
namespace {

std::span<const ModuleClass> Classes()
{
    static const ModuleClass kClasses[] = {
        {{CLSID_VelkMailServer, "Velk Mail Server", "VelkMail.VelkMailServer.1", "VelkMail.VelkMailServer",
          {CATID_VelkSynchronousDataServices}},
         [] { return UnknownPtr(std::static_pointer_cast<IVelkDataObject>(
                  std::make_shared<CVelkMailServer>())); }},
    };
    return kClasses;
}

} // namespace
} // namespace velk

VELK_DEFINE_MODULE(velk::Classes)
