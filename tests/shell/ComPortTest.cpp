#include "link/ComPort.h"
#include "shell/Clock.h"
#include "shell/JobContext.h"
#include "support/Pty.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

TEST(ComPort, NameMapping) {
    EXPECT_EQ(TComPort::DevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(TComPort::DevicePath("COM12"), "/dev/ttyS11");
    EXPECT_EQ(TComPort::DevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(TComPort::DevicePath("/dev/pts/7"), "/dev/pts/7");
}

TEST(ComPort, MissingDeviceGivesCode2) {
    TComPort port("/dev/olmar-no-such-port", 1024, 1024);
    EXPECT_FALSE(port.Opened);
    EXPECT_EQ(port.ErrorCode, 2);
    EXPECT_EQ(port.ErrorText, "Ошибка открытия устройства /dev/olmar-no-such-port");
}

TEST(ComPort, DeviceHeldByAnotherProcessGivesCode5) {
    PtyPair pty;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        flock(fd, LOCK_EX);
        char c = 1;
        (void)!write(ready[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    TComPort port(pty.SlavePath(), 1024, 1024);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_FALSE(port.Opened);
    EXPECT_EQ(port.ErrorCode, 5);
    EXPECT_EQ(port.ErrorText, "Устройства " + pty.SlavePath() + " блокировано другим программным обеспечением");
}

TEST(ComPort, SecondOpenInSameProgramIsRefused) {
    PtyPair pty;
    TComPort first(pty.SlavePath(), 1024, 1024);
    ASSERT_TRUE(first.Opened) << first.ErrorText;
    TComPort second(pty.SlavePath(), 1024, 1024);
    EXPECT_EQ(second.ErrorCode, 5);
}

TEST(ComPort, PtyWorksAsAPortAndCarriesAllByteValues) {
    PtyPair pty;
    TComPort port(pty.SlavePath(), 1024, 1024);
    ASSERT_TRUE(port.Opened) << port.ErrorText;
    ASSERT_FALSE(port.Configure(9600, 8, TComPort::Parity::None, TComPort::StopBits::One)) << port.ErrorText;
    port.SetDTR(false);
    port.SetRTS(true);
    EXPECT_EQ(port.ErrorCode, 0) << "a pty refusing modem lines is not an error";

    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<std::uint8_t>(i);
    ASSERT_FALSE(port.Write(all.data(), all.size())) << port.ErrorText;
    EXPECT_EQ(pty.ReadMaster(256, 2000), all) << "raw mode: no translation, no echo";

    pty.WriteMaster(all);
    std::vector<std::uint8_t> got;
    std::uint8_t b = 0;
    while (got.size() < 256 && !port.ReadByte(1000, b)) got.push_back(b);
    EXPECT_EQ(got, all);
}

TEST(ComPort, ReadByteTimesOutWithCodeZero) {
    PtyPair pty;
    TComPort port(pty.SlavePath(), 1024, 1024);
    ASSERT_TRUE(port.Opened);
    std::uint8_t b = 0;
    const auto start = MonoClock::now();
    EXPECT_TRUE(port.ReadByte(50, b));
    EXPECT_GE(MonoClock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(port.ErrorCode, 0);
}

TEST(ComPort, ReadByteReturnsWithinAPollingStepOnceCancelled) {
    PtyPair pty;
    TComPort port(pty.SlavePath(), 1024, 1024);
    ASSERT_TRUE(port.Opened);

    // The pump is where the user interface would run: cancel from there.
    struct CancelAfter : JobContext {
        int pumps = 0;
        void Pump() override {
            if (++pumps == 20) UserCancelled = true;
        }
    } job;
    ScopedJob scope(job);
    std::uint8_t b = 0;
    const auto start = MonoClock::now();
    EXPECT_TRUE(port.ReadByte(5000, b));
    EXPECT_LT(MonoClock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(job.pumps, 20) << "returns at the first poll after the cancel";
    EXPECT_EQ(port.ErrorCode, 0);
    UserCancelled = false;
}

TEST(ComPort, PurgeDropsWaitingBytes) {
    PtyPair pty;
    TComPort port(pty.SlavePath(), 1024, 1024);
    ASSERT_TRUE(port.Opened);
    pty.WriteMaster({1, 2, 3});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    port.Purge();
    std::uint8_t b = 0;
    EXPECT_TRUE(port.ReadByte(30, b));
}

TEST(ComPort, UnsupportedBaudRate) {
    PtyPair pty;
    TComPort port(pty.SlavePath(), 1024, 1024);
    ASSERT_TRUE(port.Opened);
    EXPECT_TRUE(port.Configure(1234, 8, TComPort::Parity::None, TComPort::StopBits::One));
    EXPECT_EQ(port.ErrorCode, -12);
    EXPECT_EQ(port.ErrorText, "Данная скорость передачи не поддерживается");
}

}  // namespace
