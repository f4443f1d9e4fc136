// The UPnP side of the simulator: a GLib main loop on a thread of its own with one gupnp context
// on the loopback interface, hosting a MediaRenderer root device per simulated device. Each
// device's presentation URL names its player's own address. Created, driven and destroyed from
// the loop thread; every gupnp object is made, used and released on the UPnP thread.
#pragma once

#include <glib.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/hresult.h"
#include "tools/sim/event_loop.h"
#include "tools/sim/listeners.h"
#include "tools/sim/player.h"

namespace velk::sim {

class UpnpDevice;

class UpnpHost {
public:
    static constexpr const char* kInterface = "lo";

    explicit UpnpHost(EventLoop& loop);
    ~UpnpHost();
    UpnpHost(const UpnpHost&) = delete;
    UpnpHost& operator=(const UpnpHost&) = delete;

    // One device per player; renderer_only[i] makes player i a renderer of another maker.
    // E_FAIL with the reason in error (no multicast on the loopback interface, ...).
    HRESULT Start(const std::vector<Player*>& players, const std::vector<bool>& renderer_only,
                  std::string& error);
    // Announces the player's device, or makes it say goodbye.
    void SetAvailable(const Player& player, bool available);

private:
    struct Entry {
        Player* player;
        std::unique_ptr<UpnpDevice> device; // touched on the UPnP thread only
        Listeners<>::Id listener = 0;
    };

    void ThreadMain(std::function<void()> setup);
    void RunOnUpnpThread(std::function<void()> task);
    HRESULT WriteDescriptions(const std::vector<bool>& renderer_only, std::string& error);

    EventLoop& loop_;
    std::vector<Entry> entries_;
    std::string folder_;
    GMainContext* context_ = nullptr;
    GMainLoop* main_loop_ = nullptr;
    void* upnp_context_ = nullptr; // the GUPnPContext, UPnP thread only
    std::thread thread_;
};

} // namespace velk::sim
