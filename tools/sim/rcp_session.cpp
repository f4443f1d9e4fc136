#include "tools/sim/rcp_session.h"

#include <cstdio>

#include "platform/hex.h"
#include "tools/sim/rcp_commands.h"
#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

// The body of a list transaction, produced line by line as the peer reads.
class ListReply : public LineStream {
public:
    ListReply(std::string word, std::shared_ptr<const std::vector<std::string>> names,
              std::size_t first, std::size_t count, bool with_names)
        : prefix_(std::move(word) + ": "), names_(std::move(names)), first_(first), count_(count),
          with_names_(with_names)
    {
    }

    bool Next(std::string& line) override
    {
        // Lines: TransactionInitiated, ListResultSize n, the names, ListResultEnd,
        // TransactionComplete.
        const std::size_t names_shown = with_names_ ? count_ : 0;
        const std::size_t step = step_++;
        if (step == 0) {
            line = prefix_ + "TransactionInitiated";
        } else if (step == 1) {
            line = prefix_ + "ListResultSize " + std::to_string(count_);
        } else if (step < 2 + names_shown) {
            line = prefix_ + OneLine((*names_)[first_ + step - 2]);
        } else if (step == 2 + names_shown) {
            line = prefix_ + "ListResultEnd";
        } else if (step == 3 + names_shown) {
            line = prefix_ + "TransactionComplete";
        } else {
            return false;
        }
        return true;
    }

private:
    std::string prefix_;
    std::shared_ptr<const std::vector<std::string>> names_;
    std::size_t first_;
    std::size_t count_;
    bool with_names_;
    std::size_t step_ = 0;
};

class LinesReply : public LineStream {
public:
    explicit LinesReply(std::vector<std::string> lines) : lines_(std::move(lines)) {}
    bool Next(std::string& line) override
    {
        if (next_ >= lines_.size())
            return false;
        line = std::move(lines_[next_++]);
        return true;
    }

private:
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};

} // namespace

RcpSession::RcpSession(Player& player, Connection& connection)
    : player_(player), connection_(connection)
{
}

RcpSession::~RcpSession()
{
    SubscribeKeys(false);
    SubscribeDisplay(false);
    for (auto& [word, cancel] : timed_transactions_)
        cancel();
}

void RcpSession::OnOverlongLine(std::string_view beginning)
{
    const std::string_view word = beginning.substr(0, beginning.find(' '));
    Error(word, "ParameterError");
}

void RcpSession::OnLine(std::string_view line)
{
    player_.RecordReceived(connection_.id(), line);
    if (player_.faults().silent)
        return;
    const std::size_t blank = line.find(' ');
    const std::string_view word = line.substr(0, blank);
    if (word.empty())
        return;
    RcpRequest request{*this, word, {}, blank != std::string_view::npos};
    if (request.has_argument)
        request.argument = TrimBlanks(line.substr(blank + 1));

    const RcpHandler* handler = RcpCommands::Find(word);
    if (!handler) {
        Error(word, "UnknownCommand");
        return;
    }
    if (TransactionActive(word)) {
        Error(word, "ErrorTransactionPending");
        return;
    }
    if (player_.awaiting_reboot() && !RcpCommands::AllowedAwaitingReboot(word)) {
        Error(word, "ErrorAwaitingPostUpgradeReboot");
        return;
    }
    (*handler)(request);
}

void RcpSession::Send(std::string_view word, std::string_view value)
{
    std::string line;
    line.reserve(word.size() + value.size() + 2);
    line.append(word);
    line.append(": ");
    line.append(OneLine(value));
    connection_.SendLine(line);
}

void RcpSession::Value(std::string_view word, std::string_view value)
{
    Send(word, value);
}

void RcpSession::ValueAndOk(std::string_view word, std::string_view value)
{
    Send(word, value);
    Send(word, "OK");
}

void RcpSession::Ok(std::string_view word)
{
    Send(word, "OK");
}

void RcpSession::Error(std::string_view word, std::string_view error_word)
{
    Send(word, error_word);
}

void RcpSession::Lines(std::string_view word, const std::vector<std::string>& lines)
{
    for (const auto& line : lines)
        Send(word, line);
    Send(word, "OK");
}

void RcpSession::DataBytes(std::string_view word, const std::vector<std::uint8_t>& bytes)
{
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const auto byte : bytes)
        AppendHexByte(hex, byte, HexCase::Upper);
    // The header line and the data line form one answer: nothing may come between them.
    connection_.Send(std::string(word) + ": data bytes: " + std::to_string(bytes.size()) + "\r\n" +
                     hex + "\r\n");
}

void RcpSession::StartList(std::string_view word,
                           std::shared_ptr<const std::vector<std::string>> names, std::size_t first,
                           std::size_t count, bool with_names)
{
    connection_.AddStream(
        std::string(word),
        std::make_unique<ListReply>(std::string(word), std::move(names), first, count, with_names));
}

void RcpSession::List(std::string_view word, std::vector<std::string> names)
{
    auto shared = std::make_shared<const std::vector<std::string>>(std::move(names));
    browse_.last_list = shared;
    StartList(word, shared, 0, shared->size(), !browse_.partial_lists);
}

void RcpSession::ListPart(std::string_view word, std::size_t first, std::size_t count)
{
    StartList(word, browse_.last_list, first, count, true);
}

void RcpSession::Transaction(std::string_view word, std::vector<std::string> lines)
{
    std::vector<std::string> reply;
    reply.reserve(lines.size() + 2);
    const std::string prefix = std::string(word) + ": ";
    reply.push_back(prefix + "TransactionInitiated");
    for (auto& line : lines)
        reply.push_back(prefix + OneLine(line));
    reply.push_back(prefix + "TransactionComplete");
    connection_.AddStream(std::string(word), std::make_unique<LinesReply>(std::move(reply)));
}

bool RcpSession::TransactionActive(std::string_view word) const
{
    return connection_.HasStream(word) ||
           timed_transactions_.find(word) != timed_transactions_.end();
}

void RcpSession::BeginTimedTransaction(std::string_view word, std::function<void()> cancel)
{
    timed_transactions_[std::string(word)] = std::move(cancel);
}

void RcpSession::EndTimedTransaction(std::string_view word)
{
    auto it = timed_transactions_.find(word);
    if (it != timed_transactions_.end())
        timed_transactions_.erase(it);
}

bool RcpSession::CancelTransaction(std::string_view word)
{
    if (connection_.CancelStream(word))
        return true;
    auto it = timed_transactions_.find(word);
    if (it == timed_transactions_.end())
        return false;
    auto cancel = std::move(it->second);
    timed_transactions_.erase(it);
    cancel();
    return true;
}

bool RcpSession::SubscribeKeys(bool on)
{
    if (on == (key_listener_ != 0))
        return false;
    if (on) {
        key_listener_ =
            player_.key_listeners().Add([this](std::string_view key) { Send("IrDemod", key); });
    } else {
        player_.key_listeners().Remove(key_listener_);
        key_listener_ = 0;
    }
    return true;
}

bool RcpSession::SubscribeDisplay(bool on)
{
    if (on == (display_listener_ != 0))
        return false;
    if (on) {
        display_listener_ =
            player_.display_listeners().Add([this] { Send("DisplayUpdateEvent", "1"); });
    } else {
        player_.display_listeners().Remove(display_listener_);
        display_listener_ = 0;
    }
    return true;
}

} // namespace velk::sim
