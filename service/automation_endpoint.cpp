#include "service/automation_endpoint.h"

#include "platform/reg_key.h"

namespace velk {

namespace {

constexpr const char* kDataServerKey = "SOFTWARE\\Velk\\DataServer";

} // namespace

AutomationServer::Options ReadAutomationOptions()
{
    AutomationServer::Options options;
    RegKey key;
    if (FAILED(key.Open(Hive::LocalMachine, kDataServerKey)))
        return options;
    std::string text;
    if (SUCCEEDED(key.QueryStringValue("AutomationAddress", text)) && !text.empty())
        options.address = text;
    DWORD port = 0;
    if (SUCCEEDED(key.QueryDWORDValue("AutomationPort", port)) && port > 0 && port <= 65535)
        options.port = static_cast<std::uint16_t>(port);
    if (SUCCEEDED(key.QueryStringValue("AutomationToken", text)))
        options.token = text;
    return options;
}

} // namespace velk
