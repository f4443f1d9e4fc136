// The HTTP/1.1 transport of the automation server. One thread of its own accepts connections
// and gathers each request (header section and body) with poll, so that a client that sends
// slowly, sends too much or only holds a connection open costs a descriptor, never a thread;
// a whole request goes to the pool, where cpp-httplib parses it and routes it to a handler,
// and its connection comes back to the poll loop afterwards. Every wait of a handler (inside a
// long response such as an event stream) also wakes when the server stops, and a response can
// watch its client's socket. Owned by the automation server; one Listen, one Shutdown.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "automation/request_framing.h"
#include "platform/event.h"
#include "platform/hresult.h"

namespace velk {

class HttpServer : public httplib::Server {
public:
    // Connections at once, in all and from one client address: a client beyond them takes the
    // place of an older connection that waits for a request (idle ones first) of that address,
    // or of any address when all are full.
    static constexpr std::size_t kMaxConnections = 256;
    static constexpr std::size_t kMaxConnectionsPerAddress = 64;
    // From a request's first byte to its last: a client that trickles is answered 408.
    static constexpr std::uint32_t kRequestDeadlineMs = 10000;
    // An idle connection is closed after this long without a request.
    static constexpr std::uint32_t kKeepAliveMs = 5000;

    explicit HttpServer(RequestLimits limits = {});
    ~HttpServer() override;

    // Binds a numeric IPv4 or IPv6 address (port 0: one the system picks) and starts serving.
    // E_INVALIDARG for an address that is not numeric; the failure of bind or listen.
    HRESULT Listen(const std::string& address, std::uint16_t port);
    std::uint16_t port() const { return port_; }

    // Stops accepting, wakes every handler's wait and waits until all have ended (running
    // the caller's apartment meanwhile, as handlers may call into it), then joins the threads.
    void Shutdown();

    // Set once the server stops; a long response waits on it beside its socket.
    Event& stopping() { return stopping_; }

    // The socket of the connection whose request the calling thread serves; -1 elsewhere.
    static int CurrentSocket();

private:
    using Clock = std::chrono::steady_clock;
    struct Connection;
    using ConnectionPtr = std::shared_ptr<Connection>;

    void RunLoop();
    void Admit(int fd, std::vector<ConnectionPtr>& waiting);
    // Reads what the client sent; false when the connection is done with (closed or refused).
    bool Receive(Connection& connection);
    // Hands a connection whose request is whole to the pool, refuses it, or leaves it waiting.
    // False when it no longer waits.
    bool Dispatch(const ConnectionPtr& connection);
    void Serve(const ConnectionPtr& connection);
    void Close(Connection& connection);
    void Refuse(Connection& connection, int status);

    const RequestLimits limits_;
    int listen_fd_ = -1;
    std::uint16_t port_ = 0;
    Event stopping_;
    std::thread loop_thread_;
    std::unique_ptr<httplib::ThreadPool> pool_;

    std::mutex mutex_;
    std::map<std::string, std::size_t> per_address_; // open connections by client address
    std::size_t open_ = 0;
    std::size_t serving_ = 0; // in the pool's hands, queued ones included
    Event idle_{Event::Reset::Manual, true};
    std::vector<ConnectionPtr> returned_; // served and open again, for the loop to take back
    Event returned_event_{Event::Reset::Auto};
};

} // namespace velk
