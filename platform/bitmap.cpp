#include "platform/bitmap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <new>
#include <optional>

#include "platform/write_all.h"

namespace velk {

namespace {

constexpr HRESULT kInvalidBmp = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;
// A BMP file can be no larger than the largest picture at 32 bpp plus its headers.
constexpr std::uint64_t kMaxFileBytes =
    std::uint64_t{Bitmap::kMaxSide} * Bitmap::kMaxSide * 4 + 4096;

std::uint16_t Le16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint64_t RowBytes(std::uint64_t width, unsigned bits_per_pixel)
{
    return (width * bits_per_pixel + 31) / 32 * 4;
}

std::uint32_t Argb(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return std::uint32_t{a} << 24 | std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b;
}

// One colour channel of a 32-bpp pixel, given by its bit mask.
class Channel {
public:
    // Empty for a mask whose bits are not contiguous.
    static std::optional<Channel> FromMask(std::uint32_t mask)
    {
        Channel channel;
        if (mask == 0)
            return channel;
        channel.shift_ = std::countr_zero(mask);
        channel.bits_ = std::popcount(mask);
        const std::uint64_t ones = (std::uint64_t{1} << channel.bits_) - 1;
        if ((mask >> channel.shift_) != ones)
            return std::nullopt;
        channel.mask_ = mask;
        return channel;
    }

    bool present() const { return mask_ != 0; }

    // The channel's value scaled to 0..255.
    std::uint8_t Extract(std::uint32_t pixel) const
    {
        if (!present())
            return 0;
        const std::uint32_t value = (pixel & mask_) >> shift_;
        if (bits_ >= 8)
            return static_cast<std::uint8_t>(value >> (bits_ - 8));
        return static_cast<std::uint8_t>(value * 255 / ((1u << bits_) - 1));
    }

private:
    std::uint32_t mask_ = 0;
    int shift_ = 0;
    int bits_ = 0;
};

struct Masks {
    Channel red, green, blue, alpha;
};

// The masks of a 32-bpp picture: the standard BGRA layout for BI_RGB, otherwise the masks in
// the header (V2 and later) or in the DWORDs after a 40-byte header. Advances tables_at past
// masks stored after the header.
std::optional<Masks> ReadMasks(std::span<const std::uint8_t> bytes, std::size_t info_at,
                               std::uint32_t header_size, std::uint32_t compression,
                               std::size_t& tables_at)
{
    std::array<std::uint32_t, 4> values{0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    if (compression != kBiRgb) {
        std::size_t at = info_at + kInfoHeaderBytes;
        std::size_t count = compression == kBiAlphaBitfields ? 4 : 3;
        if (header_size > kInfoHeaderBytes)
            count = header_size >= kInfoHeaderBytes + 16 ? 4 : 3;
        else
            tables_at += 4 * count;
        if (at + 4 * count > bytes.size())
            return std::nullopt;
        values[3] = 0;
        for (std::size_t i = 0; i < count; ++i)
            values[i] = Le32(bytes, at + 4 * i);
    }
    auto red = Channel::FromMask(values[0]);
    auto green = Channel::FromMask(values[1]);
    auto blue = Channel::FromMask(values[2]);
    auto alpha = Channel::FromMask(values[3]);
    if (!red || !green || !blue || !alpha)
        return std::nullopt;
    return Masks{*red, *green, *blue, *alpha};
}

// Decodes the DIB whose info header starts at info_at. pixel_at is the file header's offset of
// the pixels; a packed DIB has none and its pixels follow the colour table.
HRESULT ParseDib(std::span<const std::uint8_t> bytes, std::size_t info_at,
                 std::optional<std::uint64_t> pixel_at, Bitmap& bitmap)
{
    if (info_at + 4 > bytes.size())
        return kInvalidBmp;
    const std::uint32_t header_size = Le32(bytes, info_at);
    const std::uint32_t known_sizes[] = {40, 52, 56, 108, 124};
    if (std::find(std::begin(known_sizes), std::end(known_sizes), header_size) ==
            std::end(known_sizes) ||
        info_at + header_size > bytes.size())
        return kInvalidBmp;

    const std::int64_t width = static_cast<std::int32_t>(Le32(bytes, info_at + 4));
    const std::int64_t signed_height = static_cast<std::int32_t>(Le32(bytes, info_at + 8));
    const std::uint16_t planes = Le16(bytes, info_at + 12);
    const unsigned bpp = Le16(bytes, info_at + 14);
    const std::uint32_t compression = Le32(bytes, info_at + 16);
    const std::uint32_t colors_used = Le32(bytes, info_at + 32);

    const bool top_down = signed_height < 0;
    const std::int64_t height = top_down ? -signed_height : signed_height;
    if (planes != 1 || width <= 0 || width > Bitmap::kMaxSide || height == 0 ||
        height > Bitmap::kMaxSide)
        return kInvalidBmp;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return kInvalidBmp;
    const bool bitfields = compression == kBiBitfields || compression == kBiAlphaBitfields;
    if (compression != kBiRgb && !(bitfields && bpp == 32))
        return kInvalidBmp;

    std::size_t tables_at = info_at + header_size;
    std::optional<Masks> masks;
    if (bpp == 32) {
        masks = ReadMasks(bytes, info_at, header_size, compression, tables_at);
        if (!masks)
            return kInvalidBmp;
    }

    // Up to 8 bpp the colour table is the palette; above it is an optional hint we skip.
    const std::uint64_t max_colors = bpp <= 8 ? std::uint64_t{1} << bpp : 0;
    if (bpp <= 8 && colors_used > max_colors)
        return kInvalidBmp;
    const std::uint64_t table_entries = bpp <= 8 && colors_used == 0 ? max_colors : colors_used;
    const std::uint64_t tables_end = tables_at + 4 * table_entries;
    const std::uint64_t pixels_at = pixel_at.value_or(tables_end);
    const std::uint64_t palette_end = bpp <= 8 ? tables_end : tables_at;
    const std::uint64_t stride = RowBytes(static_cast<std::uint64_t>(width), bpp);
    if (pixels_at < palette_end || pixels_at > bytes.size() ||
        stride * static_cast<std::uint64_t>(height) > bytes.size() - pixels_at)
        return kInvalidBmp;

    std::vector<std::uint32_t> palette;
    for (std::uint64_t i = 0; bpp <= 8 && i < table_entries; ++i) {
        const std::size_t at = tables_at + 4 * i;
        palette.push_back(Argb(0xFF, bytes[at + 2], bytes[at + 1], bytes[at]));
    }

    Bitmap decoded(static_cast<int>(width), static_cast<int>(height));
    bool any_alpha = false;
    for (std::int64_t row = 0; row < height; ++row) {
        const int y = static_cast<int>(top_down ? row : height - 1 - row);
        const auto line =
            bytes.subspan(pixels_at + static_cast<std::uint64_t>(row) * stride, stride);
        for (int x = 0; x < width; ++x) {
            std::uint32_t argb;
            if (bpp <= 8) {
                const unsigned bit = static_cast<unsigned>(x) * bpp;
                const unsigned index = (line[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                if (index >= palette.size())
                    return kInvalidBmp;
                argb = palette[index];
            } else if (bpp == 24) {
                const std::size_t at = static_cast<std::size_t>(x) * 3;
                argb = Argb(0xFF, line[at + 2], line[at + 1], line[at]);
            } else {
                const std::uint32_t value = Le32(line, static_cast<std::size_t>(x) * 4);
                const std::uint8_t alpha = masks->alpha.Extract(value);
                any_alpha = any_alpha || alpha != 0;
                argb = Argb(alpha, masks->red.Extract(value), masks->green.Extract(value),
                            masks->blue.Extract(value));
            }
            decoded.SetPixel(x, y, argb);
        }
    }
    if (bpp == 32 && !any_alpha) {
        for (int y = 0; y < decoded.height(); ++y)
            for (int x = 0; x < decoded.width(); ++x)
                decoded.SetPixel(x, y, decoded.Pixel(x, y) | 0xFF000000);
    }
    bitmap = std::move(decoded);
    return S_OK;
}

// Runs a reader, turning an allocation failure into a code.
template <typename Read> HRESULT Guarded(Read read)
{
    try {
        return read();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void PutInfoHeader(std::vector<std::uint8_t>& out, int width, int height, std::uint16_t bpp,
                   std::uint32_t colors)
{
    PutLe32(out, kInfoHeaderBytes);
    PutLe32(out, static_cast<std::uint32_t>(width));
    PutLe32(out, static_cast<std::uint32_t>(height));
    PutLe16(out, 1);
    PutLe16(out, bpp);
    PutLe32(out, kBiRgb);
    PutLe32(out, static_cast<std::uint32_t>(RowBytes(static_cast<std::uint64_t>(width), bpp) *
                                            static_cast<std::uint64_t>(height)));
    PutLe32(out, 0); // pixels per metre, x and y: unknown
    PutLe32(out, 0);
    PutLe32(out, colors);
    PutLe32(out, 0);
}

// A BMP file is its DIB behind a file header that tells where the pixels start.
std::vector<std::uint8_t> WithFileHeader(const std::vector<std::uint8_t>& dib)
{
    const std::uint32_t colors = Le32(dib, 32);
    std::vector<std::uint8_t> file;
    file.reserve(kFileHeaderBytes + dib.size());
    file.push_back('B');
    file.push_back('M');
    PutLe32(file, static_cast<std::uint32_t>(kFileHeaderBytes + dib.size()));
    PutLe32(file, 0);
    PutLe32(file, static_cast<std::uint32_t>(kFileHeaderBytes + kInfoHeaderBytes + 4 * colors));
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
}

} // namespace

Bitmap::Bitmap(int width, int height, std::uint32_t argb)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), argb)
{
    if (pixels_.empty())
        width_ = height_ = 0;
}

std::uint32_t Bitmap::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
}

void Bitmap::SetPixel(int x, int y, std::uint32_t argb)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)] = argb;
}

void Bitmap::Fill(std::uint32_t argb)
{
    std::fill(pixels_.begin(), pixels_.end(), argb);
}

HRESULT Bitmap::ReadBmp(std::span<const std::uint8_t> bytes, Bitmap& bitmap)
{
    if (bytes.size() < kFileHeaderBytes || bytes[0] != 'B' || bytes[1] != 'M')
        return kInvalidBmp;
    return Guarded([&] { return ParseDib(bytes, kFileHeaderBytes, Le32(bytes, 10), bitmap); });
}

HRESULT Bitmap::ReadDib(std::span<const std::uint8_t> bytes, Bitmap& bitmap)
{
    return Guarded([&] { return ParseDib(bytes, 0, std::nullopt, bitmap); });
}

HRESULT Bitmap::LoadBmpFile(const std::filesystem::path& path, Bitmap& bitmap)
{
    // Non-blocking, so that a FIFO in place of a picture fails at once instead of waiting.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return HResultFromErrno(errno, STG_E_READFAULT);
    HRESULT hr = Guarded([&] {
        struct stat status;
        if (fstat(fd, &status) != 0)
            return HResultFromErrno(errno, STG_E_READFAULT);
        if (!S_ISREG(status.st_mode) || static_cast<std::uint64_t>(status.st_size) > kMaxFileBytes)
            return kInvalidBmp;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(status.st_size));
        std::size_t filled = 0;
        while (filled < bytes.size()) {
            const ssize_t got = read(fd, bytes.data() + filled, bytes.size() - filled);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return HResultFromErrno(errno, STG_E_READFAULT);
            if (got == 0)
                break;
            filled += static_cast<std::size_t>(got);
        }
        bytes.resize(filled);
        return ReadBmp(bytes, bitmap);
    });
    close(fd);
    return hr;
}

std::vector<std::uint8_t> Bitmap::ToDib() const
{
    std::vector<std::uint8_t> dib;
    dib.reserve(kInfoHeaderBytes + pixels_.size() * 4);
    PutInfoHeader(dib, width_, height_, 32, 0);
    for (int y = height_ - 1; y >= 0; --y)
        for (int x = 0; x < width_; ++x)
            PutLe32(dib, Pixel(x, y));
    return dib;
}

std::vector<std::uint8_t> Bitmap::ToBmpFile() const
{
    return WithFileHeader(ToDib());
}

std::vector<std::uint8_t> Bitmap::ToMonochromeDib() const
{
    const auto stride = static_cast<std::size_t>(RowBytes(static_cast<std::uint64_t>(width_), 1));
    std::vector<std::uint8_t> dib;
    dib.reserve(kInfoHeaderBytes + 8 + stride * static_cast<std::size_t>(height_));
    PutInfoHeader(dib, width_, height_, 1, 2);
    PutLe32(dib, 0x00000000); // index 0: black
    PutLe32(dib, 0x00FFFFFF); // index 1: white
    for (int y = height_ - 1; y >= 0; --y) {
        const std::size_t row_at = dib.size();
        dib.resize(row_at + stride, 0);
        for (int x = 0; x < width_; ++x) {
            if ((Pixel(x, y) & 0x00FFFFFF) != 0)
                dib[row_at + static_cast<std::size_t>(x) / 8] |=
                    static_cast<std::uint8_t>(0x80u >> (x % 8));
        }
    }
    return dib;
}

std::vector<std::uint8_t> Bitmap::ToMonochromeBmpFile() const
{
    return WithFileHeader(ToMonochromeDib());
}

HRESULT Bitmap::SaveBmpFile(const std::filesystem::path& path, BmpDepth depth) const
{
    if (empty())
        return E_INVALIDARG;
    return Guarded([&] {
        const auto bytes = depth == BmpDepth::Monochrome ? ToMonochromeBmpFile() : ToBmpFile();
        std::string temp = path.string() + ".XXXXXX";
        const int fd = mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0)
            return HResultFromErrno(errno, STG_E_WRITEFAULT);
        // mkostemp makes the file private; a saved picture is for everyone to read.
        HRESULT hr = S_OK;
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (fchmod(fd, 0644) != 0 || !WriteAll(fd, text) || fsync(fd) != 0)
            hr = HResultFromErrno(errno, STG_E_WRITEFAULT);
        if (close(fd) != 0 && SUCCEEDED(hr))
            hr = HResultFromErrno(errno, STG_E_WRITEFAULT);
        if (SUCCEEDED(hr) && rename(temp.c_str(), path.c_str()) != 0)
            hr = HResultFromErrno(errno, STG_E_WRITEFAULT);
        if (FAILED(hr))
            unlink(temp.c_str());
        return hr;
    });
}

} // namespace velk
