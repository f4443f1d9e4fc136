// The registry's text form, as `velkreg import` reads it from a file: any input is parsed
// without a crash, and what parses is written and parsed back to the same keys.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<velk::RegTextKey> keys;
    std::string error;
    if (velk::FAILED(velk::ParseRegistryText(text, keys, error)))
        return 0;
    std::vector<velk::RegTextKey> again;
    if (velk::FAILED(velk::ParseRegistryText(velk::WriteRegistryText(keys), again, error)) ||
        again != keys)
        std::abort();
    return 0;
}
