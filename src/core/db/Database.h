#pragma once
// The table/SQL engine: one SQLCipher file keyed with the master password.
//
// Everything above this layer goes through these classes and never calls sqlite3
// itself: TDatabase (one connection), TStatement (one prepared statement with named
// parameters ":Name", typed binds and typed getters, finalised by its destructor),
// TTransaction (commits only when told to, rolls back otherwise) and TTable (what
// the program asks of a table as a whole: exists, fields, key, rename, drop).
//
// Engine failures are thrown as TDatabaseError with a Russian text for the user and
// the engine's own message for the log.

#include "db/DbDateTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The key of the database file.
inline constexpr const char* kMasterPassword = "KVLantern";
// File name of the database inside DatabaseFolder.
inline constexpr const char* kDatabaseFileName = "Olmar.db";
// Longest value a binary column takes.
inline constexpr std::size_t kMaxBlobSize = 100;

// Path of the database file in `folder` (a folder without trailing separator).
std::string DatabaseFilePath(const std::string& folder);

class TDatabaseError : public std::runtime_error {
public:
    // `text` is what the user sees; `code` the engine's result code (0 when the
    // error is ours, e.g. a misused statement).
    TDatabaseError(const std::string& text, int code = 0) : std::runtime_error(text), code_(code) {}
    int Code() const { return code_; }
    // The file is locked by another writer for longer than the busy time-out.
    bool IsBusy() const;
    // A key or other constraint refused the row.
    bool IsConstraint() const;

private:
    int code_;
};

using TBlob = std::vector<std::uint8_t>;
// One value of a result column: NULL, integer, real, text or binary.
using TDbValue = std::variant<std::monostate, std::int64_t, double, std::string, TBlob>;

class TDatabase;

class TStatement {
public:
    TStatement(TStatement&& other) noexcept;
    TStatement& operator=(TStatement&& other) noexcept;
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;
    ~TStatement();

    // Named parameters. `name` includes the colon (":CounterID"). A name the
    // statement does not have throws: a typo must not silently bind nothing.
    TStatement& BindInt(std::string_view name, std::int64_t value);
    TStatement& BindFloat(std::string_view name, double value);
    TStatement& BindText(std::string_view name, std::string_view value);
    // At most kMaxBlobSize bytes; longer throws.
    TStatement& BindBlob(std::string_view name, std::span<const std::uint8_t> value);
    TStatement& BindNull(std::string_view name);
    TStatement& BindOptionalInt(std::string_view name, const std::optional<std::int64_t>& value);
    // DATE 'YYYY-MM-DD' (time of day dropped), TIME 'HH:MM:SS', 'YYYY-MM-DD HH:MM:SS'.
    TStatement& BindDate(std::string_view name, TDateTime value);
    TStatement& BindTime(std::string_view name, TDateTime value);
    TStatement& BindDateTime(std::string_view name, TDateTime value);

    // Runs to the next row: true when a row is there. Every parameter must have
    // been bound (an unbound one throws instead of reading as NULL).
    bool Step();
    // Runs a statement that returns no rows (or skips its rows); the number of
    // rows it inserted, changed or deleted.
    int Execute();
    // Back to the start, bindings kept, to run again with other values.
    void Reset();

    int ColumnCount() const;
    std::string ColumnName(int column) const;
    // Index of a result column by name (case-insensitive, like the engine); throws
    // when the result has no such column.
    int Column(std::string_view name) const;

    // Getters of the current row. NULL reads as 0 / empty, as the program's readers
    // expect; IsNull tells it apart.
    bool IsNull(int column) const;
    std::int64_t Int64(int column) const;
    std::int32_t Int(int column) const;
    double Float(int column) const;
    std::string Text(int column) const;
    TBlob Blob(int column) const;
    // Date and time columns; 0 for NULL or text that is not a date.
    TDateTime Date(int column) const;
    TDateTime Time(int column) const;
    TDbValue Value(int column) const;

    bool IsNull(std::string_view name) const { return IsNull(Column(name)); }
    std::int64_t Int64(std::string_view name) const { return Int64(Column(name)); }
    std::int32_t Int(std::string_view name) const { return Int(Column(name)); }
    double Float(std::string_view name) const { return Float(Column(name)); }
    std::string Text(std::string_view name) const { return Text(Column(name)); }
    TBlob Blob(std::string_view name) const { return Blob(Column(name)); }
    TDateTime Date(std::string_view name) const { return Date(Column(name)); }
    TDateTime Time(std::string_view name) const { return Time(Column(name)); }

    // The statement text as prepared.
    std::string Sql() const;

private:
    friend class TDatabase;
    TStatement(TDatabase& db, sqlite3_stmt* stmt);
    int Index(std::string_view name);
    void Check(int rc, int index);
    void CheckRow(int column) const;

    TDatabase* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    std::vector<bool> bound_;
    bool row_ = false;
};

class TDatabase {
public:
    // Opens (creating when missing) the file at `path`, keyed with `key`, in WAL
    // mode with a busy time-out. A file the key does not open, or that is not a
    // database, throws TDatabaseError and is left untouched.
    explicit TDatabase(const std::string& path, const std::string& key = kMasterPassword);
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    const std::string& Path() const { return path_; }

    // One statement; `sql` may hold only one (a second one throws).
    TStatement Prepare(std::string_view sql);
    // Runs statements without parameters (several, separated by ';', are allowed).
    void Execute(std::string_view sql);
    // Statements one after the other, as typed by the administrator: `onStatement`
    // gets each prepared statement in turn.
    template <typename F>
    void ForEachStatement(std::string_view sql, F&& onStatement);

    bool InTransaction() const;
    // Rows changed by the last statement and in total on this connection.
    int Changes() const;
    long long TotalChanges() const;

    // Catalogue look-ups.
    bool TableExists(std::string_view table);
    std::vector<std::string> TableNames();

    // Milliseconds a statement waits for another connection's write lock.
    static constexpr int kBusyTimeoutMs = 10000;

    // The engine's text of the last error (for logs and reports).
    std::string LastEngineMessage() const;
    // Throws TDatabaseError for result code `rc` with the engine's message.
    [[noreturn]] void Throw(int rc, std::string_view context = {}) const;

private:
    friend class TStatement;
    // Prepares the first statement of `sql`; `tail` gets the rest.
    sqlite3_stmt* PrepareOne(std::string_view sql, std::string_view& tail);
    sqlite3* db_ = nullptr;
    std::string path_;
};

// Commits only through Commit(); otherwise its destructor rolls back. Inside
// another transaction it becomes a savepoint, so guards nest.
class TTransaction {
public:
    enum class Mode { Deferred, Immediate, Exclusive };
    explicit TTransaction(TDatabase& db, Mode mode = Mode::Immediate);
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;

    void Commit();
    void Rollback();

private:
    TDatabase& db_;
    std::string savepoint_;  // empty for a top-level transaction
    bool open_ = true;
};

// A table named by the program (never by a user): exists test, fields, key, rename,
// drop. The name must be a plain identifier (letters, digits, '_').
class TTable {
public:
    TTable(TDatabase& db, std::string name);

    const std::string& Name() const { return name_; }
    // The name quoted for SQL text.
    std::string Quoted() const;

    bool Exists();
    long long RecordCount();
    // Field names in declaration order; empty when the table does not exist.
    std::vector<std::string> FieldNames();
    bool HasField(std::string_view field);
    // Number of fields of the primary key (0 without one).
    int IndexFieldCount();
    void Drop();
    void RenameTo(const std::string& newName);

private:
    TDatabase& db_;
    std::string name_;
};

// True for a plain identifier that needs no quoting games.
bool IsPlainIdentifier(std::string_view name);
// The identifier in double quotes; throws when it is not plain.
std::string QuoteIdentifier(std::string_view name);

template <typename F>
void TDatabase::ForEachStatement(std::string_view sql, F&& onStatement) {
    while (!sql.empty()) {
        std::string_view tail;
        sqlite3_stmt* stmt = PrepareOne(sql, tail);
        if (stmt) {
            TStatement st(*this, stmt);
            onStatement(st);
        }
        if (tail.size() >= sql.size()) break;  // only blanks or comments were left
        sql = tail;
    }
}
