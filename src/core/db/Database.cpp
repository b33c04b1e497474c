#include "db/Database.h"

// The key functions of SQLCipher are declared only with the codec switch on.
#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>

namespace {
std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

std::string CodeText(int rc) {
    const char* s = sqlite3_errstr(rc);
    return s ? s : "unknown error";
}

std::string Trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}
}  // namespace

std::string DatabaseFilePath(const std::string& folder) {
    if (folder.empty()) return kDatabaseFileName;
    if (folder.back() == '/') return folder + kDatabaseFileName;
    return folder + "/" + kDatabaseFileName;
}

bool TDatabaseError::IsBusy() const {
    const int primary = code_ & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool TDatabaseError::IsConstraint() const { return (code_ & 0xff) == SQLITE_CONSTRAINT; }

bool IsPlainIdentifier(std::string_view name) {
    if (name.empty() || name.size() > 128) return false;
    if (!(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

std::string QuoteIdentifier(std::string_view name) {
    if (!IsPlainIdentifier(name)) throw TDatabaseError("Недопустимое имя таблицы или поля: " + std::string(name));
    return "\"" + std::string(name) + "\"";
}

// ---------------------------------------------------------------- TDatabase

TDatabase::TDatabase(const std::string& path, const std::string& key) : path_(path) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string msg = db_ ? sqlite3_errmsg(db_) : CodeText(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw TDatabaseError("Не удалось открыть файл базы данных «" + path + "»: " + msg, rc);
    }
    sqlite3_extended_result_codes(db_, 1);
    rc = sqlite3_key(db_, key.data(), static_cast<int>(key.size()));
    if (rc != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw TDatabaseError("Не удалось задать ключ базы данных «" + path + "»: " + CodeText(rc), rc);
    }
    // The first read proves the key: a foreign key, a plain SQLite file or any other
    // file fails here, before anything is written, so the file stays as it is.
    rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw TDatabaseError("Файл «" + path +
                                 "» не открывается: это не база данных программы или она зашифрована другим ключом. "
                                 "Файл оставлен без изменений.",
                             rc);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    try {
        // WAL lets the value writer commit while the windows read; FULL makes every
        // commit durable, also against a power cut.
        Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

TDatabase::~TDatabase() {
    if (db_) sqlite3_close_v2(db_);
}

std::string TDatabase::LastEngineMessage() const { return db_ ? sqlite3_errmsg(db_) : std::string(); }

void TDatabase::Throw(int rc, std::string_view context) const {
    std::string text = "Ошибка базы данных: " + LastEngineMessage();
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        text = "База данных занята другой операцией: " + LastEngineMessage();
    if (!context.empty()) text += " (" + std::string(context) + ")";
    throw TDatabaseError(text, rc);
}

sqlite3_stmt* TDatabase::PrepareOne(std::string_view sql, std::string_view& tail) {
    sqlite3_stmt* stmt = nullptr;
    const char* end = nullptr;
    const int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, &end);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        Throw(rc, Trimmed(sql.substr(0, std::min<size_t>(sql.size(), 200))));
    }
    tail = end ? sql.substr(static_cast<size_t>(end - sql.data())) : std::string_view{};
    return stmt;
}

TStatement TDatabase::Prepare(std::string_view sql) {
    std::string_view tail;
    sqlite3_stmt* stmt = PrepareOne(sql, tail);
    if (!stmt) throw TDatabaseError("Пустой запрос к базе данных");
    TStatement st(*this, stmt);
    // A second statement after the first would be silently ignored by the engine.
    std::string_view rest = tail;
    while (!rest.empty()) {
        std::string_view more;
        sqlite3_stmt* next = PrepareOne(rest, more);
        if (next) {
            sqlite3_finalize(next);
            throw TDatabaseError("Запрос содержит больше одного оператора: " + Trimmed(sql));
        }
        rest = more;
        if (more.empty()) break;
    }
    return st;
}

void TDatabase::Execute(std::string_view sql) {
    ForEachStatement(sql, [](TStatement& st) { st.Execute(); });
}

bool TDatabase::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

int TDatabase::Changes() const { return sqlite3_changes(db_); }

long long TDatabase::TotalChanges() const { return sqlite3_total_changes(db_); }

bool TDatabase::TableExists(std::string_view table) {
    TStatement st = Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND lower(name) = lower(:Name)");
    st.BindText(":Name", table);
    return st.Step();
}

std::vector<std::string> TDatabase::TableNames() {
    std::vector<std::string> names;
    TStatement st = Prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name");
    while (st.Step()) names.push_back(st.Text(0));
    return names;
}

// ---------------------------------------------------------------- TStatement

TStatement::TStatement(TDatabase& db, sqlite3_stmt* stmt) : db_(&db), stmt_(stmt) {
    bound_.assign(static_cast<size_t>(sqlite3_bind_parameter_count(stmt)), false);
}

TStatement::TStatement(TStatement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_), bound_(std::move(other.bound_)), row_(other.row_) {
    other.stmt_ = nullptr;
    other.row_ = false;
}

TStatement& TStatement::operator=(TStatement&& other) noexcept {
    if (this != &other) {
        if (stmt_) sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = other.stmt_;
        bound_ = std::move(other.bound_);
        row_ = other.row_;
        other.stmt_ = nullptr;
        other.row_ = false;
    }
    return *this;
}

TStatement::~TStatement() {
    if (stmt_) sqlite3_finalize(stmt_);
}

std::string TStatement::Sql() const {
    const char* s = stmt_ ? sqlite3_sql(stmt_) : nullptr;
    return s ? s : "";
}

int TStatement::Index(std::string_view name) {
    if (!stmt_) throw TDatabaseError("Запрос не подготовлен");
    const std::string n(name);
    const int index = sqlite3_bind_parameter_index(stmt_, n.c_str());
    if (index == 0) throw TDatabaseError("В запросе нет параметра " + n + ": " + Sql());
    // Binding while the statement sits on a row would fail; start it over.
    if (row_ || sqlite3_stmt_busy(stmt_)) {
        sqlite3_reset(stmt_);
        row_ = false;
    }
    return index;
}

void TStatement::Check(int rc, int index) {
    if (rc != SQLITE_OK) db_->Throw(rc, Sql());
    bound_[static_cast<size_t>(index - 1)] = true;
}

TStatement& TStatement::BindInt(std::string_view name, std::int64_t value) {
    const int i = Index(name);
    Check(sqlite3_bind_int64(stmt_, i, value), i);
    return *this;
}

TStatement& TStatement::BindFloat(std::string_view name, double value) {
    const int i = Index(name);
    Check(sqlite3_bind_double(stmt_, i, value), i);
    return *this;
}

TStatement& TStatement::BindText(std::string_view name, std::string_view value) {
    const int i = Index(name);
    Check(sqlite3_bind_text64(stmt_, i, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8), i);
    return *this;
}

TStatement& TStatement::BindBlob(std::string_view name, std::span<const std::uint8_t> value) {
    if (value.size() > kMaxBlobSize)
        throw TDatabaseError("Двоичное значение длиннее " + std::to_string(kMaxBlobSize) + " байт");
    const int i = Index(name);
    // A zero-length blob must stay a blob, not become NULL.
    static const std::uint8_t empty = 0;
    const void* data = value.empty() ? &empty : value.data();
    Check(sqlite3_bind_blob64(stmt_, i, data, value.size(), SQLITE_TRANSIENT), i);
    return *this;
}

TStatement& TStatement::BindNull(std::string_view name) {
    const int i = Index(name);
    Check(sqlite3_bind_null(stmt_, i), i);
    return *this;
}

TStatement& TStatement::BindOptionalInt(std::string_view name, const std::optional<std::int64_t>& value) {
    return value ? BindInt(name, *value) : BindNull(name);
}

TStatement& TStatement::BindDate(std::string_view name, TDateTime value) { return BindText(name, SqlDateText(value)); }
TStatement& TStatement::BindTime(std::string_view name, TDateTime value) { return BindText(name, SqlTimeText(value)); }
TStatement& TStatement::BindDateTime(std::string_view name, TDateTime value) {
    return BindText(name, SqlDateTimeText(value));
}

bool TStatement::Step() {
    if (!stmt_) throw TDatabaseError("Запрос не подготовлен");
    if (!sqlite3_stmt_busy(stmt_)) {
        for (size_t i = 0; i < bound_.size(); ++i)
            if (!bound_[i]) {
                const char* n = sqlite3_bind_parameter_name(stmt_, static_cast<int>(i + 1));
                throw TDatabaseError(std::string("Не задан параметр запроса ") + (n ? n : "?") + ": " + Sql());
            }
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        row_ = true;
        return true;
    }
    row_ = false;
    if (rc == SQLITE_DONE) return false;
    // Reset so the statement can run again; the error code is the step's.
    sqlite3_reset(stmt_);
    db_->Throw(rc, Sql());
}

int TStatement::Execute() {
    while (Step()) {
    }
    const int changes = sqlite3_changes(db_->db_);
    sqlite3_reset(stmt_);
    return changes;
}

void TStatement::Reset() {
    if (stmt_) sqlite3_reset(stmt_);
    row_ = false;
}

int TStatement::ColumnCount() const { return stmt_ ? sqlite3_column_count(stmt_) : 0; }

std::string TStatement::ColumnName(int column) const {
    const char* n = stmt_ ? sqlite3_column_name(stmt_, column) : nullptr;
    return n ? n : "";
}

int TStatement::Column(std::string_view name) const {
    const std::string wanted = Lower(name);
    const int n = ColumnCount();
    for (int i = 0; i < n; ++i)
        if (Lower(ColumnName(i)) == wanted) return i;
    throw TDatabaseError("В результате запроса нет поля " + std::string(name) + ": " + Sql());
}

void TStatement::CheckRow(int column) const {
    if (!row_) throw TDatabaseError("Нет текущей записи запроса: " + Sql());
    if (column < 0 || column >= ColumnCount()) throw TDatabaseError("Нет поля с номером " + std::to_string(column));
}

bool TStatement::IsNull(int column) const {
    CheckRow(column);
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::int64_t TStatement::Int64(int column) const {
    CheckRow(column);
    return sqlite3_column_int64(stmt_, column);
}

std::int32_t TStatement::Int(int column) const { return static_cast<std::int32_t>(Int64(column)); }

double TStatement::Float(int column) const {
    CheckRow(column);
    return sqlite3_column_double(stmt_, column);
}

std::string TStatement::Text(int column) const {
    CheckRow(column);
    const auto* p = sqlite3_column_text(stmt_, column);
    const int n = sqlite3_column_bytes(stmt_, column);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
}

TBlob TStatement::Blob(int column) const {
    CheckRow(column);
    const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
    const int n = sqlite3_column_bytes(stmt_, column);
    return p ? TBlob(p, p + n) : TBlob();
}

TDateTime TStatement::Date(int column) const {
    if (IsNull(column)) return 0;
    return ParseSqlDate(Text(column)).value_or(0);
}

TDateTime TStatement::Time(int column) const {
    if (IsNull(column)) return 0;
    const std::string t = Text(column);
    if (auto v = ParseSqlTime(t)) return *v;
    if (auto v = ParseSqlDateTime(t)) return *v - DateOf(*v);
    return 0;
}

TDbValue TStatement::Value(int column) const {
    CheckRow(column);
    switch (sqlite3_column_type(stmt_, column)) {
        case SQLITE_INTEGER: return Int64(column);
        case SQLITE_FLOAT: return Float(column);
        case SQLITE_TEXT: return Text(column);
        case SQLITE_BLOB: return Blob(column);
        default: return std::monostate{};
    }
}

// ---------------------------------------------------------------- TTransaction

namespace {
std::atomic<unsigned> savepointCounter{0};
}

TTransaction::TTransaction(TDatabase& db, Mode mode) : db_(db) {
    if (db_.InTransaction()) {
        savepoint_ = "sp" + std::to_string(++savepointCounter);
        db_.Execute("SAVEPOINT " + savepoint_);
        return;
    }
    switch (mode) {
        case Mode::Deferred: db_.Execute("BEGIN DEFERRED"); break;
        case Mode::Immediate: db_.Execute("BEGIN IMMEDIATE"); break;
        case Mode::Exclusive: db_.Execute("BEGIN EXCLUSIVE"); break;
    }
}

TTransaction::~TTransaction() {
    if (!open_) return;
    try {
        Rollback();
    } catch (...) {
        // A failed rollback leaves the engine to roll back when the connection closes.
    }
}

void TTransaction::Commit() {
    if (!open_) throw TDatabaseError("Транзакция уже завершена");
    if (savepoint_.empty()) {
        if (!db_.InTransaction()) {
            // The engine rolled the transaction back on an earlier error: nothing to commit.
            open_ = false;
            throw TDatabaseError("Транзакция была отменена из-за ошибки базы данных");
        }
        db_.Execute("COMMIT");
    } else {
        db_.Execute("RELEASE " + savepoint_);
    }
    open_ = false;
}

void TTransaction::Rollback() {
    if (!open_) return;
    open_ = false;
    if (!db_.InTransaction()) return;
    if (savepoint_.empty())
        db_.Execute("ROLLBACK");
    else
        db_.Execute("ROLLBACK TO " + savepoint_ + "; RELEASE " + savepoint_);
}

// ---------------------------------------------------------------- TTable

TTable::TTable(TDatabase& db, std::string name) : db_(db), name_(std::move(name)) {
    if (!IsPlainIdentifier(name_)) throw TDatabaseError("Недопустимое имя таблицы: " + name_);
}

std::string TTable::Quoted() const { return "\"" + name_ + "\""; }

bool TTable::Exists() { return db_.TableExists(name_); }

long long TTable::RecordCount() {
    TStatement st = db_.Prepare("SELECT count(*) FROM " + Quoted());
    st.Step();
    return st.Int64(0);
}

std::vector<std::string> TTable::FieldNames() {
    std::vector<std::string> names;
    TStatement st = db_.Prepare("PRAGMA table_info(" + Quoted() + ")");
    while (st.Step()) names.push_back(st.Text("name"));
    return names;
}

bool TTable::HasField(std::string_view field) {
    const std::string wanted = Lower(field);
    for (const auto& n : FieldNames())
        if (Lower(n) == wanted) return true;
    return false;
}

int TTable::IndexFieldCount() {
    int count = 0;
    TStatement st = db_.Prepare("PRAGMA table_info(" + Quoted() + ")");
    while (st.Step())
        if (st.Int("pk") > 0) ++count;
    return count;
}

void TTable::Drop() { db_.Execute("DROP TABLE IF EXISTS " + Quoted()); }

void TTable::RenameTo(const std::string& newName) {
    db_.Execute("ALTER TABLE " + Quoted() + " RENAME TO " + QuoteIdentifier(newName));
    name_ = newName;
}
