// One POP3 session with a mail server: connect (plain, POP3S, or plain then STLS), read the
// greeting, log in, count, fetch headers (TOP) or whole messages (RETR), and QUIT. Each step
// waits a bounded time, every reply is checked for "+OK"/"-ERR", and what the server sends is
// bounded in line length and message size. Runs on the mail worker thread; the stop event ends
// any wait at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "providers/mail/pop3_reply.h"
#include "providers/mail/pop3_transport.h"

namespace velk {

// How an account reaches its server.
enum class MailSecurity : std::uint16_t {
    Plain = 0,    // port 110, no TLS
    Tls = 1,      // POP3S: TLS from the start, port 995
    StartTls = 2, // port 110, switched to TLS by STLS before the login
};

struct Pop3Endpoint {
    std::string host;
    std::uint16_t port = 110;
    MailSecurity security = MailSecurity::Plain;
    std::string trusted_pem; // a certificate trusted for this account besides the system's
};

struct Pop3Limits {
    std::uint32_t connect_ms = 10000;
    std::uint32_t reply_ms = 10000; // the greeting and each single-line reply
    std::uint32_t fetch_ms = 7000;  // a whole TOP or RETR, from the command on
    std::size_t max_line_bytes = 64 * 1024;
    std::size_t max_message_bytes = 1024 * 1024;
    std::uint32_t max_count = 1000000; // more messages than this in a STAT is not believed
};

class Pop3Client {
public:
    Pop3Client(Event& stop, Pop3Limits limits = {}) : transport_(stop), limits_(limits), lines_(limits.max_line_bytes) {}

    // Connects and reads the greeting; with STLS, switches to TLS.
    HRESULT Open(const Pop3Endpoint& endpoint);
    // USER and PASS: E_INVALIDARG (nothing sent) for a CR, LF or NUL in either,
    // E_ACCESSDENIED when the server refuses either.
    HRESULT Login(std::string_view user, std::string_view password);
    // The message count; E_FAIL when the server answers "-ERR" (the count is unknown).
    HRESULT Stat(std::uint32_t& count);
    // A message's header section (TOP n 0) or the whole of it (RETR n), lines ending in CRLF.
    // S_FALSE with what arrived when the fetch was cut: it did not end in time, or grew past
    // the size bound (the session is over then). E_FAIL for "-ERR".
    HRESULT Top(std::uint32_t number, std::string& text) { return Fetch("TOP " + std::to_string(number) + " 0", text); }
    HRESULT Retr(std::uint32_t number, std::string& text) { return Fetch("RETR " + std::to_string(number), text); }
    // Ends the session politely; the connection closes either way.
    HRESULT Quit();

    // What went wrong last, for the account's report.
    const std::string& error() const { return error_; }
    bool secure() const { return transport_.secure(); }

private:
    // One reply line within the deadline.
    HRESULT ReadLine(std::string& line, const Deadline& deadline);
    // Sends command (with its line end added) and reads its status line: S_OK for "+OK",
    // E_FAIL for "-ERR", E_MAIL_GARBLED for anything else.
    HRESULT Command(std::string_view command, std::string& text, const Deadline& deadline);
    HRESULT Fetch(const std::string& command, std::string& text);
    HRESULT Fail(HRESULT hr, std::string message);
    HRESULT FromTransport(HRESULT hr);

    Pop3Transport transport_;
    const Pop3Limits limits_;
    Pop3LineBuffer lines_;
    std::string host_;
    std::string error_;
    bool open_ = false;
};

} // namespace velk
