#include "platform/hive_file.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <new>

#include "platform/folder.h"

namespace velk {

namespace {

constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    last_write INTEGER NOT NULL,
    UNIQUE(parent, folded));
CREATE TABLE vals(
    key INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(key, folded)) WITHOUT ROWID;
CREATE TABLE changes(
    seq INTEGER PRIMARY KEY,
    path TEXT NOT NULL,
    subtree INTEGER NOT NULL);
)sql";

struct Root {
    Hive hive;
    HiveFile::KeyId id;
    const char* name;
};

// Key ids of the roots: fixed, so that a root needs no lookup.
constexpr Root kRoots[] = {
    {Hive::LocalMachine, 1, "HKEY_LOCAL_MACHINE"},
    {Hive::ClassesRoot, 2, "HKEY_CLASSES_ROOT"},
    {Hive::CurrentUser, 3, "HKEY_CURRENT_USER"},
};

HRESULT SqliteResult(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return S_OK;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
        return E_ACCESSDENIED;
    case SQLITE_NOMEM:
        return E_OUTOFMEMORY;
    case SQLITE_TOOBIG:
        return E_INVALIDARG;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    default:
        return E_FAIL;
    }
}

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

// A cached statement in use: bound, stepped, and reset when the scope ends so that it holds no
// lock on the file afterwards.
class HiveFile::Query {
public:
    Query() = default;
    ~Query()
    {
        if (statement_ == nullptr)
            return;
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void Attach(sqlite3_stmt* statement) { statement_ = statement; }

    Query& Bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(statement_, index, value);
        return *this;
    }
    Query& Bind(int index, std::string_view text)
    {
        sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
        return *this;
    }
    Query& Bind(int index, std::span<const std::uint8_t> bytes)
    {
        // A zero-length blob must still be a blob, not NULL.
        static const std::uint8_t kEmpty = 0;
        sqlite3_bind_blob64(statement_, index, bytes.empty() ? &kEmpty : bytes.data(), bytes.size(),
                            SQLITE_TRANSIENT);
        return *this;
    }

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return sqlite3_step(statement_); }

    std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string Text(int column) const
    {
        const auto* text = sqlite3_column_text(statement_, column);
        const auto size = sqlite3_column_bytes(statement_, column);
        return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
    }
    std::vector<std::uint8_t> Blob(int column) const
    {
        const auto* bytes =
            static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
        const auto size = sqlite3_column_bytes(statement_, column);
        return bytes ? std::vector<std::uint8_t>(bytes, bytes + size) : std::vector<std::uint8_t>();
    }

private:
    sqlite3_stmt* statement_ = nullptr;
};

HiveFile::HiveFile(std::string path, sqlite3* db) : path_(std::move(path)), db_(db) {}

HiveFile::~HiveFile()
{
    for (auto& [sql, statement] : statements_)
        sqlite3_finalize(statement);
    sqlite3_close(db_);
}

// Runs body as one atomic change: its own IMMEDIATE transaction (so that the write lock is taken
// up front and two writers never deadlock upgrading), or a savepoint inside a running one.
template <class Body> HRESULT HiveFile::Write(Body&& body)
{
    std::lock_guard lock(mutex_);
    if (read_only_)
        return E_ACCESSDENIED;
    const bool nested = in_transaction_;
    // SQLite ends a transaction by itself after some errors; what follows must not be committed
    // on its own.
    if (nested && sqlite3_get_autocommit(db_))
        return E_ABORT;
    HRESULT hr = Exec(nested ? "SAVEPOINT change" : "BEGIN IMMEDIATE");
    if (FAILED(hr))
        return hr;
    try {
        hr = body();
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr))
        hr = Exec(nested ? "RELEASE change" : "COMMIT");
    if (FAILED(hr) && !sqlite3_get_autocommit(db_))
        Exec(nested ? "ROLLBACK TO change; RELEASE change" : "ROLLBACK");
    return hr;
}

HRESULT HiveFile::Open(const std::string& path, std::span<const Hive> roots, bool create,
                       bool private_folder, std::shared_ptr<HiveFile>& file)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        if (!create)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        const HRESULT hr = CreateFolder(std::filesystem::path(path).parent_path(), private_folder);
        if (FAILED(hr))
            return hr;
    }

    // Opened for writing where the file allows it; SQLite falls back to reading by itself when
    // the process may not write the file.
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        return SqliteResult(rc);
    }
    std::shared_ptr<HiveFile> opened;
    try {
        opened.reset(new HiveFile(path, db));
    } catch (const std::bad_alloc&) {
        sqlite3_close(db);
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = opened->Initialise(roots, create);
    if (FAILED(hr))
        return hr;
    file = std::move(opened);
    return S_OK;
}

HRESULT HiveFile::UserVersion(std::int64_t& version)
{
    Query query;
    const HRESULT hr = Prepare("PRAGMA user_version", query);
    if (FAILED(hr))
        return hr;
    const int rc = query.Step();
    if (rc != SQLITE_ROW)
        return SqliteResult(rc);
    version = query.Int(0);
    return S_OK;
}

HRESULT HiveFile::Initialise(std::span<const Hive> roots, bool create)
{
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    read_only_ = sqlite3_db_readonly(db_, "main") == 1;

    std::int64_t version = 0;
    HRESULT hr = UserVersion(version);
    if (FAILED(hr))
        return hr;
    if (version > kSchemaVersion)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    if (version == kSchemaVersion)
        return S_OK;
    // An empty file: a hive only once it is written.
    if (!create)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (read_only_)
        return E_ACCESSDENIED;

    // Set outside a transaction: the mode is recorded in the file itself.
    hr = Exec("PRAGMA journal_mode=DELETE");
    if (FAILED(hr))
        return hr;
    return Write([&]() -> HRESULT {
        // Another process may have created the hive meanwhile.
        HRESULT inner = UserVersion(version);
        if (FAILED(inner) || version == kSchemaVersion)
            return inner;
        inner = Exec(kSchema);
        if (FAILED(inner))
            return inner;
        for (const auto hive : roots) {
            const Root& root = kRoots[static_cast<int>(hive)];
            Query insert;
            inner = Prepare("INSERT INTO keys(id, parent, name, folded, last_write) "
                            "VALUES(?, 0, ?, ?, ?)",
                            insert);
            if (FAILED(inner))
                return inner;
            insert.Bind(1, root.id)
                .Bind(2, std::string_view(root.name))
                .Bind(3, FoldCase(HiveName(hive)))
                .Bind(4, NowNs());
            inner = SqliteResult(insert.Step());
            if (FAILED(inner))
                return inner;
        }
        return Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    });
}

HiveFile::KeyId HiveFile::RootId(Hive hive)
{
    return kRoots[static_cast<int>(hive)].id;
}

HRESULT HiveFile::Exec(const char* sql)
{
    return SqliteResult(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

HRESULT HiveFile::Prepare(const char* sql, Query& query)
{
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        sqlite3_stmt* statement = nullptr;
        const int rc =
            sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
        if (rc != SQLITE_OK)
            return SqliteResult(rc);
        found = statements_.emplace(sql, statement).first;
    }
    query.Attach(found->second);
    return S_OK;
}

// Runs body under the lock. With several statements, in one read transaction (inside a running
// transaction, in that one): they see one state of the file, and the file is locked and checked
// once, not once per statement.
template <class Body> HRESULT HiveFile::Read(Body&& body, bool statements)
{
    std::lock_guard lock(mutex_);
    const bool own = statements && !in_transaction_;
    if (own) {
        Query begin;
        HRESULT hr = Prepare("BEGIN", begin);
        if (SUCCEEDED(hr))
            hr = SqliteResult(begin.Step());
        if (FAILED(hr))
            return hr;
    }
    HRESULT hr;
    try {
        hr = body();
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (own && !sqlite3_get_autocommit(db_)) {
        Query commit;
        if (FAILED(Prepare("COMMIT", commit)) || FAILED(SqliteResult(commit.Step())))
            Exec("ROLLBACK");
    }
    return hr;
}

HRESULT HiveFile::Begin()
{
    if (read_only_)
        return E_ACCESSDENIED;
    if (in_transaction_)
        return E_UNEXPECTED;
    const HRESULT hr = Exec("BEGIN IMMEDIATE");
    if (SUCCEEDED(hr))
        in_transaction_ = true;
    return hr;
}

HRESULT HiveFile::Commit()
{
    in_transaction_ = false;
    if (sqlite3_get_autocommit(db_))
        return E_ABORT;
    const HRESULT hr = Exec("COMMIT");
    if (FAILED(hr) && !sqlite3_get_autocommit(db_))
        Exec("ROLLBACK");
    return hr;
}

void HiveFile::Rollback()
{
    in_transaction_ = false;
    if (!sqlite3_get_autocommit(db_))
        Exec("ROLLBACK");
}

HRESULT HiveFile::FindChild(KeyId parent, std::string_view name, KeyId& id)
{
    Query query;
    HRESULT hr = Prepare("SELECT id FROM keys WHERE parent = ? AND folded = ?", query);
    if (FAILED(hr))
        return hr;
    query.Bind(1, parent).Bind(2, FoldCase(name));
    const int rc = query.Step();
    if (rc == SQLITE_DONE)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (rc != SQLITE_ROW)
        return SqliteResult(rc);
    id = query.Int(0);
    return S_OK;
}

HRESULT HiveFile::KeyExists(KeyId id)
{
    Query query;
    HRESULT hr = Prepare("SELECT 1 FROM keys WHERE id = ?", query);
    if (FAILED(hr))
        return hr;
    query.Bind(1, id);
    const int rc = query.Step();
    if (rc == SQLITE_DONE)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return SqliteResult(rc);
}

HRESULT HiveFile::Touch(KeyId id)
{
    Query query;
    HRESULT hr = Prepare("UPDATE keys SET last_write = ? WHERE id = ?", query);
    if (FAILED(hr))
        return hr;
    query.Bind(1, NowNs()).Bind(2, id);
    hr = SqliteResult(query.Step());
    if (FAILED(hr))
        return hr;
    return sqlite3_changes(db_) == 0 ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : S_OK;
}

HRESULT HiveFile::LogChange(std::string_view path, bool subtree)
{
    Query insert;
    HRESULT hr = Prepare("INSERT INTO changes(path, subtree) VALUES(?, ?)", insert);
    if (FAILED(hr))
        return hr;
    insert.Bind(1, path).Bind(2, subtree ? 1 : 0);
    hr = SqliteResult(insert.Step());
    if (FAILED(hr))
        return hr;
    // The log only has to reach back as far as the slowest watcher; bound it.
    Query prune;
    hr = Prepare("DELETE FROM changes WHERE seq <= ?", prune);
    if (FAILED(hr))
        return hr;
    prune.Bind(1, sqlite3_last_insert_rowid(db_) - kChangeLogKeep);
    return SqliteResult(prune.Step());
}

HRESULT HiveFile::FindKey(KeyId from, std::span<const std::string_view> names, KeyId& id)
{
    return Read(
        [&]() -> HRESULT {
            KeyId current = from;
            for (const auto name : names) {
                const HRESULT hr = FindChild(current, name, current);
                if (FAILED(hr))
                    return hr;
            }
            if (names.empty()) {
                const HRESULT hr = KeyExists(from);
                if (FAILED(hr))
                    return hr;
            }
            id = current;
            return S_OK;
        },
        kStatements);
}

HRESULT HiveFile::CreateKey(KeyId from, std::string_view from_path,
                            std::span<const std::string_view> names, KeyId& id)
{
    KeyId current = from;
    const HRESULT hr = Write([&]() -> HRESULT {
        HRESULT inner = KeyExists(from);
        if (FAILED(inner))
            return inner;
        std::string path(from_path);
        bool created = false;
        for (const auto name : names) {
            KeyId child = 0;
            inner = FindChild(current, name, child);
            if (inner == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
                // Only the first new key changes an existing key's subkey list; the keys below
                // it are new and nobody can be watching them yet.
                if (!created) {
                    inner = Touch(current);
                    if (SUCCEEDED(inner))
                        inner = LogChange(path, false);
                    if (FAILED(inner))
                        return inner;
                    created = true;
                }
                Query insert;
                inner = Prepare("INSERT INTO keys(parent, name, folded, last_write) "
                                "VALUES(?, ?, ?, ?)",
                                insert);
                if (FAILED(inner))
                    return inner;
                insert.Bind(1, current).Bind(2, name).Bind(3, FoldCase(name)).Bind(4, NowNs());
                inner = SqliteResult(insert.Step());
                if (FAILED(inner))
                    return inner;
                child = sqlite3_last_insert_rowid(db_);
            } else if (FAILED(inner)) {
                return inner;
            }
            current = child;
            path += '\\';
            path += FoldCase(name);
        }
        return S_OK;
    });
    if (SUCCEEDED(hr))
        id = current;
    return hr;
}

HRESULT HiveFile::DeleteKey(KeyId from, std::string_view from_path,
                            std::span<const std::string_view> names, bool tree)
{
    // A root is never deleted.
    if (names.empty())
        return E_INVALIDARG;
    return Write([&]() -> HRESULT {
        KeyId parent = from;
        std::string parent_path(from_path);
        for (const auto name : names.first(names.size() - 1)) {
            const HRESULT inner = FindChild(parent, name, parent);
            if (FAILED(inner))
                return inner;
            parent_path += '\\';
            parent_path += FoldCase(name);
        }
        KeyId key = 0;
        HRESULT inner = FindChild(parent, names.back(), key);
        if (FAILED(inner))
            return inner;

        if (!tree) {
            Query children;
            inner = Prepare("SELECT 1 FROM keys WHERE parent = ? LIMIT 1", children);
            if (FAILED(inner))
                return inner;
            children.Bind(1, key);
            const int rc = children.Step();
            if (rc == SQLITE_ROW)
                return E_ACCESSDENIED;
            if (rc != SQLITE_DONE)
                return SqliteResult(rc);
        }
        static constexpr const char* kDeleteValues =
            "WITH RECURSIVE tree(id) AS (SELECT ? UNION ALL "
            "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
            "DELETE FROM vals WHERE key IN (SELECT id FROM tree)";
        static constexpr const char* kDeleteKeys =
            "WITH RECURSIVE tree(id) AS (SELECT ? UNION ALL "
            "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
            "DELETE FROM keys WHERE id IN (SELECT id FROM tree)";
        for (const char* sql : {kDeleteValues, kDeleteKeys}) {
            Query remove;
            inner = Prepare(sql, remove);
            if (FAILED(inner))
                return inner;
            remove.Bind(1, key);
            inner = SqliteResult(remove.Step());
            if (FAILED(inner))
                return inner;
        }
        inner = Touch(parent);
        if (SUCCEEDED(inner))
            inner = LogChange(parent_path, false);
        if (SUCCEEDED(inner))
            inner = LogChange(parent_path + '\\' + FoldCase(names.back()), true);
        return inner;
    });
}

HRESULT HiveFile::EnumKeys(KeyId id, std::vector<std::string>& names)
{
    return Read(
        [&]() -> HRESULT {
            HRESULT hr = KeyExists(id);
            if (FAILED(hr))
                return hr;
            Query query;
            hr = Prepare("SELECT name FROM keys WHERE parent = ? ORDER BY folded", query);
            if (FAILED(hr))
                return hr;
            query.Bind(1, id);
            std::vector<std::string> found;
            int rc;
            while ((rc = query.Step()) == SQLITE_ROW)
                found.push_back(query.Text(0));
            if (rc != SQLITE_DONE)
                return SqliteResult(rc);
            names = std::move(found);
            return S_OK;
        },
        kStatements);
}

HRESULT HiveFile::EnumValues(KeyId id, std::vector<RegValueInfo>& values)
{
    return Read(
        [&]() -> HRESULT {
            HRESULT hr = KeyExists(id);
            if (FAILED(hr))
                return hr;
            Query query;
            hr = Prepare("SELECT name, type FROM vals WHERE key = ? ORDER BY folded", query);
            if (FAILED(hr))
                return hr;
            query.Bind(1, id);
            std::vector<RegValueInfo> found;
            int rc;
            while ((rc = query.Step()) == SQLITE_ROW)
                found.push_back({query.Text(0), static_cast<DWORD>(query.Int(1))});
            if (rc != SQLITE_DONE)
                return SqliteResult(rc);
            values = std::move(found);
            return S_OK;
        },
        kStatements);
}

HRESULT HiveFile::QueryValue(KeyId id, std::string_view name, DWORD& type,
                             std::vector<std::uint8_t>& data)
{
    return Read([&]() -> HRESULT {
        Query query;
        const HRESULT hr =
            Prepare("SELECT type, data FROM vals WHERE key = ? AND folded = ?", query);
        if (FAILED(hr))
            return hr;
        query.Bind(1, id).Bind(2, FoldCase(name));
        const int rc = query.Step();
        if (rc == SQLITE_DONE)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        if (rc != SQLITE_ROW)
            return SqliteResult(rc);
        type = static_cast<DWORD>(query.Int(0));
        data = query.Blob(1);
        return S_OK;
    });
}

HRESULT HiveFile::SetValue(KeyId id, std::string_view key_path, std::string_view name, DWORD type,
                           std::span<const std::uint8_t> data)
{
    return Write([&]() -> HRESULT {
        HRESULT inner = Touch(id);
        if (FAILED(inner))
            return inner;
        // An existing value keeps the spelling of its name.
        Query upsert;
        inner = Prepare("INSERT INTO vals(key, name, folded, type, data) VALUES(?, ?, ?, ?, ?) "
                        "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, "
                        "data = excluded.data",
                        upsert);
        if (FAILED(inner))
            return inner;
        upsert.Bind(1, id).Bind(2, name).Bind(3, FoldCase(name)).Bind(4, std::int64_t{type});
        upsert.Bind(5, data);
        inner = SqliteResult(upsert.Step());
        if (FAILED(inner))
            return inner;
        return LogChange(key_path, false);
    });
}

HRESULT HiveFile::DeleteValue(KeyId id, std::string_view key_path, std::string_view name)
{
    return Write([&]() -> HRESULT {
        Query remove;
        HRESULT inner = Prepare("DELETE FROM vals WHERE key = ? AND folded = ?", remove);
        if (FAILED(inner))
            return inner;
        remove.Bind(1, id).Bind(2, FoldCase(name));
        inner = SqliteResult(remove.Step());
        if (FAILED(inner))
            return inner;
        if (sqlite3_changes(db_) == 0)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        inner = Touch(id);
        if (FAILED(inner))
            return inner;
        return LogChange(key_path, false);
    });
}

HRESULT HiveFile::LastWriteTime(KeyId id, std::chrono::system_clock::time_point& time)
{
    return Read([&]() -> HRESULT {
        Query query;
        const HRESULT hr = Prepare("SELECT last_write FROM keys WHERE id = ?", query);
        if (FAILED(hr))
            return hr;
        query.Bind(1, id);
        const int rc = query.Step();
        if (rc == SQLITE_DONE)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        if (rc != SQLITE_ROW)
            return SqliteResult(rc);
        time = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::nanoseconds(query.Int(0))));
        return S_OK;
    });
}

HRESULT HiveFile::ChangeSequence(std::int64_t& sequence)
{
    return Read([&]() -> HRESULT {
        Query query;
        const HRESULT hr = Prepare("SELECT coalesce(max(seq), 0) FROM changes", query);
        if (FAILED(hr))
            return hr;
        const int rc = query.Step();
        if (rc != SQLITE_ROW)
            return SqliteResult(rc);
        sequence = query.Int(0);
        return S_OK;
    });
}

HRESULT HiveFile::ReadChanges(std::int64_t after, std::vector<Change>& changes,
                              std::int64_t& oldest)
{
    return Read([&]() -> HRESULT {
        // One statement, so that the oldest entry and the list come from the same state of the log.
        Query query;
        const HRESULT hr = Prepare("SELECT seq, path, subtree, (SELECT min(seq) FROM changes) "
                                   "FROM changes WHERE seq > ? ORDER BY seq",
                                   query);
        if (FAILED(hr))
            return hr;
        query.Bind(1, after);
        changes.clear();
        oldest = 0;
        int rc;
        while ((rc = query.Step()) == SQLITE_ROW) {
            changes.push_back({query.Int(0), query.Text(1), query.Int(2) != 0});
            oldest = query.Int(3);
        }
        return rc == SQLITE_DONE ? S_OK : SqliteResult(rc);
    });
}

} // namespace velk
