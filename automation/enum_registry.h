// Every enumeration member name of the type library with its value, so that scripts may write
// `SketchText` where a number is expected. Interface headers register their enumerations once,
// at load time (EnumRegistration); lookups come from any thread.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>

#include "platform/hresult.h"

namespace velk {

class EnumRegistry {
public:
    using Member = std::pair<std::string_view, std::int32_t>;

    // The registry of the type library, shared by everything in the process.
    static EnumRegistry& Global();

    // Adds the members of one enumeration. A name already registered with the same value is
    // kept as it is (two modules may register one header); with another value, or with another
    // enumeration, it is a clash: E_INVALIDARG, and the first registration stands. The other
    // members are added all the same.
    HRESULT Register(std::string_view enumeration, std::initializer_list<Member> members);

    // The value of a member name, without regard to case.
    std::optional<std::int32_t> Find(std::string_view name) const;

private:
    struct Entry {
        std::string enumeration;
        std::int32_t value;
    };

    mutable std::shared_mutex mutex_;
    std::map<std::string, Entry, std::less<>> entries_; // keyed by the lower-case name
};

// Registers an enumeration with the global registry when the program or module is loaded:
//
//     inline const EnumRegistration kSketchModeNames{"SketchMode", {{"SketchText", 0}, ...}};
class EnumRegistration {
public:
    EnumRegistration(std::string_view enumeration,
                     std::initializer_list<EnumRegistry::Member> members)
        : hr_(EnumRegistry::Global().Register(enumeration, members))
    {
    }

    // S_OK, or E_INVALIDARG when a name clashed with an earlier registration.
    HRESULT hr() const { return hr_; }

private:
    HRESULT hr_;
};

} // namespace velk
