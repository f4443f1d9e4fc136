// One RCP connection to a player: switches the shell into control mode ("mmc"), then sends
// queued command lines from its reader thread and settles each pending command from the reply
// lines, matched by command word. Callers wait on any thread; a caller on an apartment thread
// keeps that apartment's queue running while it waits.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "rcp/rcp_transaction.h"
#include "rcp/reply_lines.h"
#include "rcp/telnet_session.h"

namespace velk {

struct FirmwareVersion {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::int32_t build = 0;

    auto operator<=>(const FirmwareVersion&) const = default;
};

// "3.1.2", as the player gives its firmware version and the version it offers; nullopt for
// anything else.
std::optional<FirmwareVersion> ParseFirmwareVersion(std::string_view text);

// What the player says of the music server it is connected to.
struct ConnectedServer {
    std::string name;
    std::uint32_t type = 0;         // RCPServerType bits
    std::uint32_t capabilities = 0; // 1 containers, 2 playlists, 4 partial results, 8/16/24 query
};

class CControlSession : public CTelnetSession {
public:
    // Silence allowed within a reply: each of the command's own lines restarts it.
    static constexpr std::uint32_t kReplyTimeoutMs = 10000;
    static constexpr std::uint32_t kListReplyTimeoutMs = 15000;
    // However its lines keep coming, a reply ends by then (the largest library's list within
    // the second).
    static constexpr std::uint32_t kMaxReplyMs = 60000;
    static constexpr std::uint32_t kMaxListReplyMs = 600000;
    // Taken when the player does not say its version.
    static constexpr FirmwareVersion kUnknownFirmware{2, 5, 151};

    CControlSession();
    ~CControlSession() override;

    // Connects to the player's port 4444, enters control mode, starts the reader and checks
    // the firmware against the minimum (E_RCP_FIRMWARE_TOO_OLD). Any failure closes.
    HRESULT Open(std::string_view host, FirmwareVersion minimum);

    // Sends "<word> <argument>\r\n" (or "<word>\r\n" without argument) and waits for the
    // result; the last data line goes to value. Arguments never carry a line break or other
    // control character (E_INVALIDARG): they could smuggle a second command to the player.
    // A reply past its bounds (line length, line count, bytes) fails with
    // HRESULT_FROM_WIN32(ERROR_INVALID_DATA) and resets the connection. This and the other
    // waiting members set the thread's error record on failure, saying what the player sent.
    HRESULT Execute(std::string_view command_word, std::optional<std::string_view> argument = {},
                    std::string* value = nullptr);
    // A list command: one at a time per session, every data line (the size line included) to
    // the callback, 15 s of silence allowed.
    HRESULT ExecuteList(std::string_view command_word, RcpLineCallback callback,
                        std::optional<std::string_view> argument = {});
    // A command whose every data line goes to the callback (information answers of several
    // lines, a firmware upgrade); timeout_ms of silence allowed, max_ms in all.
    HRESULT ExecuteWithLines(std::string_view command_word,
                             std::optional<std::string_view> argument, RcpLineCallback callback,
                             std::uint32_t timeout_ms = kReplyTimeoutMs,
                             std::uint32_t max_ms = kMaxReplyMs);
    // Queues "<word> <argument>\r\n" and returns at once; the entry stays until replaced or
    // the session closes.
    HRESULT PostCommand(std::string_view command_word, RcpLineCallback callback,
                        std::optional<std::string_view> argument = {});
    // Queues "<word> <argument>\r\n" (or "<word>\r\n") with no entry and returns at once:
    // for lines whose answer nobody reads (a remote key, the restart after an upgrade).
    HRESULT SendWithoutReply(std::string_view command_word,
                             std::optional<std::string_view> argument = {});
    // With a callback, installs a standing entry for event_word and posts the subscribe
    // command; without, removes the entry (giving its last result) and posts the command.
    HRESULT Subscribe(std::string_view subscribe_word, std::string_view event_word,
                      RcpLineCallback callback);
    // Removes the entry and gives its last result; S_FALSE when there was none.
    HRESULT RemoveTransaction(std::string_view command_word);
    HRESULT Close() override;

    // Reads the connected server's name, type and capabilities; E_FAIL when either command
    // fails.
    HRESULT RefreshServer();

    FirmwareVersion firmware_version() const { return firmware_; }
    ConnectedServer connected_server() const;
    bool IsOpen() const { return reader_.joinable() && !connection_lost_; }

    // Tests shorten the time-outs: the silence allowed, and a list's whole reply.
    void set_reply_timeouts(std::uint32_t reply_ms, std::uint32_t list_ms,
                            std::uint32_t max_list_ms = kMaxListReplyMs);

private:
    // No reply line comes near this (a 512x32 display is 4 KiB of hex digits).
    static constexpr std::size_t kMaxLineBytes = 256 * 1024;

    std::shared_ptr<CRCPTransaction> Queue(std::string_view command_word, std::string line,
                                           RcpLineCallback callback, bool want_list_size);
    // Waits for the entry's result: silence_ms of silence allowed, max_ms in all.
    HRESULT Wait(const std::shared_ptr<CRCPTransaction>& entry, std::uint32_t silence_ms,
                 std::uint32_t max_ms);
    HRESULT ExecuteWithTimeout(std::string_view command_word, std::optional<std::string_view> argument,
                               std::string* value, std::uint32_t timeout_ms);

    void ReaderMain();
    void SendQueuedLines();
    // Reads one chunk, cuts the whole lines out and classifies them.
    void ProcessReceived();
    // A reply past its bounds leaves the stream out of step: its command fails with what was
    // wrong and the connection is reset, failing every other waiter as a lost connection.
    void ResetConnection(const std::shared_ptr<CRCPTransaction>& entry, std::string description);
    std::shared_ptr<CRCPTransaction> EntryFor(std::string_view word) const;
    void OnConnectionLost();

    mutable std::mutex table_lock_;
    std::map<std::string, std::shared_ptr<CRCPTransaction>, std::less<>> table_;
    std::recursive_mutex list_mutex_;

    // What the reader thread is to send, in the order it was queued (remote-key dispatch
    // without a table entry); guarded by the table lock.
    std::vector<std::shared_ptr<CRCPTransaction>> outbox_;

    Event stop_;
    Event queue_;
    Event exited_;
    std::thread reader_;
    // Reader thread only.
    ReplyLineBuffer received_{kMaxLineBytes};
    std::string chunk_;
    std::atomic<bool> connection_lost_ = false;

    FirmwareVersion firmware_;
    mutable std::mutex server_lock_;
    ConnectedServer server_;
    std::atomic<std::uint32_t> reply_timeout_ms_ = kReplyTimeoutMs;
    std::atomic<std::uint32_t> list_timeout_ms_ = kListReplyTimeoutMs;
    std::atomic<std::uint32_t> max_list_ms_ = kMaxListReplyMs;
};

// Splits "<word>: <value>" at the first colon; the value starts two characters after it
// (clamped to the line). Empty when the line has no colon.
std::optional<std::pair<std::string_view, std::string_view>> SplitReplyLine(std::string_view line);

} // namespace velk
