#pragma once
// The database module: owns the program's connection to Database/Olmar.db and, at
// start-up, makes sure every table exists, creates and seeds the missing ones,
// re-keys outdated value tables and adds the columns older databases lack.

#include "db/Database.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Step text and progress of the check, for the splash window or a progress line.
using TCheckProgress = std::function<void(const std::string& text, int position, int maximum)>;

// What one CheckTables run did; empty when the database was complete already.
struct TCheckReport {
    // Tables created, each with the number of rows seeded into it.
    std::vector<std::pair<std::string, long long>> CreatedTables;
    // Value tables rebuilt with the three-field key (by CounterID).
    std::vector<std::int32_t> RekeyedValueTables;
    // Value tables of meters listed in Counters that were missing and were created empty.
    std::vector<std::int32_t> CreatedValueTables;
    // Columns added to older tables ("Users.UserDescription").
    std::vector<std::string> AddedColumns;
    // Versions whose hidden flag was put back after a dictionary reset.
    int RestoredVersionFlags = 0;
    // Plain-text user passwords found and replaced by hashes.
    int HashedPasswords = 0;
    // A leftover "tmptable" of an interrupted re-keying: what became of it.
    std::string RecoveredTmpTable;
    // The missing row of ProtocolNumber was put back.
    bool ProtocolNumberRowAdded = false;

    bool Changed() const;
    // Human-readable lines, one per action (Russian).
    std::vector<std::string> Lines() const;
};

class TDataBaseModule {
public:
    // Creates `databaseFolder` (with missing parents) and opens the database file in
    // it. Throws TDatabaseError when the folder cannot be made or the file cannot be
    // opened with the master password (the file is then left as it is).
    explicit TDataBaseModule(std::string databaseFolder, TCheckProgress progress = {});
    ~TDataBaseModule();
    TDataBaseModule(const TDataBaseModule&) = delete;
    TDataBaseModule& operator=(const TDataBaseModule&) = delete;

    // The connection of the user-interface thread.
    TDatabase& Db() { return *db_; }
    const std::string& Folder() const { return folder_; }
    std::string FilePath() const { return DatabaseFilePath(folder_); }

    // The start-up check. False when a missing table could not be created (LastError
    // says why); engine errors elsewhere are thrown.
    bool CheckTables();
    // Creates one of the eighteen tables and seeds it, in one transaction: a table
    // is never left half-seeded. False on failure (nothing of it remains).
    bool CreateTable(const std::string& name);
    // Inserts the seed rows of one table (in its own transaction, or inside the
    // caller's). False on failure.
    bool SeedTable(const std::string& name);
    // Creates the value table of a meter (see CreateValueTable below).
    void CreateValueTable(std::int32_t counterID);

    // Dictionary reset of the start-up: remembers the hidden flags of Versions (in the
    // database itself, so a crash before they are restored loses nothing) and drops
    // the six dictionary tables, all in one transaction. Nothing to do when the file
    // does not exist yet. False with `error` filled when the file cannot be opened.
    static bool ResetDictionary(const std::string& databaseFolder, std::string* error = nullptr);
    // Keeps the (VersionInternalID, IsInvisible) pairs of Versions until
    // RestoreVersionVisibility; a list kept before is not overwritten.
    static void SaveVersionVisibility(TDatabase& db);
    // Puts the kept flags back into Versions and forgets them; the number of versions
    // updated (0 when nothing was kept).
    int RestoreVersionVisibility();

    // Where CheckTables reports its steps (none: silent).
    void SetProgress(TCheckProgress progress) { progress_ = std::move(progress); }

    const TCheckReport& Report() const { return report_; }
    const std::string& LastError() const { return lastError_; }

    // The eighteen tables of the check, in their order.
    static const std::vector<std::string>& CheckedTableNames();
    // Name of the table that keeps the hidden flags across a dictionary reset.
    static constexpr const char* kSavedVisibilityTable = "SavedVersionVisibility";

private:
    void Progress(const std::string& text, int position);
    void RecoverTmpTable();
    void RekeyValueTable(std::int32_t counterID);
    void UpgradeColumns();
    void HashPlainPasswords();
    void EnsureProtocolNumber();

    std::string folder_;
    std::unique_ptr<TDatabase> db_;
    TCheckProgress progress_;
    int position_ = 0;
    TCheckReport report_;
    std::string lastError_;
};

// The single module, created at start-up and freed at shutdown.
extern TDataBaseModule* DataBaseModule;

// "ParamValues" + CounterID: the value table of a meter.
std::string ValueTableName(std::int32_t counterID);
// Creates the value table of a meter with its key (ParamID, ParamIndex,
// ChangeDateTime). An existing table of that name is an error (thrown): a new
// meter never inherits someone else's values.
void CreateValueTable(TDatabase& db, std::int32_t counterID);
