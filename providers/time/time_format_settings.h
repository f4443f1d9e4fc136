// The time provider's pictures of the player being configured, as its "Time Options" page
// reads and writes them. The page lives in the companion module and reaches the provider
// through this interface.
#pragma once

#include <string>

namespace velk {

class ITimeFormatSettings {
public:
    virtual ~ITimeFormatSettings() = default;

    // A picture the player has no entry for reads as empty.
    virtual void ConfiguredFormats(std::string& date_format, std::string& time_format) const = 0;
    // Both entries at once; an empty picture is stored as such (no date, no time).
    virtual void SetConfiguredFormats(std::string date_format, std::string time_format) = 0;
};

} // namespace velk
