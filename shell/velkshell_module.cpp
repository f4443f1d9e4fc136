// The Melodeck players' module (velkshell.so): the context-menu handler and the property-sheet
// handler, registered as classes and as the handlers of the association class
// "MediaRenderer\Velk" (the items of players whose manufacturer is Velk).
#include <span>

#include "platform/module.h"
#include "platform/reg_key.h"
#include "platform/shell_handlers.h"
#include "shell/velk_menu.h"
#include "shell/velk_property_pages.h"

namespace velk {

namespace {

constexpr const char* kHandlerName = "Velk Melodeck";

std::span<const ModuleClass> Classes()
{
    static const ModuleClass classes[] = {
        {{CLSID_VelkMenu, "VelkMenu Class", "", ""},
         [] { return UnknownPtr(std::static_pointer_cast<IContextMenu>(std::make_shared<CVelkMenu>())); }},
        {{CLSID_VelkPropertyPages, "Velk Melodeck Property Pages", "", ""},
         [] {
             return UnknownPtr(
                 std::static_pointer_cast<IShellPropSheetExt>(std::make_shared<CVelkPropertyPages>()));
         }},
    };
    return classes;
}

struct Handler {
    std::string_view kind;
    const Guid& clsid;
};

const Handler kHandlers[] = {
    {kContextMenuHandlers, CLSID_VelkMenu},
    {kPropertySheetHandlers, CLSID_VelkPropertyPages},
};

std::string HandlersKey(std::string_view kind)
{
    return std::string(kMelodeckPlayerClass) + "\\shellex\\" + std::string(kind);
}

HRESULT RegisterHandlers()
{
    for (const Handler& handler : kHandlers) {
        RegKey key;
        HRESULT hr = key.Create(Hive::ClassesRoot, HandlersKey(handler.kind) + "\\" + handler.clsid.ToString());
        if (SUCCEEDED(hr))
            hr = key.SetStringValue("", kHandlerName);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT UnregisterHandlers()
{
    HRESULT result = S_OK;
    for (const Handler& handler : kHandlers) {
        RegKey key;
        if (FAILED(key.Open(Hive::ClassesRoot, HandlersKey(handler.kind), RegAccess::All)))
            continue;
        const HRESULT hr = key.DeleteTree(handler.clsid.ToString());
        if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            result = hr;
    }
    return result;
}

} // namespace

} // namespace velk

// The module's entry points: the classes as every module registers them, and the handler keys.
extern "C" __attribute__((visibility("default"))) velk::HRESULT VelkGetClassObject(
    const velk::Guid* clsid, std::shared_ptr<velk::IClassFactory>* factory)
{
    return velk::ModuleGetClassObject(velk::Classes(), clsid, factory);
}

extern "C" __attribute__((visibility("default"))) velk::HRESULT VelkRegisterServer()
{
    try {
        const velk::HRESULT hr = velk::ModuleRegisterServer(
            velk::Classes(), reinterpret_cast<const void*>(&VelkRegisterServer));
        return velk::FAILED(hr) ? hr : velk::RegisterHandlers();
    } catch (const std::bad_alloc&) {
        return velk::E_OUTOFMEMORY;
    }
}

extern "C" __attribute__((visibility("default"))) velk::HRESULT VelkUnregisterServer()
{
    try {
        const velk::HRESULT handlers = velk::UnregisterHandlers();
        const velk::HRESULT classes = velk::ModuleUnregisterServer(velk::Classes());
        return velk::FAILED(classes) ? classes : handlers;
    } catch (const std::bad_alloc&) {
        return velk::E_OUTOFMEMORY;
    }
}
