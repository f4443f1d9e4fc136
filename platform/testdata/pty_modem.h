// A pseudo-terminal that plays a voice/data modem for the telephony tests: the line under test
// opens the terminal's device (or a link to it, which the test may point at a new modem to
// play an unplugged one coming back), the fixture answers its commands and sends reports.
// Reads wait with a safety time-out, never forever. The test's thread.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <string_view>

namespace velk::testing {

class PtyModem {
public:
    static constexpr int kSafetyMs = 10000;

    PtyModem()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        if (const char* name = ptsname(master_))
            device_ = name;
    }
    ~PtyModem() { Unplug(); }
    PtyModem(const PtyModem&) = delete;
    PtyModem& operator=(const PtyModem&) = delete;

    bool ready() const { return !device_.empty(); }
    const std::string& device() const { return device_; }

    // Closes the modem's side: the line's reads fail, as with a modem unplugged.
    void Unplug()
    {
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }

    void Send(std::string_view bytes) { (void)!write(master_, bytes.data(), bytes.size()); }

    // Waits until the line sent the command (with its CR); false at the safety time-out.
    bool Expect(std::string_view command)
    {
        const std::string wanted = std::string(command) + "\r";
        for (;;) {
            if (const auto at = received_.find(wanted); at != std::string::npos) {
                received_.erase(0, at + wanted.size());
                return true;
            }
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, kSafetyMs) <= 0)
                return false;
            char buffer[256];
            const ssize_t got = read(master_, buffer, sizeof buffer);
            if (got <= 0)
                return false;
            received_.append(buffer, static_cast<std::size_t>(got));
        }
    }

    // Answers the line's set-up as a modem that knows AT+VCID.
    bool AnswerSetUp()
    {
        if (!Expect("ATZ"))
            return false;
        Send("\r\nOK\r\n");
        if (!Expect("AT+VCID=1"))
            return false;
        Send("\r\nOK\r\n");
        return true;
    }

private:
    int master_ = -1;
    std::string device_;
    std::string received_;
};

} // namespace velk::testing
