// Text encodings at the system's edges: UTF-16 where a peer counts UTF-16 units, and the ANSI
// code page of shell lines and stream fields. Everything inside is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace velk {

// Invalid input (bad UTF-8, lone surrogates) becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The text with every invalid UTF-8 sequence replaced by U+FFFD (valid text comes back as is).
std::string ToValidUtf8(std::string_view text);

// At most max_bytes of the text, never ending in the middle of a UTF-8 sequence.
std::string_view Utf8Prefix(std::string_view text, std::size_t max_bytes);

// The configured ANSI code page: HKLM SOFTWARE\Velk\DataServer "AnsiCodePage", a code page
// name ("WINDOWS-1252") or number (1252), read once; "WINDOWS-1252" when unset or unknown.
std::string AnsiCodePage();
// Reads the setting again (after a configuration change).
void RefreshAnsiCodePage();

// UTF-8 to the code page: characters the code page lacks become "?".
std::string ToAnsi(std::string_view utf8);
std::string ToAnsi(std::string_view utf8, const std::string& code_page);
// The code page to UTF-8: bytes the code page does not define become "?".
std::string FromAnsi(std::string_view bytes);
std::string FromAnsi(std::string_view bytes, const std::string& code_page);

// The iconv name of a Windows code page number ("1252" -> "WINDOWS-1252", "65001" -> "UTF-8").
std::string CodePageName(unsigned number);

} // namespace velk
