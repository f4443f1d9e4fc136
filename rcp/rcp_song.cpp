#include "rcp/rcp_song.h"

#include <new>

#include "rcp/rcp_reply_values.h"
#include "rcp/rcp_session.h"

namespace velk {

namespace {

constexpr std::string_view kResourcePrefix = "resource[";
constexpr double kSecondsPerDay = 86400.0;

struct TextKey {
    std::string_view key;
    std::string SongInfo::*field;
};
constexpr TextKey kTextKeys[] = {
    {"title", &SongInfo::title},
    {"genre", &SongInfo::genre},
    {"artist", &SongInfo::artist},
    {"album", &SongInfo::album},
    {"composer", &SongInfo::composer},
    {"songFormat", &SongInfo::song_format},
    {"formatDescription", &SongInfo::format_description},
    {"format", &SongInfo::format},
    {"status", &SongInfo::status},
    {"comment", &SongInfo::comment},
};

struct NumberKey {
    std::string_view key;
    std::int32_t SongInfo::*field;
};
constexpr NumberKey kNumberKeys[] = {
    {"discNumber", &SongInfo::disc_number},
    {"discCount", &SongInfo::disc_count},
    {"trackNumber", &SongInfo::track_number},
    {"trackCount", &SongInfo::track_count},
    {"year", &SongInfo::year},
    {"tunerFrequency", &SongInfo::frequency},
};

struct ResourceNumberKey {
    std::string_view key;
    std::int32_t SongResourceInfo::*field;
};
constexpr ResourceNumberKey kResourceNumberKeys[] = {
    {"sampleRate", &SongResourceInfo::sample_rate},
    {"bitrate", &SongResourceInfo::bit_rate},
    {"numChannels", &SongResourceInfo::channels},
};

// bigEndianBuffer, bigEndian, bitsPerSample and unknown keys are not kept.
void ApplyResourceLine(SongResourceInfo& resource, std::string_view key, std::string_view value)
{
    if (key == "url") {
        resource.url = value;
    } else if (key == "format") {
        resource.format = value;
    } else if (key == "sizeBytes") {
        if (auto size = ParseDecimal(value))
            resource.size = *size;
    } else {
        for (const auto& number : kResourceNumberKeys) {
            if (key != number.key)
                continue;
            if (auto parsed = ParseDecimal32(value))
                resource.*number.field = *parsed;
            return;
        }
    }
}

// "resource[<i>] <key>: <value>": index i may fill a resource already read or add the next.
void ApplyResourceLine(SongInfo& info, std::string_view line, std::string_view key)
{
    const std::size_t close = key.find(']');
    if (close == std::string_view::npos)
        return;
    const auto index =
        ParseDecimal(line.substr(kResourcePrefix.size(), close - kResourcePrefix.size()));
    if (!index || *index < 0 || static_cast<std::uint64_t>(*index) > info.resources.size())
        return;
    const auto position = static_cast<std::size_t>(*index);
    if (position == info.resources.size())
        info.resources.emplace_back();
    // The resource key follows the bracket and one separator.
    const auto pair = SplitReplyLine(line.substr(std::min(line.size(), close + 2)));
    if (pair)
        ApplyResourceLine(info.resources[position], pair->first, pair->second);
}

} // namespace

void ApplySongInfoLine(SongInfo& info, std::string_view line)
{
    const auto pair = SplitReplyLine(line);
    if (!pair)
        return;
    const auto [key, value] = *pair;
    if (key.starts_with(kResourcePrefix))
        return ApplyResourceLine(info, line, key);
    for (const auto& text : kTextKeys) {
        if (key == text.key) {
            info.*text.field = value;
            return;
        }
    }
    for (const auto& number : kNumberKeys) {
        if (key == number.key) {
            if (auto parsed = ParseDecimal32(value))
                info.*number.field = *parsed;
            return;
        }
    }
    if (key == "trackLengthMS") {
        // Whole seconds: the fraction of a second is dropped.
        if (auto ms = ParseDecimal(value); ms && *ms >= 0)
            info.duration_seconds = *ms / 1000;
    } else if (key == "compilation") {
        info.compilation = true;
    } else if (key == "disabled") {
        info.disabled = value == "1";
    }
}

const Dispatcher<CRCPSongResource>& CRCPSongResource::Dispatch()
{
    using R = CRCPSongResource;
    static const auto dispatcher = DispatchBuilder<R>("IRCPSongResource")
                                       .Get("URL", 1, &R::get_URL)
                                       .Get("Format", 2, &R::get_Format)
                                       .Get("SampleRate", 3, &R::get_SampleRate)
                                       .Get("BitRate", 4, &R::get_BitRate)
                                       .Get("Channels", 5, &R::get_Channels)
                                       .Get("Size", 6, &R::get_Size)
                                       .Build();
    return dispatcher;
}

HRESULT CRCPSongResource::get_URL(std::string& url)
{
    url = info_.url;
    return S_OK;
}

HRESULT CRCPSongResource::get_Format(std::string& format)
{
    format = info_.format;
    return S_OK;
}

HRESULT CRCPSongResource::get_SampleRate(std::int32_t& rate)
{
    rate = info_.sample_rate;
    return S_OK;
}

HRESULT CRCPSongResource::get_BitRate(std::int32_t& rate)
{
    rate = info_.bit_rate;
    return S_OK;
}

HRESULT CRCPSongResource::get_Channels(std::int32_t& channels)
{
    channels = info_.channels;
    return S_OK;
}

HRESULT CRCPSongResource::get_Size(std::int64_t& size)
{
    size = info_.size;
    return S_OK;
}

const Dispatcher<CRCPSong>& CRCPSong::Dispatch()
{
    using S = CRCPSong;
    static const auto dispatcher = ItemMembers("IRCPSong")
                                       .Get("Album", 2, &S::get_Album)
                                       .Get("Artist", 3, &S::get_Artist)
                                       .Get("Genre", 4, &S::get_Genre)
                                       .Get("Composer", 5, &S::get_Composer)
                                       .Get("Format", 6, &S::get_Format)
                                       .Get("FormatDescription", 7, &S::get_FormatDescription)
                                       .Get("SongFormat", 8, &S::get_SongFormat)
                                       .Get("Status", 9, &S::get_Status)
                                       .Get("Comment", 10, &S::get_Comment)
                                       .Get("DiscCount", 11, &S::get_DiscCount)
                                       .Get("DiscNumber", 12, &S::get_DiscNumber)
                                       .Get("TrackCount", 13, &S::get_TrackCount)
                                       .Get("TrackNumber", 14, &S::get_TrackNumber)
                                       .Get("Year", 15, &S::get_Year)
                                       .Get("Frequency", 16, &S::get_Frequency)
                                       .Get("Duration", 17, &S::get_Duration)
                                       .Get("Compilation", 18, &S::get_Compilation)
                                       .Get("Disabled", 19, &S::get_Disabled)
                                       .Get("Resources", 20, &S::get_Resources)
                                       .Build();
    return dispatcher;
}

HRESULT CRCPSong::FetchCurrent(const SessionPtr& session, std::shared_ptr<CRCPSong>& song)
{
    auto current = std::make_shared<CRCPSong>(session, kUnlistedId, std::string());
    HRESULT hr = current->Fill("GetCurrentSongInfo", {});
    if (FAILED(hr))
        return hr;
    song = std::move(current);
    return S_OK;
}

CRCPSong::CRCPSong(SessionPtr session, std::int32_t id, std::string name)
    : CRCPItem(std::move(session), id, std::move(name)),
      info_(NotRead()), list_generation_(session_->song_list_generation())
{
}

// What a song shows before its details are read: shared, as a listing makes thousands of songs.
std::shared_ptr<const SongInfo> CRCPSong::NotRead()
{
    static const auto nothing = std::make_shared<const SongInfo>();
    return nothing;
}

HRESULT CRCPSong::Fetch()
{
    // Reading by number after another song listing would fill this song with another's details.
    if (session_->song_list_generation() != list_generation_)
        return ReportError(E_UNEXPECTED, "The player has listed other songs since this list was "
                                         "made; list the songs again.");
    return Fill("GetSongInfo", IdText());
}

HRESULT CRCPSong::Fill(std::string_view word, std::optional<std::string_view> argument)
{
    // Each fetch reads the song afresh; the listed name stands until a title replaces it.
    SongInfo info;
    info.title = name_;
    HRESULT hr = session_->Query(
        word, argument,
        [&info](std::string_view line, std::int32_t) -> HRESULT {
            try {
                ApplySongInfoLine(info, line);
                return S_OK;
            } catch (const std::bad_alloc&) {
                return E_OUTOFMEMORY;
            }
        });
    if (FAILED(hr))
        return hr;
    name_ = info.title;
    info_ = std::make_shared<const SongInfo>(std::move(info));
    return S_OK;
}

#define VELK_SONG_GETTER(Member, Type, field)                                                      \
    HRESULT CRCPSong::get_##Member(Type& value)                                                    \
    {                                                                                              \
        value = info_->field;                                                                      \
        return S_OK;                                                                               \
    }
VELK_SONG_GETTER(Album, std::string, album)
VELK_SONG_GETTER(Artist, std::string, artist)
VELK_SONG_GETTER(Genre, std::string, genre)
VELK_SONG_GETTER(Composer, std::string, composer)
VELK_SONG_GETTER(Format, std::string, format)
VELK_SONG_GETTER(FormatDescription, std::string, format_description)
VELK_SONG_GETTER(SongFormat, std::string, song_format)
VELK_SONG_GETTER(Status, std::string, status)
VELK_SONG_GETTER(Comment, std::string, comment)
VELK_SONG_GETTER(DiscCount, std::int32_t, disc_count)
VELK_SONG_GETTER(DiscNumber, std::int32_t, disc_number)
VELK_SONG_GETTER(TrackCount, std::int32_t, track_count)
VELK_SONG_GETTER(TrackNumber, std::int32_t, track_number)
VELK_SONG_GETTER(Year, std::int32_t, year)
VELK_SONG_GETTER(Frequency, std::int32_t, frequency)
VELK_SONG_GETTER(Compilation, bool, compilation)
VELK_SONG_GETTER(Disabled, bool, disabled)
#undef VELK_SONG_GETTER

HRESULT CRCPSong::get_Duration(Date& value)
{
    value = Date(static_cast<double>(info_->duration_seconds) / kSecondsPerDay);
    return S_OK;
}

HRESULT CRCPSong::get_Resources(std::shared_ptr<IEnumRCPSongResource>& resources)
{
    CEnumRCPSongResource::Items items;
    items.reserve(info_->resources.size());
    for (const auto& resource : info_->resources)
        items.push_back(std::make_shared<CRCPSongResource>(resource));
    resources = std::make_shared<CEnumRCPSongResource>(std::move(items));
    return S_OK;
}

} // namespace velk
