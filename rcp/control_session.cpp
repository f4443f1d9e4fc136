#include "rcp/control_session.h"

#include <sys/socket.h>

#include <cerrno>

#include "platform/apartment.h"
#include "platform/ascii.h"
#include "platform/encoding.h"
#include "platform/error_info.h"
#include "rcp/rcp_reply_values.h"

namespace velk {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kDataBytes = "data bytes: ";
constexpr std::string_view kExit = "exit\r\n";
constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

bool IsCleanArgument(std::string_view text)
{
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

bool IsCommandWord(std::string_view word)
{
    if (word.empty())
        return false;
    for (unsigned char c : word) {
        if (c <= 0x20 || c == 0x7F || c == ':')
            return false;
    }
    return true;
}

// A command word and an argument that make exactly one command line.
bool IsCleanCommand(std::string_view word, std::optional<std::string_view> argument)
{
    return IsCommandWord(word) && (!argument || IsCleanArgument(*argument));
}

std::string FormatLine(std::string_view word, std::optional<std::string_view> argument, bool always_blank)
{
    std::string line(word);
    if (argument || always_blank) {
        line += ' ';
        line += argument.value_or("");
    }
    line += kLineEnd;
    return line;
}

std::uint32_t ServerTypeFromWord(std::string_view word)
{
    struct Entry {
        std::string_view word;
        std::uint32_t type;
    };
    static constexpr Entry kTypes[] = {{"radio", 8}, {"flash", 16}, {"DAAP", 1}, {"UPnP", 2},
                                       {"slim", 4},  {"rsp", 32},   {"am", 128}, {"fm", 256}};
    for (const auto& entry : kTypes) {
        if (entry.word == word)
            return entry.type;
    }
    return 0;
}

} // namespace

std::optional<FirmwareVersion> ParseFirmwareVersion(std::string_view text)
{
    const auto numbers = ParseDecimalTriple(text, '.');
    if (!numbers)
        return std::nullopt;
    return FirmwareVersion{(*numbers)[0], (*numbers)[1], (*numbers)[2]};
}

std::optional<std::pair<std::string_view, std::string_view>> SplitReplyLine(std::string_view line)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const std::size_t value_start = std::min(colon + 2, line.size());
    return std::pair{line.substr(0, colon), line.substr(value_start)};
}

CControlSession::CControlSession() = default;

CControlSession::~CControlSession() { CControlSession::Close(); }

void CControlSession::set_reply_timeouts(std::uint32_t reply_ms, std::uint32_t list_ms,
                                         std::uint32_t max_list_ms)
{
    reply_timeout_ms_ = reply_ms;
    list_timeout_ms_ = list_ms;
    max_list_ms_ = max_list_ms;
}

ConnectedServer CControlSession::connected_server() const
{
    std::lock_guard lock(server_lock_);
    return server_;
}

HRESULT CControlSession::Open(std::string_view host, FirmwareVersion minimum)
{
    HRESULT hr = Connect(kPlayerPort, host);
    if (FAILED(hr))
        return hr;

    // In control mode the player answers "mmc" with a line and no prompt.
    set_prompt("");
    hr = SendCommand("mmc\r\n", true);
    if (FAILED(hr)) {
        Close();
        return hr;
    }
    connection_lost_ = false;
    stop_.Reset();
    reader_ = std::thread([this] { ReaderMain(); });

    std::string version;
    if (FAILED(Execute("GetSoftwareVersion", {}, &version))) {
        firmware_ = kUnknownFirmware;
    } else if (const auto parsed = ParseFirmwareVersion(version)) {
        firmware_ = *parsed;
    } else {
        firmware_ = {};
        hr = ReportError(E_FAIL, "The player gave its version as " + ReplyExcerpt(version) + ".");
    }
    if (SUCCEEDED(hr) && firmware_ < minimum)
        hr = ReportError(E_RCP_FIRMWARE_TOO_OLD);
    if (FAILED(hr)) {
        Close();
        return hr;
    }

    // No music server connected is not a failure of the session.
    Execute("GetConnectedServer");
    RefreshServer();
    return S_OK;
}

HRESULT CControlSession::RefreshServer()
{
    ConnectedServer server;
    HRESULT hr = ExecuteList("GetActiveServerInfo", [&server](std::string_view value, std::int32_t) {
        if (auto pair = SplitReplyLine(value)) {
            if (pair->first == "Name")
                server.name = pair->second;
            else if (pair->first == "Type")
                server.type = ServerTypeFromWord(pair->second);
        }
        return S_OK;
    });
    if (SUCCEEDED(hr)) {
        hr = ExecuteList("ServerGetCapabilities", [&server](std::string_view value, std::int32_t) {
            auto pair = SplitReplyLine(value);
            if (!pair)
                return S_OK;
            const auto [key, word] = *pair;
            if (key == "Name")
                server.name = word;
            else if (key == "Containers" && EqualsIgnoringCase(word, "yes"))
                server.capabilities |= 1;
            else if (key == "Playlists" && EqualsIgnoringCase(word, "yes"))
                server.capabilities |= 2;
            else if (key == "PartialResults" && EqualsIgnoringCase(word, "yes"))
                server.capabilities |= 4;
            else if (key == "QuerySupport" && EqualsIgnoringCase(word, "songs"))
                server.capabilities |= 8;
            else if (key == "QuerySupport" && EqualsIgnoringCase(word, "basic"))
                server.capabilities |= 16;
            else if (key == "QuerySupport" && EqualsIgnoringCase(word, "partial"))
                server.capabilities |= 24;
            return S_OK;
        });
    }
    std::lock_guard lock(server_lock_);
    server_ = server;
    return FAILED(hr) ? E_FAIL : S_OK;
}

std::shared_ptr<CRCPTransaction> CControlSession::Queue(std::string_view command_word, std::string line,
                                                        RcpLineCallback callback, bool want_list_size)
{
    auto entry = std::make_shared<CRCPTransaction>(std::string(command_word), std::move(line),
                                                   std::move(callback), want_list_size);
    std::shared_ptr<CRCPTransaction> replaced;
    {
        std::lock_guard lock(table_lock_);
        auto& slot = table_[entry->command_word];
        replaced = std::move(slot);
        slot = entry;
        if (entry->command_line.empty())
            entry->result = S_OK;
        else
            outbox_.push_back(entry);
    }
    if (replaced) {
        // Its waiter finds itself replaced and fails; its callback never runs again.
        replaced->Deactivate();
        replaced->SettleIfPending(E_ABORT);
    }
    if (!entry->command_line.empty())
        queue_.Set();
    return entry;
}

HRESULT CControlSession::Execute(std::string_view command_word, std::optional<std::string_view> argument,
                                 std::string* value)
{
    return ExecuteWithTimeout(command_word, argument, value, reply_timeout_ms_);
}

HRESULT CControlSession::ExecuteWithTimeout(std::string_view command_word,
                                            std::optional<std::string_view> argument,
                                            std::string* value, std::uint32_t timeout_ms)
{
    if (!IsCleanCommand(command_word, argument))
        return ReportError(E_INVALIDARG);
    if (!IsOpen())
        return ReportError(E_RCP_SOCKET);

    // Remote-key dispatch has no reply worth waiting for.
    if (command_word == "IrDispatchCommand")
        return SendWithoutReply(command_word, argument);

    std::string line = FormatLine(command_word, argument, false);
    auto last_value = std::make_shared<std::string>();
    auto entry = Queue(command_word, std::move(line),
                       [last_value](std::string_view data, std::int32_t) {
                           *last_value = data;
                           return S_OK;
                       },
                       false);
    HRESULT hr = Wait(entry, timeout_ms, kMaxReplyMs);
    if (SUCCEEDED(hr) && value)
        *value = *last_value;
    if (SUCCEEDED(hr) && command_word == "ServerConnect")
        RefreshServer();
    return hr;
}

HRESULT CControlSession::ExecuteList(std::string_view command_word, RcpLineCallback callback,
                                     std::optional<std::string_view> argument)
{
    if (!IsCleanCommand(command_word, argument))
        return ReportError(E_INVALIDARG);
    std::lock_guard list_lock(list_mutex_);
    HRESULT hr = Execute("SetListResultType", "full");
    if (FAILED(hr))
        return hr;
    auto entry = Queue(command_word, FormatLine(command_word, argument, true), std::move(callback), true);
    return Wait(entry, list_timeout_ms_, max_list_ms_);
}

HRESULT CControlSession::ExecuteWithLines(std::string_view command_word,
                                          std::optional<std::string_view> argument,
                                          RcpLineCallback callback, std::uint32_t timeout_ms,
                                          std::uint32_t max_ms)
{
    if (!IsCleanCommand(command_word, argument))
        return ReportError(E_INVALIDARG);
    if (!IsOpen())
        return ReportError(E_RCP_SOCKET);
    auto entry =
        Queue(command_word, FormatLine(command_word, argument, false), std::move(callback), false);
    return Wait(entry, timeout_ms, max_ms);
}

HRESULT CControlSession::PostCommand(std::string_view command_word, RcpLineCallback callback,
                                     std::optional<std::string_view> argument)
{
    if (!IsCleanCommand(command_word, argument))
        return E_INVALIDARG;
    if (!IsOpen())
        return E_RCP_SOCKET;
    Queue(command_word, FormatLine(command_word, argument, true), std::move(callback), false);
    return S_OK;
}

HRESULT CControlSession::SendWithoutReply(std::string_view command_word,
                                         std::optional<std::string_view> argument)
{
    if (!IsCleanCommand(command_word, argument))
        return E_INVALIDARG;
    if (!IsOpen())
        return E_RCP_SOCKET;
    std::lock_guard lock(table_lock_);
    outbox_.push_back(std::make_shared<CRCPTransaction>(
        std::string(command_word), FormatLine(command_word, argument, false), nullptr, false));
    queue_.Set();
    return S_OK;
}

HRESULT CControlSession::Subscribe(std::string_view subscribe_word, std::string_view event_word,
                                   RcpLineCallback callback)
{
    if (!IsCommandWord(subscribe_word) || !IsCommandWord(event_word))
        return E_INVALIDARG;
    if (!IsOpen())
        return E_RCP_SOCKET;
    HRESULT hr = S_OK;
    if (callback)
        Queue(event_word, "", std::move(callback), false);
    else
        hr = RemoveTransaction(event_word);
    PostCommand(subscribe_word, nullptr);
    return hr;
}

HRESULT CControlSession::RemoveTransaction(std::string_view command_word)
{
    std::shared_ptr<CRCPTransaction> entry;
    {
        std::lock_guard lock(table_lock_);
        auto it = table_.find(command_word);
        if (it == table_.end())
            return S_FALSE;
        entry = std::move(it->second);
        table_.erase(it);
    }
    entry->Deactivate();
    return entry->Result();
}

HRESULT CControlSession::Wait(const std::shared_ptr<CRCPTransaction>& entry,
                              std::uint32_t silence_ms, std::uint32_t max_ms)
{
    // Silence counts for this command alone: only its own reply lines restart it, and
    // nothing extends the whole.
    const Deadline whole(max_ms);
    Deadline silence(silence_ms);
    std::uint64_t lines_seen = 0;
    for (;;) {
        entry->reply.Reset();
        {
            std::lock_guard guard(entry->lock);
            if (entry->result != E_PENDING)
                break;
            if (entry->lines_seen != lines_seen) {
                lines_seen = entry->lines_seen;
                silence = Deadline(silence_ms);
            }
        }
        if (connection_lost_) {
            entry->SettleIfPending(E_RCP_SOCKET);
            break;
        }
        const int signalled =
            WaitOnPeer({entry->reply}, std::min(silence.RemainingMs(), whole.RemainingMs()));
        if (signalled == kWaitTimeout) {
            if (entry->in_transaction.exchange(false))
                PostCommand("CancelTransaction", nullptr, entry->command_word);
            entry->SettleIfPending(
                E_RCP_TIMEOUT, "The player did not finish its answer to " + entry->command_word +
                                   " in time (" + std::to_string(lines_seen) + " lines had come).");
            break;
        }
        if (signalled == kWaitStopping) {
            entry->SettleIfPending(E_VELK_SHUTTING_DOWN);
            break;
        }
        if (signalled == kWaitFailed) {
            entry->SettleIfPending(E_FAIL);
            break;
        }
    }

    {
        std::lock_guard lock(table_lock_);
        auto it = table_.find(entry->command_word);
        if (it != table_.end() && it->second == entry)
            table_.erase(it);
    }
    entry->Deactivate();
    const HRESULT hr = entry->Result();
    if (FAILED(hr)) {
        const std::string failure = entry->Failure();
        return failure.empty() ? ReportError(hr) : ReportError(hr, failure);
    }
    return hr;
}

void CControlSession::ReaderMain()
{
    for (;;) {
        Waitable socket_wait = Waitable::Socket(socket());
        std::initializer_list<Waitable> with_socket = {stop_, queue_, socket_wait};
        std::initializer_list<Waitable> without_socket = {stop_, queue_};
        const int signalled = WaitAny(connection_lost_ ? without_socket : with_socket, kInfinite);
        if (signalled == 0 || signalled == kWaitFailed)
            break;
        if (queue_.IsSet())
            SendQueuedLines();
        if (signalled == 2)
            ProcessReceived();
    }
    exited_.Set();
}

void CControlSession::SendQueuedLines()
{
    queue_.Reset();
    std::vector<std::shared_ptr<CRCPTransaction>> outbox;
    {
        std::lock_guard lock(table_lock_);
        outbox.swap(outbox_);
    }
    for (const auto& entry : outbox) {
        // Replaced or removed before it went out: the player never hears of it.
        if (!entry->IsActive())
            continue;
        if (!connection_lost_ && FAILED(SendAll(entry->command_line)))
            OnConnectionLost();
    }
}

void CControlSession::ProcessReceived()
{
    // One read at a time: the bounds hold after each, however fast the player sends, and the
    // stop is seen between reads.
    if (FAILED(ReceiveChunk(chunk_))) {
        OnConnectionLost();
        return;
    }
    if (!received_.Append(chunk_)) {
        // The line's word names the command it would answer.
        const std::string_view pending = received_.Pending();
        const auto split = SplitReplyLine(pending);
        ResetConnection(split ? EntryFor(split->first) : nullptr,
                        "The player sent a line longer than " + std::to_string(kMaxLineBytes) +
                            " bytes: " + ReplyExcerpt(pending));
        return;
    }

    while (const auto line = received_.NextLine()) {
        auto split = SplitReplyLine(*line);
        if (!split)
            continue;
        auto [word, value] = *split;
        if (value.starts_with(kDataBytes)) {
            // The value holds the header line and the data line after it: wait for both.
            const auto data = received_.NextLine();
            if (!data) {
                received_.Unread();
                break;
            }
            value = std::string_view(
                value.data(), static_cast<std::size_t>(data->data() + data->size() - value.data()));
        }

        const auto entry = EntryFor(word);
        // A line for a command nobody waits for is dropped.
        if (!entry)
            continue;
        if (!entry->command_line.empty() && !entry->budget.Take(value.size())) {
            ResetConnection(entry,
                            "The player's answer to " + entry->command_word + " goes on past " +
                                std::to_string(CRCPTransaction::kMaxReplyLines) + " lines or " +
                                std::to_string(CRCPTransaction::kMaxReplyBytes) +
                                " bytes: " + ReplyExcerpt(value));
            return;
        }
        ClassifyReplyLine(*entry, ToValidUtf8(value));
        entry->reply.Set();
    }
}

std::shared_ptr<CRCPTransaction> CControlSession::EntryFor(std::string_view word) const
{
    std::lock_guard lock(table_lock_);
    auto it = table_.find(word);
    return it == table_.end() ? nullptr : it->second;
}

void CControlSession::ResetConnection(const std::shared_ptr<CRCPTransaction>& entry,
                                      std::string description)
{
    if (entry)
        entry->SettleIfPending(kInvalidData, std::move(description));
    received_.Clear();
    shutdown(socket(), SHUT_RDWR);
    OnConnectionLost();
}

void CControlSession::OnConnectionLost()
{
    connection_lost_ = true;
    std::vector<std::shared_ptr<CRCPTransaction>> entries;
    {
        std::lock_guard lock(table_lock_);
        for (auto& [word, entry] : table_)
            entries.push_back(entry);
    }
    for (const auto& entry : entries)
        entry->SettleIfPending(E_RCP_SOCKET);
}

HRESULT CControlSession::Close()
{
    if (reader_.joinable()) {
        stop_.Set();
        shutdown(socket(), SHUT_RD);
        // The reader never waits for this thread's apartment, but keep it serving anyway.
        WaitWithPumping({exited_}, kInfinite);
        reader_.join();
        exited_.Reset();
        // Lines posted without awaiting a reply (a remote key, an unsubscribe) still reach the
        // player before it is told goodbye.
        if (!connection_lost_)
            SendQueuedLines();
    }

    std::map<std::string, std::shared_ptr<CRCPTransaction>, std::less<>> table;
    {
        std::lock_guard lock(table_lock_);
        table.swap(table_);
        outbox_.clear();
    }
    for (auto& [word, entry] : table) {
        entry->Deactivate();
        entry->SettleIfPending(E_RCP_SOCKET);
    }
    received_.Clear();

    // Back in the shell; a connection that was lost or reset takes no goodbye.
    if (IsConnected() && !connection_lost_)
        SendAll(kExit);
    set_prompt(kDefaultPrompt);
    return CTelnetSession::Close();
}

} // namespace velk
