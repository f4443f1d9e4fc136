#include "display/service_calls.h"

#include <cstdlib>

#include "automation/automation_client.h"
#include "platform/error_info.h"

namespace velk {

HRESULT ConnectToService(const QString& server, std::shared_ptr<AutomationClient>& client)
{
    QString host = server.isEmpty() ? QStringLiteral("127.0.0.1") : server;
    std::uint16_t port = kServicePort;
    if (const int colon = host.lastIndexOf(':'); colon > 0 && !host.contains(']')) {
        bool ok = false;
        port = host.mid(colon + 1).toUShort(&ok);
        if (!ok || port == 0)
            return ReportError(E_INVALIDARG, "\"" + server.toStdString() + "\" names no port.");
        host.truncate(colon);
    }
    const char* token = std::getenv("VELK_TOKEN");
    return AutomationClient::Connect(host.toStdString(), port, token ? token : "", client);
}

HRESULT CallMember(const DispatchablePtr& object, std::string_view name, MemberKind kind,
                   std::vector<Variant> args, Variant& result)
{
    const MemberDesc* member = object->Table().Find(name, kind);
    if (!member)
        return DISP_E_UNKNOWNNAME;
    return object->Invoke(member->dispid, kind, args, result);
}

HRESULT GetObject(const DispatchablePtr& object, std::string_view name, DispatchablePtr& out,
                  std::vector<Variant> args, MemberKind kind)
{
    Variant result;
    HRESULT hr = CallMember(object, name, kind, std::move(args), result);
    if (FAILED(hr))
        return hr;
    UnknownPtr unknown;
    hr = result.ToObject(unknown);
    if (FAILED(hr))
        return hr;
    out = std::dynamic_pointer_cast<IDispatchable>(unknown);
    return out ? S_OK : E_NOINTERFACE;
}

HRESULT GetString(const DispatchablePtr& object, std::string_view name, std::string& out)
{
    Variant result;
    const HRESULT hr = CallMember(object, name, MemberKind::PropertyGet, {}, result);
    return FAILED(hr) ? hr : result.ToString(out);
}

HRESULT PutProperty(const DispatchablePtr& object, std::string_view name, Variant value)
{
    Variant ignored;
    return CallMember(object, name, MemberKind::PropertyPut, {std::move(value)}, ignored);
}

} // namespace velk
