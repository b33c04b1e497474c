#include "db/DataBaseModule.h"

#include "db/Dictionary.h"
#include "db/PasswordHash.h"

#include <filesystem>
#include <map>
#include <system_error>

TDataBaseModule* DataBaseModule = nullptr;

namespace {

// The eighteen tables: name and CREATE TABLE text. Flag columns are one-character
// texts; the journals keep the time of day in a TIME column.
struct TTableDef {
    const char* Name;
    const char* Sql;
};

const TTableDef kTables[] = {
    {"UserGroups", "CREATE TABLE UserGroups (UserGroupID INTEGER, UserGroupName VARCHAR(50), PRIMARY KEY (UserGroupID))"},
    // UserPassword holds a salted hash, hence wider than a typed password.
    {"Users",
     "CREATE TABLE Users (UserID INTEGER, UserName VARCHAR(50), UserPassword VARCHAR(128), UserGroupID INTEGER, "
     "UserDescription VARCHAR(20), PRIMARY KEY (UserID))"},
    {"AccessTypes", "CREATE TABLE AccessTypes (AccessType INTEGER, AccessName VARCHAR(50), PRIMARY KEY (AccessType))"},
    {"GroupAccess",
     "CREATE TABLE GroupAccess (AccessType INTEGER, UserGroupID INTEGER, PRIMARY KEY (AccessType, UserGroupID))"},
    {"UserAccess", "CREATE TABLE UserAccess (AccessType INTEGER, UserID INTEGER, PRIMARY KEY (AccessType, UserID))"},
    {"UserRegister", "CREATE TABLE UserRegister (UserID INTEGER, BeginDate DATE, BeginTime TIME, EndTime TIME)"},
    {"Versions",
     "CREATE TABLE Versions (VersionInternalID INTEGER, VersionID INTEGER, VersionName VARCHAR(50), "
     "IsInvisible VARCHAR(1) DEFAULT '0', PRIMARY KEY (VersionInternalID))"},
    {"Files",
     "CREATE TABLE Files (FileID INTEGER, FileName VARCHAR(50), FileInternalID INTEGER, FileSize INTEGER, "
     "FileIndex CHAR(1) DEFAULT '0', ReadOnly CHAR(1) DEFAULT '0', StatReset CHAR(1) DEFAULT '0', PRIMARY KEY (FileID))"},
    {"ParamTypes",
     "CREATE TABLE ParamTypes (ParamType INTEGER, ParamTypeName VARCHAR(50), IsEnum VARCHAR(1) DEFAULT '0', "
     "PRIMARY KEY (ParamType))"},
    {"EnumParamTypes",
     "CREATE TABLE EnumParamTypes (ParamType INTEGER, EnumIndex INTEGER, EnumValue VARCHAR(50), RealValue INTEGER, "
     "PRIMARY KEY (ParamType, EnumIndex))"},
    {"Params",
     "CREATE TABLE Params (ParamID INTEGER, ParamName VARCHAR(70), ParamType INTEGER, FileID INTEGER, "
     "FileOffset INTEGER, InFileSize INTEGER, IsFileIndex VARCHAR(1) DEFAULT '0', FileIndex INTEGER, "
     "DefaultValue VARCHAR(50), MaxDaySave INTEGER DEFAULT 0, IsReadOnly VARCHAR(1) DEFAULT '0', MinValue INTEGER, "
     "MaxValue INTEGER, Mask INTEGER, MinIndex INTEGER, MaxIndex INTEGER, PRIMARY KEY (ParamID))"},
    {"Counters",
     "CREATE TABLE Counters (CounterID INTEGER, CounterName VARCHAR(50), VersionID INTEGER, ZNumber INTEGER, "
     "IniDateTime DATE, VersionInternalID INTEGER, CounterCreateDate VARCHAR(20), CounterCheckDate VARCHAR(20), "
     "PRIMARY KEY (CounterID))"},
    {"FileAccepts", "CREATE TABLE FileAccepts (VersionID INTEGER, FileID INTEGER, PRIMARY KEY (VersionID, FileID))"},
    {"CounterPrograms",
     "CREATE TABLE CounterPrograms (CDate DATE, CTime TIME, CounterID INTEGER, FileID INTEGER, "
     "Writed CHAR(1) DEFAULT '0', Readed CHAR(1) DEFAULT '0')"},
    {"Programmers",
     "CREATE TABLE Programmers (ProgrammerID INTEGER, ProgrammerName VARCHAR(50), ZNumber INTEGER, "
     "PRIMARY KEY (ProgrammerID))"},
    {"ProgrammerPrograms",
     "CREATE TABLE ProgrammerPrograms (CDate DATE, CTime TIME, ProgrammerID INTEGER, CounterID INTEGER, "
     "FileID INTEGER, Writed CHAR(1) DEFAULT '0', Readed CHAR(1) DEFAULT '0')"},
    {"TaskCounter",
     "CREATE TABLE TaskCounter (CounterID INTEGER, FileID INTEGER, Writed CHAR(1) DEFAULT '0', "
     "Readed CHAR(1) DEFAULT '0', PRIMARY KEY (CounterID, FileID))"},
    {"TaskProgrammer",
     "CREATE TABLE TaskProgrammer (ProgrammerID INTEGER, CounterID INTEGER, PRIMARY KEY (ProgrammerID, CounterID))"},
};

const char* FindCreateSql(const std::string& name) {
    for (const auto& t : kTables)
        if (name == t.Name) return t.Sql;
    return nullptr;
}

// The six tables the dictionary reset deletes, in its order.
const char* const kDictionaryTables[] = {"EnumParamTypes", "FileAccepts", "Files", "Params", "ParamTypes", "Versions"};

const char* Flag(bool b) { return b ? "1" : "0"; }

// Seed rows of the user tables.
struct TGroupSeed {
    int Id;
    const char* Name;
    int FirstRight;  // rights FirstRight..12
};
const TGroupSeed kGroups[] = {
    {1, "Супервизоры", 1}, {2, "Администраторы", 6}, {3, "Опытные пользователи", 8}, {4, "Пользователи", 12}};

const char* const kAccessNames[12] = {
    "Сброс статистики счетчика",          "Добавление группы пользователей", "Удаление группы пользователей",
    "Изменение прав групп пользователей", "Добавление пользователей",        "Удаление пользователей",
    "Изменение прав пользователей",       "Смена параметров счетчика",       "Запись заданий в программатор ЛОК",
    "Чтение параметров счетчика",         "Чтение данных из программатора ЛОК", "Чтение статистики счетчика"};

constexpr const char* kSupervisorName = "Supervisor";
constexpr const char* kSupervisorPassword = "PiquantOwl73620";

long long SeedRows(TDatabase& db, const std::string& name) {
    long long rows = 0;
    auto run = [&](TStatement& st) {
        st.Execute();
        ++rows;
    };
    if (name == "UserGroups") {
        TStatement st = db.Prepare("INSERT INTO UserGroups (UserGroupID, UserGroupName) VALUES (:UserGroupID, :UserGroupName)");
        for (const auto& g : kGroups) {
            st.BindInt(":UserGroupID", g.Id).BindText(":UserGroupName", g.Name);
            run(st);
        }
    } else if (name == "Users") {
        TStatement st = db.Prepare(
            "INSERT INTO Users (UserID, UserName, UserPassword, UserGroupID) VALUES (:UserID, :UserName, :UserPassword, "
            ":UserGroupID)");
        st.BindInt(":UserID", 1)
            .BindText(":UserName", kSupervisorName)
            .BindText(":UserPassword", HashPassword(kSupervisorPassword))
            .BindInt(":UserGroupID", 1);
        run(st);
    } else if (name == "AccessTypes") {
        TStatement st = db.Prepare("INSERT INTO AccessTypes (AccessType, AccessName) VALUES (:AccessType, :AccessName)");
        for (int i = 0; i < 12; ++i) {
            st.BindInt(":AccessType", i + 1).BindText(":AccessName", kAccessNames[i]);
            run(st);
        }
    } else if (name == "GroupAccess") {
        TStatement st = db.Prepare("INSERT INTO GroupAccess (AccessType, UserGroupID) VALUES (:AccessType, :UserGroupID)");
        for (const auto& g : kGroups)
            for (int right = g.FirstRight; right <= 12; ++right) {
                st.BindInt(":AccessType", right).BindInt(":UserGroupID", g.Id);
                run(st);
            }
    } else if (name == "UserAccess") {
        TStatement st = db.Prepare("INSERT INTO UserAccess (AccessType, UserID) VALUES (:AccessType, :UserID)");
        for (int right = 1; right <= 12; ++right) {
            st.BindInt(":AccessType", right).BindInt(":UserID", 1);
            run(st);
        }
    } else if (name == "Versions") {
        TStatement st = db.Prepare(
            "INSERT INTO Versions (VersionInternalID, VersionID, VersionName, IsInvisible) "
            "VALUES (:VersionInternalID, :VersionID, :VersionName, :IsInvisible)");
        for (const auto& v : DictionarySeed().Versions) {
            st.BindInt(":VersionInternalID", v.VersionInternalID)
                .BindInt(":VersionID", v.VersionID)
                .BindText(":VersionName", v.VersionName)
                .BindText(":IsInvisible", Flag(v.IsInvisible));
            run(st);
        }
    } else if (name == "Files") {
        TStatement st = db.Prepare(
            "INSERT INTO Files (FileID, FileName, FileInternalID, FileSize, FileIndex, ReadOnly, StatReset) "
            "VALUES (:FileID, :FileName, :FileInternalID, :FileSize, :FileIndex, :ReadOnly, :StatReset)");
        for (const auto& f : DictionarySeed().Files) {
            st.BindInt(":FileID", f.FileID)
                .BindText(":FileName", f.FileName)
                .BindInt(":FileInternalID", f.FileInternalID)
                .BindInt(":FileSize", f.FileSize)
                .BindText(":FileIndex", Flag(f.FileIndex))
                .BindText(":ReadOnly", Flag(f.ReadOnly))
                .BindText(":StatReset", std::to_string(static_cast<int>(f.StatReset)));
            run(st);
        }
    } else if (name == "ParamTypes") {
        TStatement st = db.Prepare(
            "INSERT INTO ParamTypes (ParamType, ParamTypeName, IsEnum) VALUES (:ParamType, :ParamTypeName, :IsEnum)");
        for (const auto& t : DictionarySeed().ParamTypes) {
            st.BindInt(":ParamType", t.ParamType).BindText(":ParamTypeName", t.ParamTypeName).BindText(":IsEnum", Flag(t.IsEnum));
            run(st);
        }
    } else if (name == "EnumParamTypes") {
        TStatement st = db.Prepare(
            "INSERT INTO EnumParamTypes (ParamType, EnumIndex, EnumValue, RealValue) "
            "VALUES (:ParamType, :EnumIndex, :EnumValue, :RealValue)");
        for (const auto& e : DictionarySeed().EnumParamTypes) {
            st.BindInt(":ParamType", e.ParamType)
                .BindInt(":EnumIndex", e.EnumIndex)
                .BindText(":EnumValue", e.EnumValue)
                .BindInt(":RealValue", e.RealValue);
            run(st);
        }
    } else if (name == "Params") {
        TStatement st = db.Prepare(
            "INSERT INTO Params (ParamID, ParamName, ParamType, FileID, FileOffset, InFileSize, IsFileIndex, FileIndex, "
            "DefaultValue, MaxDaySave, IsReadOnly, MinValue, MaxValue, Mask, MinIndex, MaxIndex) VALUES (:ParamID, "
            ":ParamName, :ParamType, :FileID, :FileOffset, :InFileSize, :IsFileIndex, :FileIndex, :DefaultValue, "
            ":MaxDaySave, :IsReadOnly, :MinValue, :MaxValue, :Mask, :MinIndex, :MaxIndex)");
        auto opt = [](const std::optional<std::int32_t>& v) -> std::optional<std::int64_t> {
            if (v) return *v;
            return std::nullopt;
        };
        for (const auto& p : DictionarySeed().Params) {
            st.BindInt(":ParamID", p.ParamID)
                .BindText(":ParamName", p.ParamName)
                .BindInt(":ParamType", p.ParamType)
                .BindInt(":FileID", p.FileID)
                .BindInt(":FileOffset", p.FileOffset)
                .BindInt(":InFileSize", p.InFileSize)
                .BindText(":IsFileIndex", Flag(p.IsFileIndex))
                .BindOptionalInt(":FileIndex", opt(p.FileIndex))
                .BindText(":DefaultValue", p.DefaultValue)
                .BindInt(":MaxDaySave", p.MaxDaySave)
                .BindText(":IsReadOnly", Flag(p.IsReadOnly))
                .BindOptionalInt(":MinValue", opt(p.MinValue))
                .BindOptionalInt(":MaxValue", opt(p.MaxValue))
                .BindOptionalInt(":Mask", opt(p.Mask))
                .BindOptionalInt(":MinIndex", opt(p.MinIndex))
                .BindOptionalInt(":MaxIndex", opt(p.MaxIndex));
            run(st);
        }
    } else if (name == "FileAccepts") {
        TStatement st = db.Prepare("INSERT INTO FileAccepts (VersionID, FileID) VALUES (:VersionID, :FileID)");
        for (const auto& a : DictionarySeed().FileAccepts) {
            st.BindInt(":VersionID", a.VersionID).BindInt(":FileID", a.FileID);
            run(st);
        }
    }
    // The other tables start empty.
    return rows;
}

}  // namespace

// ---------------------------------------------------------------- report

bool TCheckReport::Changed() const {
    return !CreatedTables.empty() || !RekeyedValueTables.empty() || !CreatedValueTables.empty() ||
           !AddedColumns.empty() || RestoredVersionFlags > 0 || HashedPasswords > 0 || !RecoveredTmpTable.empty() ||
           ProtocolNumberRowAdded;
}

std::vector<std::string> TCheckReport::Lines() const {
    std::vector<std::string> lines;
    for (const auto& [table, rows] : CreatedTables)
        lines.push_back("Создана таблица " + table + ", записей: " + std::to_string(rows));
    if (ProtocolNumberRowAdded) lines.push_back("В таблицу ProtocolNumber добавлена запись 0");
    if (RestoredVersionFlags > 0)
        lines.push_back("Восстановлены признаки скрытия версий: " + std::to_string(RestoredVersionFlags));
    if (!RecoveredTmpTable.empty()) lines.push_back(RecoveredTmpTable);
    for (auto id : CreatedValueTables)
        lines.push_back("Создана недостающая таблица значений " + ValueTableName(id));
    for (auto id : RekeyedValueTables) lines.push_back("Переиндексирована таблица " + ValueTableName(id));
    for (const auto& c : AddedColumns) lines.push_back("Добавлено поле " + c);
    if (HashedPasswords > 0)
        lines.push_back("Пароли пользователей заменены хэшами: " + std::to_string(HashedPasswords));
    return lines;
}

// ---------------------------------------------------------------- value tables

std::string ValueTableName(std::int32_t counterID) { return "ParamValues" + std::to_string(counterID); }

void CreateValueTable(TDatabase& db, std::int32_t counterID) {
    // Negative identifiers would give a name with '-': quoting keeps it one name.
    const std::string name = "\"" + ValueTableName(counterID) + "\"";
    db.Execute("CREATE TABLE " + name +
               " (ParamID INTEGER NOT NULL, ParamIndex INTEGER NOT NULL, ChangeDateTime DATE NOT NULL, "
               "DataValue BLOB CHECK (DataValue IS NULL OR length(DataValue) <= 100), "
               "PRIMARY KEY (ParamID, ParamIndex, ChangeDateTime)) WITHOUT ROWID");
}

// ---------------------------------------------------------------- module

TDataBaseModule::TDataBaseModule(std::string databaseFolder, TCheckProgress progress)
    : folder_(std::move(databaseFolder)), progress_(std::move(progress)) {
    while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) throw TDatabaseError("Не удалось создать папку базы данных «" + folder_ + "»: " + ec.message());
    db_ = std::make_unique<TDatabase>(DatabaseFilePath(folder_));
}

TDataBaseModule::~TDataBaseModule() = default;

const std::vector<std::string>& TDataBaseModule::CheckedTableNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const auto& t : kTables) n.emplace_back(t.Name);
        return n;
    }();
    return names;
}

void TDataBaseModule::Progress(const std::string& text, int position) {
    position_ = position;
    if (progress_) progress_(text, position, static_cast<int>(std::size(kTables)));
}

bool TDataBaseModule::SeedTable(const std::string& name) {
    try {
        TTransaction tx(*db_, TTransaction::Mode::Exclusive);
        const long long rows = SeedRows(*db_, name);
        tx.Commit();
        if (!report_.CreatedTables.empty() && report_.CreatedTables.back().first == name)
            report_.CreatedTables.back().second = rows;
        return true;
    } catch (const std::exception& e) {
        lastError_ = "Не удалось заполнить таблицу " + name + ": " + e.what();
        return false;
    }
}

bool TDataBaseModule::CreateTable(const std::string& name) {
    const char* sql = FindCreateSql(name);
    if (!sql) {
        lastError_ = "Неизвестная таблица " + name;
        return false;
    }
    try {
        // Created and seeded together: a crash in between leaves no empty table that
        // the next start would take for a complete one.
        TTransaction tx(*db_, TTransaction::Mode::Exclusive);
        db_->Execute(sql);
        report_.CreatedTables.emplace_back(name, 0);
        if (!SeedTable(name)) {
            report_.CreatedTables.pop_back();
            return false;  // the guard rolls the table back
        }
        tx.Commit();
        return true;
    } catch (const std::exception& e) {
        if (!report_.CreatedTables.empty() && report_.CreatedTables.back().first == name) report_.CreatedTables.pop_back();
        lastError_ = "Не удалось создать таблицу " + name + ": " + e.what();
        return false;
    }
}

void TDataBaseModule::CreateValueTable(std::int32_t counterID) { ::CreateValueTable(*db_, counterID); }

bool TDataBaseModule::CheckTables() {
    report_ = {};
    lastError_.clear();
    Progress("Проверка таблиц...", 0);

    int position = 0;
    for (const auto& def : kTables) {
        const std::string name = def.Name;
        Progress("Проверка таблицы " + name, position);
        if (!db_->TableExists(name) && !CreateTable(name)) return false;
        // Also when Versions existed already: a start that ended between the reset
        // and this point left the flags waiting.
        if (name == "Versions") report_.RestoredVersionFlags += RestoreVersionVisibility();
        Progress("Проверка таблицы " + name, ++position);
    }

    Progress("Создание таблицы DiapIndex", position);
    if (!db_->TableExists("DiapIndex"))
        try {
            TTransaction tx(*db_);
            db_->Execute(
                "CREATE TABLE DiapIndex (CounterID INTEGER, FileID INTEGER, MinIndex INTEGER, MaxIndex INTEGER, "
                "PRIMARY KEY (CounterID, FileID))");
            tx.Commit();
            report_.CreatedTables.emplace_back("DiapIndex", 0);
        } catch (const std::exception& e) {
            lastError_ = std::string("Не удалось создать таблицу DiapIndex: ") + e.what();
            return false;
        }

    EnsureProtocolNumber();
    RecoverTmpTable();

    std::vector<std::int32_t> counters;
    {
        TStatement st = db_->Prepare("SELECT CounterID FROM Counters ORDER BY CounterID");
        while (st.Step())
            if (!st.IsNull(0)) counters.push_back(st.Int(0));
    }
    for (const auto id : counters) {
        const std::string table = ValueTableName(id);
        Progress("Индексирование таблицы " + table, position);
        TTable t(*db_, table);
        if (!t.Exists()) {
            // A meter without its table would stop every start; give it an empty one.
            TTransaction tx(*db_);
            ::CreateValueTable(*db_, id);
            tx.Commit();
            report_.CreatedValueTables.push_back(id);
        } else if (t.IndexFieldCount() != 3) {
            RekeyValueTable(id);
        }
    }

    UpgradeColumns();
    HashPlainPasswords();
    return true;
}

void TDataBaseModule::EnsureProtocolNumber() {
    if (!db_->TableExists("ProtocolNumber")) {
        TTransaction tx(*db_);
        db_->Execute("CREATE TABLE ProtocolNumber (CurrentProtocolNumber INTEGER)");
        db_->Execute("INSERT INTO ProtocolNumber (CurrentProtocolNumber) VALUES (0)");
        tx.Commit();
        report_.CreatedTables.emplace_back("ProtocolNumber", 1);
        return;
    }
    // The protocol numbering reads and updates the one row; without it nothing works.
    TTable t(*db_, "ProtocolNumber");
    if (t.RecordCount() == 0) {
        TTransaction tx(*db_);
        db_->Execute("INSERT INTO ProtocolNumber (CurrentProtocolNumber) VALUES (0)");
        tx.Commit();
        report_.ProtocolNumberRowAdded = true;
    }
}

void TDataBaseModule::RekeyValueTable(std::int32_t counterID) {
    const std::string name = ValueTableName(counterID);
    // One transaction: an interruption leaves the old table as it was.
    TTransaction tx(*db_, TTransaction::Mode::Exclusive);
    TTable old(*db_, name);
    old.RenameTo("tmptable");
    ::CreateValueTable(*db_, counterID);
    // Rows without a key cannot be addressed and are left out; the key collapses
    // duplicates of a keyless table to the last row; an over-long value is cut to
    // the column's size rather than stopping the start.
    db_->Execute("INSERT OR REPLACE INTO \"" + name +
                 "\" (ParamID, ParamIndex, ChangeDateTime, DataValue) "
                 "SELECT ParamID, coalesce(ParamIndex, 0), ChangeDateTime, "
                 "CASE WHEN length(DataValue) > 100 THEN substr(DataValue, 1, 100) ELSE DataValue END "
                 "FROM tmptable WHERE ParamID IS NOT NULL AND ChangeDateTime IS NOT NULL");
    old.Drop();
    tx.Commit();
    report_.RekeyedValueTables.push_back(counterID);
}

void TDataBaseModule::RecoverTmpTable() {
    if (!db_->TableExists("tmptable")) return;
    // A re-keying that stopped after the rename: the meter whose value table is
    // missing is the owner. With exactly one such meter the table goes back under
    // its name and is re-keyed below; otherwise its rows are kept aside under a
    // name of their own so that nothing is lost and the start goes on.
    std::vector<std::int32_t> missing;
    {
        TStatement st = db_->Prepare("SELECT CounterID FROM Counters ORDER BY CounterID");
        while (st.Step())
            if (!st.IsNull(0) && !db_->TableExists(ValueTableName(st.Int(0)))) missing.push_back(st.Int(0));
    }
    TTransaction tx(*db_, TTransaction::Mode::Exclusive);
    TTable tmp(*db_, "tmptable");
    if (missing.size() == 1) {
        tmp.RenameTo(ValueTableName(missing.front()));
        tx.Commit();
        report_.RecoveredTmpTable = "Таблица tmptable прерванного переиндексирования возвращена как " +
                                    ValueTableName(missing.front());
        return;
    }
    std::string aside = "tmptable_saved";
    for (int i = 2; db_->TableExists(aside); ++i) aside = "tmptable_saved" + std::to_string(i);
    tmp.RenameTo(aside);
    tx.Commit();
    report_.RecoveredTmpTable = "Таблица tmptable прерванного переиндексирования сохранена как " + aside +
                                " (владелец не определён)";
}

void TDataBaseModule::UpgradeColumns() {
    TTable users(*db_, "Users");
    if (!users.HasField("UserDescription")) {
        db_->Execute("ALTER TABLE Users ADD UserDescription VARCHAR(20)");
        report_.AddedColumns.emplace_back("Users.UserDescription");
    }
    TTable counters(*db_, "Counters");
    // The engine adds one column per statement; each is checked on its own so that
    // a half-upgraded table is completed.
    for (const char* column : {"CounterCreateDate", "CounterCheckDate"})
        if (!counters.HasField(column)) {
            db_->Execute(std::string("ALTER TABLE Counters ADD ") + column + " VARCHAR(20)");
            report_.AddedColumns.push_back(std::string("Counters.") + column);
        }
}

void TDataBaseModule::HashPlainPasswords() {
    std::vector<std::pair<std::int64_t, std::string>> plain;
    {
        TStatement st = db_->Prepare("SELECT UserID, UserPassword FROM Users WHERE UserPassword IS NOT NULL");
        while (st.Step()) {
            std::string p = st.Text(1);
            if (!IsPasswordHash(p)) plain.emplace_back(st.Int64(0), std::move(p));
        }
    }
    if (plain.empty()) return;
    TTransaction tx(*db_);
    TStatement up = db_->Prepare("UPDATE Users SET UserPassword = :UserPassword WHERE UserID = :UserID");
    for (const auto& [id, password] : plain) {
        up.BindText(":UserPassword", HashPassword(password)).BindInt(":UserID", id);
        up.Execute();
    }
    tx.Commit();
    report_.HashedPasswords = static_cast<int>(plain.size());
}

// ---------------------------------------------------------------- version visibility

void TDataBaseModule::SaveVersionVisibility(TDatabase& db) {
    if (!db.TableExists("Versions") || db.TableExists(kSavedVisibilityTable)) return;
    TTransaction tx(db);
    db.Execute(std::string("CREATE TABLE ") + kSavedVisibilityTable + " (VersionInternalID INTEGER, IsInvisible VARCHAR(1))");
    db.Execute(std::string("INSERT INTO ") + kSavedVisibilityTable +
               " (VersionInternalID, IsInvisible) SELECT VersionInternalID, IsInvisible FROM Versions");
    tx.Commit();
}

int TDataBaseModule::RestoreVersionVisibility() {
    if (!db_->TableExists(kSavedVisibilityTable) || !db_->TableExists("Versions")) return 0;
    std::vector<std::pair<std::int64_t, std::string>> pairs;
    {
        TStatement st = db_->Prepare(std::string("SELECT VersionInternalID, IsInvisible FROM ") + kSavedVisibilityTable);
        while (st.Step())
            if (!st.IsNull(0)) pairs.emplace_back(st.Int64(0), st.Text(1));
    }
    int updated = 0;
    TTransaction tx(*db_);
    // Only real changes are made and counted.
    TStatement up = db_->Prepare(
        "UPDATE Versions SET IsInvisible = :IsInvisible "
        "WHERE VersionInternalID = :VersionInternalID AND IsInvisible IS NOT :IsInvisible");
    for (const auto& [id, flag] : pairs) {
        up.BindText(":IsInvisible", flag).BindInt(":VersionInternalID", id);
        updated += up.Execute();
    }
    db_->Execute(std::string("DROP TABLE ") + kSavedVisibilityTable);
    tx.Commit();
    return updated;
}

bool TDataBaseModule::ResetDictionary(const std::string& databaseFolder, std::string* error) {
    const std::string path = DatabaseFilePath(databaseFolder);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return true;  // a new database gets its dictionary at the check
    try {
        TDatabase db(path);
        TTransaction tx(db, TTransaction::Mode::Exclusive);
        SaveVersionVisibility(db);
        for (const char* table : kDictionaryTables) TTable(db, table).Drop();
        tx.Commit();
        return true;
    } catch (const std::exception& e) {
        if (error) *error = e.what();
        return false;
    }
}
