// The handlers registered for an association class: the subkeys of
// HKCR\<class>\shellex\<kind> ("ContextMenuHandlers", "PropertySheetHandlers") whose names are
// class ids, created in-process. Subkeys whose names are no class ids are ignored; a handler that
// cannot be created is skipped, so one broken module never hides the others. Any thread.
#pragma once

#include <string_view>
#include <vector>

#include "platform/guid.h"
#include "platform/hresult.h"
#include "platform/unknown.h"
#include "velk/media_renderer.h"

namespace velk {

inline constexpr std::string_view kContextMenuHandlers = "ContextMenuHandlers";
inline constexpr std::string_view kPropertySheetHandlers = "PropertySheetHandlers";

// The class ids registered under the class's key, in registry order. S_FALSE when the class has
// no such key.
HRESULT ShellHandlerClasses(std::string_view association_class, std::string_view kind,
                            std::vector<Guid>& classes);

// The handlers themselves, created from those class ids.
HRESULT CreateShellHandlers(std::string_view association_class, std::string_view kind,
                            std::vector<UnknownPtr>& handlers);

// Hands the items to each property-sheet handler of the class (IShellExtInit) and lets it add its
// pages (IShellPropSheetExt), in registry order; a handler that refuses the items or has no pages
// is passed over. The pages hold their handlers. The number of handlers that added pages.
int AddShellPropertyPages(std::string_view association_class,
                          const std::shared_ptr<IDataObject>& data_object,
                          const AddPropSheetPageFn& add_page);

} // namespace velk
