// What the "Data Services" page and its providers' "General" page share while a player's
// providers are configured: the player, and the host header every provider of the player is
// stored with (font, menu time-out, when content shows). GUI thread only.
#pragma once

#include "platform/unknown.h"
#include "platform/upnp_device.h"
#include "ui/provider_configuration.h"

namespace velk {

struct DataServerSettings : IUnknown {
    UPnPDeviceInfo player;
    std::string host; // where the player's shell answers
    HostHeader header;
    // The provider being configured shows content on an event: the menu time-out is not its.
    bool for_event = false;
};

} // namespace velk
