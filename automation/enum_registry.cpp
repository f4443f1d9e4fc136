#include "automation/enum_registry.h"

#include <mutex>

namespace velk {

namespace {

std::string LowerAscii(std::string_view name)
{
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

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
            entries_.try_emplace(LowerAscii(name), Entry{std::string(enumeration), value});
        if (!added && (it->second.value != value || it->second.enumeration != enumeration))
            hr = E_INVALIDARG;
    }
    return hr;
}

std::optional<std::int32_t> EnumRegistry::Find(std::string_view name) const
{
    std::shared_lock lock(mutex_);
    auto it = entries_.find(LowerAscii(name));
    if (it == entries_.end())
        return std::nullopt;
    return it->second.value;
}

} // namespace velk
