#pragma once
// The meter registry (table Counters) and each meter's value table: what the meter
// list and its dialogs do, without the windows.

#include "admin/UserAdmin.h"
#include "db/Database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TCounterRow {
    std::int32_t CounterID = 0;
    std::string CounterName;
    std::int32_t VersionID = 0;          // version code
    std::int32_t VersionInternalID = 0;  // revision (key of Versions)
    std::string VersionName;
    std::int64_t ZNumber = 0;
    TDateTime IniDateTime = 0;
    std::string CounterCreateDate;
    std::string CounterCheckDate;
};

struct TVersionChoice {
    std::int32_t VersionInternalID = 0;
    std::int32_t VersionID = 0;
    std::string VersionName;
};

// What the add/edit dialog hands over: the id and factory number as typed.
struct TCounterEdit {
    std::string IdText;
    std::string Name;
    std::string ZNumberText;
    std::int32_t VersionInternalID = 0;
    std::int32_t VersionID = 0;
    std::string CreateDate;
    std::string CheckDate;
};

// Longest texts the dialog takes.
inline constexpr std::size_t kCounterIdDigitsMax = 12;
inline constexpr std::size_t kCounterNameMax = 50;
inline constexpr std::size_t kCounterDateMax = 12;

std::vector<TCounterRow> ListCounters(TDatabase& db);
std::optional<TCounterRow> FindCounter(TDatabase& db, std::int32_t counterID);
// Visible revisions, as the dialog offers them (by version code, then name).
std::vector<TVersionChoice> VersionsForNewCounter(TDatabase& db);
std::optional<TVersionChoice> FindVersion(TDatabase& db, std::int32_t versionInternalID);

// A number typed into the id or factory number field: digits only, at most 12 of
// them, and within what the table holds (a 32-bit integer).
std::optional<std::int32_t> ParseCounterNumber(const std::string& text);

// Adds the meter and creates its value table, both or neither.
TAdminResult AddCounter(TDatabase& db, const TCounterEdit& edit);
// Changes the meter; creates its value table when it is missing.
TAdminResult EditCounter(TDatabase& db, const TCounterEdit& edit);
// Drops the value table, the task rows and index ranges, then the meter row; journal
// rows stay. All or nothing.
TAdminResult DeleteCounter(TDatabase& db, std::int32_t counterID);
std::string DeleteCounterQuestion(const std::string& name);

// Queues, for `targetID` dated today, every stored value of `sourceID` that lies in
// a writable area, oldest first so the newest wins. False on any failure.
bool CopyParams(TDatabase& db, std::int32_t sourceID, std::int32_t targetID);
std::string CopyParamsQuestion(const TCounterRow& source, const TCounterRow& target);
// The refusal for pasting `source` onto `target`, or nullopt when it may go ahead.
std::optional<std::string> CopyParamsRefusal(const TCounterRow& source, const TCounterRow& target);

// One row of a meter's poll journal (CounterPrograms with the area's name).
struct TCounterJournalRow {
    TDateTime CDate = 0;
    TDateTime CTime = 0;
    std::string FileName;
    std::string Writed;  // "1" when the area was written in that session
    std::string Readed;  // "1" when it was read
};
// The poll journal of a meter, oldest session first.
std::vector<TCounterJournalRow> CounterJournal(TDatabase& db, std::int32_t counterID);
