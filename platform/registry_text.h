// The text form of registry keys and values: what `velkreg export` writes and `velkreg import`
// reads, in the manner of a .reg file. Every value type round-trips, bytes included.
//
// A file is UTF-8 text in lines ending in LF or CRLF. Blanks (spaces, tabs) at the end of a line
// are ignored; nowhere else is a blank allowed unless the grammar shows it.
//
//   file     = header { blank-line | comment | section | value }
//   header   = "Velk Registry 1"                 the first line (after an optional UTF-8 BOM)
//   comment  = [blanks] ";" anything
//   section  = "[" path "]"                      the key; import creates it
//            | "[-" path "]"                     import deletes the key and its subtree; no
//                                                value lines may follow it
//   path     = root { "\" name }                 root: HKLM, HKCR, HKCU or HKEY_LOCAL_MACHINE,
//                                                HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, any case;
//                                                a name is not empty and holds no control
//                                                character; the path ends at the line's last "]"
//   value    = vname "=" data                    a value of the last section
//   vname    = "@"                               the default value
//            | string                            holds no \x00
//   data     = string                            REG_SZ
//            | "dword:" 1*8hex                   REG_DWORD
//            | "hex:" bytes                      REG_BINARY
//            | "multi:" [ string *( "," string ) ]   REG_MULTI_SZ; strings not empty, no \x00
//            | "none:"                           REG_NONE without data
//            | "hex(" 1*8hex "):" bytes          any type by its number, data in its stored
//                                                form (registry.h)
//            | "-"                               import deletes the value
//   bytes    = [ hex2 *( "," [ "\" EOL blanks ] hex2 ) ]
//                                                a list goes on on the next line after ",\"
//   string   = DQUOTE *( byte | escape ) DQUOTE  escapes: \" \\ \n \r \t \xHH (any byte);
//                                                bytes below 0x20 and 0x7F only as escapes
//
// Names, depth and value sizes keep the limits of registry.h: a file beyond them is refused like
// any other fault. Hex digits are of either case. The writer escapes bytes that are not valid UTF-8
// as \xHH, so its output is valid UTF-8 whatever the data; the parser takes other bytes as they
// are.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace velk {

struct RegTextValue {
    std::string name; // "" is the default value
    bool remove = false;
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data; // in the stored form of its type

    bool operator==(const RegTextValue&) const = default;
};

struct RegTextKey {
    Hive hive = Hive::LocalMachine;
    std::string path; // below the root, as spelled
    bool remove = false;
    std::vector<RegTextValue> values;

    bool operator==(const RegTextKey&) const = default;
};

constexpr std::string_view kRegistryTextHeader = "Velk Registry 1";

// Parses a whole file. On a fault: E_INVALIDARG, keys untouched, and error says where and what
// ("line 7: unterminated string").
HRESULT ParseRegistryText(std::string_view text, std::vector<RegTextKey>& keys, std::string& error);

// The file for keys: header, then each section with its values and a blank line.
std::string WriteRegistryText(std::span<const RegTextKey> keys);

// One value line, `"name"=data` (or `@=data`); long byte lists go on over more lines. No line
// break at the end.
std::string WriteRegistryValue(std::string_view name, DWORD type,
                               std::span<const std::uint8_t> data);

// Reads the key at path and every key below it, parents before children, names as stored. The
// keys are read one after another, not as one snapshot.
HRESULT ExportRegistryText(Hive hive, std::string_view path, std::vector<RegTextKey>& keys);

// Applies keys in one transaction: all of it or, on a failure, nothing. Deleting a key or value
// that does not exist is no failure. On a failure error names the key or value and the reason.
HRESULT ImportRegistryText(std::span<const RegTextKey> keys, std::string& error);

} // namespace velk
