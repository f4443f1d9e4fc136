#include "service/systemd_notifier.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

namespace velk {

SystemdNotifier SystemdNotifier::FromEnvironment()
{
    SystemdNotifier notifier;
    const char* variable = std::getenv("NOTIFY_SOCKET");
    if (!variable)
        return notifier;
    const std::string path(variable);
    unsetenv("NOTIFY_SOCKET");

    const bool abstract = path.size() > 1 && path[0] == '@';
    if ((!abstract && (path.empty() || path[0] != '/')) ||
        path.size() >= sizeof notifier.address_.sun_path)
        return notifier;
    notifier.address_.sun_family = AF_UNIX;
    std::memcpy(notifier.address_.sun_path, path.data(), path.size());
    if (abstract)
        notifier.address_.sun_path[0] = '\0';
    // An abstract name is exactly its bytes; a path ends at its terminating zero.
    notifier.length_ =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (abstract ? 0 : 1));
    return notifier;
}

HRESULT SystemdNotifier::Notify(std::string_view state) const
{
    if (!wanted())
        return S_FALSE;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return HResultFromErrno(errno);
    const ssize_t sent = sendto(fd, state.data(), state.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&address_), length_);
    const int error = errno;
    close(fd);
    return sent == static_cast<ssize_t>(state.size()) ? S_OK : HResultFromErrno(error);
}

} // namespace velk
