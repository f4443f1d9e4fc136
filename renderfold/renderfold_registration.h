// What `renderfold --regserver` writes so that the window finds its common pages: the handler
// class of the pages (this library's module entry, InprocServer32 = the library), listed under
// HKCR\MediaRenderer\shellex\PropertySheetHandlers as "Common Property Pages", and the values of
// HKCR\MediaRenderer that say which properties the views show. `--unregserver` removes what it
// wrote and leaves other modules' keys under MediaRenderer alone. Any thread.
#pragma once

#include <span>

#include "platform/hresult.h"
#include "platform/module.h"

namespace velk {

// This library's class table (its module entry points serve it).
std::span<const ModuleClass> RenderfoldClasses();

HRESULT RegisterRenderfold();
HRESULT UnregisterRenderfold();

} // namespace velk
