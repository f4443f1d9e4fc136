// Test support: a test on an apartment's thread waits for what reaches it as posted tasks
// (events, callbacks, replies) by running the apartment's queue until a condition holds.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/apartment.h"
#include "platform/event.h"

namespace velk {

// False once timeout_ms have passed without the condition holding.
inline bool RunApartmentUntil(Apartment& apartment, const std::function<bool()>& condition,
                              std::uint32_t timeout_ms, std::uint32_t slice_ms = 10)
{
    const Deadline deadline(timeout_ms);
    while (!condition()) {
        if (deadline.Expired())
            return false;
        apartment.PumpUntil({}, slice_ms);
    }
    return true;
}

} // namespace velk
