#include "service/control_signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

namespace velk {

namespace {

// SIGUSR1 and SIGUSR2 would end the process by default: here they are requests the service
// does not know.
constexpr int kControlSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2};

ServiceControl ControlOf(std::uint32_t signal)
{
    switch (signal) {
    case SIGTERM:
    case SIGINT:
        return ServiceControl::Stop;
    case SIGHUP:
        return ServiceControl::ParamChange;
    default:
        return ServiceControl::Unknown;
    }
}

} // namespace

ControlSignals::~ControlSignals()
{
    if (fd_ >= 0)
        close(fd_);
}

HRESULT ControlSignals::Open()
{
    if (fd_ >= 0)
        return S_OK;
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kControlSignals)
        sigaddset(&set, signal);
    if (const int error = pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0)
        return HResultFromErrno(error);
    fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    return fd_ >= 0 ? S_OK : HResultFromErrno(errno);
}

std::optional<ServiceControl> ControlSignals::Read()
{
    signalfd_siginfo info;
    for (;;) {
        const ssize_t size = read(fd_, &info, sizeof info);
        if (size == static_cast<ssize_t>(sizeof info))
            return ControlOf(info.ssi_signo);
        if (size < 0 && errno == EINTR)
            continue;
        return std::nullopt;
    }
}

ControlSignalThread::ControlSignalThread(ControlSignals& signals,
                                         std::function<void(ServiceControl)> on_request)
    : signals_(signals), on_request_(std::move(on_request)), thread_([this] { Run(); })
{
}

ControlSignalThread::~ControlSignalThread()
{
    stop_.Set();
    thread_.join();
}

void ControlSignalThread::Run()
{
    while (WaitAny({stop_, Waitable::Socket(signals_.fd())}, kInfinite) == 1) {
        while (const auto control = signals_.Read())
            on_request_(*control);
    }
}

} // namespace velk
