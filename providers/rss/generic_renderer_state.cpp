#include "providers/rss/generic_renderer_state.h"

#include <cstdint>
#include <span>
#include <vector>

#include "platform/encoding.h"
#include "platform/stream_fields.h"

namespace velk {

namespace {

constexpr char16_t kCredentialSeparator = u'\t';

HRESULT SealCredentials(const GenericRendererState& state, std::string_view entropy,
                        const DataProtection& protection, std::vector<std::uint8_t>& blob)
{
    std::u16string text = Utf8ToUtf16(state.username);
    text += kCredentialSeparator;
    std::u16string password = Utf8ToUtf16(state.password);
    text += password;
    WipeSecret(password);
    std::vector<std::uint8_t> plain;
    plain.reserve((text.size() + 1) * 2);
    for (const char16_t unit : text) {
        plain.push_back(static_cast<std::uint8_t>(unit));
        plain.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    plain.insert(plain.end(), {0, 0});
    WipeSecret(text);
    HRESULT hr = protection.Protect(plain, BytesOf(entropy), blob);
    WipeSecret(plain);
    return hr;
}

// The user name and password in an opened blob: the text up to its terminating zero, split at
// the first tab.
void SplitCredentials(std::vector<std::uint8_t>& plain, GenericRendererState& state)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < plain.size(); i += 2) {
        const auto unit = static_cast<char16_t>(plain[i] | plain[i + 1] << 8);
        if (unit == 0)
            break;
        text += unit;
    }
    const std::size_t tab = text.find(kCredentialSeparator);
    state.username = Utf16ToUtf8(std::u16string_view(text).substr(0, tab));
    state.password =
        tab == std::u16string::npos ? std::string() : Utf16ToUtf8(std::u16string_view(text).substr(tab + 1));
    WipeSecret(text);
    WipeSecret(plain);
}

} // namespace

HRESULT WriteGenericRendererState(IStream& stream, const GenericRendererState& state,
                                  const DataProtection& protection)
{
    const std::string url = ToAnsi(state.url);
    HRESULT hr = WriteCountedBytes(stream, std::string(url.c_str(), url.size() + 1));
    if (FAILED(hr))
        return hr;
    std::vector<std::uint8_t> blob;
    if (!state.username.empty() || !state.password.empty()) {
        hr = SealCredentials(state, url, protection, blob);
        if (FAILED(hr))
            return hr;
    }
    return WriteCountedBytes(
        stream, std::string_view(reinterpret_cast<const char*>(blob.data()), blob.size()));
}

HRESULT ReadGenericRendererState(IStream& stream, const DataProtection& protection,
                                 GenericRendererState& state)
{
    std::string url_bytes;
    HRESULT hr = ReadCountedBytes(stream, url_bytes);
    if (hr == S_FALSE)
        return E_INVALIDARG;
    if (FAILED(hr))
        return hr;
    url_bytes.resize(std::min(url_bytes.size(), url_bytes.find('\0')));
    GenericRendererState read_state;
    read_state.url = FromAnsi(url_bytes);

    std::string blob;
    hr = ReadCountedBytes(stream, blob);
    if (hr == S_OK && !blob.empty()) {
        std::vector<std::uint8_t> plain;
        if (SUCCEEDED(protection.Unprotect(BytesOf(blob), BytesOf(url_bytes), plain)))
            SplitCredentials(plain, read_state);
    }
    state = std::move(read_state);
    return FAILED(hr) ? hr : S_OK;
}

} // namespace velk
