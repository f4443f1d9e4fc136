// A player's replies apart from any socket: bytes in as they arrive, whole lines out, and the
// bounds that hold whatever a peer sends and however fast (one line, one command's reply).
// Plain values with no I/O, so that tables and the fuzzer can drive them directly; each
// connection owns its own and uses it on one thread.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace velk {

// Lines end in CR LF. Holds the bytes not taken yet: the whole lines found so far and the line
// still arriving, which may not grow past max_line_bytes.
class ReplyLineBuffer {
public:
    explicit ReplyLineBuffer(std::size_t max_line_bytes) : max_line_bytes_(max_line_bytes) {}

    // Appends what arrived; false once the line still arriving is longer than the maximum (no
    // player sends that). Its bytes stay for the caller to report (Pending); the caller then
    // gives up on the connection and clears.
    bool Append(std::string_view bytes);
    // The next whole line without its line end; none until one is whole. The text stays valid
    // until the next call of Append or Clear.
    std::optional<std::string_view> NextLine();
    // Gives back the line NextLine returned last, for a reply that is only whole together with
    // the line after it. Only right after NextLine.
    void Unread();
    // The start of the line still arriving (where a shell prompt stands).
    std::string_view Pending() const;
    void Clear();

private:
    const std::size_t max_line_bytes_;
    std::string bytes_;
    // Offsets into bytes_: the first byte not taken, the line taken last, and the line ends
    // found after start_.
    std::size_t start_ = 0;
    std::size_t last_start_ = 0;
    std::deque<std::size_t> ends_;
    // Where the search for line ends goes on: a CR at the end may be half of one.
    std::size_t scan_from_ = 0;
};

// What one command's reply may hold, counted line by line.
class ReplyBudget {
public:
    ReplyBudget(std::size_t max_lines, std::size_t max_bytes)
        : max_lines_(max_lines), max_bytes_(max_bytes)
    {
    }

    // Counts a line of line_bytes; false once the reply is past either bound.
    bool Take(std::size_t line_bytes);
    std::size_t lines() const { return lines_; }
    std::size_t bytes() const { return bytes_; }

private:
    std::size_t max_lines_;
    std::size_t max_bytes_;
    std::size_t lines_ = 0;
    std::size_t bytes_ = 0;
};

// What a player sent, for a message: in quotes, cut short, every byte that is not printable
// ASCII shown as '?', so that it reads on one line and is valid UTF-8.
std::string ReplyExcerpt(std::string_view bytes);

} // namespace velk
