// What the view shows of a message: its text (text/plain; text/html without its head, scripts
// and styles; the first part of a multipart/alternative or multipart/related message) wrapped
// to the display's width, or "Unsupported mail format." when there is none. Pure; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "providers/mail/mail_message.h"

namespace velk {

constexpr std::size_t kMaxMessageLines = 500;
constexpr std::string_view kUnsupportedMailFormat = "Unsupported mail format.";

// The message's display lines, at most max_lines of at most width characters each.
std::vector<std::string> MessageLines(const MailMessage& message, std::size_t width,
                                      std::size_t max_lines = kMaxMessageLines);

// The text of a body of the given Content-Type and Content-Transfer-Encoding, as UTF-8;
// nullopt for a type that cannot be shown.
std::optional<std::string> BodyText(std::string_view content_type,
                                    std::string_view transfer_encoding, std::string_view body);

// HTML without its head, script and style elements (names without regard to case, an element
// never closed runs to the end), line breaks as spaces, tabs removed; other markup stays.
std::string StripHtml(std::string_view html);

// Lines of at most width characters (code points; at least 1): each ends before the last
// blank within reach, blanks at a line's start are skipped, a word longer than the line is
// cut, and no line holds a line break or tab. At most max_lines.
std::vector<std::string> WrapText(std::string_view text, std::size_t width, std::size_t max_lines);

} // namespace velk
