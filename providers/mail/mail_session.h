// The POP3 work the mail provider asks for, each a whole session of its own that ends with
// QUIT: a poll (log in and count), the subjects of some messages (TOP), one whole message
// (RETR). A login the server refuses does not end the session: the count that follows decides
// (a server may allow the mailbox anyway). Credentials with a line break or NUL are refused
// before connecting. Runs on the mail worker thread; the stop event ends it at once.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "providers/mail/mail_message.h"
#include "providers/mail/pop3_client.h"

namespace velk {

struct MailCredentials {
    std::string user_name;
    std::string password;
    ~MailCredentials();
};

struct MailSessionResult {
    HRESULT hr = S_OK;             // of the session as a whole
    HRESULT login = S_OK;          // E_ACCESSDENIED when the server refused the login
    std::int64_t count = -1;       // from STAT; -1 unknown
    std::string error;             // what went wrong, for the report
    std::map<std::uint32_t, std::string> subjects; // by message number
    bool has_message = false;
    MailMessage message;
};

struct MailSession {
    Pop3Endpoint endpoint;
    MailCredentials credentials;
    Pop3Limits limits;

    // Log in and count.
    MailSessionResult Poll(Event& stop) const;
    // ...and the subjects of the numbers given (those within the count).
    MailSessionResult Subjects(Event& stop, const std::vector<std::uint32_t>& numbers) const;
    // ...and message number.
    MailSessionResult Message(Event& stop, std::uint32_t number) const;

private:
    // Opens, logs in and counts; false when the session cannot go on.
    bool Begin(Pop3Client& client, MailSessionResult& result) const;
    void End(Pop3Client& client, MailSessionResult& result) const;
};

} // namespace velk
