#include "automation/enum_registry.h"

#include <mutex>

#include "platform/ascii.h"

namespace velk {

namespace {

} // namespace

EnumRegistry& EnumRegistry::Global()
{
    static EnumRegistry registry;
    return registry;
}

HRESULT EnumRegistry::Register(std::string_view enumeration, std::initializer_list<Member> members)
{
    std::unique_lock lock(mutex_);
    HRESULT hr = S_OK;
    for (const auto& [name, value] : members) {
        auto [it, added] =
            entries_.try_emplace(FoldCase(name), Entry{std::string(enumeration), value});
        if (!added && (it->second.value != value || it->second.enumeration != enumeration))
            hr = E_INVALIDARG;
    }
    return hr;
}

std::optional<std::int32_t> EnumRegistry::Find(std::string_view name) const
{
    std::shared_lock lock(mutex_);
    auto it = entries_.find(FoldCase(name));
    if (it == entries_.end())
        return std::nullopt;
    return it->second.value;
}

} // namespace velk
