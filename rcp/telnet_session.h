// The plain shell connection to a player's command shell: connect and wait for the prompt,
// send a line and collect the reply lines up to the next prompt, close. Used by one thread at a
// time; on an apartment thread its waits keep the apartment's queue running, and a command that
// comes in meanwhile (from a call into the apartment) reads the earlier answer to its end before
// it is sent, as the shell takes one command at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event.h"
#include "platform/hresult.h"

namespace velk {

class CTelnetSession {
public:
    static constexpr std::uint16_t kPlayerPort = 4444;
    static constexpr const char* kDefaultPrompt = "Melodeck>";
    // A whole shell command, its line sent and its reply read, however the reply trickles in.
    static constexpr std::uint32_t kCommandTimeoutMs = 10000;

    CTelnetSession() = default;
    virtual ~CTelnetSession();
    CTelnetSession(const CTelnetSession&) = delete;
    CTelnetSession& operator=(const CTelnetSession&) = delete;

    // Connects to host (a dotted quad), waits for the greeting's prompt and reads the display
    // type. E_RCP_SHELL_DISABLED for a greeting beginning "Disabled", E_RCP_SOCKET when the
    // connection cannot be made or breaks, E_RCP_TIMEOUT when the player falls silent or takes
    // too long, HRESULT_FROM_WIN32(ERROR_INVALID_DATA) for more than a greeting.
    HRESULT Connect(std::uint16_t port, std::string_view host);
    // Sends one line ending in "\r\n" (and no other line break: E_INVALIDARG; E_PENDING while
    // Connect reads the greeting). With wait, returns once the prompt has been seen, the
    // reply's lines in reply. The player has kCommandTimeoutMs for it all (E_RCP_TIMEOUT); a
    // reply past its bounds is HRESULT_FROM_WIN32(ERROR_INVALID_DATA) and closes the
    // connection, which is out of step with the player then. Every failure sets the thread's
    // error record, saying what the player sent.
    HRESULT SendCommand(std::string_view line, bool wait,
                        std::vector<std::string>* reply = nullptr);
    // Always S_OK; safe when closed.
    virtual HRESULT Close();

    bool IsConnected() const { return socket_ >= 0; }
    const std::string& display_type() const { return display_type_; }
    const std::string& host() const { return host_; }
    std::uint16_t port() const { return port_; }

protected:
    static constexpr std::uint32_t kSendTimeoutMs = 3000;

    // Reads what has arrived, at most one chunk, into chunk: S_OK (empty when nothing was
    // waiting after all), E_RCP_SOCKET when the peer has closed or the connection broke.
    HRESULT ReceiveChunk(std::string& chunk);
    // Writes the whole buffer before the deadline; E_RCP_SOCKET on failure.
    HRESULT SendAll(std::string_view bytes, const Deadline& deadline = Deadline(kSendTimeoutMs));

    void set_prompt(std::string prompt) { prompt_ = std::move(prompt); }
    int socket() const { return socket_; }

private:
    struct Reply;

    HRESULT ReadGreeting();
    // Reads until the reply has ended, well or not (it may end in a call that came in
    // meanwhile).
    void ReadToEnd(Reply& reply);
    // Takes the whole lines of what arrived; ends the reply at its prompt or past its bounds.
    void Take(Reply& reply, std::string_view chunk);
    void End(Reply& reply, HRESULT hr, std::string failure);
    // Waits until the player sends, falls silent, the deadline passes or woken is set, and
    // reads one chunk (none when woken).
    HRESULT ReadChunk(const Deadline& deadline, std::string& chunk, Event* woken = nullptr);
    // Records what happened in the thread's error record; a connection that broke or sent
    // what no player sends is closed.
    HRESULT Failure(HRESULT hr, std::string description);

    int socket_ = -1;
    std::string display_type_;
    std::uint16_t port_ = 0xFFFF;
    std::string host_;
    std::string prompt_ = kDefaultPrompt;
    // What is still arriving: the greeting (a command that comes in meanwhile is refused), or
    // a reply owned by the call that sent its command (a command that comes in meanwhile reads
    // it to its end before it goes out).
    bool greeting_ = false;
    Reply* reading_ = nullptr;
};

// True when text is one command line: it ends in "\r\n" and holds no other CR, LF or NUL.
bool IsSingleCommandLine(std::string_view line);

} // namespace velk
