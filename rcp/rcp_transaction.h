// One outstanding command (or standing event subscription) of a control session: what was
// sent, how its reply lines are classified, and its result. Owned by the session's table and
// shared with the caller waiting for it; the reader thread classifies lines into it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/event.h"
#include "platform/hresult.h"
#include "rcp/reply_lines.h"

namespace velk {

// Called on the reader thread with each data line's value (UTF-8) and its running index; a
// negative result settles a multi-line command with that result.
using RcpLineCallback = std::function<HRESULT(std::string_view value, std::int32_t index)>;

struct CRCPTransaction {
    // What the reply to one command may hold: far above the longest list of the largest
    // library a player serves.
    static constexpr std::size_t kMaxReplyLines = 400000;
    static constexpr std::size_t kMaxReplyBytes = 32 * 1024 * 1024;

    CRCPTransaction(std::string word, std::string line, RcpLineCallback line_callback,
                    bool want_list)
        : command_word(std::move(word)), command_line(std::move(line)),
          callback(std::move(line_callback)), want_list_size(want_list)
    {
    }

    const std::string command_word;
    // The full line including "\r\n"; empty for standing event entries.
    const std::string command_line;
    const RcpLineCallback callback;
    const bool want_list_size;

    // Reader thread only.
    std::int32_t line_index = 0;
    ReplyBudget budget{kMaxReplyLines, kMaxReplyBytes};
    // Set by "TransactionInitiated"; a waiter that times out cancels an open transaction.
    std::atomic<bool> in_transaction = false;

    // Held while the callback runs; cleared active means no callback runs any more (the
    // caller that owned it may be gone).
    std::mutex callback_lock;
    bool active = true;

    // Guarded by lock: the result, what went wrong when it says more than the code, and how
    // many reply lines have arrived (each restarts the waiting caller's silence time-out).
    std::mutex lock;
    HRESULT result = E_PENDING;
    std::string failure;
    std::uint64_t lines_seen = 0;

    // Set whenever a line for this entry arrives or the connection ends.
    Event reply;

    HRESULT Result()
    {
        std::lock_guard guard(lock);
        return result;
    }

    // Settles a pending entry from outside (time-out, lost connection, a reply past its
    // bounds) and wakes its waiter.
    void SettleIfPending(HRESULT hr, std::string description = {})
    {
        {
            std::lock_guard guard(lock);
            if (result == E_PENDING) {
                result = hr;
                failure = std::move(description);
            }
        }
        reply.Set();
    }

    std::string Failure()
    {
        std::lock_guard guard(lock);
        return failure;
    }

    bool IsActive()
    {
        std::lock_guard guard(callback_lock);
        return active;
    }

    // Stops further callbacks, waiting for one that runs.
    void Deactivate()
    {
        std::lock_guard guard(callback_lock);
        active = false;
    }
};

// Classifies one reply value against its entry (running the entry's callback for data lines)
// and stores the outcome, which it returns. Runs on the reader thread without the table lock.
HRESULT ClassifyReplyLine(CRCPTransaction& entry, std::string_view value);

// True for the commands whose first data line settles them.
bool IsSingleReplyCommand(std::string_view command_word);

} // namespace velk
