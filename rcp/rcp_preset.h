// A preset of the player (a station, a playlist or a query it can play at a key press). A
// listed preset holds its name and ID until a client fetches it from its collection; then
// "GetPresetInfo <ID>" fills the rest. Lives in the session's apartment and keeps the session
// alive.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rcp/rcp_list_items.h"

namespace velk {

struct PresetInfo {
    std::string name;
    RCPPresetType type = RCPPresetType::PresetTypeAMTuner;
    std::string url;
    std::string filename;
    std::string path;
    std::string server_name;
    // The server the preset plays from: kFMTuner, kAMTuner, kRSP, kFavoriteRadio, kITunes and
    // kUPnP as the RCPServerType of that kind; other words leave it 0.
    std::int32_t server_type = 0;
    std::int32_t frequency = 0;
    std::string filter_genre;
    std::string filter_artist;
    std::string filter_album;
    std::string filter_composer;
    std::string filter_title;
    std::string filter_all_fields;
    bool exact_match = false;
    bool shuffle = false;
    RCPRepeatStates repeat_mode = RCPRepeatStates::RepeatNone;
};

// Applies one "<key>: <value>" line of a preset information reply; unknown keys, unknown
// words and malformed numbers leave info as it was.
void ApplyPresetInfoLine(PresetInfo& info, std::string_view line);

class CRCPPreset final : public CRCPItem<CRCPPreset, IRCPPreset> {
public:
    using CRCPItem::CRCPItem;
    static const Dispatcher<CRCPPreset>& Dispatch();

    // "GetPresetInfo <ID>": refills the preset.
    HRESULT Fetch();

    HRESULT get_Type(RCPPresetType& type) override;
    HRESULT get_URL(std::string& value) override;
    HRESULT get_Filename(std::string& value) override;
    HRESULT get_Path(std::string& value) override;
    HRESULT get_ServerName(std::string& value) override;
    HRESULT get_ServerType(RCPServerType& value) override;
    HRESULT get_Frequency(std::int32_t& value) override;
    HRESULT get_FilterGenre(std::string& value) override;
    HRESULT get_FilterArtist(std::string& value) override;
    HRESULT get_FilterAlbum(std::string& value) override;
    HRESULT get_FilterComposer(std::string& value) override;
    HRESULT get_FilterTitle(std::string& value) override;
    HRESULT get_FilterAllFields(std::string& value) override;
    HRESULT get_ExactMatch(bool& value) override;
    HRESULT get_Shuffle(bool& value) override;
    HRESULT get_RepeatMode(RCPRepeatStates& value) override;
    // Repeats "ListPresets" so that the ID means this preset, then "PlayPreset <ID>".
    HRESULT Play() override;

private:
    PresetInfo info_;
};

using CEnumRCPPresets = CRCPCollection<IEnumRCPPresets, CRCPPreset>;

} // namespace velk
