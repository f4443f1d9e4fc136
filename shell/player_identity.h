// Which player a handler acts on: the first selected item's UPnP device, with its UDN and its
// address, the host part of its presentation URL. Both come from a device on the network: only
// a host name or an IP address of at most 128 characters counts as an address, so that nothing
// else reaches a command line or a connection. Any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/hresult.h"
#include "velk/media_renderer.h"

namespace velk {

inline constexpr std::size_t kMaxPlayerHostChars = 128;

struct PlayerIdentity {
    std::string udn; // "uuid:..."
    std::string friendly_name;
    std::string host; // empty when the device names no usable one
};

// What the player pages' owner (the property-sheet handler) gives its pages: the items it was
// initialised with.
class IPlayerPagesOwner : public IUnknown {
public:
    virtual const IDataObject* DataObject() const = 0;
};

// The host of a presentation URL when it is a host name (letters, digits and hyphens in
// dot-separated labels, none beginning or ending with a hyphen) or an IPv4 or IPv6 address
// (without brackets); nullopt for anything else.
std::optional<std::string> PlayerHost(std::string_view presentation_url);

// The first item's player; E_INVALIDARG without a data object or items, or the item's own
// failure to describe its device.
HRESULT IdentifyPlayer(const IDataObject* data_object, PlayerIdentity& player);

} // namespace velk
