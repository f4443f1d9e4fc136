#include "providers/mail/pop3_client.h"

#include <charconv>

namespace velk {

namespace {

// Replies quoted in reports are cut to this many characters.
constexpr std::size_t kQuotedReplyChars = 80;

std::string Quoted(std::string_view text)
{
    std::string quoted;
    for (const char c : text.substr(0, kQuotedReplyChars))
        quoted += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return "\"" + quoted + (text.size() > kQuotedReplyChars ? "...\"" : "\"");
}

bool HasLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

} // namespace

HRESULT Pop3Client::Fail(HRESULT hr, std::string message)
{
    error_ = std::move(message);
    return hr;
}

HRESULT Pop3Client::FromTransport(HRESULT hr)
{
    if (FAILED(hr)) {
        error_ = transport_.error();
        open_ = false;
        transport_.Close();
    }
    return hr;
}

HRESULT Pop3Client::Open(const Pop3Endpoint& endpoint)
{
    host_ = endpoint.host;
    HRESULT hr = FromTransport(transport_.Connect(endpoint.host, endpoint.port, limits_.connect_ms));
    if (FAILED(hr))
        return hr;
    if (endpoint.security == MailSecurity::Tls) {
        hr = FromTransport(transport_.StartTls(endpoint.host, endpoint.trusted_pem, limits_.connect_ms));
        if (FAILED(hr))
            return hr;
    }
    open_ = true;
    std::string line;
    std::string text;
    const Deadline greeting(limits_.reply_ms);
    hr = ReadLine(line, greeting);
    if (FAILED(hr))
        return hr;
    if (ReplyStatus(line, text) != Pop3Status::Ok)
        return Fail(E_MAIL_GARBLED, "The mail server " + host_ + " greeted with " + Quoted(line) + ".");
    if (endpoint.security != MailSecurity::StartTls)
        return S_OK;
    hr = Command("STLS", text, Deadline(limits_.reply_ms));
    if (hr == E_FAIL)
        return Fail(E_MAIL_TLS, "The mail server " + host_ + " refused STLS: " + Quoted(text) + ".");
    if (FAILED(hr))
        return hr;
    // Nothing sent before the switch may be read as if it came through TLS.
    if (lines_.pending() != 0)
        return Fail(E_MAIL_GARBLED, "The mail server " + host_ + " sent more after its STLS reply.");
    return FromTransport(transport_.StartTls(endpoint.host, endpoint.trusted_pem, limits_.connect_ms));
}

HRESULT Pop3Client::ReadLine(std::string& line, const Deadline& deadline)
{
    for (;;) {
        switch (lines_.NextLine(line)) {
        case Pop3LineBuffer::Take::Line:
            return S_OK;
        case Pop3LineBuffer::Take::TooLong:
            open_ = false;
            transport_.Close();
            return Fail(E_MAIL_GARBLED, "The mail server " + host_ + " sent a line longer than " +
                                            std::to_string(limits_.max_line_bytes) + " bytes.");
        case Pop3LineBuffer::Take::NeedMore:
            break;
        }
        std::string bytes;
        HRESULT hr = FromTransport(transport_.Receive(bytes, deadline));
        if (FAILED(hr))
            return hr;
        lines_.Append(bytes);
    }
}

HRESULT Pop3Client::Command(std::string_view command, std::string& text, const Deadline& deadline)
{
    if (!open_)
        return Fail(E_MAIL_CLOSED, "The session with " + host_ + " is closed.");
    HRESULT hr = FromTransport(transport_.Send(std::string(command) + "\r\n", deadline));
    if (FAILED(hr))
        return hr;
    std::string line;
    hr = ReadLine(line, deadline);
    if (FAILED(hr))
        return hr;
    switch (ReplyStatus(line, text)) {
    case Pop3Status::Ok:
        return S_OK;
    case Pop3Status::Err:
        return E_FAIL;
    case Pop3Status::Garbled:
        break;
    }
    const std::string_view verb = command.substr(0, command.find(' '));
    return Fail(E_MAIL_GARBLED, "The mail server " + host_ + " answered " + std::string(verb) +
                                    " with " + Quoted(line) + ".");
}

HRESULT Pop3Client::Login(std::string_view user, std::string_view password)
{
    if (HasLineBreakOrNul(user) || HasLineBreakOrNul(password))
        return Fail(E_INVALIDARG, "The user name or password for " + host_ +
                                      " holds a line break or a NUL: not sent.");
    std::string text;
    HRESULT hr = Command("USER " + std::string(user), text, Deadline(limits_.reply_ms));
    if (hr == S_OK) {
        std::string command = "PASS " + std::string(password);
        hr = Command(command, text, Deadline(limits_.reply_ms));
        std::fill(command.begin(), command.end(), '\0');
    }
    if (hr == E_FAIL)
        return Fail(E_ACCESSDENIED, "The mail server " + host_ + " refused the login of " +
                                        Quoted(user) + ": " + Quoted(text) + ".");
    return hr;
}

HRESULT Pop3Client::Stat(std::uint32_t& count)
{
    std::string text;
    HRESULT hr = Command("STAT", text, Deadline(limits_.reply_ms));
    if (hr == E_FAIL)
        return Fail(E_FAIL, "The mail server " + host_ + " did not count: " + Quoted(text) + ".");
    if (FAILED(hr))
        return hr;
    const std::string_view number = std::string_view(text).substr(0, text.find(' '));
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || number.empty() ||
        value > limits_.max_count)
        return Fail(E_MAIL_GARBLED, "The mail server " + host_ + " answered STAT with " +
                                        Quoted(text) + ".");
    count = value;
    return S_OK;
}

HRESULT Pop3Client::Fetch(const std::string& command, std::string& text)
{
    const Deadline deadline(limits_.fetch_ms);
    std::string status;
    HRESULT hr = Command(command, status, deadline);
    if (hr == E_FAIL)
        return Fail(E_FAIL, "The mail server " + host_ + " answered " + command + " with " +
                                Quoted(status) + ".");
    if (FAILED(hr))
        return hr;
    Pop3MultiLine reply(limits_.max_message_bytes);
    for (;;) {
        std::string line;
        hr = ReadLine(line, deadline);
        if (hr == E_MAIL_TIMEOUT || hr == E_MAIL_GARBLED) {
            // What arrived is shown; the session cannot go on.
            text = reply.Take();
            return S_FALSE;
        }
        if (FAILED(hr))
            return hr;
        switch (reply.Add(line)) {
        case Pop3MultiLine::Step::More:
            continue;
        case Pop3MultiLine::Step::Done:
            text = reply.Take();
            return S_OK;
        case Pop3MultiLine::Step::TooLarge:
            error_ = "A message on " + host_ + " is larger than " +
                     std::to_string(limits_.max_message_bytes) + " bytes: cut.";
            open_ = false;
            transport_.Close();
            text = reply.Take();
            return S_FALSE;
        }
    }
}

HRESULT Pop3Client::Quit()
{
    HRESULT hr = S_OK;
    if (open_) {
        std::string text;
        hr = Command("QUIT", text, Deadline(limits_.reply_ms));
    }
    open_ = false;
    transport_.Close();
    return hr;
}

} // namespace velk
