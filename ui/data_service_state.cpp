#include "ui/data_service_state.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProgressDialog>
#include <QThread>

#include "automation/automation_client.h"
#include "automation/automation_server.h"
#include "platform/data_server_layout.h"
#include "platform/reg_key.h"
#include "platform/service_unit.h"

namespace velk {

namespace {

constexpr int kUnitCheckMs = 2000;
// systemd gives a starting service 90 s by default; the service answers well before.
constexpr int kStartMs = 30000;
constexpr int kStartPollMs = 250;
constexpr int kConnectMs = 1000;

bool UnitIsActive()
{
    QProcess systemctl;
    systemctl.start("systemctl", {"is-active", "--quiet", QString::fromUtf8(kServiceUnitName)});
    if (!systemctl.waitForFinished(kUnitCheckMs)) {
        systemctl.kill();
        systemctl.waitForFinished();
        return false;
    }
    return systemctl.exitStatus() == QProcess::NormalExit && systemctl.exitCode() == 0;
}

bool EndpointAnswers()
{
    const ServiceEndpoint endpoint = LocalServiceEndpoint();
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(endpoint.port);
    if (endpoint.port == 0 || inet_pton(AF_INET, endpoint.address.c_str(), &target.sin_addr) != 1)
        return false;

    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd wait{fd, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        connected = poll(&wait, 1, kConnectMs) == 1 &&
                    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    close(fd);
    return connected;
}

} // namespace

ServiceEndpoint LocalServiceEndpoint()
{
    std::string address;
    DWORD port = AutomationServer::kDefaultPort;
    RegKey key;
    if (SUCCEEDED(key.Open(Hive::LocalMachine, kDataServerKey))) {
        key.QueryStringValue(kAutomationAddressValue, address);
        key.QueryDWORDValue(kAutomationPortValue, port);
    }
    if (address.empty() || address == "0.0.0.0")
        address = "127.0.0.1";
    return {address, port > 0xFFFF ? std::uint16_t{0} : static_cast<std::uint16_t>(port)};
}

bool IsDataServiceRunning()
{
    return EndpointAnswers() || UnitIsActive();
}

HRESULT StartDataService(QWidget* parent)
{
    QProgressDialog progress("Starting the Velk Data Service...", "Cancel", 0, 0, parent);
    progress.setWindowTitle("Velk Melodeck");
    progress.setMinimumDuration(500);
    QProcess systemctl;
    systemctl.start("systemctl", {"start", QString::fromUtf8(kServiceUnitName)});
    QElapsedTimer elapsed;
    elapsed.start();
    while (!systemctl.waitForFinished(kStartPollMs)) {
        QApplication::processEvents();
        if (progress.wasCanceled())
            return E_ABORT;
        if (elapsed.elapsed() > kStartMs) {
            systemctl.kill();
            systemctl.waitForFinished();
            return HRESULT_FROM_WIN32(ERROR_SERVICE_REQUEST_TIMEOUT);
        }
    }
    if (systemctl.exitStatus() != QProcess::NormalExit || systemctl.exitCode() != 0)
        return HRESULT_FROM_WIN32(ERROR_SERVICE_NOT_ACTIVE);
    // Started: wait until its endpoint takes calls.
    while (!EndpointAnswers()) {
        QApplication::processEvents();
        if (progress.wasCanceled())
            return E_ABORT;
        if (elapsed.elapsed() > kStartMs)
            return HRESULT_FROM_WIN32(ERROR_SERVICE_REQUEST_TIMEOUT);
        QThread::msleep(kStartPollMs);
    }
    return S_OK;
}

} // namespace velk

namespace velk {

HRESULT AskDataServiceToReload()
{
    const ServiceEndpoint endpoint = LocalServiceEndpoint();
    const char* token = std::getenv("VELK_TOKEN");
    std::shared_ptr<AutomationClient> client;
    HRESULT hr = AutomationClient::Connect(endpoint.address, endpoint.port, token ? token : "", client);
    if (FAILED(hr))
        return hr;
    const DispatchablePtr root = client->Root();
    for (const MemberDesc& member : root->Table().members()) {
        if (member.name == "Reload") {
            std::vector<Variant> args;
            Variant result;
            return root->Invoke(member.dispid, member.kind, args, result);
        }
    }
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace velk
