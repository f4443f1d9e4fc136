// The RCP session of one player: every command of the player's control mode as an automation
// member, the browse state that applies to listings, the subscriptions for remote keys and
// display updates, and the events that report them. The player object creates one session per
// player and hands it out; providers, pages and scripts reach the player through it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "automation/event_source.h"
#include "platform/date.h"
#include "velk/rcp_objects.h"
#include "velk/velk_enums.h"

namespace velk {

// The session's events, for sinks written in C++. Scripts and other programs receive the same
// six events by dispid on an IDispatchable sink (1 OnRemoteKey ... 6 OnUpgradeFirmware; the
// suppress flag of OnRemoteKey is its second argument, read back after the call).
class _IRCPSessionEvents : public IUnknown {
public:
    // A sink that sets bSupressDefaultProcessing keeps the player from acting on the key.
    virtual HRESULT OnRemoteKey(VelkRemoteKeys keyCode, bool& bSupressDefaultProcessing) = 0;
    virtual HRESULT OnUpdateDisplay() = 0;
    virtual HRESULT OnUpdateTransportState(RCPTransportStates newState) = 0;
    virtual HRESULT OnUpdatePlayMode() = 0;
    virtual HRESULT OnUpdateTrackDetails() = 0;
    virtual HRESULT OnUpgradeFirmware(RCPUpgradeState state, std::int32_t nProgress) = 0;
};

// The dispids of the six events on a dispatch sink.
enum RCPSessionEventDispid : DISPID {
    kDispidOnRemoteKey = 1,
    kDispidOnUpdateDisplay = 2,
    kDispidOnUpdateTransportState = 3,
    kDispidOnUpdatePlayMode = 4,
    kDispidOnUpdateTrackDetails = 5,
    kDispidOnUpgradeFirmware = 6,
};

class IRCPSession : public IDispatchable, public IEventSource {
public:
    virtual HRESULT Play() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT PlayPause() = 0;
    virtual HRESULT Next() = 0;
    virtual HRESULT Previous() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT get_Servers(std::shared_ptr<IEnumRCPServers>& servers) = 0;
    virtual HRESULT get_Shuffle(bool& on) = 0;
    virtual HRESULT put_Shuffle(bool on) = 0;
    virtual HRESULT get_RepeatState(RCPRepeatStates& state) = 0;
    virtual HRESULT put_RepeatState(RCPRepeatStates state) = 0;
    virtual HRESULT get_TransportState(RCPTransportStates& state) = 0;
    virtual HRESULT get_ElapsedTime(Date& time) = 0;
    virtual HRESULT get_TotalTime(Date& time) = 0;
    virtual HRESULT get_Genres(std::shared_ptr<IEnumRCPList>& list) = 0;
    virtual HRESULT get_Artists(std::shared_ptr<IEnumRCPList>& list) = 0;
    virtual HRESULT get_Albums(std::shared_ptr<IEnumRCPList>& list) = 0;
    virtual HRESULT get_Composers(std::shared_ptr<IEnumRCPList>& list) = 0;
    virtual HRESULT PressRemoteKey(VelkRemoteKeys key) = 0;
    virtual HRESULT get_Volume(std::int32_t& volume) = 0;
    virtual HRESULT put_Volume(std::int32_t volume) = 0;
    virtual HRESULT get_BrowseFilterGenre(std::string& filter) = 0;
    virtual HRESULT put_BrowseFilterGenre(std::string_view filter) = 0;
    virtual HRESULT get_BrowseFilterArtist(std::string& filter) = 0;
    virtual HRESULT put_BrowseFilterArtist(std::string_view filter) = 0;
    virtual HRESULT get_BrowseFilterAlbum(std::string& filter) = 0;
    virtual HRESULT put_BrowseFilterAlbum(std::string_view filter) = 0;
    virtual HRESULT get_BrowseFilterComposer(std::string& filter) = 0;
    virtual HRESULT put_BrowseFilterComposer(std::string_view filter) = 0;
    virtual HRESULT get_NowPlaying(std::shared_ptr<IRCPNowPlayingList>& list) = 0;
    virtual HRESULT get_Songs(std::shared_ptr<IEnumRCPSong>& songs) = 0;
    // The display capture object; E_NOTIMPL for players whose display is text only.
    virtual HRESULT get_Display(DispatchablePtr& display) = 0;
    virtual HRESULT SearchArtists(std::string_view text, std::shared_ptr<IEnumRCPList>& list) = 0;
    virtual HRESULT SearchAlbums(std::string_view text, std::shared_ptr<IEnumRCPList>& list) = 0;
    virtual HRESULT SearchComposers(std::string_view text, std::shared_ptr<IEnumRCPList>& list) = 0;
    virtual HRESULT SearchSongs(std::string_view text, std::shared_ptr<IEnumRCPSong>& songs) = 0;
    virtual HRESULT SearchAll(std::string_view text, std::shared_ptr<IEnumRCPSong>& songs) = 0;
    virtual HRESULT get_VisualizerMode(RCPVisualizerMode& mode) = 0;
    virtual HRESULT put_VisualizerMode(RCPVisualizerMode mode) = 0;
    virtual HRESULT get_Playlists(std::shared_ptr<IEnumRCPPlaylist>& playlists) = 0;
    virtual HRESULT get_Language(std::string& language) = 0;
    virtual HRESULT put_Language(std::string_view language) = 0;
    virtual HRESULT get_Languages(std::shared_ptr<IEnumRCPLanguages>& languages) = 0;
    virtual HRESULT get_Visualizers(std::shared_ptr<IEnumRCPVisualizers>& visualizers) = 0;
    virtual HRESULT get_RootContainer(std::shared_ptr<IRCPContainer>& root) = 0;
    // None and S_FALSE when the connected server is not among the listed servers.
    virtual HRESULT get_ConnectedServer(std::shared_ptr<IRCPServer>& server) = 0;
    virtual HRESULT get_BrowseFilterServer(std::int32_t& types) = 0;
    virtual HRESULT put_BrowseFilterServer(std::int32_t types) = 0;
    virtual HRESULT OnShutdown() = 0;
    virtual HRESULT get_MonitorDisplay(bool& on) = 0;
    virtual HRESULT put_MonitorDisplay(bool on) = 0;
    virtual HRESULT get_MonitorRemoteKey(bool& on) = 0;
    virtual HRESULT put_MonitorRemoteKey(bool on) = 0;
    // An event line from the player, delivered in the session's apartment.
    virtual HRESULT _OnRCPEvent(RCPEventType type, std::string_view text) = 0;
    virtual HRESULT put_SuspendIRRouting(bool suspend) = 0;
    virtual HRESULT get_Presets(std::shared_ptr<IEnumRCPPresets>& presets) = 0;
    virtual HRESULT get_FriendlyName(std::string& name) = 0;
    virtual HRESULT put_FriendlyName(std::string_view name) = 0;
    virtual HRESULT get_Time(Date& time) = 0;
    virtual HRESULT put_Time(Date time) = 0;
    virtual HRESULT Reboot() = 0;
    virtual HRESULT ResetToFactoryDefaults() = 0;
    virtual HRESULT get_IsSoftwareUpgradeAvailable(bool& available) = 0;
    virtual HRESULT ExecuteSoftwareUpgrade() = 0;
    virtual HRESULT get_Version(std::shared_ptr<IRCPVersion>& version) = 0;
    virtual HRESULT get_Network(std::shared_ptr<IRCPNetwork>& network) = 0;
    virtual HRESULT get_TimeZones(std::shared_ptr<IEnumRCPTimeZones>& zones) = 0;
    virtual HRESULT get_TimeZone(std::string& zone) = 0;
    // The scripting handlers: an object called with dispid 0 for each event of its kind.
    // Put takes an object or an empty value (which clears); get gives the object.
    virtual HRESULT put_OnRemoteKey(const Variant& handler) = 0;
    virtual HRESULT get_OnRemoteKey(Variant& handler) = 0;
    virtual HRESULT put_OnUpdateDisplay(const Variant& handler) = 0;
    virtual HRESULT get_OnUpdateDisplay(Variant& handler) = 0;
    virtual HRESULT put_OnUpdateTransportState(const Variant& handler) = 0;
    virtual HRESULT get_OnUpdateTransportState(Variant& handler) = 0;
    virtual HRESULT put_OnUpdatePlayMode(const Variant& handler) = 0;
    virtual HRESULT get_OnUpdatePlayMode(Variant& handler) = 0;
    virtual HRESULT put_OnUpdateTrackDetails(const Variant& handler) = 0;
    virtual HRESULT get_OnUpdateTrackDetails(Variant& handler) = 0;
    virtual HRESULT get_Options(std::shared_ptr<IRCPOptions>& options) = 0;
    virtual HRESULT put_OnUpgradeFirmware(const Variant& handler) = 0;
    virtual HRESULT get_OnUpgradeFirmware(Variant& handler) = 0;
    virtual HRESULT get_PowerState(bool& on) = 0;
    virtual HRESULT put_PowerState(bool on) = 0;
    virtual HRESULT get_BrowseFilterLocation(std::string& filter) = 0;
    virtual HRESULT put_BrowseFilterLocation(std::string_view filter) = 0;
    virtual HRESULT get_BrowseFilterLocations(Variant& locations) = 0;
    virtual HRESULT get_BrowseFilterMediaLanguage(std::string& filter) = 0;
    virtual HRESULT put_BrowseFilterMediaLanguage(std::string_view filter) = 0;
    virtual HRESULT get_BrowseFilterMediaLanguages(Variant& languages) = 0;
    virtual HRESULT get_BrowseFilterTopStations(bool& on) = 0;
    virtual HRESULT put_BrowseFilterTopStations(bool on) = 0;
    virtual HRESULT get_BrowseFilterFavorites(bool& on) = 0;
    virtual HRESULT put_BrowseFilterFavorites(bool on) = 0;
    virtual HRESULT get_SongSortOrder(RCPSongSortOrder& order) = 0;
    virtual HRESULT put_SongSortOrder(RCPSongSortOrder order) = 0;

    // The connection point of the C++ sinks; dispatch sinks (scripts, the automation server),
    // called by the event dispids above, come through IEventSource.
    virtual HRESULT Advise(std::shared_ptr<_IRCPSessionEvents> sink, DWORD& cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;
};

} // namespace velk
