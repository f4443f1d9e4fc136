// URLs that users type (feed addresses): checked and brought into their canonical form before
// they are stored, and split into the parts the pages show. Any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velk {

// The longest URL accepted, in bytes.
constexpr std::size_t kMaxUrlLength = 2083;

struct Url {
    std::string canonical; // the form to store and to download
    std::string scheme;    // lower case: "http", "https", ...
    std::string host;
};

// None for text that is not an absolute URL with a scheme and a host, holds control
// characters, or is longer than kMaxUrlLength once canonical. Spaces and other characters a URL
// may not hold are percent-encoded; the scheme and host are brought to lower case.
std::optional<Url> ParseUrl(std::string_view text);

} // namespace velk
