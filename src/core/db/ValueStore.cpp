#include "db/ValueStore.h"

#include "db/DataBaseModule.h"

#include <sys/resource.h>
#include <cerrno>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iterator>

TWrite_Thread* WriteThread = nullptr;

namespace {
constexpr auto kStatusInterval = std::chrono::milliseconds(200);
}

TValueRecord TValueRecord::From(const std::uint8_t* bytes, std::size_t count) {
    TValueRecord r;
    const std::size_t n = std::min<std::size_t>(count, kCapacity);
    if (n) std::memcpy(r.Data.data(), bytes, n);
    r.Length = static_cast<std::int32_t>(n);
    return r;
}

std::string PendingStatusText(int pending) { return "Осталось несохраненных записей: " + std::to_string(pending); }

// Statements on the current meter's table, prepared once per switch of meter. Each
// value is a delete and a plain single-row insert: the engine then needs no
// statement journal, which an INSERT OR REPLACE on this table would write (and
// encrypt) page by page for every value.
struct TWrite_Thread::TMeterStatements {
    TStatement DeleteDays;  // a history: the same day and the days beyond the retention
    TStatement DeleteAll;   // a setting keeps one row
    TStatement Insert;
};

TWrite_Thread::TWrite_Thread(const std::string& databasePath, TWriterEvents events, bool higherPriority)
    : db_(std::make_unique<TDatabase>(databasePath)), events_(std::move(events)) {
    thread_ = std::thread([this, higherPriority] { Run(higherPriority); });
}

TWrite_Thread::~TWrite_Thread() {
    Terminate();
    WaitFor();
    DiscardPending();
    CloseTable();
}

bool TWrite_Thread::Queue(const TStructToWrite& value) {
    {
        std::lock_guard lk(mu_);
        if (terminated_) return false;
        queue_.push_back(value);
        pending_.store(static_cast<int>(queue_.size() + inFlight_), std::memory_order_relaxed);
    }
    work_.notify_one();
    return true;
}

bool TWrite_Thread::Queue(std::vector<TStructToWrite> values) {
    {
        std::lock_guard lk(mu_);
        if (terminated_) return false;
        queue_.insert(queue_.end(), std::make_move_iterator(values.begin()), std::make_move_iterator(values.end()));
        pending_.store(static_cast<int>(queue_.size() + inFlight_), std::memory_order_relaxed);
    }
    work_.notify_one();
    return true;
}

bool TWrite_Thread::WaitUntilEmpty(std::chrono::milliseconds timeout) {
    std::unique_lock lk(mu_);
    const bool done = idle_.wait_for(lk, timeout, [&] { return (queue_.empty() && inFlight_ == 0) || terminated_; });
    return done && queue_.empty() && inFlight_ == 0;
}

void TWrite_Thread::Terminate() {
    {
        std::lock_guard lk(mu_);
        terminated_ = true;
    }
    work_.notify_all();
    idle_.notify_all();
}

void TWrite_Thread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

std::size_t TWrite_Thread::DiscardPending() {
    std::lock_guard lk(mu_);
    const std::size_t n = queue_.size();
    queue_.clear();
    pending_.store(static_cast<int>(inFlight_), std::memory_order_relaxed);
    return n;
}

std::string TWrite_Thread::LastError() const {
    std::lock_guard lk(mu_);
    return lastError_;
}

void TWrite_Thread::PostStatus(int pending, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastStatus_ < kStatusInterval) return;
    lastStatus_ = now;
    if (events_.StatusChanged) events_.StatusChanged(pending);
}

void TWrite_Thread::ReportFailure(const TStructToWrite& item, const std::string& error) {
    failed_.fetch_add(1);
    {
        std::lock_guard lk(mu_);
        lastError_ = error;
    }
    if (events_.ValueFailed) events_.ValueFailed(item, error);
}

void TWrite_Thread::CloseTable() {
    statements_.reset();
    current_.reset();
}

void TWrite_Thread::Run(bool higherPriority) {
    if (higherPriority) {
        // One step above normal; without the right to raise it the thread stays normal.
        const pid_t tid = static_cast<pid_t>(gettid());
        errno = 0;
        const int now = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
        if (errno == 0) (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), now - 1);
    }
    std::vector<TStructToWrite> batch;
    batch.reserve(kMaxBatch);
    while (true) {
        {
            std::unique_lock lk(mu_);
            work_.wait(lk, [&] { return terminated_ || !queue_.empty(); });
            if (terminated_) break;
            const std::size_t n = std::min(queue_.size(), kMaxBatch);
            batch.assign(std::make_move_iterator(queue_.begin()),
                         std::make_move_iterator(queue_.begin() + static_cast<std::ptrdiff_t>(n)));
            queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
            inFlight_ = n;
        }
        WriteBatch(batch);
        batch.clear();
        int pending;
        bool empty;
        {
            std::lock_guard lk(mu_);
            inFlight_ = 0;
            empty = queue_.empty();
            pending = static_cast<int>(queue_.size());
            pending_.store(pending, std::memory_order_relaxed);
        }
        if (empty) {
            // Nothing more to do: let go of the meter's table until the next value.
            CloseTable();
            idle_.notify_all();
            PostStatus(0, true);
        } else {
            PostStatus(pending, false);
        }
    }
    CloseTable();
    idle_.notify_all();
}

void TWrite_Thread::WriteBatch(std::vector<TStructToWrite>& batch) {
    std::vector<std::pair<std::size_t, std::string>> failures;
    try {
        TTransaction tx(*db_, TTransaction::Mode::Immediate);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            try {
                WriteItem(batch[i]);
            } catch (const TDatabaseError& e) {
                // The engine dropped the whole transaction: go over the batch one by one.
                if (!db_->InTransaction()) throw;
                failures.emplace_back(i, e.what());
            }
        }
        tx.Commit();
    } catch (const std::exception&) {
        // Nothing of the batch was committed. Each value on its own, so that one bad
        // value does not take the others with it.
        CloseTable();
        failures.clear();
        for (const auto& item : batch) {
            try {
                TTransaction tx(*db_, TTransaction::Mode::Immediate);
                WriteItem(item);
                tx.Commit();
                written_.fetch_add(1);
            } catch (const std::exception& e) {
                CloseTable();
                ReportFailure(item, e.what());
            }
        }
        return;
    }
    written_.fetch_add(static_cast<long long>(batch.size() - failures.size()));
    for (const auto& [i, error] : failures) ReportFailure(batch[i], error);
}

void TWrite_Thread::WriteItem(const TStructToWrite& item) {
    if (item.Value.Length < 0 || item.Value.Length > TValueRecord::kCapacity)
        throw TDatabaseError("Неверная длина значения параметра " + std::to_string(item.ParamID) + ": " +
                             std::to_string(item.Value.Length));
    if (!current_ || *current_ != item.CounterID) {
        CloseTable();
        tableOpens_.fetch_add(1);
        const std::string table = "\"" + ValueTableName(item.CounterID) + "\"";
        // Preparing fails when the meter has no table: that value is reported.
        statements_ = std::make_unique<TMeterStatements>(TMeterStatements{
            db_->Prepare("DELETE FROM " + table +
                         " WHERE (ParamID = :ParamID) AND (ParamIndex = :ParamIndex)"
                         " AND ((ChangeDateTime < :LastDate) OR (ChangeDateTime = :ChangeDateTime))"),
            db_->Prepare("DELETE FROM " + table + " WHERE (ParamID = :ParamID) AND (ParamIndex = :ParamIndex)"),
            db_->Prepare("INSERT INTO " + table +
                         " (ParamID, ParamIndex, ChangeDateTime, DataValue) "
                         "VALUES (:ParamID, :ParamIndex, :ChangeDateTime, :DataValue)")});
        current_ = item.CounterID;
    }
    auto& s = *statements_;
    const TDateTime day = DateOf(item.ChangeDateTime);
    const std::span<const std::uint8_t> value(item.Value.Data.data(), static_cast<std::size_t>(item.Value.Length));
    if (item.MaxDaySave > 0) {
        // The row of the same day is replaced; rows older than the day minus the
        // retention go with it.
        s.DeleteDays.BindInt(":ParamID", item.ParamID)
            .BindInt(":ParamIndex", item.ParamIndex)
            .BindDate(":LastDate", day - item.MaxDaySave)
            .BindDate(":ChangeDateTime", day);
        s.DeleteDays.Execute();
    } else {
        s.DeleteAll.BindInt(":ParamID", item.ParamID).BindInt(":ParamIndex", item.ParamIndex);
        s.DeleteAll.Execute();
    }
    s.Insert.BindInt(":ParamID", item.ParamID)
        .BindInt(":ParamIndex", item.ParamIndex)
        .BindDate(":ChangeDateTime", day)
        .BindBlob(":DataValue", value);
    s.Insert.Execute();
}

// ---------------------------------------------------------------- process-wide writer

void StartWriteThread(const std::string& databasePath, TWriterEvents events, bool higherPriority) {
    if (WriteThread) StopWriteThread(false);
    WriteThread = new TWrite_Thread(databasePath, std::move(events), higherPriority);
}

std::size_t StopWriteThread(bool writeRemaining) {
    if (!WriteThread) return 0;
    if (writeRemaining) WriteThread->WaitUntilEmpty();
    WriteThread->Terminate();
    WriteThread->WaitFor();
    const std::size_t discarded = WriteThread->DiscardPending();
    delete WriteThread;
    WriteThread = nullptr;
    return discarded;
}

bool QueueValue(const TStructToWrite& value) { return WriteThread && WriteThread->Queue(value); }

int PendingCount() { return WriteThread ? WriteThread->PendingCount() : 0; }

// ---------------------------------------------------------------- copying a meter

bool CopyMeterValues(TDatabase& db, TWrite_Thread& writer, std::int32_t sourceCounterID, std::int32_t targetCounterID) {
    try {
        if (!db.TableExists(ValueTableName(targetCounterID))) return false;
        TStatement st = db.Prepare(
            "SELECT ParamValues.ParamID, ParamValues.ParamIndex, ParamValues.DataValue, Params.MaxDaySave "
            "FROM \"" + ValueTableName(sourceCounterID) + "\" ParamValues, Files, Params "
            "WHERE (Files.ReadOnly = '0') AND (Files.FileID = Params.FileID) AND (Params.ParamID = ParamValues.ParamID) "
            "AND (coalesce(Params.IsReadOnly, '0') <> '1') "
            "ORDER BY Params.ParamID ASC, ParamIndex ASC, ChangeDateTime ASC");
        const TDateTime today = TodayDate();
        std::vector<TStructToWrite> values;
        while (st.Step()) {
            TStructToWrite v;
            v.ParamID = st.Int(0);
            v.ParamIndex = st.Int(1);
            v.Value = TValueRecord::From(st.Blob(2));
            v.MaxDaySave = st.Int(3);
            v.CounterID = targetCounterID;
            v.ChangeDateTime = today;
            values.push_back(v);
        }
        return writer.Queue(std::move(values));
    } catch (const std::exception&) {
        return false;
    }
}

bool CopyMeterValues(std::int32_t sourceCounterID, std::int32_t targetCounterID) {
    if (!DataBaseModule || !WriteThread) return false;
    return CopyMeterValues(DataBaseModule->Db(), *WriteThread, sourceCounterID, targetCounterID);
}

// ---------------------------------------------------------------- DiapIndex

std::optional<TDiapIndexRow> ReadDiapIndex(TDatabase& db, std::int32_t counterID, std::int32_t fileInternalID) {
    TStatement st = db.Prepare("SELECT MinIndex, MaxIndex FROM DiapIndex WHERE (CounterID = :CounterID) AND (FileID = :FileID)");
    st.BindInt(":CounterID", counterID).BindInt(":FileID", fileInternalID);
    if (!st.Step()) return std::nullopt;
    return TDiapIndexRow{st.Int(0), st.Int(1)};
}

void WriteDiapIndex(TDatabase& db, std::int32_t counterID, std::int32_t fileInternalID, const TDiapIndexRow& row) {
    TStatement st = db.Prepare(
        "INSERT OR REPLACE INTO DiapIndex (CounterID, FileID, MinIndex, MaxIndex) "
        "VALUES (:CounterID, :FileID, :MinIndex, :MaxIndex)");
    st.BindInt(":CounterID", counterID)
        .BindInt(":FileID", fileInternalID)
        .BindInt(":MinIndex", row.MinIndex)
        .BindInt(":MaxIndex", row.MaxIndex);
    st.Execute();
}
