// Class and interface identifiers: 128-bit GUIDs with the registry's braced upper-case text form.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // Accepts "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with or without braces, any case.
    static std::optional<Guid> Parse(std::string_view text);
    // A random (version 4) identifier.
    static Guid New();

    // "{0A1B...}": braced, upper case, as class ids stand in the registry.
    std::string ToString() const;
    bool IsNull() const { return *this == Guid{}; }

    auto operator<=>(const Guid&) const = default;
};

constexpr Guid kNullGuid{};

struct GuidHash {
    std::size_t operator()(const Guid& guid) const;
};

} // namespace velk
