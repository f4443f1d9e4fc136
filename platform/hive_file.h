// One hive file: the SQLite database that holds the keys and values of its hive roots and the
// change log that watchers in every process read. One connection per file and process, guarded
// by a recursive mutex so that a transaction can hold it on its thread across many operations.
// Owned by the Registry's cache, shared by the keys and watches that use it; any thread.
//
// Journal mode: DELETE (a rollback journal), never WAL. A WAL reader must be able to write the
// -shm file (or find it complete beside the database), so users who may only read the machine
// hive could not open it; rollback-journal readers need nothing but read access to the file and
// its folder. Every commit is synchronous, and readers wait for a writer through the busy time-out.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

struct sqlite3;
struct sqlite3_stmt;

namespace velk {

class HiveFile {
public:
    using KeyId = std::int64_t;

    // One entry of the change log: the folded path of a key whose names or values changed;
    // subtree when the whole tree below it changed (it was deleted).
    struct Change {
        std::int64_t sequence = 0;
        std::string path;
        bool subtree = false;
    };

    static constexpr std::uint32_t kBusyTimeoutMs = 5000;
    // Entries kept in the change log; a watcher that falls further behind fires anyway.
    static constexpr std::int64_t kChangeLogKeep = 1000;

    // Opens the file at path holding the given roots. A missing file (or one without a hive in
    // it yet) is created with its folder when create is set, otherwise reported as not found.
    // The folder is made private to the user when private_folder is set.
    static HRESULT Open(const std::string& path, std::span<const Hive> roots, bool create,
                        bool private_folder, std::shared_ptr<HiveFile>& file);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    const std::string& path() const { return path_; }
    // True when the process may not write the file: every write is refused with E_ACCESSDENIED.
    bool read_only() const { return read_only_; }
    std::recursive_mutex& mutex() { return mutex_; }

    static KeyId RootId(Hive hive);

    // Keys are reached from a key by names one level each; from_path is the folded full path of
    // the starting key, which the change log records.
    HRESULT FindKey(KeyId from, std::span<const std::string_view> names, KeyId& id);
    HRESULT CreateKey(KeyId from, std::string_view from_path,
                      std::span<const std::string_view> names, KeyId& id);
    // Deletes the key at names below from: with tree, its whole subtree; without, only a key
    // without subkeys (E_ACCESSDENIED otherwise, as on Windows).
    HRESULT DeleteKey(KeyId from, std::string_view from_path,
                      std::span<const std::string_view> names, bool tree);

    HRESULT EnumKeys(KeyId id, std::vector<std::string>& names);
    HRESULT EnumValues(KeyId id, std::vector<RegValueInfo>& values);
    HRESULT QueryValue(KeyId id, std::string_view name, DWORD& type,
                       std::vector<std::uint8_t>& data);
    HRESULT SetValue(KeyId id, std::string_view key_path, std::string_view name, DWORD type,
                     std::span<const std::uint8_t> data);
    HRESULT DeleteValue(KeyId id, std::string_view key_path, std::string_view name);
    HRESULT LastWriteTime(KeyId id, std::chrono::system_clock::time_point& time);

    // The newest change log sequence number (0 before the first change).
    HRESULT ChangeSequence(std::int64_t& sequence);
    // The changes after a sequence number, and the oldest number still kept (0 when there are
    // no changes after it).
    HRESULT ReadChanges(std::int64_t after, std::vector<Change>& changes, std::int64_t& oldest);

    // A transaction over many operations; the caller holds mutex() from Begin to the end.
    HRESULT Begin();
    HRESULT Commit();
    void Rollback();

private:
    class Query;

    HiveFile(std::string path, sqlite3* db);
    HRESULT Initialise(std::span<const Hive> roots, bool create);
    HRESULT UserVersion(std::int64_t& version);
    HRESULT Exec(const char* sql);
    HRESULT Prepare(const char* sql, Query& query);
    static constexpr bool kStatements = true;
    template <class Body> HRESULT Read(Body&& body, bool statements = false);
    template <class Body> HRESULT Write(Body&& body);
    HRESULT KeyExists(KeyId id);
    HRESULT Touch(KeyId id);
    HRESULT LogChange(std::string_view path, bool subtree);
    HRESULT FindChild(KeyId parent, std::string_view name, KeyId& id);

    const std::string path_;
    sqlite3* const db_;
    bool read_only_ = false;
    bool in_transaction_ = false;
    std::recursive_mutex mutex_;
    std::map<const char*, sqlite3_stmt*> statements_;
};

} // namespace velk
