// The device table: one renderer per UDN, in the order they were found, with the search's
// progress. The finder fills it; the window's model and the resolver follow its signals. GUI
// thread only (its changes come from the UPnP apartment as queued calls).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>

#include "renderfold/media_renderer.h"

namespace velk {

class CMediaRenderers : public QObject {
    Q_OBJECT

public:
    enum class SearchState { Idle, Searching, Complete };

    // An item id (the UDN) longer than this is refused.
    static constexpr std::size_t kMaxItemIdChars = 45;
    // Devices beyond this many are not shown (the network decides how many answer).
    static constexpr std::size_t kMaxRenderers = 256;

    // Not empty, at most kMaxItemIdChars characters, no control characters.
    static bool IsValidItemId(std::string_view udn);

    using QObject::QObject;

    // A new UDN is added (S_OK); a known one has its device updated in place (S_FALSE).
    // E_INVALIDARG for an invalid item id, E_OUTOFMEMORY when the table is full.
    HRESULT Add(const UPnPDeviceInfo& device, CRendererActions* actions);
    // S_FALSE for a UDN not in the table (nothing changes).
    HRESULT Remove(std::string_view udn);
    // Applies an event's changes to the renderer; S_FALSE for an unknown UDN.
    HRESULT Apply(std::string_view udn, const RendererChanges& changes);

    std::shared_ptr<CMediaRenderer> Find(std::string_view udn) const;
    // The renderer whose UDN is the text, or whose presentation URL names that host.
    std::shared_ptr<CMediaRenderer> FindByUdnOrAddress(std::string_view udn_or_address) const;
    const std::vector<std::shared_ptr<CMediaRenderer>>& items() const { return items_; }
    int IndexOf(std::string_view udn) const;

    SearchState search_state() const { return search_state_; }
    void SetSearchState(SearchState state);

signals:
    void itemAdded(int index);
    void itemUpdated(int index);
    void itemRemoved(int index);
    void searchStateChanged();

private:
    std::vector<std::shared_ptr<CMediaRenderer>> items_;
    SearchState search_state_ = SearchState::Idle;
};

} // namespace velk
