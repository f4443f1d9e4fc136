// Classes by class id: creation from plug-in modules named in the registry, registration of
// modules and their classes, ProgIDs, user type names and component categories. The keys are
// those of the system's registry layout under HKCR (CLSID\{...}\InprocServer32, ProgIDs,
// Component Categories). A loaded module stays loaded for the life of the process, so no
// object can outlive its code. Any thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/guid.h"
#include "platform/hresult.h"
#include "platform/unknown.h"

namespace velk {

// A module's class object: makes instances of one class.
class IClassFactory : public IUnknown {
public:
    virtual HRESULT CreateInstance(UnknownPtr& object) = 0;
};

// What registration writes for a class.
struct ClassInfo {
    Guid clsid;
    std::string user_type_name;
    std::string prog_id;                    // "VelkTime.TimeServer.1"; may be empty
    std::string version_independent_prog_id; // "VelkTime.TimeServer"; may be empty
    std::vector<Guid> implemented_categories = {};
    // The server: a module (InprocServer32) unless local_server names a program.
    bool local_server = false;
    std::string threading_model = "Apartment";
};

// The entry points every plug-in module exports (see module.h, which defines them).
extern "C" {
using VelkGetClassObjectFn = HRESULT (*)(const Guid* clsid, std::shared_ptr<IClassFactory>* factory);
using VelkRegisterServerFn = HRESULT (*)();
using VelkUnregisterServerFn = HRESULT (*)();
}

class ClassRegistry {
public:
    // Creates an instance of a registered in-process class: REGDB_E_CLASSNOTREG for a class
    // not registered, CO_E_DLLNOTFOUND / CO_E_ERRORINDLL when its module is missing or
    // unusable, CLASS_E_CLASSNOTAVAILABLE when the module does not make the class.
    static HRESULT CreateInstance(const Guid& clsid, UnknownPtr& object);
    template <class T>
    static HRESULT CreateInstance(const Guid& clsid, std::shared_ptr<T>& object)
    {
        UnknownPtr unknown;
        HRESULT hr = CreateInstance(clsid, unknown);
        if (FAILED(hr))
            return hr;
        object = std::dynamic_pointer_cast<T>(unknown);
        return object ? S_OK : E_NOINTERFACE;
    }

    // Loads the module at path and calls its registration or unregistration entry point.
    static HRESULT RegisterModule(const std::string& path);
    static HRESULT UnregisterModule(const std::string& path);

    // What a module's registration entry point writes, server_path being the module's (or,
    // for a local server, the program's) absolute path.
    static HRESULT RegisterClass(const ClassInfo& info, const std::string& server_path);
    // Removes the class key and its ProgIDs; categories stay.
    static HRESULT UnregisterClass(const ClassInfo& info);

    // HKCR\Component Categories\{catid} with its "409" (English) description.
    static HRESULT RegisterCategory(const Guid& catid, std::string_view description);
    // The registered classes that implement a category, in class id order.
    static HRESULT ClassesOfCategory(const Guid& catid, std::vector<Guid>& classes);

    // The class's full user type name (its key's default value).
    static HRESULT UserTypeName(const Guid& clsid, std::string& name);
    static HRESULT ClassFromProgId(std::string_view prog_id, Guid& clsid);

    // The absolute path of the module (or program) holding the code at address.
    static std::string ModulePathOf(const void* address);
};

} // namespace velk
