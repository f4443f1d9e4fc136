// One player's UPnP MediaRenderer:1 root device with its AVTransport, RenderingControl and
// ConnectionManager services. Lives on the UPnP thread, where every gupnp call happens; it
// reaches its Player only through the loop's Invoke, and learns what changed through Update,
// which sends the LastChange events. Owned by the UpnpHost.
#pragma once

#include <libgupnp/gupnp.h>

#include <initializer_list>
#include <string>

#include "tools/sim/event_loop.h"
#include "tools/sim/player.h"
#include "tools/sim/renderer_state.h"

namespace velk::sim {

class UpnpDevice {
public:
    // Short, so that a device that vanishes without saying goodbye is soon forgotten.
    static constexpr unsigned kMaxAgeSeconds = 30;

    UpnpDevice(EventLoop& loop, Player& player, RendererState initial);
    ~UpnpDevice();
    UpnpDevice(const UpnpDevice&) = delete;
    UpnpDevice& operator=(const UpnpDevice&) = delete;

    // description_file: the device description in folder, which also holds the service
    // descriptions. false with the reason in error.
    bool Create(GUPnPContext* context, const std::string& folder,
                const std::string& description_file, std::string& error);
    void Update(const RendererState& state);
    // Announces the device, or says goodbye.
    void SetAvailable(bool available);

private:
    static void OnAction(GUPnPService* service, GUPnPServiceAction* action, gpointer self);
    static void OnQueryVariable(GUPnPService* service, char* variable, GValue* value,
                                gpointer self);

    void AvTransportAction(GUPnPServiceAction* action, const std::string& name);
    void RenderingControlAction(GUPnPServiceAction* action, const std::string& name);
    void ConnectionManagerAction(GUPnPServiceAction* action, const std::string& name);
    // Runs a task on the player's loop and waits; false when the simulator is shutting down.
    bool OnPlayer(const std::function<void(Player&)>& task);
    GUPnPService* TakeService(const char* type, std::initializer_list<const char*> actions);

    EventLoop& loop_;
    Player& player_;
    RendererState state_; // as last announced
    GUPnPRootDevice* root_ = nullptr;
    // The device's services: without these references their actions and events stop working.
    GUPnPService* av_transport_ = nullptr;
    GUPnPService* rendering_control_ = nullptr;
    GUPnPService* connection_manager_ = nullptr;
};

} // namespace velk::sim
