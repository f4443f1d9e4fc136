#include "providers/common/remote_key_handler.h"

#include "providers/common/data_provider.h"

namespace velk {

HRESULT CRemoteKeyHandler::OnRemoteKey(VelkRemoteKeys keyCode, bool& bSupressDefaultProcessing)
{
    if (auto provider = provider_.lock())
        provider->OnRemoteKey(*player_, keyCode, bSupressDefaultProcessing);
    return S_OK;
}

} // namespace velk
