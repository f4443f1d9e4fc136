// Where a renderer's UPnP actions go: the finder sends them from its UPnP apartment and hands
// each result back on the GUI thread. Called on the GUI thread; the object lives there.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <QObject>

#include "platform/hresult.h"
#include "platform/upnp_service.h"

namespace velk {

// The services a renderer's actions go to.
inline constexpr std::string_view kAVTransportServiceId = "urn:upnp-org:serviceId:AVTransport";
inline constexpr std::string_view kRenderingControlServiceId = "urn:upnp-org:serviceId:RenderingControl";

class CRendererActions : public QObject {
public:
    // The action's result and its output arguments (with their text, a failure's message).
    using Done = std::function<void(HRESULT hr, const UPnPService::Arguments& out)>;

    using QObject::QObject;

    // Sends the action to the device's service; done runs later on the GUI thread, never
    // inside this call.
    virtual void InvokeAction(const std::string& udn, std::string_view service_id,
                              std::string_view action, UPnPService::Arguments in, Done done) = 0;
};

} // namespace velk
