// What one player shows of the mail: the level (the accounts, an account's messages, one
// message's text), the current account, the current and the first visible message (1-based),
// the first visible line of the text, and the text's lines with the message they belong to.
// The remote's keys move it by the key table below; numbers stay within what exists and the
// current message stays on screen. Owned by the mail provider, one per configured player, on
// its apartment.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "velk/velk_enums.h"

namespace velk {

enum class MailLevel { Accounts = 0, Messages = 1, Text = 2 };

// What the view did with a key.
enum class MailKey {
    Ignored,  // not the view's: left to the player
    Acted,    // the view took it (and may have changed): kept from the player
    Accepted, // the view gives way: EXIT hands the display back
};

struct MailView {
    MailLevel level = MailLevel::Accounts;
    std::size_t account = 0;
    std::uint32_t message = 1;
    std::uint32_t first_message = 1;
    std::size_t first_line = 0;
    std::vector<std::string> lines;
    // The account and message the lines belong to.
    std::optional<std::pair<std::size_t, std::uint32_t>> lines_of;

    // A fresh view: the first account, message 1, at the account list, or at the messages
    // when there is only one account.
    static MailView Start(std::size_t accounts);

    // Applies a key. counts holds each account's message count (negative: unknown), at least
    // one account; lines_per_screen is at least 1. Tells whether the view changed.
    MailKey OnKey(VelkRemoteKeys key, std::span<const std::int64_t> counts, int lines_per_screen,
                  bool& changed);

    // Clamps the current message to the account's count and scrolls the list so that it is on
    // screen.
    void KeepOnScreen(std::int64_t count, int lines_per_screen);
};

} // namespace velk
