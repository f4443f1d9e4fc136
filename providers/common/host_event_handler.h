// The provider's sink on the service's player events: a player added or removed reaches the
// provider's framework part. The service holds it from Advise to Unadvise; it holds only a weak
// reference to its provider, so that an event after the provider has gone does nothing. Main
// apartment.
#pragma once

#include <memory>

#include "velk/ivelk_data_service.h"

namespace velk {

class CDataProvider;

class CHostEventHandler : public _IVelkDataServiceEvent {
public:
    explicit CHostEventHandler(std::weak_ptr<CDataProvider> provider)
        : provider_(std::move(provider))
    {
    }

    HRESULT OnAddDevice(const std::shared_ptr<IVelkDevice>& iDevice) override;
    HRESULT OnRemoveDevice(const std::shared_ptr<IVelkDevice>& iDevice) override;

private:
    const std::weak_ptr<CDataProvider> provider_;
};

} // namespace velk
