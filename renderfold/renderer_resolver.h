// Finds one media renderer for a caller that knows it by UDN ("uuid:...") or by the host of its
// presentation URL (an address), searching as the "Media Players" window does. GUI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "velk/media_renderer.h"

class QWidget;

namespace velk {

// How often the wait asks whether to go on.
constexpr std::uint32_t kLocateQuestionIntervalMs = 30000;

// Succeeds as soon as the renderer is known; shows progress meanwhile and asks every
// kLocateQuestionIntervalMs whether to go on. E_FAIL when the search completes without it, or
// when the user stops waiting.
HRESULT ResolveRenderer(QWidget* parent, std::string_view udn_or_address,
                        std::shared_ptr<IMediaRenderer>& renderer);

} // namespace velk
