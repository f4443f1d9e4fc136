// The user's choice of what double-clicking a renderer does: HKCU "SOFTWARE\Velk\Settings"
// value "DoubleClick" (REG_DWORD), non-zero opens its web page, 0 or absent its property pages.
// Any thread.
#pragma once

#include "platform/hresult.h"

namespace velk {

bool DoubleClickOpensWebPage();
// Writes 1 or 0, creating the key.
HRESULT SetDoubleClickOpensWebPage(bool web_page);

} // namespace velk
