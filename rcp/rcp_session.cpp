#include "rcp/rcp_session.h"

#include <array>
#include <cstdio>
#include <span>
#include <utility>

#include "platform/ascii.h"
#include "platform/error_info.h"
#include "platform/git.h"
#include "rcp/display_sizes.h"
#include "rcp/rcp_bitmap.h"
#include "rcp/rcp_lists.h"
#include "rcp/rcp_reply_values.h"
#include "rcp/remote_keys.h"
#include "rcp/reply_lines.h"
#include "velk/ivelk_data_service.h"
#include "velk/ivelk_device.h"

namespace velk {

namespace {

constexpr std::uint32_t kUpgradeReplyTimeoutMs = 120000;
// A download of the firmware reports its progress all along; it still ends some time.
constexpr std::uint32_t kUpgradeMaxMs = 30 * 60 * 1000;
// A player that keeps refusing to disconnect its music server is not asked forever.
constexpr int kUpgradeAttempts = 3;
constexpr double kSecondsPerDay = 86400.0;

// Three numbers separated by sep ("h:m:s", "m-d-y"); nothing else may follow.
std::optional<std::array<std::int32_t, 3>> ParseThreeNumbers(std::string_view text, char sep)
{
    std::string_view rest;
    const auto numbers = ParseDecimalTriple(text, sep, &rest);
    if (!numbers || !rest.empty())
        return std::nullopt;
    return numbers;
}

// The failure of a reply that does not read as the command's answer should.
HRESULT UnreadableReply(std::string_view command_word, std::string_view value)
{
    return ReportError(E_UNEXPECTED, "The player answered " + std::string(command_word) + " with " +
                                         ReplyExcerpt(value) + ".");
}

std::string TwoDigits(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

struct WordValue {
    std::string_view word;
    std::int32_t value;
};

template <std::size_t N>
std::optional<std::int32_t> ValueOfWord(const std::array<WordValue, N>& table, std::string_view word)
{
    for (const auto& entry : table) {
        if (EqualsIgnoringCase(entry.word, word))
            return entry.value;
    }
    return std::nullopt;
}

constexpr std::array<WordValue, 10> kTransportStates{{
    {"Pause", 0},
    {"Next", 1},
    {"Prev", 2},
    {"Play", 3},
    {"Stop", 4},
    {"Standby", 8},
    {"Buffering", 5},
    {"Resuming", 6},
    {"Disconnected", 9},
    {"Error", 7},
}};

// The player reports "cycle" only when asked right after it was set; it is taken as set.
constexpr std::array<WordValue, 4> kRepeatStates{{
    {"none", 1},
    {"one", 2},
    {"all", 3},
    {"cycle", 4},
}};

constexpr std::array<WordValue, 3> kVisualizerModes{{
    {"off", 0},
    {"partial", 1},
    {"full", 2},
}};

// The state words of a UPnP transport, as the player's state callback passes them on.
constexpr std::array<WordValue, 4> kUpnpTransportStates{{
    {"STOPPED", 4},
    {"PLAYING", 3},
    {"TRANSITIONING", 5},
    {"PAUSED_PLAYBACK", 0},
}};

constexpr std::array<WordValue, 6> kUpgradeSteps{{
    {"CheckingUpgradeAvailability", 0},
    {"VerifyingMD5", 1},
    {"ErasingFlash", 2},
    {"BurningFlash", 3},
    {"VerifyingFlash", 4},
    {"SavingAdditionalData", 5},
}};

constexpr std::string_view kDownloadingUpgrade = "DownloadingUpgrade";
// The percentage starts at the 21st character: "DownloadingUpgrade: 40".
constexpr std::size_t kDownloadProgressColumn = 20;

// The words of SetServerFilter, in the order the player expects them.
constexpr std::array<WordValue, 8> kServerFilterWords{{
    {"DAAP ", 1},
    {"UPnP ", 2},
    {"slim ", 4},
    {"radio ", 8},
    {"flash ", 16},
    {"fm ", 256},
    {"am ", 128},
    {"all ", 64},
}};

// The listings that the player's song numbers ("GetSongInfo <n>") refer to afterwards.
bool IsSongListWord(std::string_view word)
{
    for (std::string_view song_list : {"ListSongs", "SearchSongs", "SearchAll", "ListPlaylistSongs",
                                       "ListContainerContents", "ListNowPlayingQueue"}) {
        if (word == song_list)
            return true;
    }
    return false;
}

std::string_view WordOfValue(std::span<const WordValue> table, std::int32_t value)
{
    for (const auto& entry : table) {
        if (entry.value == value)
            return entry.word;
    }
    return {};
}

} // namespace

const Dispatcher<CRCPSession>& CRCPSession::Dispatch()
{
    using S = CRCPSession;
    static const auto dispatcher =
        DispatchBuilder<S>("IRCPSession")
            .Method("Play", 1, &S::Play)
            .Method("Pause", 2, &S::Pause)
            .Method("PlayPause", 3, &S::PlayPause)
            .Method("Next", 4, &S::Next)
            .Method("Previous", 5, &S::Previous)
            .Method("Stop", 6, &S::Stop)
            .Get("Servers", 7, &S::get_Servers)
            .Property("Shuffle", 8, &S::get_Shuffle, &S::put_Shuffle)
            .Property("RepeatState", 9, &S::get_RepeatState, &S::put_RepeatState)
            .Get("TransportState", 10, &S::get_TransportState)
            .Get("ElapsedTime", 11, &S::get_ElapsedTime)
            .Get("TotalTime", 12, &S::get_TotalTime)
            .Get("Genres", 13, &S::get_Genres)
            .Get("Artists", 14, &S::get_Artists)
            .Get("Albums", 15, &S::get_Albums)
            .Get("Composers", 16, &S::get_Composers)
            .Method("PressRemoteKey", 17, &S::PressRemoteKey, {"Key"})
            .Property("Volume", 18, &S::get_Volume, &S::put_Volume)
            .Property("BrowseFilterGenre", 19, &S::get_BrowseFilterGenre,
                      &S::put_BrowseFilterGenre)
            .Property("BrowseFilterArtist", 20, &S::get_BrowseFilterArtist,
                      &S::put_BrowseFilterArtist)
            .Property("BrowseFilterAlbum", 21, &S::get_BrowseFilterAlbum,
                      &S::put_BrowseFilterAlbum)
            .Property("BrowseFilterComposer", 22, &S::get_BrowseFilterComposer,
                      &S::put_BrowseFilterComposer)
            .Get("NowPlaying", 23, &S::get_NowPlaying)
            .Get("Songs", 24, &S::get_Songs)
            .Get("Display", 25, &S::get_Display)
            .Method("SearchArtists", 26, &S::SearchArtists, {"Text"})
            .Method("SearchAlbums", 27, &S::SearchAlbums, {"Text"})
            .Method("SearchComposers", 28, &S::SearchComposers, {"Text"})
            .Method("SearchSongs", 29, &S::SearchSongs, {"Text"})
            .Method("SearchAll", 30, &S::SearchAll, {"Text"})
            .Property("VisualizerMode", 31, &S::get_VisualizerMode, &S::put_VisualizerMode)
            .Get("Playlists", 32, &S::get_Playlists)
            .Property("Language", 33, &S::get_Language, &S::put_Language)
            .Get("Languages", 34, &S::get_Languages)
            .Get("Visualizers", 35, &S::get_Visualizers)
            .Get("RootContainer", 36, &S::get_RootContainer)
            .Get("ConnectedServer", 37, &S::get_ConnectedServer)
            .Property("BrowseFilterServer", 38, &S::get_BrowseFilterServer,
                      &S::put_BrowseFilterServer)
            .Method("OnShutdown", 39, &S::OnShutdown)
            .Property("MonitorDisplay", 40, &S::get_MonitorDisplay, &S::put_MonitorDisplay)
            .Property("MonitorRemoteKey", 41, &S::get_MonitorRemoteKey, &S::put_MonitorRemoteKey)
            .Method("_OnRCPEvent", 42, &S::_OnRCPEvent, {"Type", "Text"})
            .Put("SuspendIRRouting", 43, &S::put_SuspendIRRouting)
            .Get("Presets", 44, &S::get_Presets)
            .Property("FriendlyName", 45, &S::get_FriendlyName, &S::put_FriendlyName)
            .Property("Time", 46, &S::get_Time, &S::put_Time)
            .Method("Reboot", 47, &S::Reboot)
            .Method("ResetToFactoryDefaults", 48, &S::ResetToFactoryDefaults)
            .Get("IsSoftwareUpgradeAvailable", 49, &S::get_IsSoftwareUpgradeAvailable)
            .Method("ExecuteSoftwareUpgrade", 50, &S::ExecuteSoftwareUpgrade)
            .Get("Version", 51, &S::get_Version)
            .Get("Network", 52, &S::get_Network)
            .Get("TimeZones", 53, &S::get_TimeZones)
            .Get("TimeZone", 54, &S::get_TimeZone)
            .Property("OnRemoteKey", 55, &S::get_OnRemoteKey, &S::put_OnRemoteKey)
            .Property("OnUpdateDisplay", 56, &S::get_OnUpdateDisplay, &S::put_OnUpdateDisplay)
            .Property("OnUpdateTransportState", 57, &S::get_OnUpdateTransportState,
                      &S::put_OnUpdateTransportState)
            .Property("OnUpdatePlayMode", 58, &S::get_OnUpdatePlayMode, &S::put_OnUpdatePlayMode)
            .Property("OnUpdateTrackDetails", 59, &S::get_OnUpdateTrackDetails,
                      &S::put_OnUpdateTrackDetails)
            .Get("Options", 60, &S::get_Options)
            .Property("OnUpgradeFirmware", 61, &S::get_OnUpgradeFirmware,
                      &S::put_OnUpgradeFirmware)
            .Property("PowerState", 62, &S::get_PowerState, &S::put_PowerState)
            .Property("BrowseFilterLocation", 63, &S::get_BrowseFilterLocation,
                      &S::put_BrowseFilterLocation)
            .Get("BrowseFilterLocations", 64, &S::get_BrowseFilterLocations)
            .Property("BrowseFilterMediaLanguage", 65, &S::get_BrowseFilterMediaLanguage,
                      &S::put_BrowseFilterMediaLanguage)
            .Get("BrowseFilterMediaLanguages", 66, &S::get_BrowseFilterMediaLanguages)
            .Property("BrowseFilterTopStations", 67, &S::get_BrowseFilterTopStations,
                      &S::put_BrowseFilterTopStations)
            .Property("BrowseFilterFavorites", 68, &S::get_BrowseFilterFavorites,
                      &S::put_BrowseFilterFavorites)
            .Property("SongSortOrder", 69, &S::get_SongSortOrder, &S::put_SongSortOrder)
            .Build();
    return dispatcher;
}

const DispatchTable& CRCPSession::EventTable()
{
    static const DispatchTable table = [] {
        DispatchTable events("IRCPSession");
        const std::pair<const char*, DISPID> members[] = {
            {"OnRemoteKey", kDispidOnRemoteKey},
            {"OnUpdateDisplay", kDispidOnUpdateDisplay},
            {"OnUpdateTransportState", kDispidOnUpdateTransportState},
            {"OnUpdatePlayMode", kDispidOnUpdatePlayMode},
            {"OnUpdateTrackDetails", kDispidOnUpdateTrackDetails},
            {"OnUpgradeFirmware", kDispidOnUpgradeFirmware},
        };
        for (const auto& [name, dispid] : members)
            events.Add(MemberDesc{name, dispid, MemberKind::Method, {}, VT_EMPTY});
        return events;
    }();
    return table;
}

CRCPSession::CRCPSession() = default;

CRCPSession::~CRCPSession()
{
    if (display_monitor_count_ > 0) {
        control_.RemoveTransaction("DisplayUpdateEvent");
        control_.PostCommand("DisplayUpdateEventUnsubscribe", nullptr);
    }
    if (keys_subscribed_)
        UnsubscribeRemoteKeys();
    control_.Close();
}

HRESULT CRCPSession::Initialize(const std::shared_ptr<IVelkDevice>& device, DWORD service_cookie,
                                std::string_view host)
{
    device_ = device;
    service_cookie_ = service_cookie;
    HRESULT hr = Git::Global().Register(shared_from_this(), interface_cookie_);
    if (FAILED(hr))
        return hr;
    hr = control_.Open(host, kMinimumFirmware);
    if (FAILED(hr)) {
        // Nothing could reach a session without a connection: let it go.
        Git::Global().Revoke(std::exchange(interface_cookie_, 0));
        return hr;
    }
    return CreateDisplayCapture();
}

HRESULT CRCPSession::CreateDisplayCapture()
{
    // Text displays and display types this system does not know have no picture to capture.
    const DisplaySize* size = FindDisplaySize(control_.display_type());
    if (!size || FAILED(size->hr))
        return S_OK;
    auto display = std::make_shared<CRCPBitmap>();
    HRESULT hr = display->Initialize(
        size->width, size->height, [weak = weak_from_this()](RcpLineCallback callback) {
            auto session = weak.lock();
            return session ? session->control_.PostCommand("GetDisplayData", std::move(callback))
                           : E_RCP_SOCKET;
        });
    if (FAILED(hr))
        return hr;
    display_ = std::move(display);
    return S_OK;
}

HRESULT CRCPSession::Reconnect(std::string_view host)
{
    std::lock_guard lock(mutex_);
    control_.Close();
    // The server list's items speak of the old connection's listings.
    servers_.reset();
    HRESULT hr = control_.Open(host, kMinimumFirmware);
    if (SUCCEEDED(hr) && display_monitor_count_ > 0)
        hr = SubscribeDisplay();
    if (SUCCEEDED(hr) && keys_subscribed_)
        hr = SubscribeRemoteKeys();
    return hr;
}

HRESULT CRCPSession::Command(std::string_view word, std::optional<std::string_view> argument,
                             std::string* value, FirmwareVersion minimum)
{
    if (control_.firmware_version() < minimum)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    std::lock_guard lock(mutex_);
    return control_.Execute(word, argument, value);
}

HRESULT CRCPSession::Query(std::string_view word, std::optional<std::string_view> argument,
                           RcpLineCallback callback)
{
    std::lock_guard lock(mutex_);
    return control_.ExecuteWithLines(word, argument, std::move(callback));
}

HRESULT CRCPSession::List(std::string_view word, RcpLineCallback callback,
                          std::optional<std::string_view> argument, FirmwareVersion minimum)
{
    if (control_.firmware_version() < minimum)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    std::lock_guard lock(mutex_);
    if (IsSongListWord(word))
        ++song_list_generation_;
    return control_.ExecuteList(word, std::move(callback), argument);
}

HRESULT CRCPSession::Play() { return Command("Play"); }
HRESULT CRCPSession::Pause() { return Command("Pause"); }
HRESULT CRCPSession::PlayPause() { return Command("PlayPause"); }
HRESULT CRCPSession::Next() { return Command("Next"); }
HRESULT CRCPSession::Previous() { return Command("Previous"); }
HRESULT CRCPSession::Stop() { return Command("Stop"); }
HRESULT CRCPSession::Reboot() { return Command("Reboot", {}, nullptr, kFirmwareSettings); }

HRESULT CRCPSession::ResetToFactoryDefaults()
{
    return Command("ResetToFactoryDefaults", {}, nullptr, kFirmwareSettings);
}

HRESULT CRCPSession::get_Shuffle(bool& on)
{
    std::string value;
    HRESULT hr = Command("Shuffle", {}, &value);
    if (SUCCEEDED(hr))
        on = EqualsIgnoringCase(value, "on");
    return hr;
}

HRESULT CRCPSession::put_Shuffle(bool on) { return Command("Shuffle", on ? "on" : "off"); }

HRESULT CRCPSession::get_RepeatState(RCPRepeatStates& state)
{
    std::string value;
    HRESULT hr = Command("Repeat", {}, &value);
    if (FAILED(hr))
        return hr;
    const auto known = ValueOfWord(kRepeatStates, value);
    if (!known)
        return UnreadableReply("Repeat", value);
    state = static_cast<RCPRepeatStates>(*known);
    return hr;
}

HRESULT CRCPSession::put_RepeatState(RCPRepeatStates state)
{
    // An unknown state sends an empty setting, which the player refuses.
    return Command("Repeat", WordOfValue(kRepeatStates, static_cast<std::int32_t>(state)));
}

HRESULT CRCPSession::get_TransportState(RCPTransportStates& state)
{
    std::string value;
    HRESULT hr = Command("GetTransportState", {}, &value);
    if (FAILED(hr))
        return hr;
    const auto known = ValueOfWord(kTransportStates, value);
    state = static_cast<RCPTransportStates>(
        known.value_or(static_cast<std::int32_t>(RCPTransportStates::TransportStateError)));
    return known ? hr : ReportError(E_INVALIDARG);
}

HRESULT CRCPSession::GetTimeValue(std::string_view word, Date& time)
{
    std::string value;
    HRESULT hr = Command(word, {}, &value);
    if (FAILED(hr))
        return hr;
    const auto hms = ParseThreeNumbers(value, ':');
    if (!hms)
        return UnreadableReply(word, value);
    time = Date(((*hms)[0] * 3600.0 + (*hms)[1] * 60.0 + (*hms)[2]) / kSecondsPerDay);
    return hr;
}

HRESULT CRCPSession::get_ElapsedTime(Date& time) { return GetTimeValue("GetElapsedTime", time); }
HRESULT CRCPSession::get_TotalTime(Date& time) { return GetTimeValue("GetTotalTime", time); }

HRESULT CRCPSession::get_Volume(std::int32_t& volume)
{
    std::string value;
    HRESULT hr = Command("GetVolume", {}, &value);
    if (FAILED(hr))
        return hr;
    const auto number = ParseDecimal32(value);
    if (!number)
        return UnreadableReply("GetVolume", value);
    volume = *number;
    return hr;
}

HRESULT CRCPSession::put_Volume(std::int32_t volume)
{
    return Command("SetVolume", std::to_string(volume));
}

HRESULT CRCPSession::PressRemoteKey(VelkRemoteKeys key)
{
    // An unknown code sends no key name; the player refuses it.
    return Command("IrDispatchCommand", RemoteKeyName(key));
}

HRESULT CRCPSession::get_VisualizerMode(RCPVisualizerMode& mode)
{
    std::string value;
    HRESULT hr = Command("GetVisualizerMode", {}, &value);
    if (FAILED(hr))
        return hr;
    const auto known = ValueOfWord(kVisualizerModes, value);
    if (!known)
        return UnreadableReply("GetVisualizerMode", value);
    mode = static_cast<RCPVisualizerMode>(*known);
    return hr;
}

HRESULT CRCPSession::put_VisualizerMode(RCPVisualizerMode mode)
{
    const auto word = WordOfValue(kVisualizerModes, static_cast<std::int32_t>(mode));
    if (word.empty())
        return ReportError(E_INVALIDARG);
    return Command("SetVisualizerMode", word);
}

HRESULT CRCPSession::get_Language(std::string& language)
{
    return Command("GetLanguage", {}, &language);
}

HRESULT CRCPSession::put_Language(std::string_view language)
{
    return Command("SetLanguage", language);
}

HRESULT CRCPSession::get_FriendlyName(std::string& name)
{
    return Command("GetFriendlyName", {}, &name, kFirmwareSettings);
}

HRESULT CRCPSession::put_FriendlyName(std::string_view name)
{
    return Command("SetFriendlyName", name, nullptr, kFirmwareSettings);
}

HRESULT CRCPSession::get_TimeZone(std::string& zone)
{
    return Command("GetTimeZone", {}, &zone, kFirmwareSettings);
}

HRESULT CRCPSession::get_Time(Date& time)
{
    if (control_.firmware_version() < kFirmwareSettings)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    std::lock_guard lock(mutex_);
    std::string date_value;
    HRESULT hr = Command("GetDate", {}, &date_value);
    if (FAILED(hr))
        return hr;
    std::string time_value;
    hr = Command("GetTime", {}, &time_value);
    if (FAILED(hr))
        return hr;
    const auto mdy = ParseThreeNumbers(date_value, '-');
    const auto hms = ParseThreeNumbers(time_value, ':');
    if (!mdy || !hms)
        return ReportError(E_UNEXPECTED);
    // Players that send two digits of year mean this century.
    constexpr int kCenturyYears = 100;
    constexpr int kThisCentury = 2000;
    const int year = (*mdy)[2] < kCenturyYears ? kThisCentury + (*mdy)[2] : (*mdy)[2];
    const auto date = Date::FromCalendar(
        {year, (*mdy)[0], (*mdy)[1], (*hms)[0], (*hms)[1], (*hms)[2], 0, 0});
    if (!date)
        return ReportError(E_UNEXPECTED);
    time = *date;
    return hr;
}

HRESULT CRCPSession::put_Time(Date time)
{
    if (control_.firmware_version() < kFirmwareSettings)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    // A date the player cannot show is refused here rather than sent as garbage.
    const auto fields = time.ToCalendar();
    if (!fields)
        return ReportError(E_INVALIDARG);
    std::lock_guard lock(mutex_);
    char date_text[32];
    std::snprintf(date_text, sizeof date_text, "%02d-%02d-%04d", fields->month, fields->day,
                  fields->year);
    HRESULT hr = Command("SetDate", date_text);
    if (FAILED(hr))
        return hr;
    return Command("SetTime", TwoDigits(fields->hour) + "-" + TwoDigits(fields->minute) + "-" +
                                  TwoDigits(fields->second));
}

HRESULT CRCPSession::get_PowerState(bool& on)
{
    std::string value;
    HRESULT hr = Command("GetPowerState", {}, &value, kFirmwarePowerState);
    if (SUCCEEDED(hr))
        on = EqualsIgnoringCase(value, "On");
    return hr;
}

HRESULT CRCPSession::put_PowerState(bool on)
{
    return Command("SetPowerState", on ? "on yes" : "standby", nullptr, kFirmwarePowerState);
}

HRESULT CRCPSession::get_IsSoftwareUpgradeAvailable(bool& available)
{
    std::string value;
    HRESULT hr = Command("CheckSoftwareUpgrade", {}, &value, kFirmwareSettings);
    if (SUCCEEDED(hr))
        available = value != "NoUpgradeAvailable";
    return hr;
}

HRESULT CRCPSession::RunUpgradeOnce(bool& done)
{
    const DWORD cookie = interface_cookie_;
    // Reader thread: only notes the outcome and passes progress on to the session's apartment.
    auto on_line = [&done, cookie](std::string_view line, std::int32_t) {
        if (line == "UpgradeComplete") {
            done = true;
        } else if (line == "NoUpgradeAvailable") {
            done = false;
        } else {
            Git::Global().Post(cookie, [text = std::string(line)](const UnknownPtr& object) {
                if (auto session = std::dynamic_pointer_cast<IRCPSession>(object))
                    session->_OnRCPEvent(RCPEventType::EventTypeUpgrade, text);
            });
        }
        return S_OK;
    };
    std::lock_guard lock(mutex_);
    return control_.ExecuteWithLines("ExecuteSoftwareUpgrade", {}, on_line, kUpgradeReplyTimeoutMs,
                                     kUpgradeMaxMs);
}

HRESULT CRCPSession::ExecuteSoftwareUpgrade()
{
    if (control_.firmware_version() < kFirmwareSettings)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    bool done = false;
    HRESULT hr = RunUpgradeOnce(done);
    for (int attempt = 1;
         hr == E_RCP_CANT_RUN_WITH_SERVER_CONNECTED && attempt < kUpgradeAttempts; ++attempt) {
        HRESULT disconnect = Command("ServerDisconnect");
        if (FAILED(disconnect))
            return disconnect;
        hr = RunUpgradeOnce(done);
    }
    if ((hr == S_OK && done) || hr == E_RCP_AWAITING_POST_UPGRADE_REBOOT) {
        control_.SendWithoutReply("Reboot");
        // The player goes away to restart; let the service find it again afterwards.
        auto device = device_.lock();
        std::string udn;
        if (service_cookie_ != 0 && device && SUCCEEDED(device->get_UDN(udn))) {
            Git::Global().Invoke<IVelkDataService>(
                service_cookie_, [&udn](IVelkDataService& service) {
                    return service.RemoveDevice(udn);
                });
        }
    }
    if (hr == E_ABORT)
        return hr;
    return ReportIfFailed(hr);
}

void CRCPSession::SendFiltersForCategories()
{
    // The player applies filters to the next listing only; their results do not matter.
    const std::pair<std::string_view, const std::string*> filters[] = {
        {"SetBrowseFilterGenre", &filter_genre_},
        {"SetBrowseFilterArtist", &filter_artist_},
        {"SetBrowseFilterComposer", &filter_composer_},
        {"SetBrowseFilterAlbum", &filter_album_},
    };
    for (const auto& [word, text] : filters) {
        if (!text->empty())
            control_.Execute(word, *text);
    }
}

void CRCPSession::SendFiltersForSongs()
{
    const std::pair<std::string_view, const std::string*> filters[] = {
        {"SetBrowseFilterLocation", &filter_location_},
        {"SetBrowseFilterMediaLanguage", &filter_media_language_},
        {"SetBrowseFilterGenre", &filter_genre_},
        {"SetBrowseFilterArtist", &filter_artist_},
        {"SetBrowseFilterComposer", &filter_composer_},
        {"SetBrowseFilterAlbum", &filter_album_},
    };
    for (const auto& [word, text] : filters) {
        if (!text->empty())
            control_.Execute(word, *text);
    }
    if (filter_top_stations_)
        control_.Execute("SetBrowseFilterTopStations");
    if (filter_favorites_)
        control_.Execute("SetBrowseFilterFavorites");
    if (song_sort_order_ == RCPSongSortOrder::SongSortOrderAlpha)
        control_.Execute("SetSongListSort", "alpha");
    else if (song_sort_order_ != RCPSongSortOrder::SongSortOrderUnordered)
        control_.Execute("SetSongListSort", "albumTrack");
}

HRESULT CRCPSession::ListCategory(std::string_view word, std::shared_ptr<IEnumRCPList>& list)
{
    std::lock_guard lock(mutex_);
    SendFiltersForCategories();
    return ListItems(shared_from_this(), word, {}, list);
}

HRESULT CRCPSession::get_Genres(std::shared_ptr<IEnumRCPList>& list)
{
    return ListCategory("ListGenres", list);
}

HRESULT CRCPSession::get_Artists(std::shared_ptr<IEnumRCPList>& list)
{
    return ListCategory("ListArtists", list);
}

HRESULT CRCPSession::get_Albums(std::shared_ptr<IEnumRCPList>& list)
{
    return ListCategory("ListAlbums", list);
}

HRESULT CRCPSession::get_Composers(std::shared_ptr<IEnumRCPList>& list)
{
    return ListCategory("ListComposers", list);
}

HRESULT CRCPSession::get_Songs(std::shared_ptr<IEnumRCPSong>& songs)
{
    std::lock_guard lock(mutex_);
    SendFiltersForSongs();
    return ListSongs(shared_from_this(), "ListSongs", {}, songs);
}

HRESULT CRCPSession::SearchArtists(std::string_view text, std::shared_ptr<IEnumRCPList>& list)
{
    return ListItems(shared_from_this(), "SearchArtists", text, list);
}

HRESULT CRCPSession::SearchAlbums(std::string_view text, std::shared_ptr<IEnumRCPList>& list)
{
    return ListItems(shared_from_this(), "SearchAlbums", text, list);
}

HRESULT CRCPSession::SearchComposers(std::string_view text, std::shared_ptr<IEnumRCPList>& list)
{
    return ListItems(shared_from_this(), "SearchComposers", text, list);
}

HRESULT CRCPSession::SearchSongs(std::string_view text, std::shared_ptr<IEnumRCPSong>& songs)
{
    return ListSongs(shared_from_this(), "SearchSongs", text, songs);
}

HRESULT CRCPSession::SearchAll(std::string_view text, std::shared_ptr<IEnumRCPSong>& songs)
{
    return ListSongs(shared_from_this(), "SearchAll", text, songs);
}

HRESULT CRCPSession::get_Servers(std::shared_ptr<IEnumRCPServers>& servers)
{
    std::lock_guard lock(mutex_);
    if (!servers_) {
        std::string words;
        for (const auto& [word, bit] : kServerFilterWords) {
            if (server_filter_ & bit)
                words += word;
        }
        HRESULT hr = Command("SetServerFilter", words);
        if (FAILED(hr))
            return hr;
        hr = ListServers(shared_from_this(), servers_);
        if (FAILED(hr))
            return hr;
    }
    servers = servers_;
    return S_OK;
}

HRESULT CRCPSession::get_ConnectedServer(std::shared_ptr<IRCPServer>& server)
{
    if (control_.firmware_version() < kFirmwarePowerState)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    std::lock_guard lock(mutex_);
    HRESULT hr = ReportIfFailed(control_.RefreshServer());
    if (FAILED(hr))
        return hr;
    std::shared_ptr<IEnumRCPServers> servers;
    hr = get_Servers(servers);
    if (FAILED(hr))
        return hr;
    server.reset();
    if (FAILED(servers->Item(Variant(control_.connected_server().name), server))) {
        ClearErrorInfo();
        return S_FALSE;
    }
    return S_OK;
}

HRESULT CRCPSession::get_NowPlaying(std::shared_ptr<IRCPNowPlayingList>& list)
{
    return ListNowPlaying(shared_from_this(), list);
}

HRESULT CRCPSession::get_Playlists(std::shared_ptr<IEnumRCPPlaylist>& playlists)
{
    return ListPlaylists(shared_from_this(), playlists);
}

HRESULT CRCPSession::get_Languages(std::shared_ptr<IEnumRCPLanguages>& languages)
{
    return ListLanguages(shared_from_this(), languages);
}

HRESULT CRCPSession::get_Visualizers(std::shared_ptr<IEnumRCPVisualizers>& visualizers)
{
    return ListVisualizers(shared_from_this(), visualizers);
}

HRESULT CRCPSession::get_RootContainer(std::shared_ptr<IRCPContainer>& root)
{
    return MakeRootContainer(shared_from_this(), root);
}

HRESULT CRCPSession::get_Presets(std::shared_ptr<IEnumRCPPresets>& presets)
{
    if (control_.firmware_version() < kFirmwarePresets)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    return ListPresets(shared_from_this(), presets);
}

HRESULT CRCPSession::get_TimeZones(std::shared_ptr<IEnumRCPTimeZones>& zones)
{
    if (control_.firmware_version() < kFirmwareSettings)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    return ListTimeZones(shared_from_this(), zones);
}

HRESULT CRCPSession::get_Version(std::shared_ptr<IRCPVersion>& version)
{
    version = MakeVersion(shared_from_this());
    return S_OK;
}

HRESULT CRCPSession::get_Network(std::shared_ptr<IRCPNetwork>& network)
{
    if (control_.firmware_version() < kFirmwareSettings)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    network = MakeNetwork(shared_from_this());
    return S_OK;
}

HRESULT CRCPSession::get_Options(std::shared_ptr<IRCPOptions>& options)
{
    options = MakeOptions(shared_from_this());
    return S_OK;
}

HRESULT CRCPSession::get_BrowseFilterLocations(Variant& locations)
{
    if (control_.firmware_version() < kFirmwarePowerState)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    return ListStrings(shared_from_this(), "ListLocations", locations);
}

HRESULT CRCPSession::get_BrowseFilterMediaLanguages(Variant& languages)
{
    if (control_.firmware_version() < kFirmwarePowerState)
        return ReportError(E_RCP_FIRMWARE_TOO_OLD);
    return ListStrings(shared_from_this(), "ListMediaLanguages", languages);
}

HRESULT CRCPSession::get_Display(DispatchablePtr& display)
{
    if (!display_)
        return ReportError(E_NOTIMPL, "The player's display (\"" + control_.display_type() +
                                          "\") has no picture to capture.");
    display = display_;
    return S_OK;
}

// The browse state: kept here, sent before the next listing.

HRESULT CRCPSession::get_BrowseFilterGenre(std::string& filter)
{
    filter = filter_genre_;
    return S_OK;
}

HRESULT CRCPSession::put_BrowseFilterGenre(std::string_view filter)
{
    filter_genre_ = filter;
    return S_OK;
}

HRESULT CRCPSession::get_BrowseFilterArtist(std::string& filter)
{
    filter = filter_artist_;
    return S_OK;
}

HRESULT CRCPSession::put_BrowseFilterArtist(std::string_view filter)
{
    filter_artist_ = filter;
    return S_OK;
}

HRESULT CRCPSession::get_BrowseFilterAlbum(std::string& filter)
{
    filter = filter_album_;
    return S_OK;
}

HRESULT CRCPSession::put_BrowseFilterAlbum(std::string_view filter)
{
    filter_album_ = filter;
    return S_OK;
}

HRESULT CRCPSession::get_BrowseFilterComposer(std::string& filter)
{
    filter = filter_composer_;
    return S_OK;
}

HRESULT CRCPSession::put_BrowseFilterComposer(std::string_view filter)
{
    filter_composer_ = filter;
    return S_OK;
}

HRESULT CRCPSession::get_BrowseFilterLocation(std::string& filter)
{
    filter = filter_location_;
    return S_OK;
}

HRESULT CRCPSession::put_BrowseFilterLocation(std::string_view filter)
{
    filter_location_ = filter;
    return S_OK;
}

HRESULT CRCPSession::get_BrowseFilterMediaLanguage(std::string& filter)
{
    filter = filter_media_language_;
    return S_OK;
}

HRESULT CRCPSession::put_BrowseFilterMediaLanguage(std::string_view filter)
{
    filter_media_language_ = filter;
    return S_OK;
}

HRESULT CRCPSession::get_BrowseFilterTopStations(bool& on)
{
    on = filter_top_stations_;
    return S_OK;
}

HRESULT CRCPSession::put_BrowseFilterTopStations(bool on)
{
    filter_top_stations_ = on;
    return S_OK;
}

HRESULT CRCPSession::get_BrowseFilterFavorites(bool& on)
{
    on = filter_favorites_;
    return S_OK;
}

HRESULT CRCPSession::put_BrowseFilterFavorites(bool on)
{
    filter_favorites_ = on;
    return S_OK;
}

HRESULT CRCPSession::get_SongSortOrder(RCPSongSortOrder& order)
{
    order = song_sort_order_;
    return S_OK;
}

HRESULT CRCPSession::put_SongSortOrder(RCPSongSortOrder order)
{
    song_sort_order_ = order;
    return S_OK;
}

HRESULT CRCPSession::get_BrowseFilterServer(std::int32_t& types)
{
    types = server_filter_;
    return S_OK;
}

HRESULT CRCPSession::put_BrowseFilterServer(std::int32_t types)
{
    server_filter_ = types;
    return S_OK;
}

// Subscriptions and events.

RcpLineCallback CRCPSession::EventCallback(RCPEventType type)
{
    const DWORD cookie = interface_cookie_;
    // Reader thread: never waits for the session's apartment, only queues the line there.
    return [cookie, type](std::string_view line, std::int32_t) {
        Git::Global().Post(cookie, [type, text = std::string(line)](const UnknownPtr& object) {
            if (auto session = std::dynamic_pointer_cast<IRCPSession>(object))
                session->_OnRCPEvent(type, text);
        });
        return S_OK;
    };
}

HRESULT CRCPSession::SubscribeDisplay()
{
    return ReportIfFailed(control_.Subscribe("DisplayUpdateEventSubscribe", "DisplayUpdateEvent",
                                             EventCallback(RCPEventType::EventTypeDisplay)));
}

HRESULT CRCPSession::SubscribeRemoteKeys()
{
    HRESULT hr = ReportIfFailed(
        control_.Subscribe("IrDemodSubscribe", "IrDemod", EventCallback(RCPEventType::EventTypeIR)));
    keys_subscribed_ = SUCCEEDED(hr);
    return hr;
}

HRESULT CRCPSession::UnsubscribeRemoteKeys()
{
    keys_subscribed_ = false;
    control_.RemoveTransaction("IrDemod");
    return ReportIfFailed(control_.PostCommand("IrDemodUnsubscribe", nullptr));
}

HRESULT CRCPSession::get_MonitorRemoteKey(bool& on)
{
    on = key_monitor_count_ > 0;
    return S_OK;
}

HRESULT CRCPSession::put_MonitorRemoteKey(bool on)
{
    std::lock_guard lock(mutex_);
    if (on) {
        if (key_monitor_count_ == 0) {
            HRESULT hr = SubscribeRemoteKeys();
            if (FAILED(hr))
                return hr;
        }
        ++key_monitor_count_;
        return S_OK;
    }
    if (key_monitor_count_ == 0)
        return S_FALSE;
    if (--key_monitor_count_ == 0)
        return UnsubscribeRemoteKeys();
    return S_OK;
}

HRESULT CRCPSession::put_SuspendIRRouting(bool suspend)
{
    std::lock_guard lock(mutex_);
    return suspend ? UnsubscribeRemoteKeys() : SubscribeRemoteKeys();
}

HRESULT CRCPSession::get_MonitorDisplay(bool& on)
{
    on = display_monitor_count_ > 0;
    return S_OK;
}

HRESULT CRCPSession::put_MonitorDisplay(bool on)
{
    std::lock_guard lock(mutex_);
    if (on) {
        if (display_monitor_count_ == 0) {
            // The capture may have missed changes while nobody monitored the display.
            if (display_)
                display_->OnUpdateDisplay();
            HRESULT hr = SubscribeDisplay();
            if (FAILED(hr))
                return hr;
        }
        ++display_monitor_count_;
        return S_OK;
    }
    if (display_monitor_count_ == 0)
        return S_FALSE;
    if (--display_monitor_count_ == 0) {
        control_.RemoveTransaction("DisplayUpdateEvent");
        return ReportIfFailed(control_.PostCommand("DisplayUpdateEventUnsubscribe", nullptr));
    }
    return S_OK;
}

HRESULT CRCPSession::Advise(std::shared_ptr<_IRCPSessionEvents> sink, DWORD& cookie)
{
    return sinks_.Advise(std::move(sink), cookie);
}

HRESULT CRCPSession::Unadvise(DWORD cookie) { return sinks_.Unadvise(cookie); }

HRESULT CRCPSession::AdviseDispatch(DispatchablePtr sink, DWORD& cookie)
{
    return dispatch_sinks_.Advise(std::move(sink), cookie);
}

HRESULT CRCPSession::UnadviseDispatch(DWORD cookie) { return dispatch_sinks_.Unadvise(cookie); }

void CRCPSession::RaiseEvent(Handler which, DISPID dispid,
                             const std::function<HRESULT(_IRCPSessionEvents&)>& fire,
                             std::vector<Variant>& args)
{
    sinks_.Fire(fire);
    dispatch_sinks_.Fire([&](IDispatchable& sink) {
        Variant result;
        return sink.Invoke(dispid, MemberKind::Method, args, result);
    });
    if (handlers_[which]) {
        Variant result;
        handlers_[which]->Invoke(0, MemberKind::Method, args, result);
    }
}

void CRCPSession::DispatchRemoteKey(std::string_view text)
{
    // A key the enumeration lacks reaches no sink, but the player still gets to act on it.
    bool suppress = false;
    if (const auto key = RemoteKeyFromName(text)) {
        std::vector<Variant> args{Variant(static_cast<std::int32_t>(*key)),
                                  Variant::FromBool(false)};
        sinks_.Fire([&](_IRCPSessionEvents& sink) { return sink.OnRemoteKey(*key, suppress); });
        dispatch_sinks_.Fire([&](IDispatchable& sink) {
            args[1] = Variant::FromBool(suppress);
            Variant result;
            HRESULT hr = sink.Invoke(kDispidOnRemoteKey, MemberKind::Method, args, result);
            bool set = false;
            if (SUCCEEDED(args[1].ToBool(set)) && set)
                suppress = true;
            return hr;
        });
        if (handlers_[kHandlerRemoteKey]) {
            std::vector<Variant> handler_args{
                Variant(static_cast<std::uint16_t>(*key)), Variant::FromBool(suppress)};
            Variant result;
            handlers_[kHandlerRemoteKey]->Invoke(0, MemberKind::Method, handler_args, result);
            bool set = false;
            if (SUCCEEDED(handler_args[1].ToBool(set)) && set)
                suppress = true;
        }
    }
    if (!suppress)
        control_.Execute("IrDispatchCommand", text);
}

HRESULT CRCPSession::_OnRCPEvent(RCPEventType type, std::string_view text)
{
    std::lock_guard lock(mutex_);
    std::vector<Variant> no_args;
    switch (type) {
    case RCPEventType::EventTypeDisplay:
        if (display_)
            display_->OnUpdateDisplay();
        RaiseEvent(kHandlerUpdateDisplay, kDispidOnUpdateDisplay,
                   [](_IRCPSessionEvents& sink) { return sink.OnUpdateDisplay(); }, no_args);
        return S_OK;
    case RCPEventType::EventTypeIR:
        DispatchRemoteKey(text);
        return S_OK;
    case RCPEventType::EventTypeTransportState: {
        const auto state = static_cast<RCPTransportStates>(
            ValueOfWord(kUpnpTransportStates, text)
                .value_or(static_cast<std::int32_t>(RCPTransportStates::TransportStateError)));
        std::vector<Variant> args{Variant(static_cast<std::int32_t>(state))};
        RaiseEvent(kHandlerUpdateTransportState, kDispidOnUpdateTransportState,
                   [state](_IRCPSessionEvents& sink) { return sink.OnUpdateTransportState(state); },
                   args);
        return S_OK;
    }
    case RCPEventType::EventTypePlayMode:
        RaiseEvent(kHandlerUpdatePlayMode, kDispidOnUpdatePlayMode,
                   [](_IRCPSessionEvents& sink) { return sink.OnUpdatePlayMode(); }, no_args);
        return S_OK;
    case RCPEventType::EventTypeTrackDetails:
        RaiseEvent(kHandlerUpdateTrackDetails, kDispidOnUpdateTrackDetails,
                   [](_IRCPSessionEvents& sink) { return sink.OnUpdateTrackDetails(); }, no_args);
        return S_OK;
    case RCPEventType::EventTypeUpgrade: {
        std::int32_t progress = 0;
        std::optional<std::int32_t> step = ValueOfWord(kUpgradeSteps, text);
        if (!step && text.starts_with(kDownloadingUpgrade)) {
            step = static_cast<std::int32_t>(RCPUpgradeState::UpgradeStateDownloadingUpgrade);
            if (text.size() > kDownloadProgressColumn)
                progress = ParseDecimal32(text.substr(kDownloadProgressColumn)).value_or(0);
        }
        if (!step)
            return E_INVALIDARG;
        const auto state = static_cast<RCPUpgradeState>(*step);
        std::vector<Variant> args{Variant(*step), Variant(progress)};
        RaiseEvent(kHandlerUpgradeFirmware, kDispidOnUpgradeFirmware,
                   [state, progress](_IRCPSessionEvents& sink) {
                       return sink.OnUpgradeFirmware(state, progress);
                   },
                   args);
        return S_OK;
    }
    }
    return E_INVALIDARG;
}

HRESULT CRCPSession::PutHandler(Handler which, const Variant& handler)
{
    if (handler.IsEmpty()) {
        handlers_[which].reset();
        return S_OK;
    }
    UnknownPtr object;
    auto dispatchable = SUCCEEDED(handler.ToObject(object))
                            ? std::dynamic_pointer_cast<IDispatchable>(object)
                            : nullptr;
    if (!dispatchable)
        return ReportError(E_INVALIDARG);
    handlers_[which] = std::move(dispatchable);
    return S_OK;
}

HRESULT CRCPSession::GetHandler(Handler which, Variant& handler)
{
    handler = handlers_[which] ? Variant(UnknownPtr(handlers_[which])) : Variant();
    return S_OK;
}

HRESULT CRCPSession::put_OnRemoteKey(const Variant& h) { return PutHandler(kHandlerRemoteKey, h); }
HRESULT CRCPSession::get_OnRemoteKey(Variant& h) { return GetHandler(kHandlerRemoteKey, h); }

HRESULT CRCPSession::put_OnUpdateDisplay(const Variant& h)
{
    return PutHandler(kHandlerUpdateDisplay, h);
}

HRESULT CRCPSession::get_OnUpdateDisplay(Variant& h) { return GetHandler(kHandlerUpdateDisplay, h); }

HRESULT CRCPSession::put_OnUpdateTransportState(const Variant& h)
{
    return PutHandler(kHandlerUpdateTransportState, h);
}

HRESULT CRCPSession::get_OnUpdateTransportState(Variant& h)
{
    return GetHandler(kHandlerUpdateTransportState, h);
}

HRESULT CRCPSession::put_OnUpdatePlayMode(const Variant& h)
{
    return PutHandler(kHandlerUpdatePlayMode, h);
}

HRESULT CRCPSession::get_OnUpdatePlayMode(Variant& h)
{
    return GetHandler(kHandlerUpdatePlayMode, h);
}

HRESULT CRCPSession::put_OnUpdateTrackDetails(const Variant& h)
{
    return PutHandler(kHandlerUpdateTrackDetails, h);
}

HRESULT CRCPSession::get_OnUpdateTrackDetails(Variant& h)
{
    return GetHandler(kHandlerUpdateTrackDetails, h);
}

HRESULT CRCPSession::put_OnUpgradeFirmware(const Variant& h)
{
    return PutHandler(kHandlerUpgradeFirmware, h);
}

HRESULT CRCPSession::get_OnUpgradeFirmware(Variant& h)
{
    return GetHandler(kHandlerUpgradeFirmware, h);
}

HRESULT CRCPSession::OnShutdown()
{
    // The kept server list's items hold the session; clients that still hold items keep it
    // alive until they let go.
    servers_.reset();
    if (interface_cookie_ != 0)
        Git::Global().Revoke(std::exchange(interface_cookie_, 0));
    if (display_)
        display_->Shutdown();
    return S_OK;
}

} // namespace velk
