// The page the automation endpoint serves at /display/<UDN>: one player's display, live, in any
// browser. It drives the endpoint as every other client does (a session of its own, the player's
// capture, its change events), so it needs nothing the endpoint does not already offer.
#pragma once

#include <string_view>

namespace velk {

// Where the endpoint serves the page; the player's UDN follows in the address.
constexpr std::string_view kDisplayPagePrefix = "/display/";

std::string_view DisplayPageHtml();

} // namespace velk
