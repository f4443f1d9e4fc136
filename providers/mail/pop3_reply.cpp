#include "providers/mail/pop3_reply.h"

namespace velk {

namespace {

constexpr std::string_view kOk = "+OK";
constexpr std::string_view kErr = "-ERR";
constexpr std::string_view kLineEnd = "\r\n";

// Whether line starts with word, followed by nothing or a space.
bool StartsWithWord(std::string_view line, std::string_view word, std::string& text)
{
    if (!line.starts_with(word))
        return false;
    line.remove_prefix(word.size());
    if (!line.empty() && line.front() != ' ')
        return false;
    if (!line.empty())
        line.remove_prefix(1);
    text = std::string(line);
    return true;
}

} // namespace

Pop3LineBuffer::Take Pop3LineBuffer::NextLine(std::string& line)
{
    const std::size_t end = buffer_.find('\n', start_);
    if (end == std::string::npos) {
        // Room is left for the carriage return of a line end still on its way.
        if (pending() > max_line_bytes_ + 1)
            return Take::TooLong;
        // Taken lines go once nothing else is pending, so the buffer never grows by them.
        buffer_.erase(0, start_);
        start_ = 0;
        return Take::NeedMore;
    }
    std::size_t length = end - start_;
    if (length > 0 && buffer_[end - 1] == '\r')
        --length;
    if (length > max_line_bytes_)
        return Take::TooLong;
    line.assign(buffer_, start_, length);
    start_ = end + 1;
    return Take::Line;
}

Pop3Status ReplyStatus(std::string_view line, std::string& text)
{
    if (StartsWithWord(line, kOk, text))
        return Pop3Status::Ok;
    if (StartsWithWord(line, kErr, text))
        return Pop3Status::Err;
    text.clear();
    return Pop3Status::Garbled;
}

Pop3MultiLine::Step Pop3MultiLine::Add(std::string_view line)
{
    if (line == ".")
        return Step::Done;
    if (line.starts_with('.'))
        line.remove_prefix(1);
    if (text_.size() + line.size() + kLineEnd.size() > max_bytes_)
        return Step::TooLarge;
    text_.append(line);
    text_.append(kLineEnd);
    return Step::More;
}

} // namespace velk
