// The plain shell connection to a player's command shell: connect and wait for the prompt,
// send a line and collect the reply lines up to the next prompt, close. The caller serialises
// its calls; a session is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"

namespace velk {

class CTelnetSession {
public:
    static constexpr std::uint16_t kPlayerPort = 4444;
    static constexpr const char* kDefaultPrompt = "Melodeck>";

    CTelnetSession() = default;
    virtual ~CTelnetSession();
    CTelnetSession(const CTelnetSession&) = delete;
    CTelnetSession& operator=(const CTelnetSession&) = delete;

    // Connects to host (a dotted quad), waits for the greeting's prompt and reads the display
    // type. E_RCP_SHELL_DISABLED for a greeting beginning "Disabled", E_RCP_SOCKET when the
    // connection cannot be made or breaks, E_RCP_TIMEOUT when the player falls silent.
    HRESULT Connect(std::uint16_t port, std::string_view host);
    // Sends one line ending in "\r\n" (and no other line break: E_INVALIDARG). With wait,
    // returns once the prompt has been seen, the reply's lines in reply_lines().
    HRESULT SendCommand(std::string_view line, bool wait);
    // Always S_OK; safe when closed.
    virtual HRESULT Close();

    bool IsConnected() const { return socket_ >= 0; }
    const std::vector<std::string>& reply_lines() const { return reply_lines_; }
    const std::string& display_type() const { return display_type_; }
    const std::string& host() const { return host_; }
    std::uint16_t port() const { return port_; }

protected:
    // Waits up to 0.5 s for data and appends what arrives (one drain of the socket).
    HRESULT ReadWithTimeout(std::string& accumulator);
    // Writes the whole buffer; E_RCP_SOCKET on failure.
    HRESULT SendAll(std::string_view bytes);

    void set_prompt(std::string prompt) { prompt_ = std::move(prompt); }
    int socket() const { return socket_; }

private:
    HRESULT ReadGreeting();

    int socket_ = -1;
    std::string display_type_;
    std::uint16_t port_ = 0xFFFF;
    std::string host_;
    std::vector<std::string> reply_lines_;
    std::string prompt_ = kDefaultPrompt;
};

// True when text is one command line: it ends in "\r\n" and holds no other CR, LF or NUL.
bool IsSingleCommandLine(std::string_view line);

} // namespace velk
