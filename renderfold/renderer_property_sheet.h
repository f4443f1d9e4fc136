// A renderer's property sheet: the pages of the property-sheet handlers registered for its
// association classes ("MediaRenderer", then "MediaRenderer\<manufacturer>"), in that order.
// GUI thread; modal.
#pragma once

#include <memory>

#include "velk/media_renderer.h"

class QWidget;

namespace velk {

// E_FAIL (after telling the user) when no handler gives a page.
HRESULT ShowRendererProperties(const std::shared_ptr<IMediaRenderer>& item, QWidget* parent);

} // namespace velk
