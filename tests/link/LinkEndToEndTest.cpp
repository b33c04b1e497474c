// The meter link end to end: the session object on a real pseudo-terminal against
// the meter simulator, faults included, and olmar-cli znumber as a user runs it.
#include "link/ComPort.h"
#include "link/CounterSeance.h"
#include "shell/Configuration.h"
#include "shell/Globals.h"
#include "shell/JobContext.h"
#include "support/MeterSim.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The area checksum of the big- and little-endian versions used here (shift checksum).
void PutShiftChecksum(Bytes& block, bool lowFirst) {
    std::uint16_t c = 0;
    for (std::size_t i = 0; i + 2 < block.size(); ++i) {
        c ^= static_cast<std::uint16_t>(block[i] << 8);
        c = (c & 0x8000) ? static_cast<std::uint16_t>((c << 1) ^ 0x1021) : static_cast<std::uint16_t>(c << 1);
    }
    const auto hi = static_cast<std::uint8_t>(c >> 8), lo = static_cast<std::uint8_t>(c & 0xFF);
    block[block.size() - 2] = lowFirst ? lo : hi;
    block[block.size() - 1] = lowFirst ? hi : lo;
}

class LinkEndToEnd : public ::testing::Test {
protected:
    LinkEndToEnd() : config_(home_.File("Olmar32.ini")), scope_(job_) {
        config_.Delay = 400;
        Configuration = &config_;
    }
    ~LinkEndToEnd() override {
        Configuration = nullptr;
        WritePassword = {};
    }

    // Starts the simulator and opens the port on it.
    void Start(std::vector<std::string> args, int version) {
        sim_ = std::make_unique<MeterSim>(std::move(args));
        port_ = std::make_unique<TComPort>(sim_->Port(), 1024, 1024);
        ASSERT_TRUE(port_->Opened) << port_->ErrorText;
        ASSERT_FALSE(port_->Configure(115200, 8, TComPort::Parity::None, TComPort::StopBits::One)) << port_->ErrorText;
        seance_.Port = port_.get();
        seance_.VersionID = static_cast<std::uint8_t>(version);
        seance_.ZNumber = 12345678;
    }
    void Open() {
        seance_.ResetAllSessions();
        port_->Purge();
        ASSERT_TRUE(seance_.OpenSeance()) << seance_.ErrorText;
    }

    TempHome home_;
    TConfiguration config_;
    JobContext job_;
    ScopedJob scope_;
    std::unique_ptr<MeterSim> sim_;
    std::unique_ptr<TComPort> port_;
    TCounterSeance seance_;
};

struct VersionCase {
    int version;
    bool littleEndian;
    int plainArea;
    int indexedArea;
    int record;
};

class LinkEndToEndVersions : public LinkEndToEnd, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(LinkEndToEndVersions, OpenReadWriteSetClockClose) {
    const VersionCase c = GetParam();
    Start({"--version", std::to_string(c.version), "--password", "4660", "--clock-offset", "-7200"}, c.version);
    Open();
    EXPECT_NE(seance_.SessionKey, (std::array<std::uint8_t, 4>{}));

    Bytes plain(1025);
    const int plainLength = seance_.ReadBlock(c.plainArea, 0, plain.data());
    ASSERT_GT(plainLength, 2) << seance_.ErrorText;
    EXPECT_EQ(Bytes(plain.begin(), plain.begin() + plainLength), sim_->ReadState().Area(c.plainArea));

    Bytes record(1025);
    const int recordLength = seance_.ReadBlock(c.indexedArea, c.record, record.data());
    ASSERT_GT(recordLength, 2) << seance_.ErrorText;

    // Write the plain area back with one byte changed, with the password 0x1234.
    Bytes block(plain.begin(), plain.begin() + plainLength);
    block[0] ^= 0x5A;
    PutShiftChecksum(block, c.littleEndian);
    WritePassword = PasswordBytes(0x1234);
    ASSERT_EQ(seance_.WriteBlock(c.plainArea, block.size(), block.data(), 0), 0) << seance_.ErrorText;
    EXPECT_EQ(sim_->ReadState().Area(c.plainArea), block);

    // The same write with the bytes of the password swapped is refused.
    WritePassword = PasswordBytes(0x3412);
    EXPECT_EQ(seance_.WriteBlock(c.plainArea, block.size(), block.data(), 0), -1);
    EXPECT_EQ(seance_.ErrorText, "Ошибка доступа");

    ASSERT_TRUE(seance_.SetDateTime()) << seance_.ErrorText;
    EXPECT_LE(std::llabs(sim_->ReadState().ClockOffset()), 2);
    ASSERT_TRUE(seance_.ReadDateTime());
    const TMeterDateTime meter = DecodeDateTime(c.version, seance_.MeterDateTime.data());
    std::tm tm{};
    tm.tm_year = meter.Year - 1900;
    tm.tm_mon = meter.Month - 1;
    tm.tm_mday = meter.Day;
    tm.tm_hour = meter.Hour;
    tm.tm_min = meter.Minute;
    tm.tm_sec = meter.Second;
    tm.tm_isdst = -1;
    EXPECT_LE(std::llabs(static_cast<long long>(std::mktime(&tm) - std::time(nullptr))), 3);

    seance_.ErrorText.clear();
    seance_.CloseSeance();
    EXPECT_TRUE(seance_.ErrorText.empty()) << seance_.ErrorText;
}

INSTANTIATE_TEST_SUITE_P(BigAndLittleEndian, LinkEndToEndVersions,
                         ::testing::Values(VersionCase{2, false, 2, 3, 5}, VersionCase{36, true, 2, 4, 1}),
                         [](const auto& info) { return "Version" + std::to_string(info.param.version); });

TEST_F(LinkEndToEnd, FaultsAreRiddenOutWithinFiveAttempts) {
    Start({"--version", "2"}, 2);
    Open();
    sim_->AddFault("badcrc@1/6");
    sim_->AddFault("lost@2/6");
    sim_->AddFault("error=3@3/6");
    sim_->AddFault("noise=12@4/6");
    sim_->AddFault("split=40:3@5/6");
    Bytes area(1025);
    EXPECT_GT(seance_.ReadBlock(2, 0, area.data()), 0) << seance_.ErrorText;
    EXPECT_EQ(job_.Attempt(), 3);
    // A reply split by pauses shorter than the byte time-out is one good reply.
    EXPECT_GT(seance_.ReadBlock(2, 0, area.data()), 0) << seance_.ErrorText;
    EXPECT_EQ(job_.Attempt(), 0);
}

TEST_F(LinkEndToEnd, FiveAccessErrorsAndFiveSilences) {
    Start({"--version", "36"}, 36);
    Open();
    Bytes area(1025);
    sim_->AddFault("error=5@1-5/6");
    EXPECT_EQ(seance_.ReadBlock(2, 0, area.data()), -1);
    EXPECT_EQ(seance_.ErrorText, "Ошибка доступа");

    sim_->ClearFaults();
    sim_->AddFault("lost/6");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(seance_.ReadBlock(2, 0, area.data()), -1);
    EXPECT_EQ(seance_.ErrorText, "Таймаут операции");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5 * 400));

    // The meter recovers: the next exchange is a plain success again.
    sim_->ClearFaults();
    EXPECT_GT(seance_.ReadBlock(2, 0, area.data()), 0) << seance_.ErrorText;
}

TEST_F(LinkEndToEnd, CancelDuringTheWaitEndsAtOnce) {
    config_.Delay = 10000;
    Start({"--version", "2"}, 2);
    Open();
    sim_->AddFault("lost");
    seance_.ErrorText = "прежняя ошибка";
    std::chrono::steady_clock::time_point cancelledAt;
    std::thread canceller([&cancelledAt] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancelledAt = std::chrono::steady_clock::now();
        UserCancelled = true;
    });
    Bytes area(1025);
    const int r = seance_.ReadBlock(2, 0, area.data());
    const auto returnedAt = std::chrono::steady_clock::now();
    canceller.join();
    EXPECT_EQ(r, -1);
    EXPECT_EQ(seance_.ErrorText, "прежняя ошибка");
    EXPECT_LT(returnedAt - cancelledAt, std::chrono::milliseconds(50));
}

TEST_F(LinkEndToEnd, UnsupportedAreaIsRetriedTwoBelow) {
    // Area 16 exists for version 2; a meter that refuses it is asked for 14 instead.
    Start({"--version", "2"}, 2);
    Open();
    sim_->AddFault("error=1@1/6");
    Bytes area(1025);
    const int n = seance_.ReadBlock(16, 0, area.data());
    EXPECT_EQ(n, 7) << seance_.ErrorText;  // a record of area 14
}

struct MeasureCase {
    int version;
    int (TCounterSeance::*read)();
    const char* name;
};

TEST_F(LinkEndToEnd, MeasurementRepliesDecodeForEveryLayout) {
    const MeasureCase cases[] = {
        {1, &TCounterSeance::ReadMeasurements, "13"},       {2, &TCounterSeance::ReadMeasurements, "13"},
        {3, &TCounterSeance::ReadMeasurements, "13"},       {36, &TCounterSeance::ReadMeasurements, "13"},
        {1, &TCounterSeance::ReadMomentMeasurements, "14"}, {22, &TCounterSeance::ReadMomentMeasurements, "14"},
        {33, &TCounterSeance::ReadMomentMeasurements, "14"}, {48, &TCounterSeance::ReadMomentMeasurements, "14"},
        {1, &TCounterSeance::ReadPower, "15"},              {35, &TCounterSeance::ReadPower, "15"},
        {3, &TCounterSeance::ReadVoltages, "16"},           {27, &TCounterSeance::ReadVoltages, "16"},
        {1, &TCounterSeance::ReadCurrents, "17"},           {34, &TCounterSeance::ReadCurrents, "17"},
        {37, &TCounterSeance::ReadCurrents, "17"},          {1, &TCounterSeance::ReadConsumption, "18"},
        {2, &TCounterSeance::ReadConsumption, "18"},        {28, &TCounterSeance::ReadConsumption, "18"},
        {49, &TCounterSeance::ReadConsumption, "18"},       {34, &TCounterSeance::ReadMinuteConsumption, "20"},
        {38, &TCounterSeance::ReadMinuteConsumption, "20"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("command ") + c.name + ", version " + std::to_string(c.version));
        Start({"--version", std::to_string(c.version)}, c.version);
        Open();
        MeasurementRecord = {};
        MomentRecord = {};
        ConsumptionRecord = {};
        MinuteInterval = 5;
        EXPECT_EQ((seance_.*c.read)(), 0) << seance_.ErrorText;
        seance_.CloseSeance();
        port_.reset();
        sim_.reset();
    }
}

// --- olmar-cli znumber -------------------------------------------------------------

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs olmar-cli with `args`; `interruptAfterMs` >= 0 sends it SIGINT then.
CliRun RunCli(const std::vector<std::string>& args, int interruptAfterMs = -1) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]); close(out[1]); close(err[0]); close(err[1]);
        std::vector<char*> argv{const_cast<char*>(OLMAR_CLI_PATH)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(OLMAR_CLI_PATH, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (interruptAfterMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(interruptAfterMs));
        kill(pid, SIGINT);
    }
    CliRun run;
    auto drain = [](int fd, std::string& into) {
        char buf[4096];
        ssize_t n;
        while ((n = read(fd, buf, sizeof buf)) > 0) into.append(buf, static_cast<std::size_t>(n));
        close(fd);
    };
    drain(out[0], run.out);
    drain(err[0], run.err);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(ZNumberCommand, PrintsTheNumberOrTheReason) {
    TempHome home;
    {
        MeterSim sim({"--version", "30", "--znumber", "40312"});
        const CliRun ok = RunCli({"--home", home.Dir(), "--port", sim.Port(), "znumber"});
        EXPECT_EQ(ok.status, 0) << ok.err;
        EXPECT_EQ(ok.out, "40312\n");
    }
    {
        MeterSim sim({"--version", "30", "--fault", "lost"});
        const CliRun failed = RunCli({"--home", home.Dir(), "--port", sim.Port(), "znumber"});
        EXPECT_EQ(failed.status, 1);
        EXPECT_TRUE(failed.out.empty());
        EXPECT_NE(failed.err.find("Произошла ошибка при получении заводского номера! Таймаут операции"),
                  std::string::npos)
            << failed.err;
    }
    {
        MeterSim sim({"--version", "30", "--fault", "lost"});
        const auto start = std::chrono::steady_clock::now();
        const CliRun cancelled = RunCli({"--home", home.Dir(), "--port", sim.Port(), "znumber"}, 500);
        EXPECT_EQ(cancelled.status, 3) << cancelled.err;
        EXPECT_NE(cancelled.err.find("Сеанс был прерван пользователем!"), std::string::npos) << cancelled.err;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    }
}

}  // namespace
