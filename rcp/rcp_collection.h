// The three members every collection of RCP result objects has (_NewEnum, Item, Count) over
// items held in list order, and the filling of items from one RCP list command. Collections
// and their items live in the apartment of the session that made them.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "automation/enum_variant.h"
#include "platform/error_info.h"
#include "velk/rcp_objects.h"

namespace velk {

class CRCPSession;
using SessionPtr = std::shared_ptr<CRCPSession>;

// Runs a list command through the session and hands every name line to add with its position
// in the list (0, 1, ...). The leading "ListResultSize n" line only sizes the result: reserve
// gets n, capped, as a hint; the list holds the names that arrived. Runs the callbacks on the
// reader thread while the caller waits, so they only copy.
HRESULT ListNames(CRCPSession& session, std::string_view word,
                  std::optional<std::string_view> argument,
                  const std::function<void(std::size_t expected)>& reserve,
                  const std::function<void(std::int32_t position, std::string_view name)>& add);

// Sends a list command again only so that the player's IDs refer to that list before an item
// acts by its ID; the names are not kept.
HRESULT RepeatList(CRCPSession& session, std::string_view word);

// Fills items from a list command, one item per name made by make(position, name); items are
// left as they were when the command fails.
template <class ItemClass, class Make>
HRESULT ListItemsInto(CRCPSession& session, std::string_view word,
                      std::optional<std::string_view> argument, Make make,
                      std::vector<std::shared_ptr<ItemClass>>& items)
{
    std::vector<std::shared_ptr<ItemClass>> listed;
    HRESULT hr = ListNames(
        session, word, argument, [&listed](std::size_t expected) { listed.reserve(expected); },
        [&](std::int32_t position, std::string_view name) {
            listed.push_back(make(position, name));
        });
    if (SUCCEEDED(hr))
        items = std::move(listed);
    return hr;
}

// Derived: the class (CRTP), Interface: the collection interface, ItemClass: the items' class.
// A derived class may define `HRESULT EnsureItems()` to fill items_ on first use, and an item
// class `HRESULT Fetch()` to fill an item each time a client fetches it.
template <class Derived, class Interface, class ItemClass>
class CRCPCollectionBase : public DispatchImpl<Derived, Interface>,
                           public std::enable_shared_from_this<Derived> {
public:
    using ItemInterface = typename Interface::Item_t;
    using Items = std::vector<std::shared_ptr<ItemClass>>;

    explicit CRCPCollectionBase(Items items = {}) : items_(std::move(items)) {}

    HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& items) override
    {
        HRESULT hr = self().EnsureItems();
        if (FAILED(hr))
            return hr;
        std::shared_ptr<CRCPCollectionBase> collection = this->shared_from_this();
        items = std::make_shared<CEnumVariant>(static_cast<std::uint32_t>(items_.size()),
                                               [collection](std::uint32_t index, Variant& item) {
                                                   std::shared_ptr<ItemInterface> fetched;
                                                   HRESULT fetch_hr =
                                                       collection->FetchAt(index, fetched);
                                                   if (SUCCEEDED(fetch_hr))
                                                       item =
                                                           Variant(UnknownPtr(std::move(fetched)));
                                                   return fetch_hr;
                                               });
        return S_OK;
    }

    HRESULT Item(const Variant& Index, std::shared_ptr<ItemInterface>& item) override
    {
        HRESULT hr = self().EnsureItems();
        if (FAILED(hr))
            return hr;
        std::uint32_t index = 0;
        if (SUCCEEDED(Index.ToUInt32(index)) && index < items_.size())
            return FetchAt(index, item);
        if constexpr (std::is_same_v<Interface, IEnumRCPServers>) {
            // Servers are also found by their exact name.
            std::string name;
            if (SUCCEEDED(Index.ToString(name))) {
                for (std::uint32_t i = 0; i < items_.size(); ++i) {
                    if (items_[i]->name() == name)
                        return FetchAt(i, item);
                }
            }
        }
        return ReportError(E_INVALIDARG);
    }

    HRESULT get_Count(std::int32_t& count) override
    {
        HRESULT hr = self().EnsureItems();
        if (FAILED(hr))
            return hr;
        count = static_cast<std::int32_t>(
            std::min<std::size_t>(items_.size(), std::numeric_limits<std::int32_t>::max()));
        return S_OK;
    }

    // Nothing to fill unless the derived class says otherwise.
    HRESULT EnsureItems() { return S_OK; }

    const Items& items() const { return items_; }

protected:
    // The first members of a collection's dispatch table; extra members take dispids from 2.
    static DispatchBuilder<Derived> CollectionMembers(std::string interface_name)
    {
        DispatchBuilder<Derived> builder(std::move(interface_name));
        builder.Get("_NewEnum", -4, &Derived::get__NewEnum)
            .Method("Item", 0, &Derived::Item, {"Index"})
            .Get("Count", 1, &Derived::get_Count);
        return builder;
    }

    Items items_;

private:
    Derived& self() { return static_cast<Derived&>(*this); }

    HRESULT FetchAt(std::uint32_t index, std::shared_ptr<ItemInterface>& item)
    {
        // An enumerator made before a refresh may count more items than there are now.
        if (index >= items_.size())
            return ReportError(E_INVALIDARG);
        const auto& found = items_[index];
        if constexpr (requires(ItemClass & fetched) { fetched.Fetch(); }) {
            HRESULT hr = found->Fetch();
            if (FAILED(hr))
                return hr;
        }
        item = found;
        return S_OK;
    }
};

// The automation name of each plain collection interface.
template <class Interface> struct CollectionInterfaceName;
#define VELK_COLLECTION_NAME(Interface)                                                            \
    template <> struct CollectionInterfaceName<Interface> {                                        \
        static constexpr const char* kName = #Interface;                                           \
    }
VELK_COLLECTION_NAME(IEnumRCPList);
VELK_COLLECTION_NAME(IEnumRCPSong);
VELK_COLLECTION_NAME(IEnumRCPSongResource);
VELK_COLLECTION_NAME(IEnumRCPPlaylist);
VELK_COLLECTION_NAME(IEnumRCPLanguages);
VELK_COLLECTION_NAME(IEnumRCPPresets);
VELK_COLLECTION_NAME(IEnumRCPRegions);
VELK_COLLECTION_NAME(IEnumRCPTimeZones);
VELK_COLLECTION_NAME(IEnumRCPWiFiNetworks);
VELK_COLLECTION_NAME(IEnumRCPServers);
#undef VELK_COLLECTION_NAME

// A collection with no members beyond the three, filled when it is made.
template <class Interface, class ItemClass>
class CRCPCollection final
    : public CRCPCollectionBase<CRCPCollection<Interface, ItemClass>, Interface, ItemClass> {
public:
    using CRCPCollectionBase<CRCPCollection, Interface, ItemClass>::CRCPCollectionBase;

    static const Dispatcher<CRCPCollection>& Dispatch()
    {
        static const auto dispatcher =
            CRCPCollection::CollectionMembers(CollectionInterfaceName<Interface>::kName).Build();
        return dispatcher;
    }
};

// Lists a plain collection whose items are made from (session, position, name).
template <class Collection, class Interface>
HRESULT ListCollection(const SessionPtr& session, std::string_view word,
                       std::optional<std::string_view> argument,
                       std::shared_ptr<Interface>& collection)
{
    using ItemClass = typename Collection::Items::value_type::element_type;
    typename Collection::Items items;
    HRESULT hr = ListItemsInto(
        *session, word, argument,
        [&session](std::int32_t position, std::string_view name) {
            return std::make_shared<ItemClass>(session, position, std::string(name));
        },
        items);
    if (FAILED(hr))
        return hr;
    collection = std::make_shared<Collection>(std::move(items));
    return S_OK;
}

} // namespace velk
