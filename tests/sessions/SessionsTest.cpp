// Meter sessions end to end: the read, write and password jobs on the program's
// session object against the meter simulator through a pty, with a real database
// and background writer in a temporary program home.
#include "db/DataBaseModule.h"
#include "db/ValueStore.h"
#include "link/ComPort.h"
#include "link/CounterSeance.h"
#include "model/CounterFile.h"
#include "model/ValueText.h"
#include "sessions/Sessions.h"
#include "sessions/Task.h"
#include "shell/Configuration.h"
#include "shell/Globals.h"
#include "shell/JobContext.h"
#include "shell/MeterVersion.h"
#include "support/MeterSim.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sys/wait.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Pairs = std::set<std::pair<int, int>>;

// Answers the write-password prompt and can cancel at a chosen step.
class TestJob : public JobContext {
public:
    void SetStepText(const std::string& text) override {
        JobContext::SetStepText(text);
        if (!cancelAt.empty() && text.find(cancelAt) != std::string::npos) UserCancelled = true;
    }
    std::optional<std::string> AskText(const std::string& caption, const std::string&, bool) override {
        asked.push_back(caption);
        if (caption == kWritePasswordCaption && writePassword) return writePassword;
        if (caption == kIdentifierCaption) return identifier;
        return std::nullopt;
    }
    std::string cancelAt;
    std::optional<std::string> writePassword;
    std::optional<std::string> identifier;
    std::vector<std::string> asked;
};

std::string Hex(const Bytes& b) {
    std::string s;
    char buf[4];
    for (auto x : b) {
        std::snprintf(buf, sizeof buf, "%02X ", x);
        s += buf;
    }
    return s;
}

// A plain block with the version's checksum in its last two bytes.
Bytes Sealed(Bytes data, int version) {
    const std::uint16_t c = AreaChecksum(data, version);
    const bool le = IsLittleEndianVersion(version);
    data.push_back(static_cast<std::uint8_t>(le ? c & 0xFF : c >> 8));
    data.push_back(static_cast<std::uint8_t>(le ? c >> 8 : c & 0xFF));
    return data;
}

class Sessions : public ::testing::Test {
protected:
    Sessions() : config_(home_.File("Olmar32.ini")), scope_(job_) {
        config_.Delay = 400;
        config_.SetTime = true;
        Configuration = &config_;
        DataBaseModule = new TDataBaseModule(home_.File("Database"));
        EXPECT_TRUE(DataBaseModule->CheckTables()) << DataBaseModule->LastError();
        StartWriteThread(DataBaseModule->FilePath());
        CounterSeance = new TCounterSeance(0, "", 0);
    }
    ~Sessions() override {
        StopWriteThread(true);
        delete CounterSeance;
        CounterSeance = nullptr;
        port_.reset();
        delete DataBaseModule;
        DataBaseModule = nullptr;
        Configuration = nullptr;
        ClearLoadProfileRange();
        WritePassword = {};
        NewWritePassword = {};
        PasswordChangeMode = false;
        UserCancelled = false;
    }

    TDatabase& Db() { return DataBaseModule->Db(); }

    // Starts the simulator with a state file holding the given plain areas.
    void Start(int version, std::vector<std::string> args = {}, const std::map<int, Bytes>& areas = {}) {
        const std::string state = home_.File("meter.state");
        std::ofstream f(state);
        f << "version " << version << "\n";
        for (const auto& [n, b] : areas) f << "area " << n << " " << Hex(b) << "\n";
        f.close();
        args.insert(args.end(), {"--version", std::to_string(version), "--state", state});
        sim_ = std::make_unique<MeterSim>(args);
        port_ = std::make_unique<TComPort>(sim_->Port(), 1024, 1024);
        ASSERT_TRUE(port_->Opened) << port_->ErrorText;
        ASSERT_FALSE(port_->Configure(115200, 8, TComPort::Parity::None, TComPort::StopBits::One));
        CounterSeance->Port = port_.get();
    }

    // Registers a meter of `version` and selects it.
    void AddMeter(int id, int version) {
        TStatement v = Db().Prepare("SELECT VersionInternalID FROM Versions WHERE VersionID = :V ORDER BY VersionInternalID");
        v.BindInt(":V", version);
        ASSERT_TRUE(v.Step());
        TStatement q = Db().Prepare(
            "INSERT INTO Counters (CounterID, CounterName, VersionID, ZNumber, VersionInternalID) "
            "VALUES (:ID, 'Тест', :V, 12345678, :VI)");
        q.BindInt(":ID", id).BindInt(":V", version).BindInt(":VI", v.Int(0));
        q.Execute();
        CreateValueTable(Db(), id);
        Select(id, version);
    }
    void Select(int id, int version) {
        CounterSeance->CounterID = id;
        CounterSeance->ZNumber = 12345678;
        CounterSeance->VersionID = static_cast<std::uint8_t>(version);
    }

    int FileOf(int version, int internalId) {
        TStatement q = Db().Prepare(
            "SELECT Files.FileID FROM Files, FileAccepts WHERE FileAccepts.VersionID = :V AND "
            "FileAccepts.FileID = Files.FileID AND Files.FileInternalID = :I");
        q.BindInt(":V", version).BindInt(":I", internalId);
        return q.Step() ? q.Int(0) : -1;
    }

    void Task(int id, const std::vector<int>& read, const std::vector<int>& write) {
        Db().Execute("DELETE FROM TaskCounter");
        std::set<int> all(read.begin(), read.end());
        all.insert(write.begin(), write.end());
        for (int f : all) {
            TStatement q = Db().Prepare("INSERT INTO TaskCounter (CounterID, FileID, Readed, Writed) VALUES (:C, :F, :R, :W)");
            const bool r = std::find(read.begin(), read.end(), f) != read.end();
            const bool w = std::find(write.begin(), write.end(), f) != write.end();
            q.BindInt(":C", id).BindInt(":F", f).BindText(":R", r ? "1" : "0").BindText(":W", w ? "1" : "0");
            q.Execute();
        }
    }

    void Flush() { ASSERT_TRUE(WriteThread->WaitUntilEmpty(std::chrono::seconds(60))); }

    Pairs Stored(int id, const std::string& day = {}) {
        Flush();
        TStatement q = Db().Prepare("SELECT ParamID, ParamIndex FROM " + ValueTableName(id) +
                                    " WHERE (:Day = '') OR (ChangeDateTime = :Day)");
        q.BindText(":Day", day);
        Pairs p;
        while (q.Step()) p.insert({q.Int(0), q.Int(1)});
        return p;
    }
    // Record numbers stored for the parameters of one area.
    std::set<int> StoredRecords(int id, int fileId) {
        Flush();
        TStatement q = Db().Prepare("SELECT DISTINCT V.ParamIndex FROM " + ValueTableName(id) +
                                    " V, Params P WHERE V.ParamID = P.ParamID AND P.FileID = :F");
        q.BindInt(":F", fileId);
        std::set<int> r;
        while (q.Step()) r.insert(q.Int(0));
        return r;
    }
    long long Count(const std::string& sql) {
        TStatement q = Db().Prepare(sql);
        return q.Step() ? q.Int64(0) : -1;
    }

    TempHome home_;
    TConfiguration config_;
    TestJob job_;
    ScopedJob scope_;
    std::unique_ptr<MeterSim> sim_;
    std::unique_ptr<TComPort> port_;
};

// ---------------------------------------------------------------- read

struct ReadCase {
    int version;
    std::vector<std::string> args;
    std::map<int, Bytes> areas;  // service areas the dictionary does not give the simulator
};

class ReadSessions : public Sessions, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadSessions, StoresEveryTaskAreaDatedTodayAndKeepsHistoryDays) {
    const ReadCase& c = GetParam();
    Start(c.version, c.args, c.areas);
    AddMeter(5, c.version);
    const auto stat = LoadCounterStat(Db(), 5);
    ASSERT_TRUE(stat);
    TTaskLines lines = FillTask(Db(), *stat);
    std::vector<int> read;
    for (auto& l : lines.Read)
        if (l.StatReset != 2 && l.RecordCount <= 100) read.push_back(l.FileID);
    ASSERT_FALSE(read.empty());
    Task(5, read, {});

    Pairs expected;
    std::pair<int, int> history{-1, -1}, setting{-1, -1};
    {
        codec::ScopedToday day(2024, 3, 1);
        ASSERT_TRUE(MeterSession().ReadJob()) << CounterSeance->ErrorText;
        ASSERT_FALSE(UserCancelled);
        for (auto& a : MeterSession().ReadList)
            for (auto& p : a->Params) {
                expected.insert({p.ParamID, p.ParamIndex});
                if (p.MaxDaySave > 0) history = {p.ParamID, p.ParamIndex};
                else setting = {p.ParamID, p.ParamIndex};
            }
        EXPECT_EQ(MeterSession().ReadList.size(), read.size());
        EXPECT_EQ(Stored(5, "2024-03-01"), expected);
        EXPECT_EQ(Count("SELECT COUNT(*) FROM CounterPrograms WHERE CounterID = 5 AND Readed = '1'"),
                  static_cast<long long>(read.size()));
    }
    {
        codec::ScopedToday day(2024, 3, 2);
        ASSERT_TRUE(MeterSession().ReadJob()) << CounterSeance->ErrorText;
        EXPECT_EQ(Stored(5, "2024-03-02"), expected);
    }
    auto rows = [&](std::pair<int, int> p) {
        return Count("SELECT COUNT(*) FROM " + ValueTableName(5) + " WHERE ParamID = " + std::to_string(p.first) +
                     " AND ParamIndex = " + std::to_string(p.second));
    };
    ASSERT_NE(setting.first, -1);
    EXPECT_EQ(rows(setting), 1);
    if (history.first != -1) {
        EXPECT_EQ(rows(history), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, ReadSessions,
    ::testing::Values(
        // big-endian, packing
        ReadCase{1, {"--area", "6:4", "--area", "11:14"},
                 {{6, Sealed({0x07, 0xD0}, 1)}, {11, Sealed({0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 0x03, 0xC0}, 1)}}},
        // big-endian, no packing
        ReadCase{4, {"--area", "10:8"}, {{10, Sealed({0x02, 0xD0, 0, 5, 0, 0}, 4)}}},
        // little-endian, packing
        ReadCase{36, {"--area", "6:4", "--area", "11:8"},
                 {{6, Sealed({0xD0, 0x07}, 36)}, {11, Sealed({0, 0, 100, 0, 0x70, 0x44}, 36)}}}),
    [](const auto& info) { return "Version" + std::to_string(info.param.version); });

// ---------------------------------------------------------------- load-profile ring

class ProfileRing : public Sessions {
protected:
    // Version 1: a ring of 960 records, the meter's pointer at 100.
    void SetUp() override {
        Start(1, {"--area", "6:4", "--area", "11:14"},
              {{6, Sealed({0x07, 0xD0}, 1)}, {11, Sealed({0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 0x03, 0xC0}, 1)}});
        AddMeter(3, 1);
        ring_ = FileOf(1, 16);
        ASSERT_GT(ring_, 0);
        Task(3, {ring_}, {});
    }
    std::set<int> Range(int from, int to) {
        std::set<int> r;
        for (int i = from; i != to; i = (i + 1) % 960) r.insert(i);
        return r;
    }
    void Clear() { Db().Execute("DELETE FROM " + ValueTableName(3)); }
    std::optional<TDiapIndexRow> Row() { return ReadDiapIndex(Db(), 3, 16); }
    int ring_ = 0;
};

TEST_F(ProfileRing, ContinuesAfterTheStoredPosition) {
    WriteDiapIndex(Db(), 3, 16, {90, 0});
    ASSERT_TRUE(MeterSession().ReadJob()) << CounterSeance->ErrorText;
    EXPECT_EQ(StoredRecords(3, ring_), Range(90, 100));
    ASSERT_TRUE(Row());
    EXPECT_EQ(Row()->MinIndex, 100);
    // Nothing new in the meter: the next read reads nothing.
    Clear();
    ASSERT_TRUE(MeterSession().ReadJob()) << CounterSeance->ErrorText;
    EXPECT_TRUE(StoredRecords(3, ring_).empty());
}

TEST_F(ProfileRing, WithoutARowReadsTheWholeRingAcrossItsEnd) {
    ASSERT_TRUE(MeterSession().ReadJob()) << CounterSeance->ErrorText;
    const auto got = StoredRecords(3, ring_);
    EXPECT_EQ(got.size(), 959u);
    EXPECT_EQ(got, Range(101, 100));
    EXPECT_EQ(Row()->MinIndex, 100);
}

TEST_F(ProfileRing, OneTimeRangeIsReadOnceAndLeavesThePositionAlone) {
    WriteDiapIndex(Db(), 3, 16, {100, 0});
    TLoadProfileRange r;
    r.FromLast = false;
    r.ToLast = false;
    r.StartOffset = -48;
    r.CounterID = 3;
    ASSERT_FALSE(SetLoadProfileRange(r, 960));
    EXPECT_TRUE(LoadProfileRangeFor(3).Pending);
    ASSERT_TRUE(MeterSession().ReadJob()) << CounterSeance->ErrorText;
    EXPECT_EQ(StoredRecords(3, ring_), Range(52, 100));
    EXPECT_FALSE(LoadProfileRangeFor(3).Pending);
    EXPECT_EQ(Row()->MinIndex, 100);
    Clear();
    ASSERT_TRUE(MeterSession().ReadJob()) << CounterSeance->ErrorText;
    EXPECT_TRUE(StoredRecords(3, ring_).empty());
}

TEST_F(ProfileRing, AStoredPositionOutsideTheRingIsAnInternalError) {
    WriteDiapIndex(Db(), 3, 16, {960, 0});
    EXPECT_FALSE(MeterSession().ReadJob());
    EXPECT_EQ(CounterSeance->ErrorText, kInternalErrorText);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM CounterPrograms"), 0);
}

// ---------------------------------------------------------------- write

TEST_F(Sessions, SessionWritesBackWhatWasReadAndThenTheEditedSetting) {
    Start(36, {"--area", "6:4", "--area", "11:8"},
          {{6, Sealed({0xD0, 0x07}, 36)}, {11, Sealed({0, 0, 100, 0, 0x70, 0x44}, 36)}});
    AddMeter(9, 36);
    const int f7 = FileOf(36, 7), f8 = FileOf(36, 8);
    Task(9, {f7, f8}, {f7, f8});
    const MeterSimState before = sim_->ReadState();
    // Once with nothing stored (the meter's own values are kept), once after a read.
    job_.writePassword = "0";
    ASSERT_TRUE(MeterSession().SeanceJob()) << CounterSeance->ErrorText;
    EXPECT_EQ(sim_->ReadState().Area(7), before.Area(7));
    ASSERT_TRUE(MeterSession().ReadJob()) << CounterSeance->ErrorText;
    Flush();
    Db().Execute("DELETE FROM CounterPrograms");
    job_.asked.clear();
    job_.writePassword = "0";
    ASSERT_TRUE(MeterSession().SeanceJob()) << CounterSeance->ErrorText;
    EXPECT_EQ(job_.asked, std::vector<std::string>{kWritePasswordCaption});
    MeterSimState after = sim_->ReadState();
    EXPECT_EQ(after.Area(7), before.Area(7));
    EXPECT_EQ(after.Area(8), before.Area(8));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM CounterPrograms WHERE Readed = '1' AND Writed = '1'"), 2);

    // Edit one setting of area 8 as the parameter editor would store it.
    Flush();
    TCounterFile area = *MeterSession().WriteList[1];
    ASSERT_EQ(area.FileInternalID, 8);
    TCounterParam* edited = nullptr;
    for (auto& p : area.Params) {
        if (p.IsReadOnly) continue;
        TCounterParam c = p;
        TAreaImage img{};
        if (c.SetAsInteger(c.GetAsInteger() == 1 ? 2 : 1) && c.Value != p.Value && c.TryEncodeToArea(img, 36)) {
            p = c;
            edited = &p;
            break;
        }
    }
    ASSERT_NE(edited, nullptr);
    TStatement u = Db().Prepare("UPDATE " + ValueTableName(9) + " SET DataValue = :V WHERE ParamID = :P AND ParamIndex = :I");
    const TDataValue blob = edited->SaveValueToField();
    u.BindBlob(":V", blob).BindInt(":P", edited->ParamID).BindInt(":I", edited->ParamIndex);
    ASSERT_EQ(u.Execute(), 1);

    ASSERT_TRUE(MeterSession().SeanceJob()) << CounterSeance->ErrorText;
    after = sim_->ReadState();
    EXPECT_NE(after.Area(8), before.Area(8));
    TAreaImage image{};
    std::copy(after.Area(8).begin(), after.Area(8).end(), image.begin());
    TCounterFile check = area;
    ASSERT_GE(check.DecodeArea(0, image, 36), 0) << "checksum of the written area";
    EXPECT_EQ(check.FindParam(edited->ParamID, edited->ParamIndex)->Value, edited->Value);
    // The store keeps what the meter now holds, not what the read saw before writing.
    Flush();
    TStatement q = Db().Prepare("SELECT DataValue FROM " + ValueTableName(9) + " WHERE ParamID = :P AND ParamIndex = :I");
    q.BindInt(":P", edited->ParamID).BindInt(":I", edited->ParamIndex);
    ASSERT_TRUE(q.Step());
    EXPECT_EQ(q.Blob(0), blob);
}

TEST_F(Sessions, WriteValuesComeFromTheNewestStoredDay) {
    Start(4);
    AddMeter(4, 4);
    const int f5 = FileOf(4, 5);
    Task(4, {}, {f5});
    ASSERT_TRUE(MeterSession().LoadTask());
    ASSERT_EQ(MeterSession().WriteList.size(), 1u);
    TCounterParam p;
    for (const auto& candidate : MeterSession().WriteList[0]->Params) {
        TCounterParam c = candidate;
        if (c.SetAsInteger(1) && c.SetAsInteger(2)) {
            p = candidate;
            break;
        }
    }
    ASSERT_NE(p.ParamID, 0);
    // Two days of one value, the newer one inserted first.
    for (auto [day, value] : {std::pair{"2024-03-02", 2}, std::pair{"2024-03-01", 1}}) {
        TCounterParam c = p;
        ASSERT_TRUE(c.SetAsInteger(value));
        TStatement q = Db().Prepare("INSERT INTO " + ValueTableName(4) + " VALUES (:P, :I, :D, :V)");
        q.BindInt(":P", c.ParamID).BindInt(":I", c.ParamIndex).BindText(":D", day).BindBlob(":V", c.SaveValueToField());
        q.Execute();
    }
    ASSERT_TRUE(MeterSession().LoadWriteValues());
    const TCounterParam* loaded = MeterSession().WriteList[0]->FindParam(p.ParamID, p.ParamIndex);
    EXPECT_TRUE(loaded->Marked);
    EXPECT_EQ(loaded->GetAsInteger(), 2);
}

TEST_F(Sessions, NoWriteAreasMeansNoPasswordPromptAndNoClock) {
    Start(4);
    AddMeter(4, 4);
    Task(4, {FileOf(4, 5)}, {});
    ASSERT_TRUE(MeterSession().SeanceJob()) << CounterSeance->ErrorText;
    EXPECT_TRUE(job_.asked.empty());
    EXPECT_FALSE(sim_->ReadState().Item("clock-record"));
}

TEST_F(Sessions, DecliningTheIdentifierCancelsTheInitialisation) {
    Start(4, {"--internal-id", "77"});
    AddMeter(4, 4);
    Task(4, {}, {FileOf(4, 5)});
    const MeterSimState before = sim_->ReadState();
    EXPECT_TRUE(MeterSession().InitSeanceJob());
    EXPECT_TRUE(UserCancelled);
    EXPECT_EQ(sim_->ReadState().Area(5), before.Area(5));
    UserCancelled = false;
    job_.identifier = "77";
    ASSERT_TRUE(MeterSession().InitSeanceJob()) << CounterSeance->ErrorText;
    EXPECT_FALSE(UserCancelled);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM CounterPrograms WHERE Writed = '1'"), 1);
}

// ---------------------------------------------------------------- passwords

TEST_F(Sessions, PasswordJobChangesTheWritePassword) {
    Start(4, {"--password", "1234"});
    AddMeter(4, 4);
    const int fp = FileOf(4, 0), f5 = FileOf(4, 5);
    Task(4, {}, {fp});
    TPasswordAreas dialog;
    ASSERT_TRUE(dialog.Load(Db(), *LoadCounterStat(Db(), 4)));
    ASSERT_FALSE(dialog.Areas.empty());
    EXPECT_EQ(dialog.Apply("4321", "4320"), std::optional<std::string>(kPasswordMismatchText));
    ASSERT_EQ(dialog.Apply("4321", "4321"), std::nullopt);
    WritePassword = PasswordBytes(1234);
    NewWritePassword = PasswordBytes(4321);
    ASSERT_TRUE(MeterSession().PasswordJob()) << CounterSeance->ErrorText;
    EXPECT_FALSE(PasswordChangeMode);
    EXPECT_EQ(sim_->ReadState().Password(), 4321);

    // The old password is refused now, the new one accepted; a successful session
    // forgets the stored passwords.
    Task(4, {}, {f5});
    job_.writePassword = "1234";
    EXPECT_FALSE(MeterSession().SeanceJob());
    EXPECT_FALSE(CounterSeance->ErrorText.empty());
    job_.writePassword = "4321";
    ASSERT_TRUE(MeterSession().SeanceJob()) << CounterSeance->ErrorText;
    EXPECT_EQ(Count("SELECT COUNT(*) FROM " + ValueTableName(4) + " V, Params P WHERE V.ParamID = P.ParamID AND P.FileID = " +
                    std::to_string(fp)),
              0);
}

// ---------------------------------------------------------------- faults and cancel

TEST_F(Sessions, ReadCompletesThroughNoiseBadChecksumAndLostReply) {
    Start(4, {"--fault", "noise=8@2", "--fault", "badcrc@4", "--fault", "lost@6"});
    AddMeter(4, 4);
    Task(4, {FileOf(4, 5), FileOf(4, 6)}, {});
    ASSERT_TRUE(MeterSession().ReadJob()) << CounterSeance->ErrorText;
    EXPECT_EQ(Count("SELECT COUNT(*) FROM CounterPrograms"), 2);
    EXPECT_EQ(StoredRecords(4, FileOf(4, 6)).size(), 12u);
}

TEST_F(Sessions, FiveErrorRepliesFailTheReadWithTheMetersText) {
    Start(4);
    AddMeter(4, 4);
    Task(4, {FileOf(4, 5), FileOf(4, 6)}, {});
    // Counted from the next reply: the open and the service area go through first.
    sim_->AddFault("error=5@4-8");
    EXPECT_FALSE(MeterSession().ReadJob());
    EXPECT_FALSE(UserCancelled);
    EXPECT_FALSE(CounterSeance->ErrorText.empty());
    EXPECT_EQ(SessionResultText(false, false, CounterSeance->ErrorText), "Произошла ошибка : " + CounterSeance->ErrorText);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM CounterPrograms"), 0);
}

TEST_F(Sessions, CancelEndsTheSessionWithoutJournal) {
    Start(4);
    AddMeter(4, 4);
    Task(4, {FileOf(4, 5), FileOf(4, 6)}, {});
    job_.cancelAt = "Индекс 3";
    EXPECT_TRUE(MeterSession().ReadJob());
    EXPECT_TRUE(UserCancelled);
    EXPECT_EQ(SessionResultText(true, UserCancelled, CounterSeance->ErrorText), kSessionCancelledText);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM CounterPrograms"), 0);
}

// ---------------------------------------------------------------- task rules

TEST_F(Sessions, TaskLinesAndSaving) {
    AddMeter(4, 4);
    const auto stat = LoadCounterStat(Db(), 4);
    TTaskLines lines = FillTask(Db(), *stat);
    const int fp = FileOf(4, 0), f9 = FileOf(4, 9), f5 = FileOf(4, 5);
    EXPECT_EQ(lines.Find(fp, false), nullptr) << "the password area is only written";
    EXPECT_NE(lines.Find(fp, true), nullptr);
    EXPECT_NE(lines.Find(f9, false), nullptr);
    EXPECT_EQ(lines.Find(f9, true), nullptr) << "a read-only area is only read";
    lines.Find(f5, false)->Included = true;
    ASSERT_TRUE(SaveTask(lines, Db(), 4));
    lines = FillTask(Db(), *stat);
    EXPECT_TRUE(lines.Find(f5, false)->Included);
    lines.Find(f5, false)->Included = false;
    ASSERT_TRUE(SaveTask(lines, Db(), 4));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM TaskCounter WHERE CounterID = 4 AND Readed = '0'"), 1);
    EXPECT_TRUE(TaskAreaExcluded(76, 64));
    EXPECT_TRUE(TaskAreaExcluded(1, 3));
    EXPECT_FALSE(TaskAreaExcluded(66, 69));

    TTaskFile seasons = *lines.Find(FileOf(4, 6), false);
    EXPECT_EQ(LoadIndexRange(Db(), 4, seasons).MaxIndex, 12);
    EXPECT_TRUE(SaveIndexRange(Db(), 4, seasons, {3, 13}));
    EXPECT_TRUE(SaveIndexRange(Db(), 4, seasons, {5, 3}));
    EXPECT_FALSE(SaveIndexRange(Db(), 4, seasons, {3, 5}));
    EXPECT_EQ(LoadIndexRange(Db(), 4, seasons).MinIndex, 3);
}

TEST_F(Sessions, JournalMarksAnAreaReadAndWrittenOnOneRow) {
    AddMeter(4, 4);
    const TDateTime when = EncodeDate(2024, 3, 1) + EncodeTime(10, 20, 30);
    ASSERT_TRUE(WriteJournal(Db(), 4, {{2, "a"}, {5, "b"}}, {{5, "b"}}, when));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM CounterPrograms WHERE CTime = '10:20:30' AND CDate = '2024-03-01'"), 2);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM CounterPrograms WHERE FileID = 5 AND Readed = '1' AND Writed = '1'"), 1);
}

// ---------------------------------------------------------------- olmar-cli

int RunCli(const std::string& home, const std::string& args, std::string* out = nullptr) {
    const std::string cmd = "OLMAR_HOME=" + home + " " + OLMAR_CLI_PATH + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string text;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) text.append(buf, n);
    const int status = pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SessionsCli, ExitStatusOfReadAndTask) {
    TempHome home;
    MeterSim sim({"--version", "4"});
    const std::string admin = std::string("--port ") + sim.Port() + " --user " + kAdministratorName + " --password " +
                              kAdministratorPassword + " ";
    std::string out;
    ASSERT_EQ(RunCli(home.Dir(), admin + "sql \"INSERT INTO Counters (CounterID, CounterName, VersionID, ZNumber, "
                                         "VersionInternalID) VALUES (7, 'T', 4, 12345678, 46)\"", &out), 0) << out;
    EXPECT_EQ(RunCli(home.Dir(), admin + "task set --meter 7 --read 57,58 --write 57", &out), 0) << out;
    EXPECT_NE(out.find("read\t57\t5\tПараметры\tНе индексирован\tВключен"), std::string::npos) << out;
    EXPECT_EQ(RunCli(home.Dir(), admin + "task set --meter 7 --write 61", &out), 1) << out;
    EXPECT_EQ(RunCli(home.Dir(), admin + "read", &out), 2) << out;
    EXPECT_EQ(RunCli(home.Dir(), admin + "read --meter 8", &out), 1) << out;
    ASSERT_EQ(RunCli(home.Dir(), admin + "read --meter 7", &out), 0) << out;
    EXPECT_NE(out.find(kSessionSucceededText), std::string::npos) << out;
    ASSERT_EQ(RunCli(home.Dir(), admin + "values --meter 7", &out), 0) << out;
    EXPECT_NE(out.find("\t0\t" + SqlDateText(TodayDate()) + "\t"), std::string::npos) << out;
    sim.AddFault("error=5@1-10");
    EXPECT_EQ(RunCli(home.Dir(), admin + "read --meter 7", &out), 1) << out;
    EXPECT_NE(out.find("Произошла ошибка : "), std::string::npos) << out;
}

}  // namespace
