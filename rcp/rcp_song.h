// A song of one of the session's song lists, and its resources (the files or streams it can
// be played from). A listed song holds its name and position until a client fetches it from
// its collection; then "GetSongInfo <position>" fills the rest. Lives in the session's
// apartment and keeps the session alive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rcp/rcp_list_items.h"

namespace velk {

struct SongResourceInfo {
    std::string url;
    std::string format;
    std::int32_t sample_rate = 0;
    std::int32_t bit_rate = 0;
    std::int32_t channels = 0;
    std::int64_t size = 0;
};

// What the player's song information tells of a song.
struct SongInfo {
    std::string title;
    std::string album;
    std::string artist;
    std::string genre;
    std::string composer;
    std::string format;
    std::string format_description;
    std::string song_format;
    std::string status;
    std::string comment;
    std::int32_t disc_count = 0;
    std::int32_t disc_number = 0;
    std::int32_t track_count = 0;
    std::int32_t track_number = 0;
    std::int32_t year = 0;
    std::int32_t frequency = 0;
    std::int64_t duration_seconds = 0;
    bool compilation = false;
    bool disabled = false;
    std::vector<SongResourceInfo> resources;
};

// Applies one line of a song information reply ("<key>: <value>", or
// "resource[<i>] <key>: <value>" for resource i) to info. Unknown keys, malformed lines and
// numbers, and resource indexes beyond the next one are ignored.
void ApplySongInfoLine(SongInfo& info, std::string_view line);

class CRCPSongResource final : public DispatchImpl<CRCPSongResource, IRCPSongResource> {
public:
    static const Dispatcher<CRCPSongResource>& Dispatch();

    explicit CRCPSongResource(SongResourceInfo info) : info_(std::move(info)) {}

    HRESULT get_URL(std::string& url) override;
    HRESULT get_Format(std::string& format) override;
    HRESULT get_SampleRate(std::int32_t& rate) override;
    HRESULT get_BitRate(std::int32_t& rate) override;
    HRESULT get_Channels(std::int32_t& channels) override;
    HRESULT get_Size(std::int64_t& size) override;

private:
    const SongResourceInfo info_;
};

using CEnumRCPSongResource = CRCPCollection<IEnumRCPSongResource, CRCPSongResource>;

class CRCPSong final : public CRCPItem<CRCPSong, IRCPSong> {
public:
    // The ID of a song that is in no list (the one playing now).
    static constexpr std::int32_t kUnlistedId = -1;

    // Made while its listing runs: it belongs to the session's latest song list.
    CRCPSong(SessionPtr session, std::int32_t id, std::string name);
    static const Dispatcher<CRCPSong>& Dispatch();

    // "GetCurrentSongInfo": the song the player plays now, with ID kUnlistedId.
    static HRESULT FetchCurrent(const SessionPtr& session, std::shared_ptr<CRCPSong>& song);

    // "GetSongInfo <ID>": refills the song from the player's most recent song list, which the
    // ID refers to; E_UNEXPECTED once a later song listing has replaced its list there.
    HRESULT Fetch();

    HRESULT get_Album(std::string& value) override;
    HRESULT get_Artist(std::string& value) override;
    HRESULT get_Genre(std::string& value) override;
    HRESULT get_Composer(std::string& value) override;
    HRESULT get_Format(std::string& value) override;
    HRESULT get_FormatDescription(std::string& value) override;
    HRESULT get_SongFormat(std::string& value) override;
    HRESULT get_Status(std::string& value) override;
    HRESULT get_Comment(std::string& value) override;
    HRESULT get_DiscCount(std::int32_t& value) override;
    HRESULT get_DiscNumber(std::int32_t& value) override;
    HRESULT get_TrackCount(std::int32_t& value) override;
    HRESULT get_TrackNumber(std::int32_t& value) override;
    HRESULT get_Year(std::int32_t& value) override;
    HRESULT get_Frequency(std::int32_t& value) override;
    HRESULT get_Duration(Date& value) override;
    HRESULT get_Compilation(bool& value) override;
    HRESULT get_Disabled(bool& value) override;
    HRESULT get_Resources(std::shared_ptr<IEnumRCPSongResource>& resources) override;

private:
    static std::shared_ptr<const SongInfo> NotRead();
    HRESULT Fill(std::string_view word, std::optional<std::string_view> argument);

    std::shared_ptr<const SongInfo> info_;
    const std::uint64_t list_generation_;
};

using CEnumRCPSong = CRCPCollection<IEnumRCPSong, CRCPSong>;

} // namespace velk
