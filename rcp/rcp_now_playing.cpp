#include "rcp/rcp_now_playing.h"

#include "rcp/rcp_reply_values.h"
#include "rcp/rcp_session.h"
#include "rcp/rcp_song.h"

namespace velk {

const Dispatcher<CRCPNowPlayingList>& CRCPNowPlayingList::Dispatch()
{
    using N = CRCPNowPlayingList;
    static const auto dispatcher =
        CollectionMembers("IRCPNowPlayingList")
            .Method("Clear", 2, &N::Clear)
            .Get("CurrentIndex", 3, &N::get_CurrentIndex)
            .Get("CurrentSong", 4, &N::get_CurrentSong)
            .Method("Add", 5, &N::Add, {"Object", Arg("InsertAfter", Variant::Missing())})
            .Method("Refresh", 6, &N::Refresh)
            .Build();
    return dispatcher;
}

HRESULT CRCPNowPlayingList::Clear()
{
    return session_->Command("NowPlayingClear");
}

HRESULT CRCPNowPlayingList::get_CurrentIndex(std::int32_t& index)
{
    std::string value;
    HRESULT hr = session_->Command("GetCurrentNowPlayingIndex", {}, &value);
    if (FAILED(hr))
        return hr;
    const auto parsed = ParseDecimal32(value);
    if (!parsed)
        return ReportError(E_UNEXPECTED);
    index = *parsed;
    return hr;
}

HRESULT CRCPNowPlayingList::get_CurrentSong(std::shared_ptr<IRCPSong>& song)
{
    std::shared_ptr<CRCPSong> current;
    HRESULT hr = CRCPSong::FetchCurrent(session_, current);
    if (SUCCEEDED(hr))
        song = std::move(current);
    return hr;
}

HRESULT CRCPNowPlayingList::Add(const Variant& Object, const Variant& InsertAfter)
{
    UnknownPtr object;
    const auto song =
        SUCCEEDED(Object.ToObject(object)) ? std::dynamic_pointer_cast<IRCPSong>(object) : nullptr;
    std::int32_t song_id = 0;
    if (!song || FAILED(song->get_ID(song_id)))
        return ReportError(E_INVALIDARG);

    std::int32_t position = 0;
    if (const auto* after = InsertAfter.Get<UnknownPtr>()) {
        const auto entry = std::dynamic_pointer_cast<IRCPNowPlayingItem>(*after);
        if (!entry || FAILED(entry->get_ID(position)))
            return ReportError(E_INVALIDARG);
    } else if (!InsertAfter.IsMissing() && FAILED(InsertAfter.ToInt32(position))) {
        return ReportError(E_INVALIDARG);
    }
    return session_->Command("NowPlayingInsert",
                             std::to_string(song_id) + " " + std::to_string(position));
}

HRESULT CRCPNowPlayingList::Refresh()
{
    const SessionPtr& session = session_;
    return ListItemsInto(
        *session_, "ListNowPlayingQueue", {},
        [&session](std::int32_t position, std::string_view name) {
            return std::make_shared<CRCPNowPlayingItem>(session, position, std::string(name));
        },
        items_);
}

} // namespace velk
