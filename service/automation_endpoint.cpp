#include "service/automation_endpoint.h"

#include <string.h>

#include <algorithm>
#include <istream>
#include <ostream>
#include <span>
#include <vector>

#include "platform/data_protection.h"
#include "platform/data_server_layout.h"
#include "platform/event_log.h"
#include "platform/reg_key.h"

namespace velk {

namespace {

constexpr const char* kTokenValue = "AutomationToken";
// Ties a protected token to its value: no other protected secret passes for it.
constexpr std::string_view kTokenEntropy = "AutomationToken";

constexpr std::string_view kPlainToken =
    "The automation token in HKLM\\SOFTWARE\\Velk\\DataServer is stored as plain text, which "
    "every local user can read. Store it protected: as root, velk -SetToken with the token on "
    "its standard input.";
constexpr std::string_view kUnreadableToken =
    "The automation token in HKLM\\SOFTWARE\\Velk\\DataServer could not be opened (store it "
    "again with velk -SetToken): ";
constexpr std::string_view kBadToken = "velk: the token must be one line of at most 1024 "
                                       "visible ASCII characters, without blanks\n";
constexpr std::string_view kNotStored = "velk: the token could not be stored: ";

std::span<const std::uint8_t> BytesOf(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The token as stored, protected or (from earlier versions) plain; "" when there is none.
HRESULT ReadToken(const RegKey& key, std::string& token)
{
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    HRESULT hr = key.QueryValue(kTokenValue, type, data);
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        return S_OK;
    if (FAILED(hr))
        return hr;
    if (type == REG_SZ) {
        if (!data.empty())
            EventLog::ReportText(EventLogType::Warning, kPlainToken);
        token.assign(data.begin(), data.end());
        return S_OK;
    }
    std::vector<std::uint8_t> plain;
    hr = type == REG_BINARY ? DataProtection().Unprotect(data, BytesOf(kTokenEntropy), plain)
                            : HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    if (FAILED(hr)) {
        EventLog::ReportText(EventLogType::Error,
                             std::string(kUnreadableToken) + HResultMessage(hr));
        return hr;
    }
    token.assign(plain.begin(), plain.end());
    explicit_bzero(plain.data(), plain.size());
    return S_OK;
}

bool IsValidToken(std::string_view token)
{
    return token.size() <= kMaxAutomationTokenChars &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

HRESULT StoreToken(std::string_view token)
{
    RegKey key;
    HRESULT hr = key.Create(Hive::LocalMachine, kDataServerKey);
    if (FAILED(hr))
        return hr;
    if (token.empty()) {
        hr = key.DeleteValue(kTokenValue);
        return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? S_OK : hr;
    }
    std::vector<std::uint8_t> blob;
    hr = DataProtection().Protect(BytesOf(token), BytesOf(kTokenEntropy), blob);
    if (FAILED(hr))
        return hr;
    return key.SetBinaryValue(kTokenValue, blob);
}

} // namespace

HRESULT ReadAutomationOptions(AutomationServer::Options& options)
{
    RegKey key;
    if (FAILED(key.Open(Hive::LocalMachine, kDataServerKey)))
        return S_OK;
    std::string text;
    if (SUCCEEDED(key.QueryStringValue(kAutomationAddressValue, text)) && !text.empty())
        options.address = text;
    DWORD port = 0;
    if (SUCCEEDED(key.QueryDWORDValue(kAutomationPortValue, port)) && port > 0 && port <= 65535)
        options.port = static_cast<std::uint16_t>(port);
    std::vector<std::string> names;
    if (SUCCEEDED(key.QueryMultiStringValue("AutomationHostNames", names)))
        options.host_names = std::move(names);
    else if (SUCCEEDED(key.QueryStringValue("AutomationHostNames", text)) && !text.empty())
        options.host_names = {text};
    return ReadToken(key, options.token);
}

HRESULT SetAutomationToken(std::istream& input, std::ostream& messages)
{
    // Room for a line break and one character more than a token may have: enough to tell.
    std::string token(kMaxAutomationTokenChars + 3, '\0');
    input.read(token.data(), static_cast<std::streamsize>(token.size()));
    token.resize(static_cast<std::size_t>(input.gcount()));
    if (token.ends_with('\n')) {
        token.pop_back();
        if (token.ends_with('\r'))
            token.pop_back();
    }
    const bool valid = IsValidToken(token);
    const HRESULT hr = valid ? StoreToken(token) : E_INVALIDARG;
    explicit_bzero(token.data(), token.size());
    if (!valid)
        messages << kBadToken;
    else if (FAILED(hr))
        messages << kNotStored << HResultMessage(hr) << '\n';
    return hr;
}

} // namespace velk
