#include "platform/shell_handlers.h"

#include <string>

#include "platform/class_registry.h"
#include "platform/reg_key.h"

namespace velk {

HRESULT ShellHandlerClasses(std::string_view association_class, std::string_view kind,
                            std::vector<Guid>& classes)
{
    classes.clear();
    RegKey key;
    const std::string path = std::string(association_class) + "\\shellex\\" + std::string(kind);
    if (FAILED(key.Open(Hive::ClassesRoot, path)))
        return S_FALSE;
    std::vector<std::string> names;
    const HRESULT hr = key.EnumKeys(names);
    if (FAILED(hr))
        return hr;
    for (const std::string& name : names) {
        if (auto clsid = Guid::Parse(name))
            classes.push_back(*clsid);
    }
    return S_OK;
}

HRESULT CreateShellHandlers(std::string_view association_class, std::string_view kind,
                            std::vector<UnknownPtr>& handlers)
{
    handlers.clear();
    std::vector<Guid> classes;
    const HRESULT hr = ShellHandlerClasses(association_class, kind, classes);
    for (const Guid& clsid : classes) {
        UnknownPtr handler;
        if (SUCCEEDED(ClassRegistry::CreateInstance(clsid, handler)))
            handlers.push_back(std::move(handler));
    }
    return hr;
}

int AddShellPropertyPages(std::string_view association_class,
                          const std::shared_ptr<IDataObject>& data_object,
                          const AddPropSheetPageFn& add_page)
{
    std::vector<UnknownPtr> handlers;
    CreateShellHandlers(association_class, kPropertySheetHandlers, handlers);
    int adding = 0;
    for (const UnknownPtr& handler : handlers) {
        auto init = std::dynamic_pointer_cast<IShellExtInit>(handler);
        auto pages = std::dynamic_pointer_cast<IShellPropSheetExt>(handler);
        if (!init || !pages || FAILED(init->Initialize(data_object)))
            continue;
        bool added = false;
        pages->AddPages([&](const HPROPSHEETPAGE& page) {
            const bool taken = add_page(page);
            added = added || taken;
            return taken;
        });
        adding += added ? 1 : 0;
    }
    return adding;
}

} // namespace velk
