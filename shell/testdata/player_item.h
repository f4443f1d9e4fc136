// For the shell tests: a selected item as the "Media Players" window hands it to the handlers,
// a renderer over a fixed device description whose presentation URL names the player.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "velk/media_renderer.h"

namespace velk::testing {

class PlayerItem final : public IMediaRenderer {
public:
    explicit PlayerItem(std::string presentation_url)
    {
        device_.udn = "uuid:5e4a0c2d-0000-4000-8000-000d4b000002";
        device_.friendly_name = "Living Room";
        device_.manufacturer = "Velk";
        device_.model_name = "Melodeck";
        device_.model_number = "KD-40";
        device_.presentation_url = std::move(presentation_url);
    }
    HRESULT get_UPnPDevice(UPnPDeviceInfo& device) const override
    {
        device = device_;
        return S_OK;
    }
    HRESULT get_CurrentTransportState(tagAVTransportState& state) const override
    {
        state = AV_TRANSPORT_STOPPED;
        return S_OK;
    }

private:
    UPnPDeviceInfo device_;
};

// The selection: one item per presentation URL.
inline std::shared_ptr<IDataObject> Selection(const std::vector<std::string>& presentation_urls)
{
    std::vector<std::shared_ptr<IMediaRenderer>> items;
    for (const auto& url : presentation_urls)
        items.push_back(std::make_shared<PlayerItem>(url));
    return std::make_shared<CPidlDataObject>(std::move(items));
}

} // namespace velk::testing
