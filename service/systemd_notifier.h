// Tells the service manager how the start goes ("READY=1", "STOPPING=1") when it asked for that
// by NOTIFY_SOCKET: one datagram per message on that Unix socket, written by hand. Taken from
// the environment once at start-up, so that programs the service starts later never notify in
// its name. Main thread.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <string_view>

#include "platform/hresult.h"

namespace velk {

class SystemdNotifier {
public:
    // Reads and removes NOTIFY_SOCKET. An address that is not a usable Unix socket path
    // ("/run/..." or "@abstract") leaves the notifier without one.
    static SystemdNotifier FromEnvironment();

    bool wanted() const { return length_ != 0; }
    // S_FALSE when nobody asked; a failed send is the errno's code.
    HRESULT Notify(std::string_view state) const;

private:
    sockaddr_un address_{};
    socklen_t length_ = 0;
};

} // namespace velk
