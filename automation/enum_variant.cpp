#include "automation/enum_variant.h"

#include <algorithm>

namespace velk {

const Dispatcher<CEnumVariant>& CEnumVariant::Dispatch()
{
    static const auto dispatcher =
        DispatchBuilder<CEnumVariant>("IEnumVARIANT")
            .Method("Next", 1, &CEnumVariant::Next, {"Count"})
            .Method("Skip", 2, &CEnumVariant::Skip, {"Count"})
            .Method("Reset", 3, &CEnumVariant::Reset)
            .Method("Clone", 4, &CEnumVariant::Clone)
            .Build();
    return dispatcher;
}

HRESULT CEnumVariant::Next(std::uint32_t count, std::vector<Variant>& items)
{
    items.clear();
    while (items.size() < count && position_ < count_) {
        Variant item;
        HRESULT hr = fetch_(position_, item);
        if (FAILED(hr))
            return hr;
        items.push_back(std::move(item));
        ++position_;
    }
    return items.size() == count ? S_OK : S_FALSE;
}

HRESULT CEnumVariant::Skip(std::uint32_t count)
{
    const std::uint32_t skipped = std::min(count, count_ - position_);
    position_ += skipped;
    return skipped == count ? S_OK : S_FALSE;
}

HRESULT CEnumVariant::Reset()
{
    position_ = 0;
    return S_OK;
}

HRESULT CEnumVariant::Clone(std::shared_ptr<IEnumVARIANT>& copy)
{
    copy = std::make_shared<CEnumVariant>(*this);
    return S_OK;
}

} // namespace velk
