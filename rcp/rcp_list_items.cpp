#include "rcp/rcp_list_items.h"

#include "rcp/rcp_lists.h"
#include "rcp/rcp_session.h"

namespace velk {

const Dispatcher<CRCPListItem>& CRCPListItem::Dispatch()
{
    static const auto dispatcher = ItemMembers("IRCPListItem").Build();
    return dispatcher;
}

HRESULT SelectById(CRCPSession& session, std::string_view word, std::int32_t id)
{
    return session.Command(word, std::to_string(id));
}

const Dispatcher<CRCPServer>& CRCPServer::Dispatch()
{
    static const auto dispatcher =
        ItemMembers("IRCPServer")
            .Get("ServerType", 2, &CRCPServer::get_ServerType)
            .Method("Connect", 3, &CRCPServer::Connect, {Arg("vtPassword", Variant::Missing())})
            .Method("Disconnect", 4, &CRCPServer::Disconnect)
            .Build();
    return dispatcher;
}

HRESULT CRCPServer::get_ServerType(RCPServerType& type)
{
    type = static_cast<RCPServerType>(session_->connected_server().type);
    return S_OK;
}

HRESULT CRCPServer::Connect(const Variant& vtPassword)
{
    std::optional<std::string> password;
    if (!vtPassword.IsMissing() && !vtPassword.IsEmpty()) {
        std::string text;
        if (FAILED(vtPassword.ToString(text)))
            return ReportError(E_INVALIDARG);
        password = std::move(text);
    }
    auto lock = session_->Lock();
    if (password) {
        HRESULT hr = session_->Command("SetServerConnectPassword", *password);
        if (FAILED(hr))
            return hr;
    }
    HRESULT hr = RepeatList(*session_, "ListServers");
    if (FAILED(hr))
        return hr;
    return session_->Command("ServerConnect", IdText());
}

HRESULT CRCPServer::Disconnect()
{
    return session_->Command("ServerDisconnect");
}

const Dispatcher<CRCPPlaylist>& CRCPPlaylist::Dispatch()
{
    static const auto dispatcher =
        ItemMembers("IRCPPlaylist")
            .Get("Songs", 2, &CRCPPlaylist::get_Songs)
            .Method("Play", 3, &CRCPPlaylist::Play, {Arg("nIndex", Variant(0))})
            .Build();
    return dispatcher;
}

HRESULT CRCPPlaylist::get_Songs(std::shared_ptr<IEnumRCPSong>& songs)
{
    auto lock = session_->Lock();
    HRESULT hr = RepeatList(*session_, "ListPlaylists");
    if (FAILED(hr))
        return hr;
    return ListSongs(session_, "ListPlaylistSongs", IdText(), songs);
}

HRESULT CRCPPlaylist::Play(std::int32_t nIndex)
{
    auto lock = session_->Lock();
    std::shared_ptr<IEnumRCPSong> songs;
    HRESULT hr = get_Songs(songs);
    if (FAILED(hr))
        return hr;
    return session_->Command("QueueAndPlay", std::to_string(nIndex));
}

const Dispatcher<CRCPNowPlayingItem>& CRCPNowPlayingItem::Dispatch()
{
    static const auto dispatcher = ItemMembers("IRCPNowPlayingItem")
                                       .Method("Play", 2, &CRCPNowPlayingItem::Play)
                                       .Method("Remove", 3, &CRCPNowPlayingItem::Remove)
                                       .Build();
    return dispatcher;
}

HRESULT CRCPNowPlayingItem::Play()
{
    return session_->Command("PlayIndex", IdText());
}

HRESULT CRCPNowPlayingItem::Remove()
{
    return session_->Command("NowPlayingRemoveAt", IdText());
}

} // namespace velk
