// A connection to a player's port 4444 after "mmc": the player's line-oriented control
// protocol (RCP). Each command line "<word> [argument]" is answered with lines
// "<word>: <value>"; lists and long operations run as transactions; the connection keeps its
// own browse state (filters, list mode, the lists it fetched last) and receives the events it
// has subscribed to. Lives on the loop thread; owned by its Connection.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/connection.h"
#include "tools/sim/music_library.h"
#include "tools/sim/player.h"

namespace velk::sim {

// What one connection has asked for and fetched; commands that select by number refer to it.
struct RcpBrowseState {
    BrowseFilter filter;               // consumed by the next list or search
    bool partial_lists = false;        // "SetListResultType partial"
    std::set<ServerType> server_types; // empty: all
    std::string server_password;       // for the next "ServerConnect"
    std::shared_ptr<const std::vector<std::string>> last_list; // for "GetListResult"
    std::vector<int> last_servers;                             // "ListServers"
    std::vector<QueueEntry> last_songs;                        // the last list of songs of any kind
};

class RcpSession : public Connection::Handler {
public:
    RcpSession(Player& player, Connection& connection);
    ~RcpSession() override;

    void OnLine(std::string_view line) override;
    void OnOverlongLine(std::string_view beginning) override;

    Player& player() { return player_; }
    Connection& connection() { return connection_; }
    RcpBrowseState& browse() { return browse_; }

    // The answer forms (see tools/sim/README.md).
    void Value(std::string_view word, std::string_view value);
    void ValueAndOk(std::string_view word, std::string_view value);
    void Ok(std::string_view word);
    void Error(std::string_view word, std::string_view error_word);
    void Lines(std::string_view word, const std::vector<std::string>& lines);
    void DataBytes(std::string_view word, const std::vector<std::uint8_t>& bytes);
    // A list transaction: "ListResultSize n", the names and "ListResultEnd" between
    // "TransactionInitiated" and "TransactionComplete"; in partial mode only the size.
    void List(std::string_view word, std::vector<std::string> names);
    // The names [first, first + count) of the last list, as a list transaction.
    void ListPart(std::string_view word, std::size_t first, std::size_t count);
    void Transaction(std::string_view word, std::vector<std::string> lines);

    // Transactions that run on timers register a way to stop them.
    bool TransactionActive(std::string_view word) const;
    void BeginTimedTransaction(std::string_view word, std::function<void()> cancel);
    void EndTimedTransaction(std::string_view word);
    bool CancelTransaction(std::string_view word);

    // Subscriptions: false when the state was already so.
    bool SubscribeKeys(bool on);
    bool SubscribeDisplay(bool on);

private:
    void Send(std::string_view word, std::string_view value);
    void StartList(std::string_view word, std::shared_ptr<const std::vector<std::string>> names,
                   std::size_t first, std::size_t count, bool with_names);

    Player& player_;
    Connection& connection_;
    RcpBrowseState browse_;
    std::map<std::string, std::function<void()>, std::less<>> timed_transactions_;
    Listeners<std::string_view>::Id key_listener_ = 0;
    Listeners<>::Id display_listener_ = 0;
};

} // namespace velk::sim
