#include "admin/CounterRegistry.h"

#include "db/DataBaseModule.h"
#include "db/DictionaryQueries.h"
#include "model/CounterParam.h"

#include <charconv>
#include <limits>

namespace {

std::size_t Utf8Length(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

constexpr const char* kCounterSelect =
    "SELECT Counters.CounterID, Counters.CounterName, Counters.VersionID, Counters.VersionInternalID, "
    "Versions.VersionName, Counters.ZNumber, Counters.IniDateTime, Counters.CounterCreateDate, "
    "Counters.CounterCheckDate FROM Counters LEFT JOIN Versions "
    "ON Versions.VersionInternalID = Counters.VersionInternalID";

TCounterRow ReadCounter(const TStatement& q) {
    TCounterRow r;
    r.CounterID = q.Int(0);
    r.CounterName = q.Text(1);
    r.VersionID = q.Int(2);
    r.VersionInternalID = q.Int(3);
    r.VersionName = q.Text(4);
    r.ZNumber = q.Int64(5);
    r.IniDateTime = q.Date(6);
    r.CounterCreateDate = q.Text(7);
    r.CounterCheckDate = q.Text(8);
    return r;
}

// Id, factory number and texts of the dialog; nullopt when they are acceptable.
std::optional<TAdminResult> CheckEdit(const TCounterEdit& e, std::int32_t& id, std::int32_t& znumber) {
    auto parsedId = ParseCounterNumber(e.IdText);
    if (!parsedId) return TAdminResult::Failure("Ошибка при вводе идентификатора!", TAdminResult::Field::Name);
    auto parsedZ = ParseCounterNumber(e.ZNumberText);
    if (!parsedZ) return TAdminResult::Failure("Ошибка при вводе заводского номера!");
    if (e.Name.empty() || Utf8Length(e.Name) > kCounterNameMax)
        return TAdminResult::Failure("Имя счетчика должно содержать от 1 до 50 символов!");
    if (Utf8Length(e.CreateDate) > kCounterDateMax || Utf8Length(e.CheckDate) > kCounterDateMax)
        return TAdminResult::Failure("Дата не может быть длиннее 12 символов!");
    id = *parsedId;
    znumber = *parsedZ;
    return std::nullopt;
}

}  // namespace

std::optional<std::int32_t> ParseCounterNumber(const std::string& text) {
    if (text.empty() || text.size() > kCounterIdDigitsMax) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    std::int64_t value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::vector<TCounterRow> ListCounters(TDatabase& db) {
    std::vector<TCounterRow> rows;
    auto q = db.Prepare(std::string(kCounterSelect) + " ORDER BY Counters.CounterID");
    while (q.Step()) rows.push_back(ReadCounter(q));
    return rows;
}

std::optional<TCounterRow> FindCounter(TDatabase& db, std::int32_t counterID) {
    auto q = db.Prepare(std::string(kCounterSelect) + " WHERE Counters.CounterID = :CounterID");
    q.BindInt(":CounterID", counterID);
    if (!q.Step()) return std::nullopt;
    return ReadCounter(q);
}

std::vector<TVersionChoice> VersionsForNewCounter(TDatabase& db) {
    std::vector<TVersionChoice> rows;
    auto q = db.Prepare(
        "SELECT VersionInternalID, VersionID, VersionName FROM Versions WHERE IsInvisible = '0' "
        "ORDER BY VersionID, VersionName");
    while (q.Step()) rows.push_back({q.Int(0), q.Int(1), q.Text(2)});
    return rows;
}

std::optional<TVersionChoice> FindVersion(TDatabase& db, std::int32_t versionInternalID) {
    auto q = db.Prepare("SELECT VersionInternalID, VersionID, VersionName FROM Versions WHERE VersionInternalID = :ID");
    q.BindInt(":ID", versionInternalID);
    if (!q.Step()) return std::nullopt;
    return TVersionChoice{q.Int(0), q.Int(1), q.Text(2)};
}

TAdminResult AddCounter(TDatabase& db, const TCounterEdit& edit) {
    std::int32_t id = 0, znumber = 0;
    if (auto refused = CheckEdit(edit, id, znumber)) return *refused;
    try {
        TTransaction tx(db);
        db.Prepare(
              "INSERT INTO Counters (CounterID, CounterName, VersionID, VersionInternalID, ZNumber, IniDateTime, "
              "CounterCreateDate, CounterCheckDate) VALUES (:CounterID, :CounterName, :VersionID, :VersionInternalID, "
              ":ZNumber, :InitDate, :CounterCreateDate, :CounterCheckDate)")
            .BindInt(":CounterID", id)
            .BindText(":CounterName", edit.Name)
            .BindInt(":VersionID", edit.VersionID)
            .BindInt(":VersionInternalID", edit.VersionInternalID)
            .BindInt(":ZNumber", znumber)
            .BindDate(":InitDate", NowDateTime())
            .BindText(":CounterCreateDate", edit.CreateDate)
            .BindText(":CounterCheckDate", edit.CheckDate)
            .Execute();
        CreateValueTable(db, id);
        tx.Commit();
        return TAdminResult::Success(id);
    } catch (const std::exception&) {
        return TAdminResult::Failure("Ошибка при добавлении нового счетчика!");
    }
}

TAdminResult EditCounter(TDatabase& db, const TCounterEdit& edit) {
    std::int32_t id = 0, znumber = 0;
    if (auto refused = CheckEdit(edit, id, znumber)) return *refused;
    try {
        TTransaction tx(db);
        const int changed =
            db.Prepare(
                  "UPDATE Counters SET CounterName = :CounterName, ZNumber = :ZNumber, CounterCreateDate = "
                  ":CounterCreateDate, CounterCheckDate = :CounterCheckDate, VersionID = :VersionID, "
                  "VersionInternalID = :VersionInternalID WHERE CounterID = :CounterID")
                .BindText(":CounterName", edit.Name)
                .BindInt(":ZNumber", znumber)
                .BindText(":CounterCreateDate", edit.CreateDate)
                .BindText(":CounterCheckDate", edit.CheckDate)
                .BindInt(":VersionID", edit.VersionID)
                .BindInt(":VersionInternalID", edit.VersionInternalID)
                .BindInt(":CounterID", id)
                .Execute();
        if (changed == 0) return TAdminResult::Failure("Ошибка при изменении данных о счетчике!");
        if (!db.TableExists(ValueTableName(id))) CreateValueTable(db, id);
        tx.Commit();
        return TAdminResult::Success(id);
    } catch (const std::exception&) {
        return TAdminResult::Failure("Ошибка при изменении данных о счетчике!");
    }
}

TAdminResult DeleteCounter(TDatabase& db, std::int32_t counterID) {
    try {
        TTransaction tx(db);
        // A missing value table stops the deletion before any row goes.
        TTable(db, ValueTableName(counterID)).Drop();
        db.Prepare("DELETE FROM TaskCounter WHERE TaskCounter.CounterID = :CounterID").BindInt(":CounterID", counterID).Execute();
        db.Prepare("DELETE FROM DiapIndex WHERE CounterID = :CounterID").BindInt(":CounterID", counterID).Execute();
        if (db.Prepare("DELETE FROM Counters WHERE CounterID = :CounterID").BindInt(":CounterID", counterID).Execute() == 0)
            return TAdminResult::Failure("Ошибка при удалении счетчика!");
        tx.Commit();
        return TAdminResult::Success();
    } catch (const std::exception&) {
        return TAdminResult::Failure("Ошибка при удалении счетчика!");
    }
}

std::string DeleteCounterQuestion(const std::string& name) { return "Вы желаете удалить счетчик «" + name + "»?"; }

bool CopyParams(TDatabase& db, std::int32_t sourceID, std::int32_t targetID) {
    try {
        auto q = db.Prepare("SELECT Params.*, ParamValues.ParamIndex AS StoredIndex, ParamValues.DataValue FROM " +
                            QuoteIdentifier(ValueTableName(sourceID)) +
                            " ParamValues, Files, Params WHERE (Files.ReadOnly = '0') AND (Files.FileID = Params.FileID) "
                            "AND (Params.ParamID = ParamValues.ParamID) "
                            "ORDER BY Params.ParamID ASC, ParamValues.ParamIndex ASC, ParamValues.ChangeDateTime ASC");
        const TDateTime today = TodayDate();
        while (q.Step()) {
            TCounterParam p;
            p.LoadFromParamRow(ReadParamRow(q));
            p.ParamIndex = static_cast<std::uint16_t>(q.Int("StoredIndex"));
            const TBlob blob = q.Blob("DataValue");
            p.LoadValueFromField(blob);
            if (p.IsReadOnly) continue;
            if (!p.QueueValue(targetID, today, true)) return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string CopyParamsQuestion(const TCounterRow& source, const TCounterRow& target) {
    return "Применить к счетчику " + target.CounterName + " (ID = " + std::to_string(target.CounterID) +
           ") параметры, скопированные со счетчика " + source.CounterName + " (ID = " +
           std::to_string(source.CounterID) + ")?";
}

std::optional<std::string> CopyParamsRefusal(const TCounterRow& source, const TCounterRow& target) {
    if (source.VersionID != target.VersionID)
        return "Версия счетчика, параметры которого скопированы в буфер, не совпадает с версией указанного счетчика!";
    if (source.CounterID == target.CounterID)
        return "ID счетчика, параметры которого скопированы в буфер, и счетчика, для которого параметры будут "
               "применены, совпадают! Копирование параметров невозможно!";
    return std::nullopt;
}

std::vector<TCounterJournalRow> CounterJournal(TDatabase& db, std::int32_t counterID) {
    std::vector<TCounterJournalRow> rows;
    auto q = db.Prepare(
        "SELECT CounterPrograms.CDate, CounterPrograms.CTime, CounterPrograms.Readed, CounterPrograms.Writed, "
        "Files.FileName FROM CounterPrograms, Files WHERE (CounterPrograms.CounterID = :CounterID) AND "
        "(CounterPrograms.FileID = Files.FileID) ORDER BY CounterPrograms.CDate, CounterPrograms.CTime, "
        "Files.FileInternalID");
    q.BindInt(":CounterID", counterID);
    while (q.Step()) {
        TCounterJournalRow r;
        r.CDate = q.Date(0);
        r.CTime = q.Time(1);
        r.Readed = q.Text(2);
        r.Writed = q.Text(3);
        r.FileName = q.Text(4);
        rows.push_back(std::move(r));
    }
    return rows;
}
