#include "providers/common/companion_module.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/class_registry.h"

namespace velk {

std::string CompanionModule::PathFor(const std::string& module_path)
{
    std::filesystem::path path(module_path);
    const std::string companion = path.stem().string() + "_ui" + path.extension().string();
    return path.replace_filename(companion).string();
}

HRESULT CompanionModule::CreatePages(const void* module_address, const UnknownPtr& owner,
                                     std::vector<HPROPSHEETPAGE>& pages)
{
    const std::string module_path = ClassRegistry::ModulePathOf(module_address);
    if (module_path.empty())
        return CO_E_DLLNOTFOUND;
    // Never closed: the pages' code must outlive every page made from it.
    void* handle = dlopen(PathFor(module_path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return CO_E_DLLNOTFOUND;
    auto create = reinterpret_cast<VelkCreatePropSheetPagesFn>(
        dlsym(handle, kCreatePropSheetPagesEntry));
    if (!create)
        return CO_E_ERRORINDLL;
    return create(&owner, &pages);
}

HRESULT CompanionModule::AddPages(const AddPropSheetPageFn& lpfnAddPage,
                                  const void* module_address, const UnknownPtr& owner)
{
    if (!lpfnAddPage)
        return E_POINTER;
    std::vector<HPROPSHEETPAGE> pages;
    HRESULT hr = CreatePages(module_address, owner, pages);
    if (FAILED(hr))
        return hr;
    if (pages.empty())
        return E_OUTOFMEMORY;
    for (auto& page : pages) {
        if (!lpfnAddPage(page))
            return E_FAIL;
    }
    return S_OK;
}

} // namespace velk
