// The items of the session's lists: what every listed item is (its position in the player's
// list as ID, and its name), and the items that act on the player by that ID: regions, time
// zones, Wi-Fi networks and languages (Select), music servers, playlists and the entries of
// the play queue. Each item keeps its session alive and lives in the session's apartment.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "rcp/rcp_collection.h"

namespace velk {

class IEnumRCPSong;

// Derived: the item's class (CRTP). Dispids: Name 0, ID 1, the item's own members from 2.
template <class Derived, class Interface> class CRCPItem : public DispatchImpl<Derived, Interface> {
public:
    CRCPItem(SessionPtr session, std::int32_t id, std::string name)
        : session_(std::move(session)), id_(id), name_(std::move(name))
    {
    }

    HRESULT get_Name(std::string& name) override
    {
        name = name_;
        return S_OK;
    }

    HRESULT get_ID(std::int32_t& id) override
    {
        id = id_;
        return S_OK;
    }

    std::int32_t id() const { return id_; }
    const std::string& name() const { return name_; }

protected:
    static DispatchBuilder<Derived> ItemMembers(std::string interface_name)
    {
        DispatchBuilder<Derived> builder(std::move(interface_name));
        builder.Get("Name", 0, &Derived::get_Name).Get("ID", 1, &Derived::get_ID);
        return builder;
    }

    // The ID as the argument of a command ("%d").
    std::string IdText() const { return std::to_string(id_); }

    const SessionPtr session_;
    const std::int32_t id_;
    std::string name_;
};

// A name in a list of genres, artists, albums or composers.
class CRCPListItem final : public CRCPItem<CRCPListItem, IRCPListItem> {
public:
    using CRCPItem::CRCPItem;
    static const Dispatcher<CRCPListItem>& Dispatch();
};

// The interface name and the selecting command of each kind of selectable item.
template <class Interface> struct SelectCommand;
template <> struct SelectCommand<IRCPRegion> {
    static constexpr const char* kInterface = "IRCPRegion";
    static constexpr std::string_view kWord = "SetRegion";
};
template <> struct SelectCommand<IRCPTimeZone> {
    static constexpr const char* kInterface = "IRCPTimeZone";
    static constexpr std::string_view kWord = "SetTimeZone";
};
template <> struct SelectCommand<IRCPWiFiNetwork> {
    static constexpr const char* kInterface = "IRCPWiFiNetwork";
    static constexpr std::string_view kWord = "SetWiFiNetworkSelection";
};
template <> struct SelectCommand<IRCPLanguage> {
    static constexpr const char* kInterface = "IRCPLanguage";
    static constexpr std::string_view kWord = "SetLanguage";
};

// Sends "<word> <id>"; shared by every selectable item.
HRESULT SelectById(CRCPSession& session, std::string_view word, std::int32_t id);

// An item the player selects by its ID without repeating its list.
template <class Interface>
class CRCPSelectableItem final : public CRCPItem<CRCPSelectableItem<Interface>, Interface> {
public:
    using CRCPItem<CRCPSelectableItem, Interface>::CRCPItem;

    static const Dispatcher<CRCPSelectableItem>& Dispatch()
    {
        static const auto dispatcher =
            CRCPSelectableItem::ItemMembers(SelectCommand<Interface>::kInterface)
                .Method("Select", 2, &CRCPSelectableItem::Select)
                .Build();
        return dispatcher;
    }

    HRESULT Select() override
    {
        return SelectById(*this->session_, SelectCommand<Interface>::kWord, this->id_);
    }
};

using CRCPRegion = CRCPSelectableItem<IRCPRegion>;
using CRCPTimeZone = CRCPSelectableItem<IRCPTimeZone>;
using CRCPWiFiNetwork = CRCPSelectableItem<IRCPWiFiNetwork>;
using CRCPLanguage = CRCPSelectableItem<IRCPLanguage>;

// A music server of the player's server list.
class CRCPServer final : public CRCPItem<CRCPServer, IRCPServer> {
public:
    using CRCPItem::CRCPItem;
    static const Dispatcher<CRCPServer>& Dispatch();

    // The type of the server the player is connected to, from the session's last server
    // refresh: the same for every server of the list.
    HRESULT get_ServerType(RCPServerType& type) override;
    // Sends the password when one is given (missing or empty: none), repeats "ListServers"
    // so that the ID means this server, then "ServerConnect <ID>".
    HRESULT Connect(const Variant& vtPassword) override;
    HRESULT Disconnect() override;
};

class CRCPPlaylist final : public CRCPItem<CRCPPlaylist, IRCPPlaylist> {
public:
    using CRCPItem::CRCPItem;
    static const Dispatcher<CRCPPlaylist>& Dispatch();

    // Repeats "ListPlaylists" so that the ID means this playlist, then lists its songs.
    HRESULT get_Songs(std::shared_ptr<IEnumRCPSong>& songs) override;
    // Lists the songs as above (the player plays from its last song list), then
    // "QueueAndPlay <nIndex>".
    HRESULT Play(std::int32_t nIndex) override;
};

// An entry of the play queue; its ID is its position in the queue.
class CRCPNowPlayingItem final : public CRCPItem<CRCPNowPlayingItem, IRCPNowPlayingItem> {
public:
    using CRCPItem::CRCPItem;
    static const Dispatcher<CRCPNowPlayingItem>& Dispatch();

    HRESULT Play() override;
    HRESULT Remove() override;
};

using CEnumRCPList = CRCPCollection<IEnumRCPList, CRCPListItem>;
using CEnumRCPServers = CRCPCollection<IEnumRCPServers, CRCPServer>;
using CRCPPlaylists = CRCPCollection<IEnumRCPPlaylist, CRCPPlaylist>;
using CEnumRCPLanguages = CRCPCollection<IEnumRCPLanguages, CRCPLanguage>;
using CEnumRCPRegions = CRCPCollection<IEnumRCPRegions, CRCPRegion>;
using CEnumRCPTimeZones = CRCPCollection<IEnumRCPTimeZones, CRCPTimeZone>;
using CEnumRCPWiFiNetworks = CRCPCollection<IEnumRCPWiFiNetworks, CRCPWiFiNetwork>;

} // namespace velk
