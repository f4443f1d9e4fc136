#include "rcp/rcp_preset.h"

#include <new>

#include "rcp/rcp_reply_values.h"
#include "rcp/rcp_session.h"

namespace velk {

namespace {

struct TextKey {
    std::string_view key;
    std::string PresetInfo::*field;
};
constexpr TextKey kTextKeys[] = {
    {"name", &PresetInfo::name},
    {"URL", &PresetInfo::url},
    {"filename", &PresetInfo::filename},
    {"path", &PresetInfo::path},
    {"serverName", &PresetInfo::server_name},
    {"filter genre", &PresetInfo::filter_genre},
    {"filter artist", &PresetInfo::filter_artist},
    {"filter composer", &PresetInfo::filter_composer},
    {"filter title", &PresetInfo::filter_title},
    {"filter album", &PresetInfo::filter_album},
    {"filter allFields", &PresetInfo::filter_all_fields},
};

template <class T> struct Word {
    std::string_view word;
    T value;
};
constexpr Word<RCPPresetType> kPresetTypes[] = {
    {"kInternetPreset", RCPPresetType::PresetTypeInternetPreset},
    {"kFMPreset", RCPPresetType::PresetTypeFMTuner},
    {"kAMPreset", RCPPresetType::PresetTypeAMTuner},
    {"kPlaylistPreset", RCPPresetType::PresetTypePlaylistPreset},
    {"kQueryPreset", RCPPresetType::PresetTypeQueryPreset},
};
constexpr Word<RCPServerType> kServerTypes[] = {
    {"kFMTuner", RCPServerType::ServerTypeFM},  {"kAMTuner", RCPServerType::ServerTypeAM},
    {"kRSP", RCPServerType::ServerTypeRSP},     {"kFavoriteRadio", RCPServerType::ServerTypeRadio},
    {"kITunes", RCPServerType::ServerTypeDAAP}, {"kUPnP", RCPServerType::ServerTypeUPnP},
};

template <class T, std::size_t N>
std::optional<T> FindWord(const Word<T> (&words)[N], std::string_view word)
{
    for (const auto& entry : words) {
        if (entry.word == word)
            return entry.value;
    }
    return std::nullopt;
}

} // namespace

void ApplyPresetInfoLine(PresetInfo& info, std::string_view line)
{
    const auto pair = SplitReplyLine(line);
    if (!pair)
        return;
    const auto [key, value] = *pair;
    for (const auto& text : kTextKeys) {
        if (key == text.key) {
            info.*text.field = value;
            return;
        }
    }
    if (key == "type") {
        if (auto type = FindWord(kPresetTypes, value))
            info.type = *type;
    } else if (key == "serverType") {
        if (auto type = FindWord(kServerTypes, value))
            info.server_type = static_cast<std::int32_t>(*type);
    } else if (key == "frequency") {
        if (auto frequency = ParseDecimal32(value))
            info.frequency = *frequency;
    } else if (key == "filter exactMatch") {
        info.exact_match = value != "0";
    } else if (key == "shuffleMode") {
        info.shuffle = value == "on";
    } else if (key == "repeatMode") {
        info.repeat_mode = value == "all"   ? RCPRepeatStates::RepeatAll
                           : value == "one" ? RCPRepeatStates::RepeatOne
                                            : RCPRepeatStates::RepeatNone;
    }
}

const Dispatcher<CRCPPreset>& CRCPPreset::Dispatch()
{
    using P = CRCPPreset;
    static const auto dispatcher = ItemMembers("IRCPPreset")
                                       .Get("Type", 2, &P::get_Type)
                                       .Get("URL", 3, &P::get_URL)
                                       .Get("Filename", 4, &P::get_Filename)
                                       .Get("Path", 5, &P::get_Path)
                                       .Get("ServerName", 6, &P::get_ServerName)
                                       .Get("ServerType", 7, &P::get_ServerType)
                                       .Get("Frequency", 8, &P::get_Frequency)
                                       .Get("FilterGenre", 9, &P::get_FilterGenre)
                                       .Get("FilterArtist", 10, &P::get_FilterArtist)
                                       .Get("FilterAlbum", 11, &P::get_FilterAlbum)
                                       .Get("FilterComposer", 12, &P::get_FilterComposer)
                                       .Get("FilterTitle", 13, &P::get_FilterTitle)
                                       .Get("FilterAllFields", 14, &P::get_FilterAllFields)
                                       .Get("ExactMatch", 15, &P::get_ExactMatch)
                                       .Get("Shuffle", 16, &P::get_Shuffle)
                                       .Get("RepeatMode", 17, &P::get_RepeatMode)
                                       .Method("Play", 18, &P::Play)
                                       .Build();
    return dispatcher;
}

HRESULT CRCPPreset::Fetch()
{
    // Each fetch reads the preset afresh; the listed name stands until a name line replaces it.
    PresetInfo info;
    info.name = name_;
    HRESULT hr = session_->Query(
        "GetPresetInfo", IdText(),
        [&info](std::string_view line, std::int32_t) -> HRESULT {
            try {
                ApplyPresetInfoLine(info, line);
                return S_OK;
            } catch (const std::bad_alloc&) {
                return E_OUTOFMEMORY;
            }
        });
    if (FAILED(hr))
        return hr;
    name_ = info.name;
    info_ = std::move(info);
    return S_OK;
}

HRESULT CRCPPreset::Play()
{
    auto lock = session_->Lock();
    HRESULT hr = RepeatList(*session_, "ListPresets");
    if (FAILED(hr))
        return hr;
    return session_->Command("PlayPreset", IdText());
}

#define VELK_PRESET_GETTER(Member, Type, expression)                                               \
    HRESULT CRCPPreset::get_##Member(Type& value)                                                  \
    {                                                                                              \
        value = expression;                                                                        \
        return S_OK;                                                                               \
    }
VELK_PRESET_GETTER(Type, RCPPresetType, info_.type)
VELK_PRESET_GETTER(URL, std::string, info_.url)
VELK_PRESET_GETTER(Filename, std::string, info_.filename)
VELK_PRESET_GETTER(Path, std::string, info_.path)
VELK_PRESET_GETTER(ServerName, std::string, info_.server_name)
VELK_PRESET_GETTER(ServerType, RCPServerType, static_cast<RCPServerType>(info_.server_type))
VELK_PRESET_GETTER(Frequency, std::int32_t, info_.frequency)
VELK_PRESET_GETTER(FilterGenre, std::string, info_.filter_genre)
VELK_PRESET_GETTER(FilterArtist, std::string, info_.filter_artist)
VELK_PRESET_GETTER(FilterAlbum, std::string, info_.filter_album)
VELK_PRESET_GETTER(FilterComposer, std::string, info_.filter_composer)
VELK_PRESET_GETTER(FilterTitle, std::string, info_.filter_title)
VELK_PRESET_GETTER(FilterAllFields, std::string, info_.filter_all_fields)
VELK_PRESET_GETTER(ExactMatch, bool, info_.exact_match)
VELK_PRESET_GETTER(Shuffle, bool, info_.shuffle)
VELK_PRESET_GETTER(RepeatMode, RCPRepeatStates, info_.repeat_mode)
#undef VELK_PRESET_GETTER

} // namespace velk
