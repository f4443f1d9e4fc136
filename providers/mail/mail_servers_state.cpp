#include "providers/mail/mail_servers_state.h"

#include <limits>

#include "platform/encoding.h"
#include "platform/stream_fields.h"

namespace velk {

namespace {

constexpr std::uint16_t kVersion = 0;
constexpr char kSeparator = '\t';
constexpr std::string_view kConnectionTag = "VMX1";
// The count field is 16 bits wide.
constexpr std::size_t kMaxServers = std::numeric_limits<std::uint16_t>::max();

HRESULT SealCredentials(const CMailServer& server, std::string_view entropy,
                        const DataProtection& protection, std::string& blob)
{
    std::string plain = ToAnsi(server.user_name);
    plain += kSeparator;
    std::string password = ToAnsi(server.password);
    plain += password;
    WipeSecret(password);
    std::vector<std::uint8_t> sealed;
    HRESULT hr = protection.Protect(BytesOf(plain), BytesOf(entropy), sealed);
    WipeSecret(plain);
    if (SUCCEEDED(hr))
        blob.assign(sealed.begin(), sealed.end());
    return hr;
}

void OpenCredentials(std::string_view blob, std::string_view entropy,
                     const DataProtection& protection, CMailServer& server)
{
    std::vector<std::uint8_t> plain;
    if (FAILED(protection.Unprotect(BytesOf(blob), BytesOf(entropy), plain)))
        return;
    const std::string_view text(reinterpret_cast<const char*>(plain.data()), plain.size());
    const std::size_t tab = text.find(kSeparator);
    server.user_name = FromAnsi(text.substr(0, tab));
    server.password = tab == std::string_view::npos ? std::string() : FromAnsi(text.substr(tab + 1));
    WipeSecret(plain);
}

// How each account is reached, after the accounts; absent or damaged: the defaults stay.
void ReadConnections(IStream& stream, MailServers& servers)
{
    std::string tag;
    if (ReadBytes(stream, kConnectionTag.size(), tag) != S_OK || tag != kConnectionTag)
        return;
    for (auto& server : servers) {
        std::uint16_t security = 0;
        std::uint16_t port = 0;
        std::string pem;
        if (ReadUInt16(stream, security) != S_OK || ReadUInt16(stream, port) != S_OK ||
            ReadCountedBytes(stream, pem) != S_OK)
            return;
        if (security > static_cast<std::uint16_t>(MailSecurity::StartTls) || port == 0 ||
            pem.size() > CPOP3Server::kMaxTrustedPemBytes)
            continue;
        server->security = static_cast<MailSecurity>(security);
        server->port = port;
        server->trusted_pem = std::move(pem);
    }
}

} // namespace

HRESULT ReadMailServers(IStream& stream, const DataProtection& protection, MailServers& servers)
{
    servers.clear();
    std::uint16_t version = 0;
    std::uint16_t count = 0;
    if (ReadUInt16(stream, version) != S_OK || version != kVersion ||
        ReadUInt16(stream, count) != S_OK || static_cast<std::int16_t>(count) <= 0)
        return S_OK;
    for (std::uint16_t i = 0; i < count; ++i) {
        std::uint16_t type = 0;
        std::string host;
        std::string blob;
        if (ReadUInt16(stream, type) != S_OK || type != static_cast<std::uint16_t>(MailServerType::POP3) ||
            ReadCountedBytes(stream, host) != S_OK || ReadCountedBytes(stream, blob) != S_OK)
            return S_OK;
        auto server = std::make_shared<CPOP3Server>();
        server->host = FromAnsi(host);
        OpenCredentials(blob, host, protection, *server);
        servers.push_back(std::move(server));
    }
    ReadConnections(stream, servers);
    return S_OK;
}

HRESULT WriteMailServers(IStream& stream, const DataProtection& protection,
                         const MailServers& servers)
{
    if (servers.size() > kMaxServers)
        return E_INVALIDARG;
    HRESULT hr = WriteUInt16(stream, kVersion);
    if (SUCCEEDED(hr))
        hr = WriteUInt16(stream, static_cast<std::uint16_t>(servers.size()));
    for (const auto& server : servers) {
        const std::string host = ToAnsi(server->host);
        std::string blob;
        if (SUCCEEDED(hr))
            hr = WriteUInt16(stream, static_cast<std::uint16_t>(server->type()));
        if (SUCCEEDED(hr))
            hr = WriteCountedBytes(stream, host);
        if (SUCCEEDED(hr))
            hr = SealCredentials(*server, host, protection, blob);
        if (SUCCEEDED(hr))
            hr = WriteCountedBytes(stream, blob);
    }
    if (SUCCEEDED(hr))
        hr = WriteBytes(stream, kConnectionTag);
    for (const auto& server : servers) {
        if (SUCCEEDED(hr))
            hr = WriteUInt16(stream, static_cast<std::uint16_t>(server->security));
        if (SUCCEEDED(hr))
            hr = WriteUInt16(stream, server->port);
        if (SUCCEEDED(hr))
            hr = WriteCountedBytes(stream, server->trusted_pem);
    }
    return hr;
}

} // namespace velk
