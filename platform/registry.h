// The registry in place of the Windows one: hives in SQLite files, the system's key paths and
// value types, and the process-wide Registry that owns the open hive files, transactions over
// them and the change watcher. Any thread may use it.
//
// Hive files: HKLM and HKCR live in machine.db, HKCU in user.db; both in $VELK_REGISTRY_DIR when
// it is set, otherwise /var/lib/velk/machine.db and $XDG_CONFIG_HOME/velk/user.db (falling back
// to ~/.config/velk/user.db). Files and folders are created on the first write.
//
// Result codes used throughout the layer: a missing key or value is
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); a value of another type than asked for, or a file
// that is not a hive, HRESULT_FROM_WIN32(ERROR_INVALID_DATA); a write through a read-only key or
// to a hive the process may not write, E_ACCESSDENIED (nothing is written); a malformed path,
// name or value (one beyond the limits below included), E_INVALIDARG; a hive held by another
// writer beyond the busy time-out, HRESULT_FROM_WIN32(ERROR_TIMEOUT).
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii.h"
#include "platform/hresult.h"

namespace velk {

class HiveFile;
class RegistryWatcher;

enum class Hive { LocalMachine, ClassesRoot, CurrentUser };

// Value types, with the Windows numbers.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

// The system's limits on keys and values; characters are counted as the system counts them, in
// UTF-16 units. A value holds at most 1 MiB, the limit of the system's standard hive format:
// every reader loads a value whole (and an export a whole tree of them), and the largest values
// the suite writes (a renderer's state, a player's parameters) take a few kilobytes.
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxKeyDepth = 512; // levels below a root
constexpr std::size_t kMaxValueNameChars = 16383;
constexpr std::size_t kMaxValueBytes = std::size_t{1} << 20;

// A value as enumeration reports it.
struct RegValueInfo {
    std::string name;
    DWORD type = REG_NONE;
};

// "HKLM", "HKCR", "HKCU": the short root name used in text and messages.
std::string_view HiveName(Hive hive);

// Splits "HKLM\SOFTWARE\Velk" (root names short or long, any case) into the hive and the path
// below its root ("" for the root itself). nullopt when the root name is unknown.
struct KeyPath {
    Hive hive;
    std::string_view path;
};
std::optional<KeyPath> ParseKeyPath(std::string_view full_path);


// Stored value bytes: REG_SZ is the UTF-8 text without terminator; REG_DWORD four bytes, little
// endian; REG_MULTI_SZ each (non-empty) string followed by a zero byte, then one more zero byte
// (an empty list is a single zero byte); REG_BINARY, REG_NONE and any other type: bytes as given.
std::vector<std::uint8_t> EncodeDword(DWORD value);
std::optional<DWORD> DecodeDword(std::span<const std::uint8_t> data);
// nullopt when a string is empty or holds a zero byte: it could not be read back.
std::optional<std::vector<std::uint8_t>> EncodeMultiString(std::span<const std::string> strings);
// nullopt when the bytes are not in the form above.
std::optional<std::vector<std::string>> DecodeMultiString(std::span<const std::uint8_t> data);
// True when data has the stored form of its type (REG_DWORD and REG_MULTI_SZ are checked).
bool IsValidValueData(DWORD type, std::span<const std::uint8_t> data);

// The rules of names and values. Each check gives what breaks them in words for a message
// ("a key path has more than 512 levels"), or nothing when they are kept.
//
// A path of key names ("SOFTWARE\Velk"; "" for none) that starts depth levels below its root,
// split into names (left incomplete when it breaks the rules). A name is not empty, holds no
// control character and keeps the limit above, and so does the path's depth.
std::string_view SplitKeyPath(std::string_view path, std::size_t depth,
                              std::vector<std::string_view>& names);
// A value name ("" is the default value) holds no zero byte and keeps the limit above.
std::string_view ValueNameFault(std::string_view name);
// Data in the stored form of its type, within the size limit above.
std::string_view ValueDataFault(DWORD type, std::span<const std::uint8_t> data);

class Registry {
public:
    // The hive file that holds the hive, resolved from the environment at each call.
    static std::string HiveFilePath(Hive hive);

    // The open hive file for the hive. A missing file is created (with its folder) when create
    // is set, otherwise reported as HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
    static HRESULT OpenHive(Hive hive, bool create, std::shared_ptr<HiveFile>& file);

    // The process's change watcher, started on first use and joined at exit.
    static RegistryWatcher& Watcher();

    // Applies many changes atomically: after Begin, every write of this thread to the hive's
    // file joins the transaction until Commit; what is not committed is rolled back when the
    // transaction ends. Other threads' access to that file waits meanwhile, so keep it short.
    // A transaction belongs to the thread that began it. Across the two hive files the commits
    // are made one after the other: only a failure of the second commit itself (an I/O error)
    // can leave the first applied alone.
    class Transaction {
    public:
        Transaction() = default;
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;

        // Starts the transaction on the hive's file (created when missing); calling it again
        // for a hive of the same file does nothing. E_ACCESSDENIED when the file is read-only.
        HRESULT Begin(Hive hive);
        HRESULT Commit();
        void Rollback();

    private:
        struct Joined {
            std::shared_ptr<HiveFile> file;
            std::unique_lock<std::recursive_mutex> lock;
        };
        std::vector<Joined> joined_;
    };

private:
    Registry();
    ~Registry();
    static Registry& Instance();

    std::mutex mutex_;
    std::vector<std::shared_ptr<HiveFile>> files_;
    std::unique_ptr<RegistryWatcher> watcher_;
};

} // namespace velk
