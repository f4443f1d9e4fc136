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

} // namespace velk
