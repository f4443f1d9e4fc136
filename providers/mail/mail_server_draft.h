// The account a POP3 settings page edits: a copy that the page fills on apply and that its
// opener (the "Mail Servers" page) then hands to the provider. GUI thread only.
#pragma once

#include "platform/unknown.h"
#include "providers/mail/mail_server_settings.h"

namespace velk {

class MailServerDraft : public IUnknown {
public:
    explicit MailServerDraft(MailServerSettings initial = {}) : settings(std::move(initial)) {}

    MailServerSettings settings;
    bool applied = false;
};

} // namespace velk
