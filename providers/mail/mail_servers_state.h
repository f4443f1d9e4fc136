// The mail provider's object state: its accounts, in order. The stream holds a 16-bit version
// (0) and a 16-bit account count, then for each account its 16-bit type (0: POP3), its host
// name (32-bit little-endian byte count and the ANSI bytes) and its credentials (32-bit byte
// count and the blob that protects "user name<TAB>password", ANSI, for this machine, bound to
// the host name's bytes). How each POP3 account is reached follows all of that, so that a
// reader that knows only the accounts stops before it: the tag "VMX1", then per account, in the
// same order, its 16-bit security (0 plain, 1 POP3S, 2 STLS), its 16-bit port and its trusted
// certificate (32-bit byte count and PEM text). A stream without that part gives every account
// port 110 without TLS. Any thread.
#pragma once

#include <memory>
#include <vector>

#include "platform/data_protection.h"
#include "platform/stream.h"
#include "providers/mail/mail_server.h"

namespace velk {

using MailServers = std::vector<std::shared_ptr<CPOP3Server>>;

// Reading stops at the first account whose type is not POP3 or that is cut short (the accounts
// before it stay); a version other than 0 or a count that is not positive gives no account.
// Credentials that cannot be opened leave the account without them. Never fails on content.
HRESULT ReadMailServers(IStream& stream, const DataProtection& protection, MailServers& servers);
HRESULT WriteMailServers(IStream& stream, const DataProtection& protection,
                         const MailServers& servers);

} // namespace velk
