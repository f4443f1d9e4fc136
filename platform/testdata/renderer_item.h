// For the tests of the renderers' handlers: an item as the "Media Players" window hands it to
// them, a renderer over a fixed device description in a fixed transport state.
#pragma once

#include <string>
#include <utility>

#include "velk/media_renderer.h"

namespace velk::testing {

class RendererItem final : public IMediaRenderer {
public:
    explicit RendererItem(UPnPDeviceInfo device, tagAVTransportState state = AV_TRANSPORT_STOPPED)
        : device_(std::move(device)), state_(state)
    {
    }
    HRESULT get_UPnPDevice(UPnPDeviceInfo& device) const override
    {
        device = device_;
        return S_OK;
    }
    HRESULT get_CurrentTransportState(tagAVTransportState& state) const override
    {
        state = state_;
        return S_OK;
    }

private:
    UPnPDeviceInfo device_;
    tagAVTransportState state_;
};

// A device description with this UDN and nothing else.
inline UPnPDeviceInfo DeviceWithUdn(std::string udn)
{
    UPnPDeviceInfo device;
    device.udn = std::move(udn);
    return device;
}

} // namespace velk::testing
