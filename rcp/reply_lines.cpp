#include "rcp/reply_lines.h"

namespace velk {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kExcerptBytes = 40;

} // namespace

bool ReplyLineBuffer::Append(std::string_view bytes)
{
    // What was taken goes first, so that the buffer holds no more than the lines not taken.
    if (start_ > 0) {
        bytes_.erase(0, start_);
        for (auto& end : ends_)
            end -= start_;
        scan_from_ -= start_;
        start_ = 0;
        last_start_ = 0;
    }
    bytes_.append(bytes);
    for (std::size_t end; (end = bytes_.find(kLineEnd, scan_from_)) != std::string::npos;) {
        ends_.push_back(end);
        scan_from_ = end + kLineEnd.size();
    }
    if (bytes_.size() > scan_from_ && bytes_.back() == kLineEnd.front())
        scan_from_ = bytes_.size() - 1;
    else
        scan_from_ = bytes_.size();
    return Pending().size() <= max_line_bytes_;
}

std::optional<std::string_view> ReplyLineBuffer::NextLine()
{
    if (ends_.empty())
        return std::nullopt;
    const std::size_t end = ends_.front();
    ends_.pop_front();
    last_start_ = start_;
    start_ = end + kLineEnd.size();
    return std::string_view(bytes_).substr(last_start_, end - last_start_);
}

void ReplyLineBuffer::Unread()
{
    if (start_ == last_start_)
        return;
    ends_.push_front(start_ - kLineEnd.size());
    start_ = last_start_;
}

std::string_view ReplyLineBuffer::Pending() const
{
    const std::size_t from = ends_.empty() ? start_ : ends_.back() + kLineEnd.size();
    return std::string_view(bytes_).substr(from);
}

void ReplyLineBuffer::Clear()
{
    bytes_.clear();
    ends_.clear();
    start_ = 0;
    last_start_ = 0;
    scan_from_ = 0;
}

bool ReplyBudget::Take(std::size_t line_bytes)
{
    ++lines_;
    bytes_ += line_bytes;
    return lines_ <= max_lines_ && bytes_ <= max_bytes_;
}

std::string ReplyExcerpt(std::string_view bytes)
{
    std::string text = "\"";
    for (unsigned char c : bytes.substr(0, kExcerptBytes))
        text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    text += bytes.size() > kExcerptBytes ? "...\"" : "\"";
    return text;
}

} // namespace velk
