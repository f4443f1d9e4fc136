// What the members of an RCP session hand out: collections filled from one RCP list command,
// the items in them, and objects that group related commands (version, network, options).
// Every object is an automation object; none is created from outside. Each keeps the session
// that made it alive and sends its commands through that session.
//
// Every collection has `_NewEnum` (get), `Item(Index)` (a 0-based position) and `Count` (get).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "automation/enum_variant.h"
#include "platform/date.h"
#include "velk/velk_enums.h"

namespace velk {

class IEnumRCPSong;

// The collections: the same three members over items of one interface.
template <class ItemInterface> class IRCPCollection : public IDispatchable {
public:
    using Item_t = ItemInterface;

    virtual HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& items) = 0;
    virtual HRESULT Item(const Variant& Index, std::shared_ptr<ItemInterface>& item) = 0;
    virtual HRESULT get_Count(std::int32_t& count) = 0;
};

// What every listed item is: its position in the player's list (ID) and its name.
class IRCPListItem : public IDispatchable {
public:
    virtual HRESULT get_Name(std::string& name) = 0;
    virtual HRESULT get_ID(std::int32_t& id) = 0;
};

// An item the player selects by its ID: a region, a time zone, a Wi-Fi network, a language.
class IRCPSelectableItem : public IRCPListItem {
public:
    virtual HRESULT Select() = 0;
};

class IRCPRegion : public IRCPSelectableItem {};
class IRCPTimeZone : public IRCPSelectableItem {};
class IRCPWiFiNetwork : public IRCPSelectableItem {};
class IRCPLanguage : public IRCPSelectableItem {};

class IRCPServer : public IRCPListItem {
public:
    virtual HRESULT get_ServerType(RCPServerType& type) = 0;
    virtual HRESULT Connect(const Variant& vtPassword) = 0;
    virtual HRESULT Disconnect() = 0;
};

class IRCPSongResource : public IDispatchable {
public:
    virtual HRESULT get_URL(std::string& url) = 0;
    virtual HRESULT get_Format(std::string& format) = 0;
    virtual HRESULT get_SampleRate(std::int32_t& rate) = 0;
    virtual HRESULT get_BitRate(std::int32_t& rate) = 0;
    virtual HRESULT get_Channels(std::int32_t& channels) = 0;
    virtual HRESULT get_Size(std::int64_t& size) = 0;
};

class IEnumRCPSongResource : public IRCPCollection<IRCPSongResource> {};

class IRCPSong : public IRCPListItem {
public:
    virtual HRESULT get_Album(std::string& value) = 0;
    virtual HRESULT get_Artist(std::string& value) = 0;
    virtual HRESULT get_Genre(std::string& value) = 0;
    virtual HRESULT get_Composer(std::string& value) = 0;
    virtual HRESULT get_Format(std::string& value) = 0;
    virtual HRESULT get_FormatDescription(std::string& value) = 0;
    virtual HRESULT get_SongFormat(std::string& value) = 0;
    virtual HRESULT get_Status(std::string& value) = 0;
    virtual HRESULT get_Comment(std::string& value) = 0;
    virtual HRESULT get_DiscCount(std::int32_t& value) = 0;
    virtual HRESULT get_DiscNumber(std::int32_t& value) = 0;
    virtual HRESULT get_TrackCount(std::int32_t& value) = 0;
    virtual HRESULT get_TrackNumber(std::int32_t& value) = 0;
    virtual HRESULT get_Year(std::int32_t& value) = 0;
    virtual HRESULT get_Frequency(std::int32_t& value) = 0;
    // The length as a time of day on 30 December 1899.
    virtual HRESULT get_Duration(Date& value) = 0;
    virtual HRESULT get_Compilation(bool& value) = 0;
    virtual HRESULT get_Disabled(bool& value) = 0;
    virtual HRESULT get_Resources(std::shared_ptr<IEnumRCPSongResource>& resources) = 0;
};

class IRCPPlaylist : public IRCPListItem {
public:
    virtual HRESULT get_Songs(std::shared_ptr<IEnumRCPSong>& songs) = 0;
    // Queues the playlist's songs and plays the one at nIndex (default 0).
    virtual HRESULT Play(std::int32_t nIndex) = 0;
};

class IRCPVisualizer : public IRCPListItem {
public:
    virtual HRESULT Select() = 0;
    // The visualizer's current data: an array of byte values; empty when it has none.
    virtual HRESULT get_Data(Variant& data) = 0;
};

class IRCPPreset : public IRCPListItem {
public:
    virtual HRESULT get_Type(RCPPresetType& type) = 0;
    virtual HRESULT get_URL(std::string& value) = 0;
    virtual HRESULT get_Filename(std::string& value) = 0;
    virtual HRESULT get_Path(std::string& value) = 0;
    virtual HRESULT get_ServerName(std::string& value) = 0;
    virtual HRESULT get_ServerType(RCPServerType& value) = 0;
    virtual HRESULT get_Frequency(std::int32_t& value) = 0;
    virtual HRESULT get_FilterGenre(std::string& value) = 0;
    virtual HRESULT get_FilterArtist(std::string& value) = 0;
    virtual HRESULT get_FilterAlbum(std::string& value) = 0;
    virtual HRESULT get_FilterComposer(std::string& value) = 0;
    virtual HRESULT get_FilterTitle(std::string& value) = 0;
    virtual HRESULT get_FilterAllFields(std::string& value) = 0;
    virtual HRESULT get_ExactMatch(bool& value) = 0;
    virtual HRESULT get_Shuffle(bool& value) = 0;
    virtual HRESULT get_RepeatMode(RCPRepeatStates& value) = 0;
    virtual HRESULT Play() = 0;
};

class IRCPNowPlayingItem : public IRCPListItem {
public:
    virtual HRESULT Play() = 0;
    virtual HRESULT Remove() = 0;
};

class IEnumRCPList : public IRCPCollection<IRCPListItem> {};
class IEnumRCPSong : public IRCPCollection<IRCPSong> {};
class IEnumRCPPlaylist : public IRCPCollection<IRCPPlaylist> {};
class IEnumRCPLanguages : public IRCPCollection<IRCPLanguage> {};
class IEnumRCPPresets : public IRCPCollection<IRCPPreset> {};
class IEnumRCPRegions : public IRCPCollection<IRCPRegion> {};
class IEnumRCPTimeZones : public IRCPCollection<IRCPTimeZone> {};
class IEnumRCPWiFiNetworks : public IRCPCollection<IRCPWiFiNetwork> {};
// Item also takes a server's name.
class IEnumRCPServers : public IRCPCollection<IRCPServer> {};

class IEnumRCPVisualizers : public IRCPCollection<IRCPVisualizer> {
public:
    // The visualizer the player shows now; none and S_FALSE when it is not in the list.
    virtual HRESULT get_CurrentVisualizer(std::shared_ptr<IRCPVisualizer>& visualizer) = 0;
    virtual HRESULT get_VisualizerDataVU(Variant& data) = 0;
    virtual HRESULT get_VisualizerDataFreq(Variant& data) = 0;
    virtual HRESULT get_VisualizerDataScope(Variant& data) = 0;
};

class IRCPNowPlayingList : public IRCPCollection<IRCPNowPlayingItem> {
public:
    virtual HRESULT Clear() = 0;
    virtual HRESULT get_CurrentIndex(std::int32_t& index) = 0;
    virtual HRESULT get_CurrentSong(std::shared_ptr<IRCPSong>& song) = 0;
    // Object: a song; InsertAfter: a queue item, a position, or missing (0).
    virtual HRESULT Add(const Variant& Object, const Variant& InsertAfter) = 0;
    virtual HRESULT Refresh() = 0;
};

// A browse container of the player's music server; its items are its child containers.
class IRCPContainer : public IRCPCollection<IRCPContainer> {
public:
    virtual HRESULT get_Name(std::string& name) = 0;
    virtual HRESULT get_ID(std::int32_t& id) = 0;
    // The path from the root, "/" for the root itself.
    virtual HRESULT get_FullName(std::string& name) = 0;
    virtual HRESULT get_Songs(std::shared_ptr<IEnumRCPSong>& songs) = 0;
};

class IRCPVersion : public IDispatchable {
public:
    virtual HRESULT get_Text(std::string& text) = 0;
    virtual HRESULT get_Major(std::int32_t& major) = 0;
    virtual HRESULT get_Minor(std::int32_t& minor) = 0;
    virtual HRESULT get_Build(std::int32_t& build) = 0;
};

class IRCPNetwork : public IDispatchable {
public:
    virtual HRESULT get_IPAddress(std::string& address) = 0;
    virtual HRESULT get_MACAddress(std::string& address) = 0;
    virtual HRESULT get_Regions(std::shared_ptr<IEnumRCPRegions>& regions) = 0;
    virtual HRESULT get_WiFiNetworks(std::shared_ptr<IEnumRCPWiFiNetworks>& networks) = 0;
    virtual HRESULT get_WiFiNetwork(std::string& network) = 0;
    virtual HRESULT put_WiFiPassword(std::string_view password) = 0;
    virtual HRESULT SignalQuality(RCPSignalQuality Attribute, std::int32_t& value) = 0;
};

// The player's options. BootMode: 0 last state, 1 standby, 2 last source, 3 server list.
// StandbyMode: 0 clock, 1 screen off.
class IRCPOptions : public IDispatchable {
public:
    virtual HRESULT get_BootMode(std::int32_t& mode) = 0;
    virtual HRESULT put_BootMode(std::int32_t mode) = 0;
    virtual HRESULT get_StandbyMode(std::int32_t& mode) = 0;
    virtual HRESULT put_StandbyMode(std::int32_t mode) = 0;
    virtual HRESULT get_MultiChannel(bool& on) = 0;
    virtual HRESULT put_MultiChannel(bool on) = 0;
    virtual HRESULT get_RevertToNowPlaying(bool& on) = 0;
    virtual HRESULT put_RevertToNowPlaying(bool on) = 0;
    virtual HRESULT get_ScrollLongInfo(bool& on) = 0;
    virtual HRESULT put_ScrollLongInfo(bool on) = 0;
    virtual HRESULT get_DisplayComposer(bool& on) = 0;
    virtual HRESULT put_DisplayComposer(bool on) = 0;
    virtual HRESULT get_SkipUnchecked(bool& on) = 0;
    virtual HRESULT put_SkipUnchecked(bool on) = 0;
    virtual HRESULT get_WMAThreshold(std::int32_t& threshold) = 0;
    virtual HRESULT put_WMAThreshold(std::int32_t threshold) = 0;
};

} // namespace velk
