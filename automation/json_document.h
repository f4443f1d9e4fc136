// Reading a JSON document that the other side of a connection sent, within bounds: a hostile
// peer could otherwise nest arrays deep enough to overflow the stack of whatever walks the
// result, or send enough small values to take gigabytes. Plain functions, any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace velk {

struct JsonLimits {
    // Objects and arrays nested in each other; a call's body needs a few levels beside its
    // values' own nesting.
    std::size_t depth = 64;
    // Values of every kind in the whole document, members' keys not counted.
    std::size_t values = 65536;
};

// The document, or none with problem saying why: text that is not JSON, or a document beyond
// the limits (refused as soon as the reader gets there, before the rest is read).
std::optional<nlohmann::json> ParseJsonDocument(std::string_view text, const JsonLimits& limits,
                                                std::string& problem);

} // namespace velk
