// For the shell tests: the selection the "Media Players" window hands to the handlers, one
// Melodeck player per presentation URL.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/testdata/renderer_item.h"

namespace velk::testing {

inline std::shared_ptr<IDataObject> Selection(const std::vector<std::string>& presentation_urls)
{
    std::vector<std::shared_ptr<IMediaRenderer>> items;
    for (const auto& url : presentation_urls) {
        UPnPDeviceInfo device = DeviceWithUdn("uuid:5e4a0c2d-0000-4000-8000-000d4b000002");
        device.friendly_name = "Living Room";
        device.manufacturer = "Velk";
        device.model_name = "Melodeck";
        device.model_number = "KD-40";
        device.presentation_url = url;
        items.push_back(std::make_shared<RendererItem>(std::move(device)));
    }
    return std::make_shared<CPidlDataObject>(std::move(items));
}

} // namespace velk::testing
