#include "renderfold/media_renderers.h"

#include <algorithm>

#include <QUrl>

#include "platform/encoding.h"

namespace velk {

bool CMediaRenderers::IsValidItemId(std::string_view udn)
{
    return !udn.empty() && Utf8ToUtf16(udn).size() <= kMaxItemIdChars &&
           std::ranges::none_of(udn, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

int CMediaRenderers::IndexOf(std::string_view udn) const
{
    const auto found =
        std::ranges::find_if(items_, [&](const auto& item) { return item->udn() == udn; });
    return found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
}

HRESULT CMediaRenderers::Add(const UPnPDeviceInfo& device, CRendererActions* actions)
{
    if (!IsValidItemId(device.udn))
        return E_INVALIDARG;
    if (const int index = IndexOf(device.udn); index >= 0) {
        const HRESULT hr = items_[index]->SetDevice(device);
        if (FAILED(hr))
            return hr;
        emit itemUpdated(index);
        return S_FALSE;
    }
    if (!OnGuiThread())
        return RPC_E_WRONG_THREAD;
    if (items_.size() >= kMaxRenderers)
        return E_OUTOFMEMORY;
    items_.push_back(std::make_shared<CMediaRenderer>(device, actions));
    emit itemAdded(static_cast<int>(items_.size()) - 1);
    return S_OK;
}

HRESULT CMediaRenderers::Remove(std::string_view udn)
{
    if (!OnGuiThread())
        return RPC_E_WRONG_THREAD;
    const int index = IndexOf(udn);
    if (index < 0)
        return S_FALSE;
    items_.erase(items_.begin() + index);
    emit itemRemoved(index);
    return S_OK;
}

HRESULT CMediaRenderers::Apply(std::string_view udn, const RendererChanges& changes)
{
    const int index = IndexOf(udn);
    if (index < 0)
        return S_FALSE;
    const HRESULT hr = items_[index]->Apply(changes);
    if (SUCCEEDED(hr))
        emit itemUpdated(index);
    return hr;
}

std::shared_ptr<CMediaRenderer> CMediaRenderers::Find(std::string_view udn) const
{
    const int index = IndexOf(udn);
    return index < 0 ? nullptr : items_[index];
}

std::shared_ptr<CMediaRenderer> CMediaRenderers::FindByUdnOrAddress(std::string_view udn_or_address) const
{
    if (auto found = Find(udn_or_address))
        return found;
    const QString host = QString::fromUtf8(udn_or_address.data(), static_cast<qsizetype>(udn_or_address.size()));
    for (const auto& item : items_) {
        const QUrl url(QString::fromStdString(item->device().presentation_url));
        if (!host.isEmpty() && url.isValid() && url.host().compare(host, Qt::CaseInsensitive) == 0)
            return item;
    }
    return nullptr;
}

void CMediaRenderers::SetSearchState(SearchState state)
{
    if (state == search_state_)
        return;
    search_state_ = state;
    emit searchStateChanged();
}

} // namespace velk
