// The enumerator every collection hands out as `_NewEnum`: walks the collection's items in list
// order. Items are fetched through the collection when the enumerator reaches them, so a
// collection that fills an item on access (songs, presets) does so for enumerated items too.
// Also an automation object, so that scripts can step through a collection with Next.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "automation/dispatch.h"

namespace velk {

class IEnumVARIANT : public IDispatchable {
public:
    // Up to count items from the current position; S_FALSE when fewer were left.
    virtual HRESULT Next(std::uint32_t count, std::vector<Variant>& items) = 0;
    // S_FALSE when fewer than count were left to skip.
    virtual HRESULT Skip(std::uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(std::shared_ptr<IEnumVARIANT>& copy) = 0;
};

class CEnumVariant : public DispatchImpl<CEnumVariant, IEnumVARIANT> {
public:
    // Fetches the item at a position (0 <= index < count) as the collection's Item would.
    using Fetch = std::function<HRESULT(std::uint32_t index, Variant& item)>;

    static const Dispatcher<CEnumVariant>& Dispatch();

    CEnumVariant(std::uint32_t count, Fetch fetch) : count_(count), fetch_(std::move(fetch)) {}

    HRESULT Next(std::uint32_t count, std::vector<Variant>& items) override;
    HRESULT Skip(std::uint32_t count) override;
    HRESULT Reset() override;
    HRESULT Clone(std::shared_ptr<IEnumVARIANT>& copy) override;

private:
    const std::uint32_t count_;
    const Fetch fetch_;
    std::uint32_t position_ = 0;
};

} // namespace velk
