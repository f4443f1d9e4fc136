// Test support: a cpp-httplib server on 127.0.0.1, on a port of its own, answering on a thread
// of its own from Start until Stop (or its end). Routes go on server() before Start.
#pragma once

#include <httplib.h>

#include <future>
#include <string>
#include <string_view>
#include <thread>

namespace velk {

class LocalHttpServer {
public:
    LocalHttpServer() = default;
    ~LocalHttpServer() { Stop(); }
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    httplib::Server& server() { return server_; }

    // False when no port could be had.
    bool Start()
    {
        // cpp-httplib asks for its task queue once it runs; a stop() before that would be lost.
        std::promise<void> running;
        server_.new_task_queue = [&running, make_queue = server_.new_task_queue] {
            running.set_value();
            return make_queue();
        };
        port_ = server_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0)
            return false;
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        running.get_future().wait();
        return true;
    }

    void Stop()
    {
        if (!thread_.joinable())
            return;
        server_.stop();
        thread_.join();
    }

    std::string Url(std::string_view path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
    }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

} // namespace velk
