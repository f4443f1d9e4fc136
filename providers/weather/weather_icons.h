// Our own monochrome pictures of the weather conditions, 32x32 for the large display and 16x16
// for the others: one picture for each group of condition codes (0-47). Dark pixels are the
// ones the player lights. Any thread.
#pragma once

#include "platform/bitmap.h"

namespace velk {

// The picture for the condition code at size 32 or 16; an empty bitmap for codes outside the
// table (48 and above, the feed's "not available" among them, and negative ones).
Bitmap WeatherIcon(long code, int size);

} // namespace velk
