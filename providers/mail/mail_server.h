// A mail account of the mail provider: the server (its host name is also the account's name in
// lists), the user name and password, and what the polls found: the message count at the last
// STAT (-1: never counted), whether the account is disabled, whether its failed login was
// reported. CMailServer is what every kind of account has; CPOP3Server adds how a POP3 server
// is reached (port, TLS, a certificate trusted for it). Owned by the provider; its settings are
// changed on the provider's apartment (or by the pages, in the process that shows them).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "providers/mail/pop3_client.h"

namespace velk {

enum class MailServerType : std::uint16_t { POP3 = 0 };

class CMailServer {
public:
    virtual ~CMailServer() = default;

    virtual MailServerType type() const = 0;

    std::string host; // UTF-8
    std::string user_name;
    std::string password;

    std::int32_t last_count = -1;
    bool disabled = false;
    bool login_failure_reported = false;
};

class CPOP3Server : public CMailServer {
public:
    static constexpr std::uint16_t kPlainPort = 110;
    static constexpr std::uint16_t kTlsPort = 995;
    // A trusted certificate is a few kilobytes of PEM; more is not one.
    static constexpr std::size_t kMaxTrustedPemBytes = 64 * 1024;

    MailServerType type() const override { return MailServerType::POP3; }

    // The port that goes with a kind of connection when none is chosen.
    static std::uint16_t DefaultPort(MailSecurity security)
    {
        return security == MailSecurity::Tls ? kTlsPort : kPlainPort;
    }

    Pop3Endpoint Endpoint() const { return {host, port, security, trusted_pem}; }

    std::uint16_t port = kPlainPort;
    MailSecurity security = MailSecurity::Plain;
    std::string trusted_pem;
};

} // namespace velk
