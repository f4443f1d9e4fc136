#include "service/service_installer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace velk {

namespace {

constexpr const char* kSystemdRunning = "/run/systemd/system";

constexpr std::string_view kManagerUnreachable =
    "systemd is not running and VELK_SYSTEMD_UNIT_DIR is not set";
constexpr std::string_view kCouldNotOpenManager = "Could not open Service Manager";
constexpr std::string_view kCouldNotOpenService = "Could not open service";
constexpr std::string_view kCouldNotStartService = "Could not start service";
constexpr std::string_view kCouldNotStopService = "Could not stop service";
constexpr std::string_view kCouldNotDeleteService = "Could not delete service";

// The Windows service's dependency on RPCSS becomes an order after the network is up. No
// [Install] section: the unit is started on demand and never enabled. StateDirectory keeps
// /var/lib/velk (the machine hive) writable under ProtectSystem=strict; the service account's
// own hive (HKCU) goes there too, as every home folder is read-only. Devices stay visible for
// the caller-ID modem. A crash or a failed run restarts the service after a pause, so that the
// players get their providers back.
constexpr std::string_view kUnitHead = R"([Unit]
Description=Velk Data Service
After=network-online.target
Wants=network-online.target

[Service]
Type=notify
ExecStart=)";

constexpr std::string_view kUnitTail = R"(
ExecReload=/bin/kill -HUP $MAINPID
Restart=on-failure
RestartSec=5
Environment=XDG_CONFIG_HOME=/var/lib/velk
StateDirectory=velk
ReadWritePaths=/var/lib/velk
NoNewPrivileges=yes
ProtectSystem=strict
PrivateTmp=yes
ProtectKernelTunables=yes
ProtectKernelModules=yes
ProtectKernelLogs=yes
ProtectControlGroups=yes
ProtectClock=yes
ProtectHostname=yes
RestrictSUIDSGID=yes
RestrictRealtime=yes
RestrictNamespaces=yes
LockPersonality=yes
SystemCallArchitectures=native
RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6 AF_NETLINK
)";

// The program path as the command of ExecStart: quoted (it may hold blanks) with specifiers
// ("%") doubled; the command is not subject to "$" variables. systemd refuses a command with a
// control character, a quote or a backslash in it: nullopt.
std::optional<std::string> QuoteUnitCommand(std::string_view path)
{
    std::string quoted = "\"";
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '"' || c == '\'' || c == '\\')
            return std::nullopt;
        if (c == '%')
            quoted += c;
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// Writes the file whole or not at all: a temporary file beside it, renamed over it.
HRESULT WriteFileAtomically(const std::filesystem::path& path, std::string_view text)
{
    std::string temporary = path.string() + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return HResultFromErrno(errno);
    int error = fchmod(fd, 0644) == 0 ? 0 : errno;
    for (std::string_view rest = text; error == 0 && !rest.empty();) {
        const ssize_t written = write(fd, rest.data(), rest.size());
        if (written < 0 && errno != EINTR)
            error = errno;
        else if (written > 0)
            rest.remove_prefix(static_cast<std::size_t>(written));
    }
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0)
        unlink(temporary.c_str());
    return error == 0 ? S_OK : HResultFromErrno(error);
}

} // namespace

ServiceInstaller::ServiceInstaller(std::ostream& messages) : messages_(messages)
{
    bool from_variable = false;
    unit_folder_ = ServiceUnitFolder(&from_variable);
    if (from_variable) {
        reachable_ = true;
        return;
    }
    std::error_code error;
    systemd_ = std::filesystem::is_directory(kSystemdRunning, error);
    reachable_ = systemd_;
}

bool ServiceInstaller::IsInstalled() const
{
    return IsServiceUnitInstalled();
}

std::optional<std::string> ServiceInstaller::UnitText(const std::filesystem::path& program)
{
    auto command = QuoteUnitCommand(program.string());
    if (!command)
        return std::nullopt;
    return std::string(kUnitHead) + *command + std::string(kUnitTail);
}

HRESULT ServiceInstaller::Install(const std::filesystem::path& program)
{
    if (IsInstalled())
        return S_OK;
    if (!reachable_)
        return Fail(kCouldNotOpenManager, E_FAIL, kManagerUnreachable);
    const auto text = UnitText(program);
    if (!text)
        return Fail(kCouldNotStartService, E_INVALIDARG,
                    "systemd runs no program whose path holds a quote, backslash or control "
                    "character");
    HRESULT hr = WriteFileAtomically(UnitPath(), *text);
    if (FAILED(hr))
        return Fail(kCouldNotStartService, hr);
    if (systemd_ && Systemctl({"daemon-reload"}) != 0)
        return Fail(kCouldNotStartService, E_FAIL, "systemctl daemon-reload failed");
    return S_OK;
}

HRESULT ServiceInstaller::Remove()
{
    if (!IsInstalled())
        return S_OK;
    if (!reachable_)
        return Fail(kCouldNotOpenManager, E_FAIL, kManagerUnreachable);
    if (systemd_) {
        // is-active: 0 when active, another status when not; -1 when systemctl did not run.
        const int active = Systemctl({"is-active", "--quiet", std::string(kUnitName)});
        if (active < 0)
            return Fail(kCouldNotOpenService, E_FAIL, "systemctl could not be run");
        if (active == 0 && Systemctl({"stop", std::string(kUnitName)}) != 0)
            return Fail(kCouldNotStopService, E_FAIL, "systemctl stop failed");
    }
    if (unlink(UnitPath().c_str()) != 0 && errno != ENOENT)
        return Fail(kCouldNotDeleteService, HResultFromErrno(errno));
    if (systemd_ && Systemctl({"daemon-reload"}) != 0)
        return Fail(kCouldNotDeleteService, E_FAIL, "systemctl daemon-reload failed");
    return S_OK;
}

HRESULT ServiceInstaller::Fail(std::string_view message, HRESULT hr, std::string_view reason)
{
    messages_ << message << " (" << UnitPath().string() << "): ";
    if (reason.empty())
        messages_ << HResultMessage(hr) << '\n';
    else
        messages_ << reason << '\n';
    return hr;
}

int ServiceInstaller::Systemctl(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{"systemctl"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (auto& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    // The child starts with no signal blocked, whatever the caller has blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int spawned =
        posix_spawnp(&pid, "systemctl", nullptr, &attributes, pointers.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace velk
