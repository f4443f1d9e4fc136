#include "platform/registry_text.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>

#include "platform/hex.h"
#include "platform/reg_key.h"

namespace velk {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::size_t kBytesPerLine = 24;
constexpr std::size_t kMaxTypeDigits = 8;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

std::string_view TrimEnd(std::string_view text)
{
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view TrimStart(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

bool ConsumePrefix(std::string_view& text, std::string_view prefix)
{
    if (!text.starts_with(prefix))
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

// The length of the valid UTF-8 sequence at the start of text, 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c >= 0x80) {
                if (const auto length = Utf8SequenceLength(text.substr(i)); length > 0) {
                    out.append(text.substr(i, length));
                    i += length;
                    continue;
                }
            }
            if (c >= 0x80 || IsControl(c)) {
                out += "\\x";
                AppendHexByte(out, c);
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
}

// "hex:" lists, wrapped as .reg files wrap them: a line ends in ",\" and the next one goes on
// indented.
void AppendBytes(std::string& out, std::span<const std::uint8_t> data)
{
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0) {
            out += ',';
            if (i % kBytesPerLine == 0)
                out += "\\\n  ";
        }
        AppendHexByte(out, data[i]);
    }
}

std::string FormatData(DWORD type, std::span<const std::uint8_t> data)
{
    std::string out;
    if (type == REG_SZ) {
        AppendQuoted(out,
                     std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        return out;
    }
    if (type == REG_DWORD) {
        if (const auto number = DecodeDword(data)) {
            char text[16];
            std::snprintf(text, sizeof text, "dword:%08x", *number);
            return text;
        }
    }
    if (type == REG_MULTI_SZ) {
        if (const auto strings = DecodeMultiString(data)) {
            out = "multi:";
            for (std::size_t i = 0; i < strings->size(); ++i) {
                if (i > 0)
                    out += ',';
                AppendQuoted(out, (*strings)[i]);
            }
            return out;
        }
    }
    if (type == REG_NONE && data.empty())
        return "none:";
    if (type == REG_BINARY) {
        out = "hex:";
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
        out = prefix;
    }
    AppendBytes(out, data);
    return out;
}

// "@" for the default value, the quoted name otherwise.
std::string ValueName(std::string_view name)
{
    std::string out;
    if (name.empty())
        out = "@";
    else
        AppendQuoted(out, name);
    return out;
}

// Reads the lines of a text file one by one, and reports faults with the line's number.
class Parser {
public:
    explicit Parser(std::string_view text) : rest_(text) { ConsumePrefix(rest_, kBom); }

    bool Parse(std::vector<RegTextKey>& keys)
    {
        if (!NextLine() || line_ != kRegistryTextHeader)
            return Fail("the first line must be \"" + std::string(kRegistryTextHeader) + "\"");
        while (NextLine()) {
            if (line_.empty() || TrimStart(line_).starts_with(';'))
                continue;
            if (line_.front() == '[') {
                RegTextKey key;
                if (!ParseSection(key))
                    return false;
                keys.push_back(std::move(key));
                continue;
            }
            if (line_.front() != '@' && line_.front() != '"')
                return Fail("expected a [key] section, a value or a ; comment");
            if (keys.empty())
                return Fail("a value must follow a [key] section");
            if (keys.back().remove)
                return Fail("a deleted key has no values");
            RegTextValue value;
            if (!ParseValue(value))
                return false;
            keys.back().values.push_back(std::move(value));
        }
        return true;
    }

    const std::string& error() const { return error_; }

private:
    bool NextLine()
    {
        if (done_)
            return false;
        const auto end = rest_.find('\n');
        if (end == std::string_view::npos) {
            done_ = true;
            // Text after the final line break, if any, is the last line.
            if (rest_.empty() && number_ > 0)
                return false;
            line_ = rest_;
        } else {
            line_ = rest_.substr(0, end);
            rest_.remove_prefix(end + 1);
        }
        if (line_.ends_with('\r'))
            line_.remove_suffix(1);
        line_ = TrimEnd(line_);
        ++number_;
        return true;
    }

    bool Fail(const std::string& message)
    {
        error_ = "line " + std::to_string(number_) + ": " + message;
        return false;
    }

    bool ParseSection(RegTextKey& key)
    {
        if (line_.back() != ']')
            return Fail("a section line must end with ]");
        auto path = line_.substr(1, line_.size() - 2);
        key.remove = ConsumePrefix(path, "-");
        const auto parsed = ParseKeyPath(path);
        if (!parsed)
            return Fail("the key path must start with HKLM, HKCR or HKCU");
        if (parsed->path.empty() && key.remove)
            return Fail("a root key cannot be deleted");
        std::vector<std::string_view> names;
        if (const auto fault = SplitKeyPath(parsed->path, 0, names); !fault.empty())
            return Fail(std::string(fault));
        key.hive = parsed->hive;
        key.path = std::string(parsed->path);
        return true;
    }

    bool ParseValue(RegTextValue& value)
    {
        std::string_view text = line_;
        if (!ConsumePrefix(text, "@")) {
            if (!ParseString(text, value.name))
                return false;
            if (value.name.empty())
                return Fail("the default value is written @, not \"\"");
            if (const auto fault = ValueNameFault(value.name); !fault.empty())
                return Fail(std::string(fault));
        }
        if (!ConsumePrefix(text, "="))
            return Fail("expected = after the value name");
        if (!ParseData(text, value))
            return false;
        if (!text.empty())
            return Fail("unexpected text after the value");
        if (value.remove)
            return true;
        if (const auto fault = ValueDataFault(value.type, value.data); !fault.empty())
            return Fail(std::string(fault));
        return true;
    }

    bool ParseData(std::string_view& text, RegTextValue& value)
    {
        if (ConsumePrefix(text, "-")) {
            value.remove = true;
            return true;
        }
        if (text.starts_with('"')) {
            std::string string;
            if (!ParseString(text, string))
                return false;
            value.type = REG_SZ;
            value.data.assign(string.begin(), string.end());
            return true;
        }
        if (ConsumePrefix(text, "dword:")) {
            DWORD number = 0;
            if (!ParseHexNumber(text, number))
                return false;
            value.type = REG_DWORD;
            value.data = EncodeDword(number);
            return true;
        }
        if (ConsumePrefix(text, "multi:"))
            return ParseMulti(text, value);
        if (ConsumePrefix(text, "none:")) {
            value.type = REG_NONE;
            return true;
        }
        if (ConsumePrefix(text, "hex:")) {
            value.type = REG_BINARY;
            return ParseBytes(text, value.data);
        }
        if (ConsumePrefix(text, "hex(")) {
            if (!ParseHexNumber(text, value.type))
                return false;
            if (!ConsumePrefix(text, "):"))
                return Fail("expected ): after the type number");
            if (!ParseBytes(text, value.data))
                return false;
            if (!IsValidValueData(value.type, value.data))
                return Fail("the bytes are not in the stored form of type " +
                            std::to_string(value.type));
            return true;
        }
        return Fail("expected a string, dword:, hex:, hex(n):, multi:, none: or -");
    }

    bool ParseMulti(std::string_view& text, RegTextValue& value)
    {
        std::vector<std::string> strings;
        while (!text.empty()) {
            if (!strings.empty() && !ConsumePrefix(text, ","))
                return Fail("expected , between the strings");
            std::string string;
            if (!ParseString(text, string))
                return false;
            if (string.empty() || string.find('\0') != std::string::npos)
                return Fail("a multi-string must not hold an empty string or \\x00");
            strings.push_back(std::move(string));
        }
        value.type = REG_MULTI_SZ;
        value.data = *EncodeMultiString(strings);
        return true;
    }

    bool ParseString(std::string_view& text, std::string& out)
    {
        if (!ConsumePrefix(text, "\""))
            return Fail("expected a string in double quotes");
        for (;;) {
            if (text.empty())
                return Fail("unterminated string");
            const char c = text.front();
            text.remove_prefix(1);
            if (c == '"')
                return true;
            if (IsControl(static_cast<unsigned char>(c)))
                return Fail("a control character in a string must be written as an escape");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (text.empty())
                return Fail("unterminated string");
            const char escape = text.front();
            text.remove_prefix(1);
            switch (escape) {
            case '"':
            case '\\':
                out += escape;
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x': {
                const int high = text.size() >= 2 ? HexDigit(text[0]) : -1;
                const int low = text.size() >= 2 ? HexDigit(text[1]) : -1;
                if (high < 0 || low < 0)
                    return Fail("\\x must be followed by two hex digits");
                out += static_cast<char>(high << 4 | low);
                text.remove_prefix(2);
                break;
            }
            default:
                return Fail(std::string("unknown escape \\") + escape);
            }
        }
    }

    bool ParseHexNumber(std::string_view& text, DWORD& number)
    {
        std::size_t digits = 0;
        number = 0;
        while (digits < text.size() && HexDigit(text[digits]) >= 0) {
            if (digits == kMaxTypeDigits)
                return Fail("a number has at most 8 hex digits");
            number = number << 4 | static_cast<DWORD>(HexDigit(text[digits]));
            ++digits;
        }
        if (digits == 0)
            return Fail("expected hex digits");
        text.remove_prefix(digits);
        return true;
    }

    bool ParseBytes(std::string_view& text, std::vector<std::uint8_t>& data)
    {
        if (text.empty())
            return true;
        for (;;) {
            const int high = text.size() >= 2 ? HexDigit(text[0]) : -1;
            const int low = text.size() >= 2 ? HexDigit(text[1]) : -1;
            if (high < 0 || low < 0)
                return Fail("expected a byte of two hex digits");
            data.push_back(static_cast<std::uint8_t>(high << 4 | low));
            text.remove_prefix(2);
            if (!ConsumePrefix(text, ","))
                return true;
            if (text == "\\") {
                if (!NextLine())
                    return Fail("the byte list goes on past the end of the file");
                line_ = TrimStart(line_);
                text = line_;
            }
        }
    }

    std::string_view rest_;
    std::string_view line_;
    bool done_ = false;
    int number_ = 0;
    std::string error_;
};

// The path with each name spelled as stored, found from the root down.
HRESULT StoredPath(Hive hive, std::string_view path, std::string& stored)
{
    RegKey key;
    HRESULT hr = key.Open(hive, "");
    if (FAILED(hr))
        return hr;
    stored.clear();
    while (!path.empty()) {
        const auto separator = path.find('\\');
        const auto name = path.substr(0, separator);
        path =
            separator == std::string_view::npos ? std::string_view() : path.substr(separator + 1);
        std::vector<std::string> names;
        hr = key.EnumKeys(names);
        if (FAILED(hr))
            return hr;
        const auto folded = FoldCase(name);
        const auto found = std::find_if(names.begin(), names.end(), [&](const auto& child) {
            return FoldCase(child) == folded;
        });
        if (found == names.end())
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        hr = key.Open(key, *found);
        if (FAILED(hr))
            return hr;
        if (!stored.empty())
            stored += '\\';
        stored += *found;
    }
    return S_OK;
}

HRESULT ReadKey(Hive hive, const std::string& path, RegTextKey& out,
                std::vector<std::string>& subkeys)
{
    RegKey key;
    HRESULT hr = key.Open(hive, path);
    if (FAILED(hr))
        return hr;
    std::vector<RegValueInfo> values;
    hr = key.EnumValues(values);
    if (SUCCEEDED(hr))
        hr = key.EnumKeys(subkeys);
    if (FAILED(hr))
        return hr;
    out.hive = hive;
    out.path = path;
    for (const auto& info : values) {
        RegTextValue value{info.name, false, REG_NONE, {}};
        hr = key.QueryValue(info.name, value.type, value.data);
        if (FAILED(hr))
            return hr;
        out.values.push_back(std::move(value));
    }
    return S_OK;
}

std::string DisplayPath(Hive hive, std::string_view path)
{
    std::string display(HiveName(hive));
    if (!path.empty())
        display.append("\\").append(path);
    return display;
}

HRESULT ApplyKey(const RegTextKey& key, std::string& error)
{
    const auto fail = [&](HRESULT hr, const std::string& what) {
        error = what + ": " + HResultMessage(hr);
        return hr;
    };
    const auto display = DisplayPath(key.hive, key.path);
    if (key.remove) {
        RegKey root;
        HRESULT hr = root.Open(key.hive, "", RegAccess::All);
        if (SUCCEEDED(hr))
            hr = root.DeleteTree(key.path);
        if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            return fail(hr, display);
        return S_OK;
    }
    RegKey target;
    HRESULT hr = target.Create(key.hive, key.path);
    if (FAILED(hr))
        return fail(hr, display);
    for (const auto& value : key.values) {
        hr = value.remove ? target.DeleteValue(value.name)
                          : target.SetValue(value.name, value.type, value.data);
        if (FAILED(hr) && !(value.remove && hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))) {
            return fail(hr, display + " value " + ValueName(value.name));
        }
    }
    return S_OK;
}

} // namespace

HRESULT ParseRegistryText(std::string_view text, std::vector<RegTextKey>& keys, std::string& error)
{
    try {
        Parser parser(text);
        std::vector<RegTextKey> parsed;
        if (!parser.Parse(parsed)) {
            error = parser.error();
            return E_INVALIDARG;
        }
        keys = std::move(parsed);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

std::string WriteRegistryValue(std::string_view name, DWORD type,
                               std::span<const std::uint8_t> data)
{
    return ValueName(name) + '=' + FormatData(type, data);
}

std::string WriteRegistryText(std::span<const RegTextKey> keys)
{
    std::string text(kRegistryTextHeader);
    text += "\n\n";
    for (const auto& key : keys) {
        text += key.remove ? "[-" : "[";
        text += DisplayPath(key.hive, key.path);
        text += "]\n";
        for (const auto& value : key.values) {
            text += value.remove ? ValueName(value.name) + "=-"
                                 : WriteRegistryValue(value.name, value.type, value.data);
            text += '\n';
        }
        text += '\n';
    }
    return text;
}

HRESULT ExportRegistryText(Hive hive, std::string_view path, std::vector<RegTextKey>& keys)
{
    try {
        std::string top;
        HRESULT hr = StoredPath(hive, path, top);
        if (FAILED(hr))
            return hr;
        std::vector<RegTextKey> exported;
        // Depth first without recursion: key trees from outside may be deep.
        std::vector<std::string> pending{top};
        while (!pending.empty()) {
            const auto current = std::move(pending.back());
            pending.pop_back();
            RegTextKey key;
            std::vector<std::string> subkeys;
            hr = ReadKey(hive, current, key, subkeys);
            // A key deleted meanwhile by someone else is simply not exported.
            if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) && current != top)
                continue;
            if (FAILED(hr))
                return hr;
            exported.push_back(std::move(key));
            for (auto it = subkeys.rbegin(); it != subkeys.rend(); ++it)
                pending.push_back(current.empty() ? *it : current + '\\' + *it);
        }
        keys = std::move(exported);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ImportRegistryText(std::span<const RegTextKey> keys, std::string& error)
{
    try {
        Registry::Transaction transaction;
        // Machine hive first, always: two importers take the files in the same order.
        for (const auto hive : {Hive::LocalMachine, Hive::ClassesRoot, Hive::CurrentUser}) {
            const bool used = std::any_of(keys.begin(), keys.end(),
                                          [&](const auto& key) { return key.hive == hive; });
            if (!used)
                continue;
            const HRESULT hr = transaction.Begin(hive);
            if (FAILED(hr)) {
                error = std::string(HiveName(hive)) + ": " + HResultMessage(hr);
                return hr;
            }
        }
        for (const auto& key : keys) {
            const HRESULT hr = ApplyKey(key, error);
            if (FAILED(hr))
                return hr;
        }
        const HRESULT hr = transaction.Commit();
        if (FAILED(hr))
            error = "commit: " + HResultMessage(hr);
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace velk
