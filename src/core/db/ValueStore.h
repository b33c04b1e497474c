#pragma once
// The value store: every meter's value table "ParamValues<CounterID>", fed only by
// one background writer thread through a queue, and the DiapIndex ranges.
//
// Row rules of a value table (key ParamID, ParamIndex, ChangeDateTime):
// - MaxDaySave 0 (a setting): one row per (ParamID, ParamIndex), replaced by the
//   newest day and value;
// - MaxDaySave > 0 (a history): one row per (ParamID, ParamIndex, day); a second
//   value on the same day replaces the first; rows dated before the new row's day
//   minus MaxDaySave days are deleted whenever that parameter and index is written.
//
// The writer commits several queued values per transaction. Every value it takes
// from the queue is either committed or reported through ValueFailed; a commit is
// durable, so a crash of the program afterwards loses nothing committed. Values
// still waiting in the queue when the writer is stopped are discarded (the user
// agreed to that when ending the session), unless the caller waits for the queue to
// run empty first (WaitUntilEmpty, StopWriteThread(true)).

#include "db/Database.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A value in its stored form: at most 50 bytes are used.
struct TValueRecord {
    static constexpr std::int32_t kCapacity = 50;
    std::array<std::uint8_t, kCapacity> Data{};
    std::int32_t Length = 0;

    // The bytes (at most kCapacity; longer input is cut).
    static TValueRecord From(const std::uint8_t* bytes, std::size_t count);
    static TValueRecord From(const TBlob& bytes) { return From(bytes.data(), bytes.size()); }
};

// One queued value.
struct TStructToWrite {
    std::int32_t ParamID = 0;
    std::int32_t ParamIndex = 0;      // element or record number; 0 for simple parameters
    TDateTime ChangeDateTime = 0;     // as handed to QueueValue; the row keeps its day
    TValueRecord Value;
    std::int32_t MaxDaySave = 0;      // retention of the parameter
    std::int32_t CounterID = 0;       // meter whose table receives the row
};

// What the writer tells the user interface. Both are called on the writer thread
// and must not block (the desktop program posts them to its own thread): the writer
// never waits for them, so stopping it can never deadlock.
struct TWriterEvents {
    // After a batch and whenever the queue has run empty (then with 0).
    std::function<void(int pending)> StatusChanged;
    // A value that could not be written; the writer goes on with the next one.
    std::function<void(const TStructToWrite& value, const std::string& error)> ValueFailed;
};

// "Осталось несохраненных записей: " + count, the status-bar text.
std::string PendingStatusText(int pending);

class TWrite_Thread {
public:
    // Opens its own connection to the database file at `databasePath` (throws
    // TDatabaseError when it cannot) and starts at once. `higherPriority` asks for
    // one step above normal (granted only where the system allows it).
    explicit TWrite_Thread(const std::string& databasePath, TWriterEvents events = {}, bool higherPriority = false);
    // Terminate, wait; values never taken from the queue are discarded.
    ~TWrite_Thread();
    TWrite_Thread(const TWrite_Thread&) = delete;
    TWrite_Thread& operator=(const TWrite_Thread&) = delete;

    // Producer side: append one value, or several at once (kept together in order).
    // False after Terminate.
    bool Queue(const TStructToWrite& value);
    bool Queue(std::vector<TStructToWrite> values);

    // Values queued or being written and not yet committed (a display value).
    int PendingCount() const { return pending_.load(std::memory_order_relaxed); }
    // Blocks until the queue is empty and the last batch is committed; false when the
    // time-out came first or the writer was terminated with values left.
    bool WaitUntilEmpty(std::chrono::milliseconds timeout = std::chrono::hours(24 * 365));

    // Ask the thread to end after the batch it is writing, and wait for it.
    void Terminate();
    void WaitFor();
    // Drops the values still waiting in the queue; their number.
    std::size_t DiscardPending();

    // Counters for status lines, reports and tests.
    long long WrittenCount() const { return written_.load(); }
    long long FailedCount() const { return failed_.load(); }
    // How often the writer pointed itself at a meter's table.
    long long TableOpenCount() const { return tableOpens_.load(); }
    std::string LastError() const;

    // Largest number of values committed in one transaction.
    static constexpr std::size_t kMaxBatch = 4096;

private:
    struct TMeterStatements;
    void Run(bool higherPriority);
    void WriteBatch(std::vector<TStructToWrite>& batch);
    void WriteItem(const TStructToWrite& item);
    void CloseTable();
    void ReportFailure(const TStructToWrite& item, const std::string& error);
    void PostStatus(int pending, bool force);

    std::unique_ptr<TDatabase> db_;
    TWriterEvents events_;
    mutable std::mutex mu_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<TStructToWrite> queue_;
    std::size_t inFlight_ = 0;
    bool terminated_ = false;
    std::atomic<int> pending_{0};
    std::atomic<long long> written_{0};
    std::atomic<long long> failed_{0};
    std::atomic<long long> tableOpens_{0};
    std::string lastError_;
    std::optional<std::int32_t> current_;
    std::unique_ptr<TMeterStatements> statements_;
    std::chrono::steady_clock::time_point lastStatus_{};
    std::thread thread_;
};

// The one writer of the work session; null outside a session.
extern TWrite_Thread* WriteThread;

// Starts the writer of a work session on the database of the module (or `databasePath`).
// Throws TDatabaseError when its connection cannot be opened.
void StartWriteThread(const std::string& databasePath, TWriterEvents events = {}, bool higherPriority = false);
// Ends it. With `writeRemaining` the queue is written first (olmar-cli, shutdown);
// without, the values still queued are discarded (their number is returned).
std::size_t StopWriteThread(bool writeRemaining);

// Producer side used by the codec, the sessions and the editors: false when no
// writer runs (nobody is logged in) or it is stopping.
bool QueueValue(const TStructToWrite& value);
// The writer's pending count; 0 without a writer.
int PendingCount();

// Queues, for `targetCounterID` and dated today, every stored value of the source
// meter that lies in a writable area and belongs to a parameter that is not read-only,
// in the order ParamID, ParamIndex, day (so the newest value of a day comes last).
// False when anything fails (the target table missing, no writer, an engine error).
bool CopyMeterValues(TDatabase& db, TWrite_Thread& writer, std::int32_t sourceCounterID, std::int32_t targetCounterID);
// The same on the program's module and writer.
bool CopyMeterValues(std::int32_t sourceCounterID, std::int32_t targetCounterID);

// DiapIndex: per meter and indexed area (by FileInternalID) the records to read.
struct TDiapIndexRow {
    std::int32_t MinIndex = 0;
    std::int32_t MaxIndex = 0;
};
std::optional<TDiapIndexRow> ReadDiapIndex(TDatabase& db, std::int32_t counterID, std::int32_t fileInternalID);
// Edits the row or appends it.
void WriteDiapIndex(TDatabase& db, std::int32_t counterID, std::int32_t fileInternalID, const TDiapIndexRow& row);
