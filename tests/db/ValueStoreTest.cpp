// The value store and its background writer: row rules, retention, meter switching,
// failures that do not stop the writer, durability, copying a meter's values.
#include "db/DataBaseModule.h"
#include "db/ValueStore.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <tuple>

namespace {

using namespace std::chrono_literals;

TStructToWrite Value(int counter, int param, int index, TDateTime when, int maxDaySave, std::uint8_t byte) {
    TStructToWrite v;
    v.CounterID = counter;
    v.ParamID = param;
    v.ParamIndex = index;
    v.ChangeDateTime = when;
    v.MaxDaySave = maxDaySave;
    v.Value = TValueRecord::From(&byte, 1);
    return v;
}

using TRow = std::tuple<int, int, std::string, int>;  // ParamID, ParamIndex, day, first byte

class ValueStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        module = std::make_unique<TDataBaseModule>(home.Dir() + "Database");
        ASSERT_TRUE(module->CheckTables());
        module->CreateValueTable(5);
        module->CreateValueTable(7);
        TWriterEvents events;
        events.StatusChanged = [this](int pending) {
            std::lock_guard lk(mu);
            statuses.push_back(pending);
        };
        events.ValueFailed = [this](const TStructToWrite& v, const std::string& error) {
            std::lock_guard lk(mu);
            failures.emplace_back(v, error);
        };
        writer = std::make_unique<TWrite_Thread>(module->FilePath(), events);
    }

    void Write(std::vector<TStructToWrite> values) {
        ASSERT_TRUE(writer->Queue(std::move(values)));
        ASSERT_TRUE(writer->WaitUntilEmpty(30s));
    }

    std::vector<TRow> Rows(int counter) {
        std::vector<TRow> rows;
        TStatement st = module->Db().Prepare("SELECT ParamID, ParamIndex, ChangeDateTime, DataValue FROM ParamValues" +
                                             std::to_string(counter) + " ORDER BY 1, 2, 3");
        while (st.Step()) {
            const TBlob b = st.Blob(3);
            rows.emplace_back(st.Int(0), st.Int(1), st.Text(2), b.empty() ? -1 : b[0]);
        }
        return rows;
    }

    TempHome home;
    std::unique_ptr<TDataBaseModule> module;
    // What the writer reports; declared before it, so they outlive its thread.
    std::mutex mu;
    std::vector<int> statuses;
    std::vector<std::pair<TStructToWrite, std::string>> failures;
    std::unique_ptr<TWrite_Thread> writer;
};

const TDateTime kDay = EncodeDate(2024, 5, 20);
std::string Day(int offset) { return SqlDateText(kDay + offset); }

TEST_F(ValueStoreTest, RowRulesOfSettingsAndHistories) {
    // A history value twice on one day (at different times): one row, the second value.
    Write({Value(5, 10, 0, kDay + 0.25, 30, 1), Value(5, 10, 0, kDay + 0.75, 30, 2)});
    // A setting written on two days: one row, dated the second day.
    Write({Value(5, 20, 3, kDay - 1, 0, 7)});
    Write({Value(5, 20, 3, kDay + 0.5, 0, 8)});
    // A history on two days keeps both; another index is a row of its own.
    Write({Value(5, 30, 0, kDay - 1, 10, 4), Value(5, 30, 0, kDay, 10, 5), Value(5, 30, 1, kDay, 10, 6)});

    EXPECT_EQ(Rows(5), (std::vector<TRow>{{10, 0, Day(0), 2},
                                          {20, 3, Day(0), 8},
                                          {30, 0, Day(-1), 4},
                                          {30, 0, Day(0), 5},
                                          {30, 1, Day(0), 6}}));
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(writer->WrittenCount(), 7);
}

TEST_F(ValueStoreTest, RetentionOfFortyFiveDays) {
    std::vector<TStructToWrite> history;
    for (int offset : {-60, -46, -45, -44, -1}) history.push_back(Value(5, 40, 0, kDay + offset, 0, 0));
    // Stored as plain rows first (retention 0 would collapse them, so use a wide one).
    for (auto& v : history) v.MaxDaySave = 1000;
    history.push_back(Value(5, 40, 1, kDay - 60, 1000, 9));  // another index: untouched
    Write(history);
    ASSERT_EQ(Rows(5).size(), 6u);

    Write({Value(5, 40, 0, kDay + 0.9, 45, 1)});
    EXPECT_EQ(Rows(5), (std::vector<TRow>{{40, 0, Day(-45), 0},
                                          {40, 0, Day(-44), 0},
                                          {40, 0, Day(-1), 0},
                                          {40, 0, Day(0), 1},
                                          {40, 1, Day(-60), 9}}));
}

TEST_F(ValueStoreTest, MetersFiveFiveSevenSwitchTheTableOnceAndAnEmptyQueueShowsZero) {
    Write({Value(5, 1, 0, kDay, 0, 1), Value(5, 2, 0, kDay, 0, 2), Value(7, 1, 0, kDay, 0, 3)});
    EXPECT_EQ(writer->TableOpenCount(), 2) << "meter 5, then one switch to meter 7";
    EXPECT_EQ(Rows(5).size(), 2u);
    EXPECT_EQ(Rows(7).size(), 1u);
    EXPECT_EQ(writer->PendingCount(), 0);
    // The empty queue closed the table and posted the count 0.
    for (int i = 0; i < 100; ++i) {
        {
            std::lock_guard lk(mu);
            if (!statuses.empty() && statuses.back() == 0) break;
        }
        std::this_thread::sleep_for(10ms);
    }
    std::lock_guard lk(mu);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back(), 0);
    EXPECT_EQ(PendingStatusText(statuses.back()), "Осталось несохраненных записей: 0");
}

TEST_F(ValueStoreTest, ValueThatCannotBeWrittenIsReportedAndTheWriterGoesOn) {
    TStructToWrite tooLong = Value(5, 3, 0, kDay, 0, 1);
    tooLong.Value.Length = 60;  // never trusted for a size
    Write({Value(5, 1, 0, kDay, 0, 1), Value(99, 1, 0, kDay, 0, 2) /* no such meter table */,
           Value(5, 2, 0, kDay, 0, 3), tooLong, Value(7, 1, 0, kDay, 0, 4)});
    EXPECT_EQ(Rows(5).size(), 2u);
    EXPECT_EQ(Rows(7).size(), 1u);
    {
        std::lock_guard lk(mu);
        ASSERT_EQ(failures.size(), 2u);
        EXPECT_EQ(failures[0].first.CounterID, 99);
        EXPECT_NE(failures[0].second.find("ParamValues99"), std::string::npos) << failures[0].second;
        EXPECT_EQ(failures[1].first.ParamID, 3);
    }
    EXPECT_EQ(writer->FailedCount(), 2);
    EXPECT_EQ(writer->WrittenCount(), 3);

    // The meter's table vanishes while the writer holds it: reported, then business as usual.
    module->Db().Execute("DROP TABLE ParamValues7");
    Write({Value(7, 2, 0, kDay, 0, 5), Value(5, 9, 0, kDay, 0, 6)});
    EXPECT_EQ(writer->FailedCount(), 3);
    EXPECT_EQ(Rows(5).size(), 3u);
}

TEST_F(ValueStoreTest, CommittedValuesSurviveACrash) {
    writer.reset();
    const std::string path = module->FilePath();
    module.reset();  // no connection crosses the fork
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The program: queue, wait for the commit, then die without any clean-up.
        TWrite_Thread w(path);
        std::vector<TStructToWrite> values;
        for (int i = 0; i < 5000; ++i) values.push_back(Value(5, 1 + i / 100, i % 100, kDay, 0, static_cast<std::uint8_t>(i)));
        w.Queue(std::move(values));
        const bool done = w.WaitUntilEmpty(60s);
        _exit(done ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    TDatabase db(path);
    EXPECT_EQ(TTable(db, "ParamValues5").RecordCount(), 5000);
}

TEST_F(ValueStoreTest, CopyMeterValuesQueuesTheWritableValuesDatedToday) {
    TDatabase& db = module->Db();
    // Areas and parameters of our own, apart from the seeded dictionary.
    db.Execute("INSERT INTO Files (FileID, FileName, ReadOnly) VALUES (90001, 'запись', '0'), (90002, 'чтение', '1')");
    db.Execute("INSERT INTO Params (ParamID, ParamName, FileID, MaxDaySave, IsReadOnly) VALUES "
               "(900001, 'уставка', 90001, 0, '0'), (900002, 'только чтение', 90001, 0, '1'), "
               "(900003, 'в области чтения', 90002, 0, '0'), (900004, 'история', 90001, 30, '0')");
    Write({Value(5, 900001, 0, kDay - 3, 0, 1), Value(5, 900002, 0, kDay, 0, 2), Value(5, 900003, 0, kDay, 0, 3),
           Value(5, 900004, 2, kDay - 2, 30, 4), Value(5, 900004, 2, kDay - 1, 30, 5)});

    ASSERT_TRUE(CopyMeterValues(db, *writer, 5, 7));
    ASSERT_TRUE(writer->WaitUntilEmpty(30s));
    const std::string today = SqlDateText(TodayDate());
    // The history's days collapse into today's row, the newest value last.
    EXPECT_EQ(Rows(7), (std::vector<TRow>{{900001, 0, today, 1}, {900004, 2, today, 5}}));

    EXPECT_FALSE(CopyMeterValues(db, *writer, 5, 8)) << "the target has no table";
    EXPECT_FALSE(CopyMeterValues(db, *writer, 6, 7)) << "the source has no table";
}

TEST_F(ValueStoreTest, DiapIndexRowsAreEditedOrAppended) {
    TDatabase& db = module->Db();
    EXPECT_FALSE(ReadDiapIndex(db, 5, 16));
    WriteDiapIndex(db, 5, 16, {100, 0});
    WriteDiapIndex(db, 5, 13, {2, 8});
    WriteDiapIndex(db, 5, 16, {140, 0});
    const auto row = ReadDiapIndex(db, 5, 16);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->MinIndex, 140);
    EXPECT_EQ(ReadDiapIndex(db, 5, 13)->MaxIndex, 8);
    EXPECT_EQ(TTable(db, "DiapIndex").RecordCount(), 2);
}

TEST_F(ValueStoreTest, ProcessWideWriterQueuesOnlyWhileItRuns) {
    writer.reset();
    EXPECT_FALSE(QueueValue(Value(5, 1, 0, kDay, 0, 1))) << "nobody logged in";
    EXPECT_EQ(PendingCount(), 0);
    StartWriteThread(module->FilePath());
    EXPECT_TRUE(QueueValue(Value(5, 1, 0, kDay, 0, 1)));
    EXPECT_EQ(StopWriteThread(true), 0u);
    EXPECT_EQ(WriteThread, nullptr);
    EXPECT_EQ(Rows(5).size(), 1u);
}

}  // namespace
