#include "sessions/Task.h"

#include "db/DictionaryQueries.h"
#include "shell/JobContext.h"

#include <algorithm>
#include <mutex>

std::optional<TCounterStat> LoadCounterStat(TDatabase& db, std::int32_t counterID) {
    TStatement q = db.Prepare(
        "SELECT CounterID, CounterName, ZNumber, VersionInternalID, VersionID FROM Counters WHERE CounterID = :CounterID");
    q.BindInt(":CounterID", counterID);
    if (!q.Step()) return std::nullopt;
    return TCounterStat(q.Int(0), q.Text(1), q.Int64(2), q.Int(3), q.Int(4));
}

void TTaskFile::LoadFromRow(const TFileRow& row) {
    FileName = row.FileName;
    FileIndex = row.FileIndex;
    ReadOnly = row.ReadOnly;
    StatReset = static_cast<std::uint8_t>(row.StatReset);
    FileInternalID = row.FileInternalID;
    RecordCount = row.FileIndex ? row.FileSize : 0;
}

std::string TTaskFile::IndexesText() const {
    return FileIndex ? std::to_string(RecordCount) : std::string("Не индексирован");
}

TTaskFile* TTaskLines::Find(std::int32_t fileID, bool writeItem) {
    for (auto& l : writeItem ? Write : Read)
        if (l.FileID == fileID) return &l;
    return nullptr;
}

bool TaskAreaExcluded(std::int32_t rev, std::int32_t fileID) {
    const bool oldRevision = rev == 1 || rev == 4 || rev == 7 || (rev >= 10 && rev <= 23);
    if (oldRevision && (fileID == 3 || fileID == 5)) return true;
    const bool has69 = rev == 66 || rev == 67 || rev == 73 || rev == 125 || rev == 126;
    if (!has69 && fileID == 69) return true;
    if ((rev == 75 || rev == 76) && fileID == 75) return true;
    if (rev == 76 && (fileID == 64 || fileID == 65 || fileID == 77 || fileID == 78)) return true;
    return false;
}

TTaskLines FillTask(TDatabase& db, const TCounterStat& counter) {
    TTaskLines lines;
    try {
        TStatement q = db.Prepare(
            "SELECT Files.*, Versions.VersionInternalID FROM Files, Versions, FileAccepts "
            "WHERE (Versions.VersionInternalID = :VersionInternalID) AND (Versions.VersionID = FileAccepts.VersionID) "
            "AND (FileAccepts.FileID = Files.FileID) ORDER BY Files.FileInternalID");
        q.BindInt(":VersionInternalID", counter.VersionInternalID);
        while (q.Step()) {
            const TFileRow row = ReadFileRow(q);
            if (TaskAreaExcluded(counter.VersionInternalID, row.FileID)) continue;
            const bool passwords = row.FileName == kPasswordAreaName;
            if (!passwords) {
                TTaskFile line(row.FileID, false);
                line.LoadFromRow(row);
                lines.Read.push_back(line);
            }
            if (passwords || (!row.ReadOnly && row.StatReset == 0)) {
                TTaskFile line(row.FileID, true);
                line.LoadFromRow(row);
                lines.Write.push_back(line);
            }
        }
        TStatement t = db.Prepare("SELECT FileID, Readed, Writed FROM TaskCounter WHERE TaskCounter.CounterID = :CounterID");
        t.BindInt(":CounterID", counter.CounterID);
        while (t.Step()) {
            const std::int32_t fileID = t.Int(0);
            if (TTaskFile* r = lines.Find(fileID, false)) {
                r->RowExists = true;
                r->Included = t.Text(1) == "1";
            }
            if (TTaskFile* w = lines.Find(fileID, true)) {
                w->RowExists = true;
                w->Included = t.Text(2) == "1";
            }
        }
    } catch (const TDatabaseError&) {
        return {};
    }
    return lines;
}

namespace {
void SaveTaskRowOrThrow(TTaskFile& line, TDatabase& db, std::int32_t counterID) {
    TStatement s = db.Prepare("SELECT * FROM TaskCounter WHERE (CounterID = :CounterID) AND (FileID = :FileID)");
    s.BindInt(":CounterID", counterID).BindInt(":FileID", line.FileID);
    line.RowExists = s.Step();
    // The column is chosen from two fixed names, never from input.
    const std::string column = line.IsWriteItem ? "Writed" : "Readed";
    std::string sql;
    if (line.Included && line.RowExists)
        sql = "UPDATE TaskCounter SET " + column + " = '1' WHERE (CounterID = :CounterID) AND (FileID = :FileID)";
    else if (line.Included)
        sql = "INSERT INTO TaskCounter(CounterID, FileID, " + column + ") VALUES (:CounterID, :FileID, '1')";
    else
        sql = "UPDATE TaskCounter SET " + column + " = '0' WHERE (CounterID = :CounterID) AND (FileID = :FileID)";
    TStatement u = db.Prepare(sql);
    u.BindInt(":CounterID", counterID).BindInt(":FileID", line.FileID);
    u.Execute();
    if (line.Included) line.RowExists = true;
}
}  // namespace

bool SaveTaskRow(TTaskFile& line, TDatabase& db, std::int32_t counterID) {
    try {
        SaveTaskRowOrThrow(line, db, counterID);
        return true;
    } catch (const TDatabaseError&) {
        return false;
    }
}

bool SaveTask(TTaskLines& lines, TDatabase& db, std::int32_t counterID) {
    try {
        TTransaction tx(db);
        for (auto& l : lines.Read) SaveTaskRowOrThrow(l, db, counterID);
        for (auto& l : lines.Write) SaveTaskRowOrThrow(l, db, counterID);
        tx.Commit();
        return true;
    } catch (const TDatabaseError&) {
        return false;
    }
}

TIndexRange LoadIndexRange(TDatabase& db, std::int32_t counterID, const TTaskFile& line) {
    TIndexRange r{0, line.RecordCount};
    TStatement q = db.Prepare("SELECT MinIndex, MaxIndex FROM DiapIndex WHERE (CounterID = :CounterID) AND (FileID = :FileID)");
    q.BindInt(":CounterID", counterID).BindInt(":FileID", line.FileInternalID);
    if (q.Step()) {
        r.MinIndex = q.IsNull(0) ? 0 : q.Int(0);
        r.MaxIndex = q.IsNull(1) ? line.RecordCount : q.Int(1);
    }
    // The editors are limited to 0 .. RecordCount.
    r.MinIndex = std::clamp(r.MinIndex, 0, std::max(0, line.RecordCount));
    r.MaxIndex = std::clamp(r.MaxIndex, 0, std::max(0, line.RecordCount));
    return r;
}

std::optional<std::string> SaveIndexRange(TDatabase& db, std::int32_t counterID, const TTaskFile& line,
                                          const TIndexRange& range) {
    if (range.MinIndex < 0 || range.MaxIndex < 0 || range.MinIndex > line.RecordCount ||
        range.MaxIndex > line.RecordCount)
        return "Значения индексов должны лежать в пределах от 0 до " + std::to_string(line.RecordCount);
    if (range.MinIndex > range.MaxIndex) return std::string("Начальный индекс больше конечного");
    TStatement q = db.Prepare(
        "INSERT OR REPLACE INTO DiapIndex (CounterID, FileID, MinIndex, MaxIndex) "
        "VALUES (:CounterID, :FileID, :MinIndex, :MaxIndex)");
    q.BindInt(":CounterID", counterID)
        .BindInt(":FileID", line.FileInternalID)
        .BindInt(":MinIndex", range.MinIndex)
        .BindInt(":MaxIndex", range.MaxIndex);
    q.Execute();
    return std::nullopt;
}

namespace {
std::mutex rangeMutex;
TLoadProfileRange pendingRange;
}  // namespace

TLoadProfileRange LoadProfileRangeFor(std::int32_t counterID) {
    std::lock_guard lock(rangeMutex);
    if (pendingRange.Pending && pendingRange.CounterID == counterID) return pendingRange;
    TLoadProfileRange r;
    r.CounterID = counterID;
    return r;
}

std::optional<std::string> SetLoadProfileRange(TLoadProfileRange range, std::int32_t recordCount) {
    if (recordCount < 0 || range.StartOffset < -recordCount || range.StartOffset > recordCount ||
        range.EndOffset < -recordCount || range.EndOffset > recordCount)
        return "Смещение должно лежать в пределах от " + std::to_string(-recordCount) + " до " +
               std::to_string(recordCount);
    std::lock_guard lock(rangeMutex);
    range.Pending = true;
    pendingRange = range;
    return std::nullopt;
}

std::optional<TLoadProfileRange> TakeLoadProfileRange(std::int32_t counterID) {
    std::lock_guard lock(rangeMutex);
    if (!pendingRange.Pending || pendingRange.CounterID != counterID) return std::nullopt;
    TLoadProfileRange r = pendingRange;
    pendingRange.Pending = false;
    return r;
}

void ClearLoadProfileRange() {
    std::lock_guard lock(rangeMutex);
    pendingRange = {};
}

bool WriteJournal(TDatabase& db, std::int32_t counterID, const std::vector<TJournalArea>& read,
                  const std::vector<TJournalArea>& written, TDateTime when) {
    JobContext& job = CurrentJob();
    job.SetOverall(0, static_cast<int>(read.size()));
    try {
        TTransaction tx(db);
        TStatement ins = db.Prepare(
            "INSERT INTO CounterPrograms (CDate, CTime, CounterID, FileID, Readed) "
            "VALUES (:CDate, :CTime, :CounterID, :FileID, '1')");
        int position = 0;
        for (const auto& a : read) {
            ins.Reset();
            ins.BindDate(":CDate", when).BindTime(":CTime", when).BindInt(":CounterID", counterID).BindInt(":FileID", a.FileID);
            ins.Execute();
            job.SetStepText("Сохранение данных файла " + a.FileName);
            job.SetOverall(++position, static_cast<int>(read.size()));
        }
        TStatement upd = db.Prepare(
            "UPDATE CounterPrograms SET Writed = '1' WHERE (CDate = :CDate) AND (CTime = :CTime) "
            "AND (CounterID = :CounterID) AND (FileID = :FileID)");
        TStatement insW = db.Prepare(
            "INSERT INTO CounterPrograms (CDate, CTime, CounterID, FileID, Writed) "
            "VALUES (:CDate, :CTime, :CounterID, :FileID, '1')");
        for (const auto& a : written) {
            bool inRead = false;
            for (const auto& r : read) inRead = inRead || r.FileID == a.FileID;
            TStatement& st = inRead ? upd : insW;
            st.Reset();
            st.BindDate(":CDate", when).BindTime(":CTime", when).BindInt(":CounterID", counterID).BindInt(":FileID", a.FileID);
            st.Execute();
        }
        tx.Commit();
        return true;
    } catch (const TDatabaseError&) {
        return false;
    }
}
