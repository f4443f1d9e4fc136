// The player's play queue ("ListNowPlayingQueue"): its entries in queue order, and the members
// that clear it, add songs, read the current entry and song, and list it again. Lives in the
// session's apartment and keeps the session alive.
#pragma once

#include "rcp/rcp_list_items.h"

namespace velk {

class CRCPNowPlayingList final
    : public CRCPCollectionBase<CRCPNowPlayingList, IRCPNowPlayingList, CRCPNowPlayingItem> {
public:
    static const Dispatcher<CRCPNowPlayingList>& Dispatch();

    explicit CRCPNowPlayingList(SessionPtr session) : session_(std::move(session)) {}

    HRESULT Clear() override;
    HRESULT get_CurrentIndex(std::int32_t& index) override;
    HRESULT get_CurrentSong(std::shared_ptr<IRCPSong>& song) override;
    // "NowPlayingInsert <song ID> <position>": the position is the ID of an InsertAfter queue
    // entry, an InsertAfter number, or 0 when InsertAfter is missing. The song's ID refers to
    // the player's most recent song list. Anything but a song, or an InsertAfter that is
    // neither an entry nor a number: E_INVALIDARG.
    HRESULT Add(const Variant& Object, const Variant& InsertAfter) override;
    // Lists the queue again; on failure the entries stay as they were.
    HRESULT Refresh() override;

private:
    const SessionPtr session_;
};

} // namespace velk
