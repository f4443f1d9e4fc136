#include "rcp/rcp_container.h"

#include "rcp/rcp_lists.h"
#include "rcp/rcp_session.h"

namespace velk {

namespace {

constexpr std::string_view kRootPath = "/";
// A player that never reaches its root would otherwise keep us climbing for ever.
constexpr int kMaxContainerDepth = 64;

} // namespace

const Dispatcher<CRCPContainer>& CRCPContainer::Dispatch()
{
    using C = CRCPContainer;
    static const auto dispatcher = CollectionMembers("IRCPContainer")
                                       .Get("Name", 2, &C::get_Name)
                                       .Get("ID", 3, &C::get_ID)
                                       .Get("FullName", 4, &C::get_FullName)
                                       .Get("Songs", 5, &C::get_Songs)
                                       .Build();
    return dispatcher;
}

std::shared_ptr<CRCPContainer> CRCPContainer::MakeRoot(SessionPtr session)
{
    return std::make_shared<CRCPContainer>(std::move(session), std::vector<std::int32_t>(),
                                           std::string(kRootPath), std::string(kRootPath));
}

CRCPContainer::CRCPContainer(SessionPtr session, std::vector<std::int32_t> path, std::string name,
                             std::string full_name)
    : session_(std::move(session)), path_(std::move(path)), name_(std::move(name)),
      full_name_(std::move(full_name))
{
}

HRESULT CRCPContainer::NavigateHere()
{
    for (int depth = 0;; ++depth) {
        std::string path;
        HRESULT hr = session_->Command("GetCurrentContainerPath", {}, &path);
        if (FAILED(hr))
            return hr;
        if (path == kRootPath)
            break;
        if (depth == kMaxContainerDepth)
            return ReportError(E_UNEXPECTED);
        hr = session_->Command("ContainerExit");
        if (FAILED(hr))
            return hr;
    }
    for (const std::int32_t id : path_) {
        HRESULT hr = session_->Command("ContainerEnter", std::to_string(id));
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CRCPContainer::EnsureItems()
{
    if (listed_)
        return S_OK;
    auto lock = session_->Lock();
    HRESULT hr = NavigateHere();
    if (FAILED(hr))
        return hr;
    const std::string prefix = path_.empty() ? std::string() : full_name_;
    hr = ListItemsInto(
        *session_, "ListContainerContents", {},
        [this, &prefix](std::int32_t position, std::string_view child) {
            auto path = path_;
            path.push_back(position);
            std::string full_name = prefix + "/";
            full_name += child;
            return std::make_shared<CRCPContainer>(session_, std::move(path), std::string(child),
                                                   std::move(full_name));
        },
        items_);
    listed_ = SUCCEEDED(hr);
    return hr;
}

HRESULT CRCPContainer::get_Name(std::string& name)
{
    name = name_;
    return S_OK;
}

HRESULT CRCPContainer::get_ID(std::int32_t& id)
{
    id = path_.empty() ? kRootId : path_.back();
    return S_OK;
}

HRESULT CRCPContainer::get_FullName(std::string& name)
{
    name = full_name_;
    return S_OK;
}

HRESULT CRCPContainer::get_Songs(std::shared_ptr<IEnumRCPSong>& songs)
{
    auto lock = session_->Lock();
    HRESULT hr = NavigateHere();
    if (FAILED(hr))
        return hr;
    return ListSongs(session_, "ListContainerContents", {}, songs);
}

} // namespace velk
