#include "platform/modem_line.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>

#include "platform/write_all.h"

namespace velk {

namespace {

// Bytes read at a time.
constexpr std::size_t kReadChunkBytes = 256;

void MakeRaw(int fd)
{
    termios settings{};
    // Anything but a terminal (a pipe, say) is read as it is.
    if (tcgetattr(fd, &settings) != 0)
        return;
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&settings, B115200);
    cfsetospeed(&settings, B115200);
    tcsetattr(fd, TCSANOW, &settings);
}

} // namespace

ModemLine::ModemLine(std::string device, CallHandler on_call)
    : device_(std::move(device)), on_call_(std::move(on_call)), thread_([this] { Watch(); })
{
}

ModemLine::~ModemLine()
{
    stop_.Set();
    thread_.join();
}

void ModemLine::Watch()
{
    while (!stop_.IsSet()) {
        const int fd = open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            Serve(fd);
            close(fd);
            parser_ = CallerIdParser{};
        }
        stop_.Wait(kReopenIntervalMs);
    }
}

void ModemLine::Serve(int fd)
{
    MakeRaw(fd);
    // A reset first; then caller ID in the formatted form, by the command the modem knows.
    if (Command(fd, "ATZ") == ModemResult::None)
        return;
    if (Command(fd, "AT+VCID=1") == ModemResult::Error)
        Command(fd, "AT#CID=1");
    while (!stop_.IsSet()) {
        const auto due = parser_.FlushDueInMs(TelephonyNowMs());
        const auto timeout = due ? static_cast<std::uint32_t>(*due) : kInfinite;
        const int signalled = WaitAny({stop_, Waitable::Socket(fd)}, timeout);
        if (signalled == 0 || signalled == kWaitFailed)
            return;
        if (signalled == 1 && !ReadSome(fd))
            return;
        if (auto call = parser_.Flush(TelephonyNowMs()))
            on_call_(*call);
    }
}

ModemResult ModemLine::Command(int fd, std::string_view command)
{
    parser_.TakeResult();
    if (!WriteAll(fd, std::string(command) + "\r"))
        return ModemResult::None;
    const Deadline deadline(kCommandTimeoutMs);
    while (!deadline.Expired()) {
        if (WaitAny({stop_, Waitable::Socket(fd)}, deadline.RemainingMs()) != 1 || !ReadSome(fd))
            return ModemResult::None;
        if (const ModemResult result = parser_.TakeResult(); result != ModemResult::None)
            return result;
    }
    return ModemResult::None;
}

bool ModemLine::ReadSome(int fd)
{
    std::array<char, kReadChunkBytes> buffer;
    const ssize_t got = read(fd, buffer.data(), buffer.size());
    if (got < 0)
        return errno == EAGAIN || errno == EINTR;
    if (got == 0)
        return false;
    for (const auto& call : parser_.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)),
                                         TelephonyNowMs()))
        on_call_(call);
    return true;
}

} // namespace velk
