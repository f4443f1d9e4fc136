// The HTTP/1.1 transport of the automation server. cpp-httplib parses the requests and routes
// them to the handlers; this class accepts the connections and serves them itself, so that
// every wait of a connection (for its next request, or inside a long response such as an event
// stream) also wakes when the server stops, and a response can watch its client's socket.
// Handlers run on the pool's threads. Owned by the automation server; one Listen, one Shutdown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <httplib.h>

#include "platform/event.h"
#include "platform/hresult.h"

namespace velk {

class HttpServer : public httplib::Server {
public:
    HttpServer();
    ~HttpServer() override;

    // Binds a numeric IPv4 or IPv6 address (port 0: one the system picks) and starts serving.
    // E_INVALIDARG for an address that is not numeric; the failure of bind or listen.
    HRESULT Listen(const std::string& address, std::uint16_t port);
    std::uint16_t port() const { return port_; }

    // Stops accepting, wakes every connection's wait and waits until all have ended (running
    // the caller's apartment meanwhile, as handlers may call into it), then joins the threads.
    void Shutdown();

    // Set once the server stops; a long response waits on it beside its socket.
    Event& stopping() { return stopping_; }

    // The socket of the connection whose request the calling thread serves; -1 elsewhere.
    static int CurrentSocket();

private:
    bool process_and_close_socket(socket_t sock) override;
    void AcceptConnections();
    void ConnectionEnded();

    int listen_fd_ = -1;
    std::uint16_t port_ = 0;
    Event stopping_;
    std::thread accept_thread_;
    std::unique_ptr<httplib::ThreadPool> pool_;

    std::mutex mutex_;
    std::size_t connections_ = 0; // accepted and not yet closed, queued ones included
    Event idle_{Event::Reset::Manual, true};
};

} // namespace velk
