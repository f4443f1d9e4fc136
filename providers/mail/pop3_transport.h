// The byte stream to one POP3 server: a TCP connection, plain or inside TLS (from the start,
// or switched to by STLS), every wait bounded by the caller's deadline and cut short by the
// owner's stop event. TLS verifies the server's certificate and its name, against the system's
// trusted roots and the account's own trusted certificate when it has one. Lives on the mail
// worker thread; one object per session.
#pragma once

#include <openssl/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/event.h"
#include "platform/hresult.h"

namespace velk {

// What the failures of a mail session mean, beside E_INVALIDARG (refused before sending),
// E_ACCESSDENIED (the server refused the login) and E_ABORT (stopped).
constexpr HRESULT E_MAIL_TIMEOUT = HRESULT_FROM_WIN32(1460);          // ERROR_TIMEOUT
constexpr HRESULT E_MAIL_UNREACHABLE = HRESULT_FROM_WIN32(10061);     // WSAECONNREFUSED
constexpr HRESULT E_MAIL_CLOSED = HRESULT_FROM_WIN32(10054);          // WSAECONNRESET
constexpr HRESULT E_MAIL_GARBLED = HRESULT_FROM_WIN32(13);            // ERROR_INVALID_DATA
constexpr HRESULT E_MAIL_UNTRUSTED = MakeHResult(0x800B0109);         // CERT_E_UNTRUSTEDROOT
constexpr HRESULT E_MAIL_TLS = MakeHResult(0x80090304);               // SEC_E_INTERNAL_ERROR

class Pop3Transport {
public:
    explicit Pop3Transport(Event& stop) : stop_(stop) {}
    ~Pop3Transport();
    Pop3Transport(const Pop3Transport&) = delete;
    Pop3Transport& operator=(const Pop3Transport&) = delete;

    // Resolves host (IPv4) and connects to port.
    HRESULT Connect(const std::string& host, std::uint16_t port, std::uint32_t timeout_ms);
    // Starts TLS on the connection: the certificate must be valid for host and chain to a
    // trusted root or to trusted_pem (PEM text; empty: none).
    HRESULT StartTls(const std::string& host, std::string_view trusted_pem, std::uint32_t timeout_ms);

    HRESULT Send(std::string_view bytes, const Deadline& deadline);
    // Appends what arrives (at least one byte); E_MAIL_CLOSED when the server has closed.
    HRESULT Receive(std::string& bytes, const Deadline& deadline);

    void Close();
    bool secure() const { return ssl_ != nullptr; }
    // What went wrong last, for the account's report.
    const std::string& error() const { return error_; }

private:
    // Waits until the socket can be read (or written); E_ABORT, E_MAIL_TIMEOUT otherwise.
    HRESULT WaitReady(bool write, const Deadline& deadline, std::string_view what);
    HRESULT Fail(HRESULT hr, std::string message);
    // The TLS library's step result: S_OK done, S_FALSE wait and retry, a failure otherwise.
    HRESULT TlsStep(int result, const Deadline& deadline, std::string_view what);

    Event& stop_;
    int socket_ = -1;
    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
    std::string host_;
    std::string error_;
};

} // namespace velk
