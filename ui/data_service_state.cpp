#include "ui/data_service_state.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include <QProcess>

#include "platform/reg_key.h"

namespace velk {

namespace {

constexpr const char* kServiceKey = "SOFTWARE\\Velk\\DataServer";
constexpr const char* kUnitName = "velk.service";
constexpr int kUnitCheckMs = 2000;
constexpr int kConnectMs = 1000;
constexpr DWORD kDefaultPort = 4445;

bool UnitIsActive()
{
    QProcess systemctl;
    systemctl.start("systemctl", {"is-active", "--quiet", kUnitName});
    if (!systemctl.waitForFinished(kUnitCheckMs)) {
        systemctl.kill();
        systemctl.waitForFinished();
        return false;
    }
    return systemctl.exitStatus() == QProcess::NormalExit && systemctl.exitCode() == 0;
}

bool EndpointAnswers()
{
    std::string address;
    DWORD port = kDefaultPort;
    RegKey key;
    if (SUCCEEDED(key.Open(Hive::LocalMachine, kServiceKey))) {
        key.QueryStringValue("AutomationAddress", address);
        key.QueryDWORDValue("AutomationPort", port);
    }
    // An endpoint open on every address is reached on loopback.
    if (address.empty() || address == "0.0.0.0")
        address = "127.0.0.1";
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port == 0 || port > 0xFFFF || inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1)
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

bool IsDataServiceRunning()
{
    return EndpointAnswers() || UnitIsActive();
}

} // namespace velk
