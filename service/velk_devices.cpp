#include "service/velk_devices.h"

#include "platform/error_info.h"

namespace velk {

namespace {

template <class T>
std::shared_ptr<IEnumVARIANT> Enumerate(const std::vector<std::shared_ptr<T>>& items)
{
    return std::make_shared<CEnumVariant>(
        static_cast<std::uint32_t>(items.size()), [items](std::uint32_t index, Variant& item) {
            item = Variant(UnknownPtr(items[index]));
            return S_OK;
        });
}

template <class T>
HRESULT ByPosition(const std::vector<std::shared_ptr<T>>& items, const Variant& index,
                   std::shared_ptr<T>& item)
{
    std::uint32_t position = 0;
    if (FAILED(index.ToUInt32(position)) || position >= items.size())
        return ReportError(E_INVALIDARG);
    item = items[position];
    return S_OK;
}

} // namespace

const Dispatcher<CVelkDevices>& CVelkDevices::Dispatch()
{
    static const auto dispatcher = DispatchBuilder<CVelkDevices>("IVelkDevices")
                                       .Get("_NewEnum", -4, &CVelkDevices::get__NewEnum)
                                       .Method("Item", 0, &CVelkDevices::Item, {"Index"})
                                       .Get("Count", 1, &CVelkDevices::get_Count)
                                       .Build();
    return dispatcher;
}

HRESULT CVelkDevices::get__NewEnum(std::shared_ptr<IEnumVARIANT>& players)
{
    players = Enumerate(players_);
    return S_OK;
}

HRESULT CVelkDevices::Item(const Variant& Index, std::shared_ptr<IVelkDevice>& player)
{
    if (const auto* udn = Index.Get<std::string>()) {
        for (const auto& candidate : players_) {
            std::string candidate_udn;
            if (SUCCEEDED(candidate->get_UDN(candidate_udn)) && candidate_udn == *udn) {
                player = candidate;
                return S_OK;
            }
        }
        // A string may still be a position ("0").
    }
    return ByPosition(players_, Index, player);
}

HRESULT CVelkDevices::get_Count(std::int32_t& count)
{
    count = static_cast<std::int32_t>(players_.size());
    return S_OK;
}

const Dispatcher<CEnumVelkHosts>& CEnumVelkHosts::Dispatch()
{
    static const auto dispatcher = DispatchBuilder<CEnumVelkHosts>("IVelkHosts")
                                       .Get("_NewEnum", -4, &CEnumVelkHosts::get__NewEnum)
                                       .Method("Item", 0, &CEnumVelkHosts::Item, {"Index"})
                                       .Get("Count", 1, &CEnumVelkHosts::get_Count)
                                       .Build();
    return dispatcher;
}

HRESULT CEnumVelkHosts::get__NewEnum(std::shared_ptr<IEnumVARIANT>& hosts)
{
    hosts = Enumerate(hosts_);
    return S_OK;
}

HRESULT CEnumVelkHosts::Item(const Variant& Index, DispatchablePtr& host)
{
    return ByPosition(hosts_, Index, host);
}

HRESULT CEnumVelkHosts::get_Count(std::int32_t& count)
{
    count = static_cast<std::int32_t>(hosts_.size());
    return S_OK;
}

} // namespace velk
