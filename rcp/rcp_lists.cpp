#include "rcp/rcp_lists.h"

#include "rcp/rcp_container.h"
#include "rcp/rcp_network.h"
#include "rcp/rcp_now_playing.h"
#include "rcp/rcp_options.h"
#include "rcp/rcp_preset.h"
#include "rcp/rcp_session.h"
#include "rcp/rcp_song.h"
#include "rcp/rcp_version.h"
#include "rcp/rcp_visualizers.h"

namespace velk {

HRESULT ListItems(const SessionPtr& session, std::string_view word,
                  std::optional<std::string_view> argument, std::shared_ptr<IEnumRCPList>& list)
{
    return ListCollection<CEnumRCPList>(session, word, argument, list);
}

HRESULT ListSongs(const SessionPtr& session, std::string_view word,
                  std::optional<std::string_view> argument, std::shared_ptr<IEnumRCPSong>& songs)
{
    return ListCollection<CEnumRCPSong>(session, word, argument, songs);
}

HRESULT ListServers(const SessionPtr& session, std::shared_ptr<IEnumRCPServers>& servers)
{
    return ListCollection<CEnumRCPServers>(session, "ListServers", {}, servers);
}

HRESULT ListPresets(const SessionPtr& session, std::shared_ptr<IEnumRCPPresets>& presets)
{
    return ListCollection<CEnumRCPPresets>(session, "ListPresets", {}, presets);
}

HRESULT ListPlaylists(const SessionPtr& session, std::shared_ptr<IEnumRCPPlaylist>& playlists)
{
    return ListCollection<CRCPPlaylists>(session, "ListPlaylists", {}, playlists);
}

HRESULT ListLanguages(const SessionPtr& session, std::shared_ptr<IEnumRCPLanguages>& languages)
{
    return ListCollection<CEnumRCPLanguages>(session, "ListLanguages", {}, languages);
}

HRESULT ListTimeZones(const SessionPtr& session, std::shared_ptr<IEnumRCPTimeZones>& zones)
{
    return ListCollection<CEnumRCPTimeZones>(session, "ListTimeZones", {}, zones);
}

HRESULT ListVisualizers(const SessionPtr& session,
                        std::shared_ptr<IEnumRCPVisualizers>& visualizers)
{
    CEnumRCPVisualizers::Items items;
    HRESULT hr = ListItemsInto(
        *session, "ListVisualizers", {},
        [&session](std::int32_t position, std::string_view name) {
            return std::make_shared<CRCPVisualizer>(session, position, std::string(name));
        },
        items);
    if (FAILED(hr))
        return hr;
    visualizers = std::make_shared<CEnumRCPVisualizers>(session, std::move(items));
    return S_OK;
}

HRESULT ListNowPlaying(const SessionPtr& session, std::shared_ptr<IRCPNowPlayingList>& list)
{
    auto queue = std::make_shared<CRCPNowPlayingList>(session);
    HRESULT hr = queue->Refresh();
    if (FAILED(hr))
        return hr;
    list = std::move(queue);
    return S_OK;
}

HRESULT ListStrings(const SessionPtr& session, std::string_view word, Variant& strings)
{
    std::vector<Variant> names;
    HRESULT hr = ListNames(
        *session, word, {}, [&names](std::size_t expected) { names.reserve(expected); },
        [&names](std::int32_t, std::string_view name) { names.emplace_back(std::string(name)); });
    if (FAILED(hr))
        return hr;
    strings = Variant(std::move(names));
    return S_OK;
}

HRESULT MakeRootContainer(const SessionPtr& session, std::shared_ptr<IRCPContainer>& root)
{
    root = CRCPContainer::MakeRoot(session);
    return S_OK;
}

std::shared_ptr<IRCPVersion> MakeVersion(const SessionPtr& session)
{
    return std::make_shared<CRCPVersion>(session);
}

std::shared_ptr<IRCPNetwork> MakeNetwork(const SessionPtr& session)
{
    return std::make_shared<CRCPNetwork>(session);
}

std::shared_ptr<IRCPOptions> MakeOptions(const SessionPtr& session)
{
    return std::make_shared<CRCPOptions>(session);
}

} // namespace velk
