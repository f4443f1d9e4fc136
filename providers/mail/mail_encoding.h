// The encodings of mail text: the media type and parameters of a Content-Type field, and the
// transfer encodings of a body (quoted-printable, base64). Pure; any thread.
#pragma once

#include <string>
#include <string_view>

namespace velk {

// "type/subtype" in lower case, without parameters or blanks; "text/plain" for an empty field.
std::string MediaType(std::string_view content_type);
// A parameter's value (name compared without regard to case), with double or single quotes
// around it taken off; empty when the field has none.
std::string ContentTypeParameter(std::string_view content_type, std::string_view name);

// "=XX" escapes replaced by the bytes they stand for, soft line breaks ("=" at a line's end)
// removed; anything else as it is.
std::string DecodeQuotedPrintable(std::string_view text);
// Base64 with line breaks and blanks in it; what cannot be read ends the text.
std::string DecodeBase64Text(std::string_view text);
// The body decoded by its Content-Transfer-Encoding (7bit, 8bit, binary and unknown: as is).
std::string DecodeTransfer(std::string_view body, std::string_view transfer_encoding);

} // namespace velk
