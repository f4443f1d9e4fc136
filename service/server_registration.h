// The program's own entries in the registry, in the layout that every client of the service
// looks up: the AppID, the provider component categories, the three creatable classes (root
// object, display capture, region) served by the program, the type library, and the service's
// keys under HKLM. Written and removed as one layout; the component categories are never
// removed, as providers of other packages name them. Any thread, one registration at a time.
#pragma once

#include <filesystem>

#include "platform/hresult.h"

namespace velk {

class ServerRegistration {
public:
    // program: the absolute path that LocalServer32 and the type library name.
    static HRESULT Register(const std::filesystem::path& program);
    static HRESULT Unregister();

    // "LocalService" = "Velk" under the AppID (service) or no such value (plain server).
    static HRESULT SetLocalService(bool service);
    // True when the AppID holds a string "LocalService": the program runs as the service.
    static bool IsLocalService();
};

} // namespace velk
