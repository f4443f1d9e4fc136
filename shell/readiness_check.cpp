#include "shell/readiness_check.h"

#include <netdb.h>
#include <arpa/inet.h>

#include <algorithm>

namespace velk {

namespace {

constexpr std::string_view kComplete = "Complete";
constexpr std::string_view kNoUpgradeAvailable = "NoUpgradeAvailable";
constexpr const char* kAllSteps[] = {"Region", "TimeZone", "Language", "TermsOfService"};

// A list's names (line 0 is its size line), at most kMaxSetupChoices of them.
std::vector<std::string> ListNames(CControlSession& session, std::string_view word)
{
    std::vector<std::string> names;
    session.ExecuteList(word, [&names](std::string_view value, std::int32_t index) {
        if (index > 0 && names.size() < kMaxSetupChoices)
            names.emplace_back(value);
        return S_OK;
    });
    return names;
}

std::string Value(CControlSession& session, std::string_view word)
{
    std::string value;
    session.Execute(word, {}, &value);
    return value;
}

// The player's IPv4 address in dotted form, as the connection takes it: a host name is looked
// up; empty when it has no such address.
std::string DottedAddressOf(const std::string& host)
{
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) == 1)
        return host;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
    freeaddrinfo(found);
    return text;
}

bool Succeeded(HRESULT hr)
{
    // A player still busy with the question answers it later: the answer counts all the same.
    return SUCCEEDED(hr) || hr == E_PENDING;
}

InitialSetup ReadInitialSetup(CControlSession& session)
{
    InitialSetup setup;
    setup.regions = ListNames(session, "ListRegions");
    setup.time_zones = ListNames(session, "ListTimeZones");
    setup.languages = ListNames(session, "ListLanguages");
    setup.region = Value(session, "GetRegion");
    setup.time_zone = Value(session, "GetTimeZone");
    setup.language = Value(session, "GetLanguage");
    std::vector<std::string> steps;
    const HRESULT hr = session.ExecuteWithLines(
        "GetRequiredSetupSteps", {}, [&steps](std::string_view value, std::int32_t) {
            if (steps.size() < std::size(kAllSteps))
                steps.emplace_back(value);
            return S_OK;
        });
    if (SUCCEEDED(hr))
        setup.required_steps = std::move(steps);
    else
        setup.required_steps.assign(std::begin(kAllSteps), std::end(kAllSteps));
    setup.terms_url = Value(session, "GetTermsOfServiceUrl");
    return setup;
}

} // namespace

bool InitialSetup::Requires(std::string_view step) const
{
    return std::find(required_steps.begin(), required_steps.end(), step) != required_steps.end();
}

SetupCheck ConnectAndCheckSetup(CControlSession& session, const std::string& host)
{
    SetupCheck check;
    // The session reads the firmware (2.5.151 when the player does not say) as it opens.
    const std::string address = DottedAddressOf(host);
    if (address.empty()) {
        check.hr = E_RCP_SOCKET;
        return check;
    }
    check.hr = session.Open(address, {});
    // A player that garbles its version has no setup to complete: it counts as unreachable.
    if (check.hr == E_FAIL)
        check.hr = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    if (FAILED(check.hr))
        return check;
    std::string state;
    if (Succeeded(session.Execute("GetInitialSetupComplete", {}, &state)) && state != kComplete) {
        check.setup_complete = false;
        check.setup = ReadInitialSetup(session);
    }
    return check;
}

HRESULT ApplyInitialSetup(CControlSession& session, const InitialSetup& setup)
{
    const std::pair<const char*, const std::string*> choices[] = {
        {"Region", &setup.region}, {"TimeZone", &setup.time_zone}, {"Language", &setup.language}};
    for (const auto& [step, value] : choices) {
        if (setup.Requires(step) && !value->empty() &&
            FAILED(session.Execute(std::string("Set") + step, *value)))
            return E_FAIL;
    }
    if (setup.terms_accepted && FAILED(session.Execute("AcceptTermsOfService")))
        return E_FAIL;
    return FAILED(session.Execute("SetInitialSetupComplete")) ? E_FAIL : S_OK;
}

Readiness FinishReadinessCheck(CControlSession& session)
{
    Readiness readiness;
    readiness.firmware = session.firmware_version();
    std::string offer;
    if (Succeeded(session.Execute("CheckSoftwareUpgrade", {}, &offer)) && offer != kNoUpgradeAvailable)
        readiness.offered_upgrade = ParseFirmwareVersion(offer).value_or(FirmwareVersion{});
    if (FAILED(session.Execute("GetConnectedServer"))) {
        readiness.hr = E_RCP_DISCONNECTED;
        return readiness;
    }
    session.RefreshServer();
    readiness.server = session.connected_server();
    readiness.hr = S_OK;
    return readiness;
}

} // namespace velk
