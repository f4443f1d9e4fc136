// Where one HTTP/1.1 request ends in the bytes a client has sent so far, before any of it is
// parsed: the server gathers a whole request (header section and body) without giving the
// client a thread, and refuses one that goes beyond the limits as soon as that shows. A pure
// function, so that it can be table-tested and fuzzed apart from the sockets.
#pragma once

#include <cstddef>
#include <string_view>

namespace velk {

struct RequestLimits {
    std::size_t header_bytes = 16 * 1024; // request line and header lines, with the blank line
    std::size_t header_lines = 64;        // the request line counted
    std::size_t body_bytes = 1024 * 1024;
};

struct RequestFrame {
    enum class Outcome { Incomplete, Complete, Refused };
    Outcome outcome = Outcome::Incomplete;
    // Complete: the bytes of the whole request. Refused: the HTTP status to answer with (400 a
    // malformed length, 411 a body without a length, 413 a body too large, 431 a header section
    // too large).
    std::size_t size = 0;
    int status = 0;
};

RequestFrame FrameRequest(std::string_view received, const RequestLimits& limits);

} // namespace velk
