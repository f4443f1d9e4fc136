// The documents a simulated media renderer serves: its device description and the service
// descriptions (SCPD) of AVTransport, RenderingControl and ConnectionManager.
#pragma once

#include <string>
#include <string_view>

namespace velk::sim {

struct RendererDescription {
    std::string udn;
    std::string friendly_name;
    std::string manufacturer;
    std::string model_name;
    std::string model_number;
    std::string model_description;
    std::string presentation_url;
    std::string url_prefix; // "/<device id>": the device's control and event URLs live under it
};

class UpnpDescriptions {
public:
    static constexpr std::string_view kAvTransportScpd = "AVTransport.xml";
    static constexpr std::string_view kRenderingControlScpd = "RenderingControl.xml";
    static constexpr std::string_view kConnectionManagerScpd = "ConnectionManager.xml";

    static std::string Device(const RendererDescription& device);
    static std::string_view AvTransport();
    static std::string_view RenderingControl();
    static std::string_view ConnectionManager();
};

} // namespace velk::sim
