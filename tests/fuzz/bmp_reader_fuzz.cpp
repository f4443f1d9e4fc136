// BMP files and packed DIBs from outside (pictures for the player, clipboard data): any bytes
// must give a picture or an error code.
#include <cstdint>
#include <span>

#include "platform/bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    velk::Bitmap bitmap;
    if (velk::SUCCEEDED(velk::Bitmap::ReadBmp(bytes, bitmap))) {
        // What the reader accepted must come back the same through the writer.
        velk::Bitmap again;
        if (velk::FAILED(velk::Bitmap::ReadBmp(bitmap.ToBmpFile(), again)) || !(again == bitmap))
            __builtin_trap();
    }
    velk::Bitmap::ReadDib(bytes, bitmap);
    return 0;
}
