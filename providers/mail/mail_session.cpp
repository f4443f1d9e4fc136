#include "providers/mail/mail_session.h"

#include "platform/data_protection.h"

namespace velk {

namespace {

bool HasLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

} // namespace

MailCredentials::~MailCredentials()
{
    WipeSecret(user_name);
    WipeSecret(password);
}

bool MailSession::Begin(Pop3Client& client, MailSessionResult& result) const
{
    if (HasLineBreakOrNul(credentials.user_name) || HasLineBreakOrNul(credentials.password)) {
        result.hr = E_INVALIDARG;
        result.error = "The user name or password for " + endpoint.host +
                       " holds a line break or a NUL: not sent.";
        return false;
    }
    result.hr = client.Open(endpoint);
    if (SUCCEEDED(result.hr)) {
        result.login = client.Login(credentials.user_name, credentials.password);
        if (result.login == E_ACCESSDENIED)
            result.error = client.error();
        else
            result.hr = result.login;
    }
    std::uint32_t count = 0;
    if (SUCCEEDED(result.hr))
        result.hr = client.Stat(count);
    if (FAILED(result.hr)) {
        // A refused login explains a failed count best.
        if (result.login != E_ACCESSDENIED)
            result.error = client.error();
        client.Quit();
        return false;
    }
    result.count = count;
    return true;
}

void MailSession::End(Pop3Client& client, MailSessionResult& result) const
{
    const HRESULT hr = client.Quit();
    if (SUCCEEDED(result.hr) && FAILED(hr) && result.error.empty())
        result.error = client.error();
}

MailSessionResult MailSession::Poll(Event& stop) const
{
    Pop3Client client(stop, limits);
    MailSessionResult result;
    if (Begin(client, result))
        End(client, result);
    return result;
}

MailSessionResult MailSession::Subjects(Event& stop, const std::vector<std::uint32_t>& numbers) const
{
    Pop3Client client(stop, limits);
    MailSessionResult result;
    if (!Begin(client, result))
        return result;
    for (const std::uint32_t number : numbers) {
        if (number < 1 || number > result.count)
            continue;
        std::string headers;
        const HRESULT hr = client.Top(number, headers);
        if (FAILED(hr)) {
            result.hr = hr;
            result.error = client.error();
            break;
        }
        result.subjects[number] = ParseMessage(headers).Property(kTagSubject);
        if (hr == S_FALSE)
            break; // the session is over: the rest waits for the next draw
    }
    End(client, result);
    return result;
}

MailSessionResult MailSession::Message(Event& stop, std::uint32_t number) const
{
    Pop3Client client(stop, limits);
    MailSessionResult result;
    if (!Begin(client, result))
        return result;
    if (number >= 1 && number <= result.count) {
        std::string text;
        const HRESULT hr = client.Retr(number, text);
        if (FAILED(hr)) {
            result.hr = hr;
            result.error = client.error();
        } else {
            // A message cut short shows what arrived.
            result.message = ParseMessage(text);
            result.has_message = true;
        }
    }
    End(client, result);
    return result;
}

} // namespace velk
