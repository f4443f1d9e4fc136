// The collections the root object hands out: the players (a snapshot, by position or UDN) and
// the provider hosts. Made on the main apartment; a snapshot does not follow later changes.
#pragma once

#include <memory>
#include <vector>

#include "velk/ivelk_data_service.h"
#include "velk/ivelk_device.h"

namespace velk {

class CVelkDevices : public DispatchImpl<CVelkDevices, IVelkDevices> {
public:
    static const Dispatcher<CVelkDevices>& Dispatch();

    explicit CVelkDevices(std::vector<std::shared_ptr<IVelkDevice>> players)
        : players_(std::move(players))
    {
    }

    HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& players) override;
    // A position (anything that converts to an unsigned number) or a UDN; E_INVALIDARG else.
    HRESULT Item(const Variant& Index, std::shared_ptr<IVelkDevice>& player) override;
    HRESULT get_Count(std::int32_t& count) override;

private:
    const std::vector<std::shared_ptr<IVelkDevice>> players_;
};

class CEnumVelkHosts : public DispatchImpl<CEnumVelkHosts, IVelkHosts> {
public:
    static const Dispatcher<CEnumVelkHosts>& Dispatch();

    explicit CEnumVelkHosts(std::vector<DispatchablePtr> hosts) : hosts_(std::move(hosts)) {}

    HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& hosts) override;
    HRESULT Item(const Variant& Index, DispatchablePtr& host) override;
    HRESULT get_Count(std::int32_t& count) override;

private:
    const std::vector<DispatchablePtr> hosts_;
};

} // namespace velk
