// A browse container of the connected music server: the root "/" (ID -1), or a container
// reached from it by a chain of child positions. Its items are its child containers, listed on
// first use (Item, Count or _NewEnum) from the calling thread; Songs lists its songs. Lives in
// the session's apartment and keeps the session alive.
//
// The player browses from one current position: each listing first moves there (up with
// "ContainerExit" until "GetCurrentContainerPath" says "/", then "ContainerEnter <ID>" down the
// chain) and then sends "ListContainerContents", all under the session's lock. That command
// lists the child containers, or the songs of a container that has none, and the reply does
// not say which. We take the listing as it comes: the children of a container that holds songs
// are the songs' names (entering one fails on the player), and the songs of a container that
// holds containers are the containers' names (their song details fail).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rcp/rcp_collection.h"

namespace velk {

class CRCPContainer final : public CRCPCollectionBase<CRCPContainer, IRCPContainer, CRCPContainer> {
public:
    static constexpr std::int32_t kRootId = -1;

    static const Dispatcher<CRCPContainer>& Dispatch();

    static std::shared_ptr<CRCPContainer> MakeRoot(SessionPtr session);

    // path: the child positions from the root down to this container.
    CRCPContainer(SessionPtr session, std::vector<std::int32_t> path, std::string name,
                  std::string full_name);

    HRESULT EnsureItems();

    HRESULT get_Name(std::string& name) override;
    HRESULT get_ID(std::int32_t& id) override;
    HRESULT get_FullName(std::string& name) override;
    HRESULT get_Songs(std::shared_ptr<IEnumRCPSong>& songs) override;

    const std::string& name() const { return name_; }

private:
    // Moves the player's browse position here; the caller holds the session's lock.
    HRESULT NavigateHere();

    const SessionPtr session_;
    const std::vector<std::int32_t> path_;
    const std::string name_;
    const std::string full_name_;
    bool listed_ = false;
};

} // namespace velk
