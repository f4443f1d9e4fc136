// The client side of the simulator's control socket, used by the velk-sim subcommands and by
// tests: sends one request line and reads the answer lines. Blocking; one thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"
#include "tools/sim/frame_buffer.h"

namespace velk::sim {

class ControlClient {
public:
    ControlClient() = default;
    ~ControlClient();
    ControlClient(const ControlClient&) = delete;
    ControlClient& operator=(const ControlClient&) = delete;

    // E_FAIL with the reason in error when nothing answers on the path.
    HRESULT Connect(const std::string& path, std::string& error);
    // Data lines until "OK" (S_OK) or "ERROR reason" (E_FAIL, reason in error).
    HRESULT Request(std::string_view request, std::vector<std::string>& lines, std::string& error);
    HRESULT Send(std::string_view request);
    // The next line; false when the simulator has closed the socket.
    bool ReadLine(std::string& line);

    // A "frame <width> <height> <hex>" line as a frame buffer; nullopt when malformed.
    static std::optional<FrameBuffer> ParseFrame(std::string_view line);

private:
    int fd_ = -1;
    std::string buffer_;
};

} // namespace velk::sim
