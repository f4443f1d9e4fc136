#include "service/systemd_notifier.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace velk {
namespace {

// A datagram socket standing in for systemd's, bound to a path or (with a leading "@") to an
// abstract name.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& name)
    {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        name.copy(address.sun_path, name.size());
        socklen_t length = sizeof address;
        if (name[0] == '@') {
            address.sun_path[0] = '\0';
            length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        }
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0;
    }
    ~NotifySocket() { close(fd_); }

    bool bound() const { return bound_; }
    std::string Receive()
    {
        pollfd poll_fd{fd_, POLLIN, 0};
        if (poll(&poll_fd, 1, 10000) != 1)
            return "(nothing)";
        char buffer[64];
        const ssize_t size = recv(fd_, buffer, sizeof buffer, 0);
        return size > 0 ? std::string(buffer, static_cast<std::size_t>(size)) : "(failed)";
    }

private:
    int fd_ = -1;
    bool bound_ = false;
};

TEST(SystemdNotifier, SendsTheStateToThePathOrAbstractSocketItWasGiven)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("velknotify-" + std::to_string(getpid())))
            .string();
    const std::string abstract = "@velk-notify-test-" + std::to_string(getpid());
    for (const auto& name : {path, abstract}) {
        SCOPED_TRACE(name);
        NotifySocket systemd(name);
        ASSERT_TRUE(systemd.bound());
        setenv("NOTIFY_SOCKET", name.c_str(), 1);
        const auto notifier = SystemdNotifier::FromEnvironment();
        EXPECT_EQ(std::getenv("NOTIFY_SOCKET"), nullptr) << "left for programs started later";
        ASSERT_TRUE(notifier.wanted());
        EXPECT_EQ(notifier.Notify("READY=1"), S_OK);
        EXPECT_EQ(systemd.Receive(), "READY=1");
    }
    std::filesystem::remove(path);
}

TEST(SystemdNotifier, UnusableAddressesAskForNothing)
{
    const std::string kAddresses[] = {"", "@", "relative/socket", "/" + std::string(200, 'x')};
    for (const auto& address : kAddresses) {
        SCOPED_TRACE(address);
        setenv("NOTIFY_SOCKET", address.c_str(), 1);
        const auto notifier = SystemdNotifier::FromEnvironment();
        EXPECT_FALSE(notifier.wanted());
        EXPECT_EQ(notifier.Notify("READY=1"), S_FALSE);
    }
    unsetenv("NOTIFY_SOCKET");
    EXPECT_FALSE(SystemdNotifier::FromEnvironment().wanted());
}

} // namespace
} // namespace velk
