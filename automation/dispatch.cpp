#include "automation/dispatch.h"

#include <algorithm>

namespace velk {

namespace {

bool IsProperty(MemberKind kind)
{
    return kind != MemberKind::Method;
}

} // namespace

std::size_t MemberDesc::RequiredCount() const
{
    return static_cast<std::size_t>(std::count_if(params.begin(), params.end(),
                                                  [](const ParamDesc& p) { return !p.optional; }));
}

HRESULT CheckParamCount(const MemberDesc& member, std::size_t count)
{
    return count < member.RequiredCount() || count > member.params.size() ? DISP_E_BADPARAMCOUNT
                                                                          : S_OK;
}

void DispatchTable::Add(MemberDesc member)
{
    for (const auto& other : members_) {
        const bool same_name = EqualsIgnoringCase(other.name, member.name);
        const bool same_id = other.dispid == member.dispid;
        if (!same_name && !same_id)
            continue;
        const bool property_pair = IsProperty(other.kind) && IsProperty(member.kind) &&
                                   other.kind != member.kind && same_name && same_id;
        if (!property_pair)
            throw std::logic_error(interface_name_ + "." + member.name + " clashes with " +
                                   other.name + " (name or dispid)");
    }
    members_.push_back(std::move(member));
}

const MemberDesc* DispatchTable::Find(std::string_view name, MemberKind kind) const
{
    auto it = std::find_if(members_.begin(), members_.end(), [&](const MemberDesc& m) {
        return m.kind == kind && EqualsIgnoringCase(m.name, name);
    });
    return it == members_.end() ? nullptr : &*it;
}

const MemberDesc* DispatchTable::Find(DISPID dispid, MemberKind kind) const
{
    auto it = std::find_if(members_.begin(), members_.end(), [&](const MemberDesc& m) {
        return m.kind == kind && m.dispid == dispid;
    });
    return it == members_.end() ? nullptr : &*it;
}

HRESULT DispatchTable::GetIDOfName(std::string_view name, DISPID& dispid) const
{
    auto it = std::find_if(members_.begin(), members_.end(),
                           [&](const MemberDesc& m) { return EqualsIgnoringCase(m.name, name); });
    if (it == members_.end())
        return DISP_E_UNKNOWNNAME;
    dispid = it->dispid;
    return S_OK;
}

} // namespace velk
