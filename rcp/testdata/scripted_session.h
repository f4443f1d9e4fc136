// Test support for the RCP result objects: a real RCP session on the test thread's apartment,
// opened against a scripted player that answers each received line from a table of replies.
// Lines without a reply are answered "UnknownCommand", so a forgotten entry fails at once
// instead of waiting for a time-out.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/apartment.h"
#include "rcp/rcp_session.h"
#include "rcp/testdata/scripted_player.h"

namespace velk::testing {

// "<word>: <value>" CR LF.
inline std::string ValueReply(std::string_view word, std::string_view value)
{
    std::string reply(word);
    reply += ": ";
    reply += value;
    reply += "\r\n";
    return reply;
}

// A list as the player sends it; announced replaces the true count in the size line.
inline std::string ListReply(std::string_view word, const std::vector<std::string>& names,
                             std::optional<std::string> announced = {})
{
    std::string reply =
        ValueReply(word, "TransactionInitiated") +
        ValueReply(word, "ListResultSize " + announced.value_or(std::to_string(names.size())));
    for (const auto& name : names)
        reply += ValueReply(word, name);
    return reply + ValueReply(word, "ListResultEnd") + ValueReply(word, "TransactionComplete");
}

// "<key>: <value>" lines, then OK.
inline std::string LinesReply(std::string_view word, const std::vector<std::string>& lines)
{
    std::string reply;
    for (const auto& line : lines)
        reply += ValueReply(word, line);
    return reply + ValueReply(word, "OK");
}

inline std::string OkReply(std::string_view word)
{
    return ValueReply(word, "OK");
}

// Reply bytes by received line.
using Replies = std::map<std::string, std::string>;

class ScriptedSession {
public:
    // Replies by received line (trailing blanks ignored): the opening of a session to a player
    // connected to the DAAP server "Home Music", plus the test's own.
    explicit ScriptedSession(Replies replies = {})
        : replies_(std::move(replies)),
          player_([this](std::string_view line, ScriptedPlayer& player) { Answer(line, player); })
    {
        const Replies opening = {
            {"GetSoftwareVersion", ValueReply("GetSoftwareVersion", "3.1.2")},
            {"GetConnectedServer",
             ValueReply("GetConnectedServer", "Home Music") + OkReply("GetConnectedServer")},
            {"GetActiveServerInfo",
             LinesReply("GetActiveServerInfo", {"Name: Home Music", "Type: DAAP"})},
            {"ServerGetCapabilities",
             LinesReply("ServerGetCapabilities", {"Name: Home Music", "Containers: yes"})},
            {"SetListResultType full", OkReply("SetListResultType")},
        };
        {
            std::lock_guard lock(mutex_);
            replies_.insert(opening.begin(), opening.end());
        }
        session_ = std::make_shared<CRCPSession>();
        opened_ = session_->Initialize(nullptr, 0, player_.address());
        opening_lines_ = player_.ReceivedLines().size();
    }

    ~ScriptedSession() { session_->OnShutdown(); }

    HRESULT opened() const { return opened_; }
    const std::shared_ptr<CRCPSession>& session() const { return session_; }

    void Reply(std::string line, std::string reply)
    {
        std::lock_guard lock(mutex_);
        replies_[std::move(line)] = std::move(reply);
    }

    // The lines the player received since the session opened (or since Forget), as sent,
    // without the "SetListResultType full" before each list.
    std::vector<std::string> Sent() const
    {
        const auto received = player_.ReceivedLines();
        std::vector<std::string> lines;
        for (std::size_t i = opening_lines_; i < received.size(); ++i) {
            if (received[i] != "SetListResultType full")
                lines.push_back(received[i]);
        }
        return lines;
    }

    void Forget() { opening_lines_ = player_.ReceivedLines().size(); }

private:
    void Answer(std::string_view line, ScriptedPlayer& player)
    {
        if (player.AnswerShell(line))
            return;
        std::string key(line);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        std::string reply;
        {
            std::lock_guard lock(mutex_);
            auto found = replies_.find(key);
            reply = found != replies_.end()
                        ? found->second
                        : ValueReply(key.substr(0, key.find(' ')), "UnknownCommand");
        }
        player.Send(reply);
    }

    std::shared_ptr<Apartment> apartment_ = Apartment::Create();
    std::mutex mutex_;
    Replies replies_;
    ScriptedPlayer player_;
    std::shared_ptr<CRCPSession> session_;
    HRESULT opened_ = E_FAIL;
    std::size_t opening_lines_ = 0;
};

} // namespace velk::testing
