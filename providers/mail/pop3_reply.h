// Cuts a POP3 server's bytes into replies, apart from the socket: lines framed at CRLF (a bare
// LF is taken too) with the rest kept for the next read, the status word of a reply line, and
// multi-line replies gathered up to their terminating "." line with dot-stuffing undone. Every
// length is bounded: a line, a whole multi-line reply. Pure; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velk {

class Pop3LineBuffer {
public:
    enum class Take {
        Line,     // a whole line was taken (without its line end)
        NeedMore, // no whole line yet: read more
        TooLong,  // the line in the buffer passes the bound: the reply cannot be trusted
    };

    explicit Pop3LineBuffer(std::size_t max_line_bytes) : max_line_bytes_(max_line_bytes) {}

    void Append(std::string_view bytes) { buffer_.append(bytes); }
    Take NextLine(std::string& line);
    // Bytes received past the lines taken.
    std::size_t pending() const { return buffer_.size() - start_; }

private:
    const std::size_t max_line_bytes_;
    std::string buffer_;
    std::size_t start_ = 0; // of the next line in buffer_
};

enum class Pop3Status { Ok, Err, Garbled };

// "+OK text" or "-ERR text"; text is what follows the status word and one space.
Pop3Status ReplyStatus(std::string_view line, std::string& text);

// The lines of a multi-line reply after its status line, fed one by one.
class Pop3MultiLine {
public:
    enum class Step { More, Done, TooLarge };

    explicit Pop3MultiLine(std::size_t max_bytes) : max_bytes_(max_bytes) {}

    // A line as framed (without its line end): "." ends the reply, a leading dot of any other
    // line is the server's stuffing and goes. The text keeps CRLF line ends.
    Step Add(std::string_view line);
    const std::string& text() const { return text_; }
    std::string Take() { return std::move(text_); }

private:
    const std::size_t max_bytes_;
    std::string text_;
};

} // namespace velk
