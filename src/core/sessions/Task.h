#pragma once
// A meter's task (TaskCounter: which areas the next session reads and writes), the
// record ranges of indexed areas (DiapIndex), the one-time load-profile range and the
// session journal (CounterPrograms).
//
// Everything the task dialog does without its window: the dialog fills its two
// pages from FillTask, lets the user include and exclude lines, and hands the lines
// back to SaveTask. The index-range and load-profile dialogs use LoadIndexRange /
// SaveIndexRange and LoadProfileRangeFor / SetLoadProfileRange.

#include "db/Database.h"
#include "db/DictionaryRows.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The selected meter, handed to dialogs and report windows (which own it).
struct TCounterStat {
    TCounterStat() = default;
    TCounterStat(std::int32_t counterID, std::string counterName, std::int64_t zNumber,
                 std::int32_t versionInternalID, std::int32_t versionID)
        : CounterID(counterID), VersionID(versionID), VersionInternalID(versionInternalID),
          ZNumber(zNumber), CounterName(std::move(counterName)) {}

    std::int32_t CounterID = 0;          // names the meter's value table
    std::int32_t VersionID = 0;          // version code the meter reports
    std::int32_t VersionInternalID = 0;  // dictionary revision (key of Versions)
    std::int64_t ZNumber = 0;            // factory number (32-bit unsigned on the wire)
    std::string CounterName;
};

// The meter as registered in Counters; nullopt when there is no such meter.
std::optional<TCounterStat> LoadCounterStat(TDatabase& db, std::int32_t counterID);

// One line of the task dialog.
struct TTaskFile {
    TTaskFile(std::int32_t fileID = 0, bool isWriteItem = false) : FileID(fileID), IsWriteItem(isWriteItem) {}

    std::int32_t FileID = 0;
    std::int32_t FileInternalID = 0;
    bool IsWriteItem = false;  // false: "Чтение из счетчика", true: "Запись в счетчик"
    std::string FileName;
    bool FileIndex = false;
    std::int32_t RecordCount = 0;  // FileSize of an indexed area, else 0
    bool Included = false;
    bool RowExists = false;        // a TaskCounter row exists
    bool ReadOnly = false;
    std::uint8_t StatReset = 0;    // 0 settings, 1 history, 2 load-profile ring (the line's image index)

    void LoadFromRow(const TFileRow& row);

    // Column texts of the dialog.
    std::string IncludedText() const { return Included ? "Включен" : "Не включен"; }  // "Включен в задание"
    std::string IndexesText() const;                                                   // "Индексы"
    std::string StatResetText() const { return StatReset != 0 ? "Да" : "Нет"; }       // "Параметр сброса статистики"
};

// Both pages of the dialog.
struct TTaskLines {
    std::vector<TTaskFile> Read;
    std::vector<TTaskFile> Write;

    // The line of an area on one page, or nullptr.
    TTaskFile* Find(std::int32_t fileID, bool writeItem);
};

// Name of the area that holds the write passwords: only ever written.
inline constexpr const char* kPasswordAreaName = "Пароли доступа";

// Revisions that must not be offered an area (their meters do not have it).
bool TaskAreaExcluded(std::int32_t versionInternalID, std::int32_t fileID);

// The lines of the meter's revision in FileInternalID order, with the meter's task
// rows applied. Engine errors leave the lists empty (nothing is shown).
TTaskLines FillTask(TDatabase& db, const TCounterStat& counter);

// Saves one line: sets the flag of its page on the meter's row, or creates the row.
// RowExists is refreshed. False when the engine refused (nothing else is reported).
bool SaveTaskRow(TTaskFile& line, TDatabase& db, std::int32_t counterID);
// OK of the dialog: every read line, then every write line, all or nothing.
bool SaveTask(TTaskLines& lines, TDatabase& db, std::int32_t counterID);

// Index-range dialog ("Значения индексов") of an indexed area that is not a ring.
struct TIndexRange {
    std::int32_t MinIndex = 0;
    std::int32_t MaxIndex = 0;
};
// The stored range, or 0 .. RecordCount without a row; always within 0 .. RecordCount.
TIndexRange LoadIndexRange(TDatabase& db, std::int32_t counterID, const TTaskFile& line);
// Stores the range (row keyed by the area's FileInternalID). The error text for a
// range outside 0 .. RecordCount or with MinIndex > MaxIndex (nothing stored), or
// nullopt on success. Engine errors are thrown.
std::optional<std::string> SaveIndexRange(TDatabase& db, std::int32_t counterID, const TTaskFile& line,
                                          const TIndexRange& range);

// Load-profile dialog ("Читать график нагрузки"): a range read once by the next read
// session of that meter. "From" and "to" count from the last record read (the stored
// position, "Последней") or from the meter's current record ("Текущей"), plus an
// offset in records (-RecordCount .. RecordCount).
struct TLoadProfileRange {
    bool FromLast = true;   // "С точки": "Последней" (default) or "Текущей"
    bool ToLast = false;    // "По точку": "Текущей" (default) or "Последней"
    std::int32_t StartOffset = 0;
    std::int32_t EndOffset = 0;
    std::int32_t CounterID = 0;
    bool Pending = false;
};
// What the dialog shows for a meter: its pending range, or the defaults.
TLoadProfileRange LoadProfileRangeFor(std::int32_t counterID);
// OK of the dialog: stores the range for range.CounterID and marks it pending. The
// error text when an offset lies outside -recordCount .. recordCount (nothing stored).
std::optional<std::string> SetLoadProfileRange(TLoadProfileRange range, std::int32_t recordCount);
// The read session takes the pending range of its meter once (and clears it).
std::optional<TLoadProfileRange> TakeLoadProfileRange(std::int32_t counterID);
void ClearLoadProfileRange();

// One area of a finished session, for the journal.
struct TJournalArea {
    std::int32_t FileID = 0;
    std::string FileName;
};
// Journals a session: one CounterPrograms row per area read ("Readed"), areas written
// get "Writed" on the same row or a row of their own. Date and full time of day are
// taken once (`when`). All rows or none; false when the engine refused.
bool WriteJournal(TDatabase& db, std::int32_t counterID, const std::vector<TJournalArea>& read,
                  const std::vector<TJournalArea>& written, TDateTime when);
