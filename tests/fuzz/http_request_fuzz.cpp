// The automation endpoint's request path up to the dispatch: the bytes a client sends are framed
// into one request within the limits, and its body read as a bounded JSON document. Any bytes
// must give an answer, and a whole request never lies beyond what was received.
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/json_document.h"
#include "automation/request_framing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view received(reinterpret_cast<const char*>(data), size);
    const velk::RequestFrame frame = velk::FrameRequest(received, velk::RequestLimits{});
    if (frame.outcome != velk::RequestFrame::Outcome::Complete)
        return 0;
    if (frame.size > received.size())
        __builtin_trap();
    const std::string_view request = received.substr(0, frame.size);
    const std::size_t body = request.find("\r\n\r\n");
    std::string problem;
    velk::ParseJsonDocument(request.substr(body + 4), velk::JsonLimits{}, problem);
    return 0;
}
