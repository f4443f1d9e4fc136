// Reaching the data service from a desktop program: the connection to its automation endpoint
// on this computer or on the one a server name gives ("host" or "host:port"), and the calls by
// member name that the mirror, its connection page and the screen saver make on its objects.
// Any thread; the calls block until the service answers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

#include "automation/dispatch.h"

namespace velk {

class AutomationClient;

constexpr std::uint16_t kServicePort = 4445;

// Connects to the service that `server` names (empty: this computer), with the token of
// $VELK_TOKEN when set. E_INVALIDARG for a port that is no port.
HRESULT ConnectToService(const QString& server, std::shared_ptr<AutomationClient>& client);

HRESULT CallMember(const DispatchablePtr& object, std::string_view name, MemberKind kind,
                   std::vector<Variant> args, Variant& result);
// A property (or, with kind Method, a method's result) that is an object.
HRESULT GetObject(const DispatchablePtr& object, std::string_view name, DispatchablePtr& out,
                  std::vector<Variant> args = {}, MemberKind kind = MemberKind::PropertyGet);
HRESULT GetString(const DispatchablePtr& object, std::string_view name, std::string& out);
HRESULT PutProperty(const DispatchablePtr& object, std::string_view name, Variant value);

} // namespace velk
