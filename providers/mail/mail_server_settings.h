// What the mail provider's pages edit: its accounts, each as a value. The pages live in the
// companion module and reach the provider through this interface; the configuration side then
// saves the provider's object state. GUI thread of the process that shows the pages.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "providers/mail/pop3_client.h"

namespace velk {

struct MailServerSettings {
    std::string host;
    std::string user_name;
    std::string password;
    MailSecurity security = MailSecurity::Plain;
    std::uint16_t port = 110;
    std::string trusted_pem;
};

class IMailServerSettings {
public:
    virtual ~IMailServerSettings() = default;

    virtual std::vector<MailServerSettings> Servers() const = 0;
    virtual void AddServer(const MailServerSettings& settings) = 0;
    // Out-of-range indexes change nothing.
    virtual void SetServer(std::size_t index, const MailServerSettings& settings) = 0;
    virtual void DeleteServer(std::size_t index) = 0;
};

} // namespace velk
