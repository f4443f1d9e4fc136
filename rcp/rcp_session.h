// CRCPSession: the RCP session of one player (IRCPSession). Each automation member becomes one
// or more RCP commands over the session's control connection, under the session mutex; replies
// become automation values; failures leave an error record. The session keeps the browse state
// (filters, sort order, server types) that applies to the next listing, counts the requests to
// monitor remote keys and display updates, and raises the session events in its own apartment.
//
// Lives in the apartment that created it. The reader thread never calls it: event lines reach it
// as tasks posted to that apartment, in the order they arrived.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/connection_point.h"
#include "rcp/control_session.h"
#include "velk/ircp_session.h"

namespace velk {

class CRCPBitmap;
class IVelkDevice;

// Minimum firmware of the members that need more than the connection does.
constexpr FirmwareVersion kFirmwarePresets{2, 5, 171};
constexpr FirmwareVersion kFirmwareSettings{2, 7, 29};
constexpr FirmwareVersion kFirmwarePowerState{3, 0, 24};

class CRCPSession : public DispatchImpl<CRCPSession, IRCPSession>,
                    public std::enable_shared_from_this<CRCPSession> {
public:
    // The firmware a player needs for a session at all.
    static constexpr FirmwareVersion kMinimumFirmware{3, 0, 24};

    static const Dispatcher<CRCPSession>& Dispatch();
    // The session events as dispatch sinks receive them, for the automation server to name them.
    static const DispatchTable& EventTable();

    CRCPSession();
    ~CRCPSession() override;

    // Registers the session in the interface table (with the calling thread's apartment),
    // keeps the device and the service root object's cookie (0: none), and opens the control
    // connection to host.
    HRESULT Initialize(const std::shared_ptr<IVelkDevice>& device, DWORD service_cookie,
                       std::string_view host);
    // Opens a new control connection to host in place of a lost one and asks it for the
    // events the session was following: for its sinks and callers the session goes on.
    HRESULT Reconnect(std::string_view host);

    // For the result objects: one command, or one list, under the session mutex, refused with
    // E_RCP_FIRMWARE_TOO_OLD below minimum; a failure leaves its error record.
    HRESULT Command(std::string_view word, std::optional<std::string_view> argument = {},
                    std::string* value = nullptr, FirmwareVersion minimum = {});
    HRESULT List(std::string_view word, RcpLineCallback callback,
                 std::optional<std::string_view> argument = {}, FirmwareVersion minimum = {});
    // A question answered with several "key: value" lines, each to the callback.
    HRESULT Query(std::string_view word, std::optional<std::string_view> argument,
                  RcpLineCallback callback);
    // Counts the song listings: the player's song numbers refer to the latest one only, so a
    // song of an earlier listing can no longer be read by its number.
    std::uint64_t song_list_generation() const { return song_list_generation_; }
    // Holds the session mutex over several commands that belong together (a list repeated
    // before an action on one of its items).
    std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock(mutex_); }

    FirmwareVersion firmware_version() const { return control_.firmware_version(); }
    ConnectedServer connected_server() const { return control_.connected_server(); }
    // Tests shorten the reply time-outs.
    CControlSession& control() { return control_; }

    // IRCPSession
    HRESULT Play() override;
    HRESULT Pause() override;
    HRESULT PlayPause() override;
    HRESULT Next() override;
    HRESULT Previous() override;
    HRESULT Stop() override;
    HRESULT get_Servers(std::shared_ptr<IEnumRCPServers>& servers) override;
    HRESULT get_Shuffle(bool& on) override;
    HRESULT put_Shuffle(bool on) override;
    HRESULT get_RepeatState(RCPRepeatStates& state) override;
    HRESULT put_RepeatState(RCPRepeatStates state) override;
    HRESULT get_TransportState(RCPTransportStates& state) override;
    HRESULT get_ElapsedTime(Date& time) override;
    HRESULT get_TotalTime(Date& time) override;
    HRESULT get_Genres(std::shared_ptr<IEnumRCPList>& list) override;
    HRESULT get_Artists(std::shared_ptr<IEnumRCPList>& list) override;
    HRESULT get_Albums(std::shared_ptr<IEnumRCPList>& list) override;
    HRESULT get_Composers(std::shared_ptr<IEnumRCPList>& list) override;
    HRESULT PressRemoteKey(VelkRemoteKeys key) override;
    HRESULT get_Volume(std::int32_t& volume) override;
    HRESULT put_Volume(std::int32_t volume) override;
    HRESULT get_BrowseFilterGenre(std::string& filter) override;
    HRESULT put_BrowseFilterGenre(std::string_view filter) override;
    HRESULT get_BrowseFilterArtist(std::string& filter) override;
    HRESULT put_BrowseFilterArtist(std::string_view filter) override;
    HRESULT get_BrowseFilterAlbum(std::string& filter) override;
    HRESULT put_BrowseFilterAlbum(std::string_view filter) override;
    HRESULT get_BrowseFilterComposer(std::string& filter) override;
    HRESULT put_BrowseFilterComposer(std::string_view filter) override;
    HRESULT get_NowPlaying(std::shared_ptr<IRCPNowPlayingList>& list) override;
    HRESULT get_Songs(std::shared_ptr<IEnumRCPSong>& songs) override;
    HRESULT get_Display(DispatchablePtr& display) override;
    HRESULT SearchArtists(std::string_view text, std::shared_ptr<IEnumRCPList>& list) override;
    HRESULT SearchAlbums(std::string_view text, std::shared_ptr<IEnumRCPList>& list) override;
    HRESULT SearchComposers(std::string_view text, std::shared_ptr<IEnumRCPList>& list) override;
    HRESULT SearchSongs(std::string_view text, std::shared_ptr<IEnumRCPSong>& songs) override;
    HRESULT SearchAll(std::string_view text, std::shared_ptr<IEnumRCPSong>& songs) override;
    HRESULT get_VisualizerMode(RCPVisualizerMode& mode) override;
    HRESULT put_VisualizerMode(RCPVisualizerMode mode) override;
    HRESULT get_Playlists(std::shared_ptr<IEnumRCPPlaylist>& playlists) override;
    HRESULT get_Language(std::string& language) override;
    HRESULT put_Language(std::string_view language) override;
    HRESULT get_Languages(std::shared_ptr<IEnumRCPLanguages>& languages) override;
    HRESULT get_Visualizers(std::shared_ptr<IEnumRCPVisualizers>& visualizers) override;
    HRESULT get_RootContainer(std::shared_ptr<IRCPContainer>& root) override;
    HRESULT get_ConnectedServer(std::shared_ptr<IRCPServer>& server) override;
    HRESULT get_BrowseFilterServer(std::int32_t& types) override;
    HRESULT put_BrowseFilterServer(std::int32_t types) override;
    HRESULT OnShutdown() override;
    HRESULT get_MonitorDisplay(bool& on) override;
    HRESULT put_MonitorDisplay(bool on) override;
    HRESULT get_MonitorRemoteKey(bool& on) override;
    HRESULT put_MonitorRemoteKey(bool on) override;
    HRESULT _OnRCPEvent(RCPEventType type, std::string_view text) override;
    HRESULT put_SuspendIRRouting(bool suspend) override;
    HRESULT get_Presets(std::shared_ptr<IEnumRCPPresets>& presets) override;
    HRESULT get_FriendlyName(std::string& name) override;
    HRESULT put_FriendlyName(std::string_view name) override;
    HRESULT get_Time(Date& time) override;
    HRESULT put_Time(Date time) override;
    HRESULT Reboot() override;
    HRESULT ResetToFactoryDefaults() override;
    HRESULT get_IsSoftwareUpgradeAvailable(bool& available) override;
    HRESULT ExecuteSoftwareUpgrade() override;
    HRESULT get_Version(std::shared_ptr<IRCPVersion>& version) override;
    HRESULT get_Network(std::shared_ptr<IRCPNetwork>& network) override;
    HRESULT get_TimeZones(std::shared_ptr<IEnumRCPTimeZones>& zones) override;
    HRESULT get_TimeZone(std::string& zone) override;
    HRESULT put_OnRemoteKey(const Variant& handler) override;
    HRESULT get_OnRemoteKey(Variant& handler) override;
    HRESULT put_OnUpdateDisplay(const Variant& handler) override;
    HRESULT get_OnUpdateDisplay(Variant& handler) override;
    HRESULT put_OnUpdateTransportState(const Variant& handler) override;
    HRESULT get_OnUpdateTransportState(Variant& handler) override;
    HRESULT put_OnUpdatePlayMode(const Variant& handler) override;
    HRESULT get_OnUpdatePlayMode(Variant& handler) override;
    HRESULT put_OnUpdateTrackDetails(const Variant& handler) override;
    HRESULT get_OnUpdateTrackDetails(Variant& handler) override;
    HRESULT get_Options(std::shared_ptr<IRCPOptions>& options) override;
    HRESULT put_OnUpgradeFirmware(const Variant& handler) override;
    HRESULT get_OnUpgradeFirmware(Variant& handler) override;
    HRESULT get_PowerState(bool& on) override;
    HRESULT put_PowerState(bool on) override;
    HRESULT get_BrowseFilterLocation(std::string& filter) override;
    HRESULT put_BrowseFilterLocation(std::string_view filter) override;
    HRESULT get_BrowseFilterLocations(Variant& locations) override;
    HRESULT get_BrowseFilterMediaLanguage(std::string& filter) override;
    HRESULT put_BrowseFilterMediaLanguage(std::string_view filter) override;
    HRESULT get_BrowseFilterMediaLanguages(Variant& languages) override;
    HRESULT get_BrowseFilterTopStations(bool& on) override;
    HRESULT put_BrowseFilterTopStations(bool on) override;
    HRESULT get_BrowseFilterFavorites(bool& on) override;
    HRESULT put_BrowseFilterFavorites(bool on) override;
    HRESULT get_SongSortOrder(RCPSongSortOrder& order) override;
    HRESULT put_SongSortOrder(RCPSongSortOrder order) override;

    HRESULT Advise(std::shared_ptr<_IRCPSessionEvents> sink, DWORD& cookie) override;
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT AdviseDispatch(DispatchablePtr sink, DWORD& cookie) override;
    HRESULT UnadviseDispatch(DWORD cookie) override;

private:
    enum Handler {
        kHandlerRemoteKey,
        kHandlerUpdateDisplay,
        kHandlerUpdateTransportState,
        kHandlerUpdatePlayMode,
        kHandlerUpdateTrackDetails,
        kHandlerUpgradeFirmware,
        kHandlerCount
    };

    void SendFiltersForCategories();
    void SendFiltersForSongs();
    HRESULT ListCategory(std::string_view word, std::shared_ptr<IEnumRCPList>& list);
    HRESULT GetTimeValue(std::string_view word, Date& time);
    // The capture of a display that shows pictures; none for text displays.
    HRESULT CreateDisplayCapture();
    HRESULT SubscribeDisplay();
    HRESULT SubscribeRemoteKeys();
    HRESULT UnsubscribeRemoteKeys();
    HRESULT RunUpgradeOnce(bool& done);
    // Posts the event line to the session's apartment (reader thread).
    RcpLineCallback EventCallback(RCPEventType type);

    HRESULT PutHandler(Handler which, const Variant& handler);
    HRESULT GetHandler(Handler which, Variant& handler);
    // Fires the event on both kinds of sink, then calls the scripting handler with args.
    void RaiseEvent(Handler which, DISPID dispid,
                    const std::function<HRESULT(_IRCPSessionEvents&)>& fire,
                    std::vector<Variant>& args);
    void DispatchRemoteKey(std::string_view text);

    CControlSession control_;
    std::recursive_mutex mutex_;
    std::weak_ptr<IVelkDevice> device_;
    DWORD interface_cookie_ = 0;
    DWORD service_cookie_ = 0;
    std::shared_ptr<CRCPBitmap> display_;

    std::int32_t display_monitor_count_ = 0;
    std::int32_t key_monitor_count_ = 0;
    // Remote keys come to this session (monitored, and routing not suspended).
    bool keys_subscribed_ = false;

    std::string filter_genre_;
    std::string filter_artist_;
    std::string filter_composer_;
    std::string filter_album_;
    std::string filter_location_;
    std::string filter_media_language_;
    bool filter_top_stations_ = false;
    bool filter_favorites_ = false;
    RCPSongSortOrder song_sort_order_ = RCPSongSortOrder::SongSortOrderUnordered;
    std::int32_t server_filter_ = static_cast<std::int32_t>(RCPServerType::ServerTypeAll);
    std::shared_ptr<IEnumRCPServers> servers_;
    std::atomic<std::uint64_t> song_list_generation_ = 0;

    ConnectionPoint<_IRCPSessionEvents> sinks_;
    ConnectionPoint<IDispatchable> dispatch_sinks_;
    DispatchablePtr handlers_[kHandlerCount];
};

} // namespace velk
