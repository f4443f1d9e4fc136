// Mail comes from the network: any message must give display lines that fit the width and hold
// no line break or tab, at most 500 of them, and any bytes read as the provider's stored
// accounts must be taken or refused without a crash or a huge allocation.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/memory_stream.h"
#include "providers/mail/mail_servers_state.h"
#include "providers/mail/mail_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t width = data[0] % 80; // 0 included: the view never asks for it, but it must hold
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto lines = velk::MessageLines(velk::ParseMessage(text), width);
    if (lines.empty() || lines.size() > velk::kMaxMessageLines)
        std::abort();
    for (const auto& line : lines) {
        if (line.find_first_of("\r\n\t") != std::string::npos)
            std::abort();
    }

    // No key in this folder: credentials never open, everything else is read.
    velk::MemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    velk::MailServers servers;
    velk::ReadMailServers(stream, velk::DataProtection("/nonexistent"), servers);
    return 0;
}
