// The picture of a media renderer in the views, the General page and the window's title bar:
// drawn here, so that it looks the same whatever icon theme the desktop has. GUI thread.
#pragma once

#include <QIcon>

namespace velk {

QIcon RendererIcon();

} // namespace velk
