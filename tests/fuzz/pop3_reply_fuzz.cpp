// A POP3 server's bytes, cut into reads anywhere: lines never pass their bound, and a
// multi-line reply never grows past its own.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "providers/mail/pop3_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t kMaxLine = 64;
    constexpr std::size_t kMaxReply = 256;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    velk::Pop3LineBuffer buffer(kMaxLine);
    auto reply = std::make_unique<velk::Pop3MultiLine>(kMaxReply);
    // Reads of varying length, taken from the bytes themselves.
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t step = 1 + static_cast<unsigned char>(bytes[at]) % 17;
        buffer.Append(bytes.substr(at, step));
        at += step;
        std::string line;
        velk::Pop3LineBuffer::Take take;
        while ((take = buffer.NextLine(line)) == velk::Pop3LineBuffer::Take::Line) {
            if (line.size() > kMaxLine)
                std::abort();
            std::string text;
            velk::ReplyStatus(line, text);
            if (reply->Add(line) != velk::Pop3MultiLine::Step::More)
                reply = std::make_unique<velk::Pop3MultiLine>(kMaxReply);
            if (reply->text().size() > kMaxReply)
                std::abort();
        }
        if (take == velk::Pop3LineBuffer::Take::TooLong)
            return 0;
    }
    return 0;
}
