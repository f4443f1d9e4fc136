// velkreg: reads and changes the registry from the command line, and exports and imports it in
// its text form. Exit status 0 on success, 1 when the operation fails, 2 for a bad command line.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/hex.h"
#include "platform/reg_key.h"
#include "platform/registry.h"
#include "platform/registry_text.h"

namespace velk {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage = R"(Usage:
  velkreg query KEY [--value NAME]
      Prints the key's values and subkeys, or the one value.
  velkreg add KEY [--value NAME [--type TYPE] [--data DATA]...]
      Creates the key; with --value sets the value (TYPE REG_SZ when not given).
      REG_SZ: one --data (default empty). REG_MULTI_SZ: one --data per string.
      REG_DWORD: one --data, decimal or 0x hex. REG_BINARY: one --data of hex bytes
      (00ff10, 00,ff,10 or "00 ff 10"). REG_NONE: no --data.
  velkreg delete KEY [--value NAME]
      Deletes the key with everything below it, or the one value.
  velkreg export KEY FILE
      Writes the key and its subtree in text form to FILE (- for standard output).
  velkreg import FILE
      Applies a text-form file (- for standard input): all of it, or nothing.
  velkreg --help

KEY is a path such as HKLM\SOFTWARE\Velk (roots HKLM, HKCR, HKCU or their long names).
NAME "" is the key's default value. VELK_REGISTRY_DIR, when set, is the folder of the hives.
Limits: key names of up to 255 characters, keys up to 512 levels below their root, value
names of up to 16383 characters, values of up to 1048576 bytes (1 MiB).
)";

struct Options {
    std::optional<std::string> value;
    std::optional<std::string> type;
    std::vector<std::string> data;
};

int Usage(const std::string& message)
{
    std::cerr << "velkreg: " << message << "\nTry velkreg --help.\n";
    return kExitUsage;
}

int Failure(const std::string& subject, HRESULT hr)
{
    std::cerr << "velkreg: " << subject << ": " << HResultMessage(hr) << '\n';
    return kExitFailed;
}

int Failure(const std::string& message)
{
    std::cerr << "velkreg: " << message << '\n';
    return kExitFailed;
}

std::string Display(const KeyPath& key)
{
    std::string display(HiveName(key.hive));
    if (!key.path.empty())
        display.append("\\").append(key.path);
    return display;
}

std::optional<DWORD> ParseDword(std::string_view text)
{
    unsigned base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t number = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            return std::nullopt;
        number = number * base + static_cast<unsigned>(digit);
        if (number > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<DWORD>(number);
}

// Bytes of two hex digits each, optionally separated by one comma or space.
std::optional<std::vector<std::uint8_t>> ParseBinary(std::string_view text)
{
    std::vector<std::uint8_t> bytes;
    while (!text.empty()) {
        if (!bytes.empty() && (text.front() == ',' || text.front() == ' '))
            text.remove_prefix(1);
        const int high = text.size() >= 2 ? HexDigit(text[0]) : -1;
        const int low = text.size() >= 2 ? HexDigit(text[1]) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
        text.remove_prefix(2);
    }
    return bytes;
}

std::optional<DWORD> ParseType(const std::string& name)
{
    static constexpr std::pair<std::string_view, DWORD> kTypes[] = {
        {"reg_sz", REG_SZ},         {"reg_multi_sz", REG_MULTI_SZ}, {"reg_dword", REG_DWORD},
        {"reg_binary", REG_BINARY}, {"reg_none", REG_NONE},
    };
    const auto folded = FoldCase(name);
    for (const auto& [text, type] : kTypes) {
        if (folded == text)
            return type;
    }
    return std::nullopt;
}

// The value's bytes from the command line's --data, or a message saying what is wrong.
std::optional<std::vector<std::uint8_t>> ValueData(DWORD type, const std::vector<std::string>& data,
                                                   std::string& message)
{
    if (type == REG_MULTI_SZ) {
        auto bytes = EncodeMultiString(data);
        if (!bytes)
            message = "a REG_MULTI_SZ string must not be empty";
        return bytes;
    }
    if (data.size() > 1) {
        message = "only REG_MULTI_SZ takes more than one --data";
        return std::nullopt;
    }
    const std::string text = data.empty() ? std::string() : data.front();
    switch (type) {
    case REG_SZ:
        return std::vector<std::uint8_t>(text.begin(), text.end());
    case REG_DWORD:
        if (const auto number = ParseDword(text))
            return EncodeDword(*number);
        message = "REG_DWORD data must be a number from 0 to 4294967295 (decimal or 0x hex)";
        return std::nullopt;
    case REG_BINARY:
        if (auto bytes = ParseBinary(text))
            return bytes;
        message = "REG_BINARY data must be bytes of two hex digits each";
        return std::nullopt;
    default:
        if (!data.empty()) {
            message = "REG_NONE takes no --data";
            return std::nullopt;
        }
        return std::vector<std::uint8_t>();
    }
}

int Query(const KeyPath& key, const Options& options)
{
    RegKey handle;
    HRESULT hr = handle.Open(key.hive, key.path);
    if (FAILED(hr))
        return Failure(Display(key), hr);
    if (options.value) {
        DWORD type = REG_NONE;
        std::vector<std::uint8_t> data;
        hr = handle.QueryValue(*options.value, type, data);
        if (FAILED(hr))
            return Failure(Display(key) + " value \"" + *options.value + "\"", hr);
        // Shown with its name as stored, whatever the case asked for.
        std::vector<RegValueInfo> values;
        std::string name = *options.value;
        if (SUCCEEDED(handle.EnumValues(values))) {
            for (const auto& info : values) {
                if (FoldCase(info.name) == FoldCase(name))
                    name = info.name;
            }
        }
        std::cout << WriteRegistryValue(name, type, data) << '\n';
        return 0;
    }
    std::vector<RegValueInfo> values;
    std::vector<std::string> subkeys;
    hr = handle.EnumValues(values);
    if (SUCCEEDED(hr))
        hr = handle.EnumKeys(subkeys);
    if (FAILED(hr))
        return Failure(Display(key), hr);
    std::cout << Display(key) << '\n';
    for (const auto& info : values) {
        DWORD type = REG_NONE;
        std::vector<std::uint8_t> data;
        hr = handle.QueryValue(info.name, type, data);
        if (FAILED(hr))
            return Failure(Display(key) + " value \"" + info.name + "\"", hr);
        std::cout << "    " << WriteRegistryValue(info.name, type, data) << '\n';
    }
    if (!subkeys.empty())
        std::cout << '\n';
    for (const auto& name : subkeys)
        std::cout << Display(key) << '\\' << name << '\n';
    return 0;
}

int Add(const KeyPath& key, const Options& options)
{
    if (!options.value && (options.type || !options.data.empty()))
        return Usage("--type and --data need --value");
    DWORD type = REG_SZ;
    if (options.type) {
        const auto parsed = ParseType(*options.type);
        if (!parsed)
            return Usage("unknown type " + *options.type +
                         " (REG_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY, REG_NONE)");
        type = *parsed;
    }
    std::vector<std::uint8_t> data;
    if (options.value) {
        std::string message;
        auto parsed = ValueData(type, options.data, message);
        if (!parsed)
            return Usage(message);
        data = std::move(*parsed);
        for (const auto fault : {ValueNameFault(*options.value), ValueDataFault(type, data)}) {
            if (!fault.empty())
                return Usage(std::string(fault));
        }
    }
    RegKey handle;
    HRESULT hr = handle.Create(key.hive, key.path);
    if (FAILED(hr))
        return Failure(Display(key), hr);
    if (!options.value)
        return 0;
    hr = handle.SetValue(*options.value, type, data);
    if (FAILED(hr))
        return Failure(Display(key) + " value \"" + *options.value + "\"", hr);
    return 0;
}

int Delete(const KeyPath& key, const Options& options)
{
    if (!options.value) {
        if (key.path.empty())
            return Failure(Display(key) + ": a root key cannot be deleted");
        RegKey root;
        HRESULT hr = root.Open(key.hive, "", RegAccess::All);
        if (SUCCEEDED(hr))
            hr = root.DeleteTree(key.path);
        return FAILED(hr) ? Failure(Display(key), hr) : 0;
    }
    RegKey handle;
    HRESULT hr = handle.Open(key.hive, key.path, RegAccess::All);
    if (FAILED(hr))
        return Failure(Display(key), hr);
    hr = handle.DeleteValue(*options.value);
    if (FAILED(hr))
        return Failure(Display(key) + " value \"" + *options.value + "\"", hr);
    return 0;
}

// Writes beside the file and renames, so that a failure never leaves half a file.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& message)
{
    const std::string temporary = path + ".velkreg-" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            message = temporary + ": " + std::strerror(errno);
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        message = path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

int Export(const KeyPath& key, const std::string& file)
{
    std::vector<RegTextKey> keys;
    const HRESULT hr = ExportRegistryText(key.hive, key.path, keys);
    if (FAILED(hr))
        return Failure(Display(key), hr);
    const auto text = WriteRegistryText(keys);
    if (file == "-") {
        std::cout << text << std::flush;
        return std::cout ? 0 : Failure("standard output: write failed");
    }
    std::string message;
    return WriteFileAtomically(file, text, message) ? 0 : Failure(message);
}

int Import(const std::string& file)
{
    std::string text;
    if (file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return Failure(file + ": " + std::strerror(errno));
        text.assign(std::istreambuf_iterator<char>(in), {});
        if (in.bad())
            return Failure(file + ": read failed");
    }
    std::vector<RegTextKey> keys;
    std::string error;
    HRESULT hr = ParseRegistryText(text, keys, error);
    if (FAILED(hr))
        return Failure(file + ": " + (error.empty() ? HResultMessage(hr) : error));
    hr = ImportRegistryText(keys, error);
    if (FAILED(hr))
        return Failure(file + ": " + (error.empty() ? HResultMessage(hr) : error) +
                       " (nothing was imported)");
    return 0;
}

int Run(const std::vector<std::string>& args)
{
    if (args.empty())
        return Usage("no command given");
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return 0;
    }
    const std::string& command = args[0];
    std::vector<std::string> positional;
    Options options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const auto& arg = args[i];
        if (arg == "--value" || arg == "--type" || arg == "--data") {
            if (i + 1 == args.size())
                return Usage(arg + " needs an argument");
            const auto& argument = args[++i];
            if (arg == "--data") {
                options.data.push_back(argument);
            } else {
                auto& slot = arg == "--value" ? options.value : options.type;
                if (slot)
                    return Usage(arg + " given twice");
                slot = argument;
            }
        } else if (arg.starts_with("--")) {
            return Usage("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }

    const bool has_value_options = options.value || options.type || !options.data.empty();
    if (command == "import") {
        if (positional.size() != 1 || has_value_options)
            return Usage("import takes one FILE and no options");
        return Import(positional[0]);
    }
    std::optional<KeyPath> key;
    if (!positional.empty()) {
        key = ParseKeyPath(positional[0]);
        if (!key)
            return Usage("bad key " + positional[0] + " (it starts with HKLM, HKCR or HKCU)");
        std::vector<std::string_view> names;
        if (const auto fault = SplitKeyPath(key->path, 0, names); !fault.empty())
            return Usage("bad key: " + std::string(fault));
    }
    if (command == "query" || command == "delete") {
        if (positional.size() != 1 || options.type || !options.data.empty())
            return Usage(command + " takes one KEY and at most --value NAME");
        return command == "query" ? Query(*key, options) : Delete(*key, options);
    }
    if (command == "add") {
        if (positional.size() != 1)
            return Usage("add takes one KEY");
        return Add(*key, options);
    }
    if (command == "export") {
        if (positional.size() != 2 || has_value_options)
            return Usage("export takes KEY and FILE and no options");
        return Export(*key, positional[1]);
    }
    return Usage("unknown command " + command);
}

} // namespace
} // namespace velk

int main(int argc, char** argv)
{
    try {
        return velk::Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        std::cerr << "velkreg: " << error.what() << '\n';
        return velk::kExitFailed;
    }
}
