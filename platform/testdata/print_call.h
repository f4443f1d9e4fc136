// Test support: calls in the tests' failure messages as number and name.
#pragma once

#include <ostream>

#include "platform/caller_id_parser.h"

namespace velk {

inline void PrintTo(const TelephonyCall& call, std::ostream* out)
{
    *out << "{number \"" << call.number << "\", name \"" << call.name << "\"}";
}

} // namespace velk
