#include "platform/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/data_server_layout.h"
#include "platform/reg_key.h"

namespace velk {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr const char* kDefaultCodePage = "WINDOWS-1252";
constexpr const char* kAnsiCodePageValue = "AnsiCodePage";

// Decodes one UTF-8 sequence at text[i], advancing i; malformed input yields U+FFFD and skips
// one byte.
char32_t DecodeUtf8(std::string_view text, std::size_t& i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int length;
    char32_t code;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + length > text.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    static const char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return code;
}

void AppendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : handle_(iconv_open(to.c_str(), from.c_str()))
    {
    }
    ~Converter()
    {
        if (valid())
            iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input; each unconvertible unit (one character of UTF-8 input, one byte
    // otherwise) becomes "?" in the target encoding.
    std::string Convert(std::string_view input, bool input_is_utf8, std::string_view question)
    {
        std::string out;
        char buffer[256];
        std::size_t pos = 0;
        while (pos < input.size()) {
            char* in = const_cast<char*>(input.data() + pos);
            std::size_t in_left = input.size() - pos;
            char* dst = buffer;
            std::size_t dst_left = sizeof buffer;
            const std::size_t result = iconv(handle_, &in, &in_left, &dst, &dst_left);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            pos = input.size() - in_left;
            if (result != static_cast<std::size_t>(-1) || errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (truncated sequence at the end): replace one unit.
            out.append(question);
            if (input_is_utf8)
                DecodeUtf8(input, pos);
            else
                ++pos;
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        }
        dst_flush(out);
        return out;
    }

private:
    void dst_flush(std::string& out)
    {
        char buffer[64];
        char* dst = buffer;
        std::size_t dst_left = sizeof buffer;
        iconv(handle_, nullptr, nullptr, &dst, &dst_left);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
    }

    iconv_t handle_;
};

std::mutex g_code_page_mutex;
std::string g_code_page;

std::string ReadCodePageSetting();

} // namespace

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t code = DecodeUtf8(text, i);
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = kReplacement;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t max_bytes)
{
    if (text.size() <= max_bytes)
        return text;
    std::size_t cut = max_bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut);
}

std::string ToValidUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        AppendUtf8(out, DecodeUtf8(text, i));
    return out;
}

std::string CodePageName(unsigned number)
{
    switch (number) {
    case 65001:
        return "UTF-8";
    case 20127:
        return "ASCII";
    case 28591:
        return "ISO-8859-1";
    default:
        if (number >= 1250 && number <= 1258)
            return "WINDOWS-" + std::to_string(number);
        return "CP" + std::to_string(number);
    }
}

std::string ToAnsi(std::string_view utf8, const std::string& code_page)
{
    Converter converter(code_page, "UTF-8");
    if (!converter.valid())
        return ToAnsi(utf8, kDefaultCodePage);
    return converter.Convert(utf8, true, "?");
}

std::string FromAnsi(std::string_view bytes, const std::string& code_page)
{
    Converter converter("UTF-8", code_page);
    if (!converter.valid())
        return FromAnsi(bytes, kDefaultCodePage);
    return converter.Convert(bytes, false, "?");
}

std::string AnsiCodePage()
{
    std::lock_guard lock(g_code_page_mutex);
    if (g_code_page.empty())
        g_code_page = ReadCodePageSetting();
    return g_code_page;
}

void RefreshAnsiCodePage()
{
    std::lock_guard lock(g_code_page_mutex);
    g_code_page.clear();
}

std::string ToAnsi(std::string_view utf8) { return ToAnsi(utf8, AnsiCodePage()); }

std::string FromAnsi(std::string_view bytes) { return FromAnsi(bytes, AnsiCodePage()); }

namespace {

std::string ReadCodePageSetting()
{
    RegKey key;
    if (FAILED(key.Open(Hive::LocalMachine, kDataServerKey)))
        return kDefaultCodePage;
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    if (FAILED(key.QueryValue(kAnsiCodePageValue, type, data)))
        return kDefaultCodePage;
    std::string name;
    if (type == REG_DWORD) {
        if (auto number = DecodeDword(data))
            name = CodePageName(*number);
    } else if (type == REG_SZ) {
        name.assign(data.begin(), data.end());
    }
    // A name iconv does not know would turn every conversion into the fallback anyway.
    iconv_t probe = name.empty() ? reinterpret_cast<iconv_t>(-1) : iconv_open(name.c_str(), "UTF-8");
    if (probe == reinterpret_cast<iconv_t>(-1))
        return kDefaultCodePage;
    iconv_close(probe);
    return name;
}

} // namespace

} // namespace velk
