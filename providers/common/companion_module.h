// A provider's pages live in a companion module beside the provider's own ("velktime.so" has
// "velktime_ui.so"), so that the service, which loads providers, never loads the user-interface
// toolkit: the module is loaded only when pages are asked for, in the process that shows them,
// and stays loaded for the life of the process. Any thread.
#pragma once

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/hresult.h"
#include "velk/property_sheet_page.h"

namespace velk {

// What a companion module exports: the page records for the provider object owner.
extern "C" {
using VelkCreatePropSheetPagesFn = HRESULT (*)(const UnknownPtr* owner,
                                               std::vector<HPROPSHEETPAGE>* pages);
}
inline constexpr const char* kCreatePropSheetPagesEntry = "VelkCreatePropSheetPages";

class CompanionModule {
public:
    // The companion's path for the module at module_path.
    static std::string PathFor(const std::string& module_path);

    // Loads the companion of the module holding module_address and asks it for the owner's
    // pages: CO_E_DLLNOTFOUND when it is missing or cannot be loaded, CO_E_ERRORINDLL when it
    // lacks the entry point.
    static HRESULT CreatePages(const void* module_address, const UnknownPtr& owner,
                               std::vector<HPROPSHEETPAGE>& pages);

    // Hands the owner's pages from that companion to a sheet's callback: E_OUTOFMEMORY when
    // the companion makes no page, E_FAIL when the sheet refuses one (the refused record goes,
    // and with it its reference to the owner).
    static HRESULT AddPages(const AddPropSheetPageFn& lpfnAddPage, const void* module_address,
                            const UnknownPtr& owner);
};

} // namespace velk

// Exports a companion module's entry point, given a function
// `HRESULT f(const UnknownPtr& owner, std::vector<HPROPSHEETPAGE>& pages)`.
#define VELK_DEFINE_COMPANION_MODULE(create_pages_function)                                      \
    extern "C" __attribute__((visibility("default"))) velk::HRESULT VelkCreatePropSheetPages(   \
        const velk::UnknownPtr* owner, std::vector<velk::HPROPSHEETPAGE>* pages)                  \
    {                                                                                             \
        if (!owner || !pages)                                                                     \
            return velk::E_POINTER;                                                               \
        try {                                                                                     \
            return create_pages_function(*owner, *pages);                                         \
        } catch (const std::bad_alloc&) {                                                         \
            return velk::E_OUTOFMEMORY;                                                           \
        }                                                                                         \
    }
