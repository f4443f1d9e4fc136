// How the session's members make their result objects: each list runs one RCP list command
// through the session (under its mutex, with its error reporting) and fills a collection from
// the reply lines; the objects that group commands are made on request and send their own.
// A failure of the list command is the failure of the member that asked for the collection.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "velk/rcp_objects.h"

namespace velk {

class CRCPSession;
using SessionPtr = std::shared_ptr<CRCPSession>;

// "ListGenres", "ListArtists", ..., "SearchArtists", ... into names with their IDs.
HRESULT ListItems(const SessionPtr& session, std::string_view word,
                  std::optional<std::string_view> argument, std::shared_ptr<IEnumRCPList>& list);
// "ListSongs", "SearchSongs", "SearchAll": songs whose details are read on access.
HRESULT ListSongs(const SessionPtr& session, std::string_view word,
                  std::optional<std::string_view> argument, std::shared_ptr<IEnumRCPSong>& songs);
// "ListServers" (the session has sent the server filter).
HRESULT ListServers(const SessionPtr& session, std::shared_ptr<IEnumRCPServers>& servers);
HRESULT ListPresets(const SessionPtr& session, std::shared_ptr<IEnumRCPPresets>& presets);
HRESULT ListPlaylists(const SessionPtr& session, std::shared_ptr<IEnumRCPPlaylist>& playlists);
HRESULT ListLanguages(const SessionPtr& session, std::shared_ptr<IEnumRCPLanguages>& languages);
HRESULT ListTimeZones(const SessionPtr& session, std::shared_ptr<IEnumRCPTimeZones>& zones);
HRESULT ListVisualizers(const SessionPtr& session,
                        std::shared_ptr<IEnumRCPVisualizers>& visualizers);
HRESULT ListNowPlaying(const SessionPtr& session, std::shared_ptr<IRCPNowPlayingList>& list);
// "ListLocations", "ListMediaLanguages": an array of strings.
HRESULT ListStrings(const SessionPtr& session, std::string_view word, Variant& strings);
// The root of the player's browse containers, "/".
HRESULT MakeRootContainer(const SessionPtr& session, std::shared_ptr<IRCPContainer>& root);

std::shared_ptr<IRCPVersion> MakeVersion(const SessionPtr& session);
std::shared_ptr<IRCPNetwork> MakeNetwork(const SessionPtr& session);
std::shared_ptr<IRCPOptions> MakeOptions(const SessionPtr& session);

} // namespace velk
