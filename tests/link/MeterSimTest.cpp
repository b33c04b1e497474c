// The simulated meter, spoken to through its pty with frames built by hand here,
// so that it is checked apart from the PC's link code.
#include "support/MeterSim.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// CRC-8, Dallas/Maxim, bit by bit: the slow way, so it shares nothing with a table.
std::uint8_t Crc8(const Bytes& b, std::size_t from, std::size_t to) {
    std::uint8_t crc = 0;
    for (std::size_t i = from; i < to; ++i) {
        crc ^= b[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<std::uint8_t>((crc >> 1) ^ 0x8C) : static_cast<std::uint8_t>(crc >> 1);
    }
    return crc;
}

Bytes Frame(std::uint8_t cmd, const Bytes& data) {
    Bytes f{0x7E, static_cast<std::uint8_t>(data.size()), cmd};
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(Crc8(f, 1, f.size()));
    return f;
}

bool PacksFor(int v) {
    return !(v == 4 || v == 5 || (v >= 8 && v <= 20) || v == 23 || v == 24 || v == 25 || v == 27 || v == 28 || v == 30 ||
             (v >= 38 && v <= 47));
}

std::uint16_t ShiftSum(const Bytes& b, std::size_t n) {
    std::uint16_t c = 0;
    for (std::size_t i = 0; i < n; ++i) {
        c = static_cast<std::uint16_t>(c ^ (b[i] << 8));
        c = (c & 0x8000) ? static_cast<std::uint16_t>((c << 1) ^ 0x1021) : static_cast<std::uint16_t>(c << 1);
    }
    return c;
}

std::uint16_t Xmodem(const Bytes& b, std::size_t n) {
    std::uint16_t c = 0;
    for (std::size_t i = 0; i < n; ++i)
        for (int k = 7; k >= 0; --k) {
            const bool top = ((c >> 15) & 1) != ((b[i] >> k) & 1);
            c = static_cast<std::uint16_t>(c << 1);
            if (top) c ^= 0x1021;
        }
    return c;
}

bool BlockChecks(int v, const Bytes& b) {
    if (b.size() < 2) return false;
    const bool xmodem = (v >= 4 && v <= 20) || (v >= 23 && v <= 25) || v == 30 || (v >= 40 && v <= 47);
    const bool lowFirst = v == 16 || v == 36 || v == 37 || v == 38 || v == 39 || v == 42 || v == 43 || v == 48 || v == 49;
    const std::size_t n = b.size() - 2;
    const std::uint16_t c = xmodem ? Xmodem(b, n) : ShiftSum(b, n);
    const std::uint16_t got = lowFirst ? static_cast<std::uint16_t>(b[n] | (b[n + 1] << 8)) : static_cast<std::uint16_t>((b[n] << 8) | b[n + 1]);
    return c == got;
}

// Puts a valid checksum at the end of a block of the version.
void Seal(int v, Bytes& b) {
    const bool xmodem = (v >= 4 && v <= 20) || (v >= 23 && v <= 25) || v == 30 || (v >= 40 && v <= 47);
    const bool lowFirst = v == 16 || v == 36 || v == 37 || v == 38 || v == 39 || v == 42 || v == 43 || v == 48 || v == 49;
    const std::size_t n = b.size() - 2;
    const std::uint16_t c = xmodem ? Xmodem(b, n) : ShiftSum(b, n);
    b[n] = static_cast<std::uint8_t>(lowFirst ? c & 0xFF : c >> 8);
    b[n + 1] = static_cast<std::uint8_t>(lowFirst ? c >> 8 : c & 0xFF);
}

struct Reply {
    std::uint8_t Cmd = 0;
    Bytes Data;           // as received
    bool CrcOk = false;
    std::size_t Skipped = 0;  // bytes before the start byte
};

// The PC end of the line, by hand.
class Line {
public:
    explicit Line(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Line() { close(fd_); }

    void Send(const Bytes& b) const {
        std::size_t done = 0;
        while (done < b.size()) {
            const ssize_t n = write(fd_, b.data() + done, b.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            else usleep(1000);
        }
    }

    std::optional<std::uint8_t> Byte(int timeoutMs) {
        if (!buf_.empty()) {
            const auto b = buf_.front();
            buf_.erase(buf_.begin());
            return b;
        }
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
        std::uint8_t tmp[512];
        const ssize_t n = read(fd_, tmp, sizeof tmp);
        if (n <= 0) return std::nullopt;
        buf_.assign(tmp, tmp + n);
        return Byte(0);
    }

    // Hunts the start byte and reads one frame; nullopt when nothing (whole) came.
    std::optional<Reply> Receive(int timeoutMs = 3000) {
        Reply r;
        std::optional<std::uint8_t> b;
        while ((b = Byte(timeoutMs)) && *b != 0x7E) ++r.Skipped;
        if (!b) return std::nullopt;
        Bytes f{0x7E};
        auto len = Byte(timeoutMs);
        if (!len) return std::nullopt;
        f.push_back(*len);
        for (int i = 0; i < *len + 2; ++i) {
            auto x = Byte(timeoutMs);
            if (!x) return std::nullopt;
            f.push_back(*x);
        }
        r.Cmd = f[2];
        r.Data.assign(f.begin() + 3, f.end() - 1);
        r.CrcOk = Crc8(f, 1, f.size() - 1) == f.back();
        return r;
    }

    Bytes Raw(int timeoutMs) {
        Bytes out;
        while (auto b = Byte(timeoutMs)) out.push_back(*b);
        return out;
    }

private:
    int fd_ = -1;
    Bytes buf_;
};

// A session from the PC's side: encodes requests, decodes and unpacks replies.
struct Session {
    Line& line;
    int version;
    std::uint8_t key[4] = {0, 0, 0, 0};

    Bytes Xor(Bytes d) const {
        for (std::size_t i = 0; i < d.size(); ++i) d[i] ^= key[i % 4];
        return d;
    }

    bool Open(std::uint32_t z, std::uint32_t id) {
        std::fill(std::begin(key), std::end(key), 0);
        line.Send(Frame(3, {static_cast<std::uint8_t>(z >> 24), static_cast<std::uint8_t>(z >> 16), static_cast<std::uint8_t>(z >> 8),
                            static_cast<std::uint8_t>(z), static_cast<std::uint8_t>(id >> 24), static_cast<std::uint8_t>(id >> 16),
                            static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id)}));
        auto r = line.Receive();
        if (!r || !r->CrcOk || r->Cmd != 4 || r->Data.size() < 5) return false;
        for (int i = 0; i < 4; ++i) key[i] = r->Data[static_cast<std::size_t>(i + 1)];
        return true;
    }

    // One request; the reply decoded and unpacked (command with bit 7 cleared).
    std::optional<Reply> Ask(std::uint8_t cmd, const Bytes& data, int timeoutMs = 3000) {
        line.Send(Frame(cmd, Xor(data)));
        auto r = line.Receive(timeoutMs);
        if (!r || !r->CrcOk) return r;
        r->Data = Xor(r->Data);
        if (r->Cmd & 0x80) {
            EXPECT_TRUE(PacksFor(version)) << "packed reply from a version that never packs";
            r->Cmd &= 0x7F;
            Bytes out;
            const auto esc = r->Data.at(0);
            for (std::size_t i = 1; i < r->Data.size(); ++i) {
                if (r->Data[i] == esc) {
                    out.insert(out.end(), r->Data.at(i + 1), r->Data.at(i + 2));
                    i += 2;
                } else {
                    out.push_back(r->Data[i]);
                }
            }
            r->Data = out;
        }
        return r;
    }

    Bytes WriteRequest(int area, int index, std::uint16_t password, const Bytes& block) const {
        const bool lowFirst = version == 36 || version == 37 || version == 38 || version == 39 || version == 48 || version == 49;
        Bytes d{static_cast<std::uint8_t>(area), static_cast<std::uint8_t>(index >> 8), static_cast<std::uint8_t>(index)};
        d.push_back(static_cast<std::uint8_t>(lowFirst ? password & 0xFF : password >> 8));
        d.push_back(static_cast<std::uint8_t>(lowFirst ? password >> 8 : password & 0xFF));
        d.insert(d.end(), block.begin(), block.end());
        return d;
    }
};

constexpr std::uint32_t kZ = 0x01020304;  // factory number 16909060

std::vector<std::string> Args(int version, std::vector<std::string> more = {}) {
    std::vector<std::string> a{"--version", std::to_string(version), "--znumber", std::to_string(kZ),
                               "--area",    "200:20",                "--area",    "13:9:400"};
    a.insert(a.end(), more.begin(), more.end());
    return a;
}

bool IsError(const std::optional<Reply>& r, int code) {
    return r && r->CrcOk && r->Cmd == 1 && r->Data.size() == 1 && r->Data[0] == code;
}

}  // namespace

TEST(MeterSimWire, HandBuiltCrcAndFramesMatchTheWorkedExamples) {
    const Bytes digits{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc8(digits, 0, digits.size()), 0xA1);
    EXPECT_EQ(Frame(5, {}), (Bytes{0x7E, 0x00, 0x05, 0x3F}));
    EXPECT_EQ(Frame(2, {}), (Bytes{0x7E, 0x00, 0x02, 0xBC}));
    EXPECT_EQ(ShiftSum({0x80}, 1), 0x1021);
    EXPECT_EQ(ShiftSum({0x00, 0x01}, 2), 0x0200);
}

TEST(MeterSimWire, AnswersTheCloseFrameAndTheFactoryNumberWithoutASession) {
    MeterSim sim(Args(2));
    Line line(sim.Port());
    line.Send({0x7E, 0x00, 0x05, 0x3F});
    EXPECT_EQ(line.Raw(300), (Bytes{0x7E, 0x00, 0x05, 0x3F}));
    line.Send(Frame(11, {}));
    EXPECT_EQ(line.Raw(300), Frame(11, {0x01, 0x02, 0x03, 0x04}));
    // The reset is never answered.
    line.Send({0x7E, 0x00, 0x02, 0xBC});
    EXPECT_TRUE(line.Raw(200).empty());
}

TEST(MeterSimSession, OpensWithKeyVersionAndFlagsAndRefusesStrangers) {
    MeterSim sim(Args(30, {"--internal-id", "77", "--key", "A1B2C3D4", "--flags", "0x02"}));
    Line line(sim.Port());
    // Another meter's number: silence, as on a shared line.
    line.Send(Frame(3, {0, 0, 0, 9, 0, 0, 0, 77}));
    EXPECT_FALSE(line.Receive(300));
    // The right number with a wrong identifier: access denied, unencoded.
    line.Send(Frame(3, {1, 2, 3, 4, 0, 0, 0, 76}));
    EXPECT_TRUE(IsError(line.Receive(), 5));
    line.Send(Frame(3, {1, 2, 3, 4, 0, 0, 0, 77}));
    auto r = line.Receive();
    ASSERT_TRUE(r && r->CrcOk);
    EXPECT_EQ(r->Cmd, 4);
    EXPECT_EQ(r->Data, (Bytes{30, 0xA1, 0xB2, 0xC3, 0xD4, 0, 0, 0x02}));
}

TEST(MeterSimSession, ReportedVersionAndShortOpenReply) {
    MeterSim sim(Args(4, {"--reported-version", "6", "--open-reply-length", "3"}));
    Line line(sim.Port());
    line.Send(Frame(3, {1, 2, 3, 4, 0, 0, 0, 0}));
    auto r = line.Receive();
    ASSERT_TRUE(r && r->CrcOk);
    EXPECT_EQ(r->Cmd, 4);
    ASSERT_EQ(r->Data.size(), 3u);
    EXPECT_EQ(r->Data[0], 6);
}

TEST(MeterSimSession, KeysDifferPerOpeningAndRepeatWithTheSeed) {
    auto keys = [](const std::string& seed) {
        MeterSim sim(Args(2, {"--seed", seed}));
        Line line(sim.Port());
        Session s{line, 2};
        std::vector<Bytes> out;
        for (int i = 0; i < 2; ++i) {
            EXPECT_TRUE(s.Open(kZ, 0));
            out.push_back(Bytes(s.key, s.key + 4));
        }
        return out;
    };
    const auto a = keys("5"), b = keys("5"), c = keys("6");
    EXPECT_EQ(a, b);
    EXPECT_NE(a[0], a[1]);
    EXPECT_NE(a[0], c[0]);
    EXPECT_NE(a[0], (Bytes{0, 0, 0, 0}));
}

TEST(MeterSimSession, ResetEndsTheSessionAndCommandsOutsideOneAreRefused) {
    MeterSim sim(Args(2));
    Line line(sim.Port());
    Session s{line, 2};
    EXPECT_TRUE(IsError(s.Ask(6, {200, 0, 0}), 5));
    ASSERT_TRUE(s.Open(kZ, 0));
    auto r = s.Ask(6, {200, 0, 0});
    ASSERT_TRUE(r && r->CrcOk);
    EXPECT_EQ(r->Cmd, 6);
    line.Send({0x7E, 0x00, 0x02, 0xBC});
    std::fill(std::begin(s.key), std::end(s.key), 0);
    EXPECT_TRUE(IsError(s.Ask(6, {200, 0, 0}), 5));
}

// Reads through an open session, for versions that differ in packing, checksum and
// byte order: the block arrives whole with the checksum of its version.
TEST(MeterSimAreas, ReadsPlainAreasAndIndexedRecordsWithTheVersionsChecksum) {
    for (int v : {2, 4, 16, 30, 36, 38}) {
        SCOPED_TRACE("version " + std::to_string(v));
        MeterSim sim(Args(v));
        Line line(sim.Port());
        Session s{line, v};
        ASSERT_TRUE(s.Open(kZ, 0));
        auto plain = s.Ask(6, {200, 0, 0});
        ASSERT_TRUE(plain && plain->CrcOk);
        EXPECT_EQ(plain->Cmd, 6);
        ASSERT_EQ(plain->Data.size(), 20u);
        EXPECT_TRUE(BlockChecks(v, plain->Data));
        EXPECT_EQ(plain->Data, sim.ReadState().Area(200));
        // Record 300 of area 13: the request bytes 0D 01 2C.
        auto rec = s.Ask(6, {0x0D, 0x01, 0x2C});
        ASSERT_TRUE(rec && rec->CrcOk);
        ASSERT_EQ(rec->Data.size(), 9u);
        EXPECT_TRUE(BlockChecks(v, rec->Data));
        // Same record again: the same bytes.
        auto again = s.Ask(6, {0x0D, 0x01, 0x2C});
        ASSERT_TRUE(again);
        EXPECT_EQ(again->Data, rec->Data);
        EXPECT_TRUE(IsError(s.Ask(6, {0x0D, 0x01, 0x90}), 3)) << "record 400 is beyond the area";
        EXPECT_TRUE(IsError(s.Ask(6, {200, 0, 1}), 3)) << "a plain area has no records";
        EXPECT_TRUE(IsError(s.Ask(6, {201, 0, 0}), 1)) << "no such area";
    }
}

TEST(MeterSimAreas, WritesWithThePasswordWordInTheVersionsOrder) {
    struct Case {
        int version;
        Bytes right;  // password 0x1234 on the wire
    };
    for (const Case& c : {Case{2, {0x12, 0x34}}, Case{37, {0x34, 0x12}}, Case{4, {0x12, 0x34}}}) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        MeterSim sim(Args(c.version, {"--password", "4660"}));
        Line line(sim.Port());
        Session s{line, c.version};
        ASSERT_TRUE(s.Open(kZ, 0));
        Bytes block(20);
        for (std::size_t i = 0; i < 18; ++i) block[i] = static_cast<std::uint8_t>(0x30 + i);
        Seal(c.version, block);
        Bytes req{200, 0, 0, c.right[1], c.right[0]};
        req.insert(req.end(), block.begin(), block.end());
        EXPECT_TRUE(IsError(s.Ask(9, req), 5)) << "swapped password bytes";
        req[3] = c.right[0];
        req[4] = c.right[1];
        auto ack = s.Ask(9, req);
        ASSERT_TRUE(ack && ack->CrcOk);
        EXPECT_EQ(ack->Cmd, 0);
        EXPECT_TRUE(ack->Data.empty());
        EXPECT_EQ(sim.ReadState().Area(200), block);
        auto back = s.Ask(6, {200, 0, 0});
        ASSERT_TRUE(back);
        EXPECT_EQ(back->Data, block);
    }
}

TEST(MeterSimAreas, RefusesBadBlocksAndKeepsWrittenRecords) {
    MeterSim sim(Args(2));
    Line line(sim.Port());
    Session s{line, 2};
    ASSERT_TRUE(s.Open(kZ, 0));
    Bytes block(9, 0x11);
    Seal(2, block);
    Bytes broken = block;
    broken[0] ^= 1;
    EXPECT_TRUE(IsError(s.Ask(9, s.WriteRequest(13, 5, 0, broken)), 4));
    EXPECT_TRUE(IsError(s.Ask(9, s.WriteRequest(13, 5, 0, Bytes(block.begin(), block.end() - 1))), 3));
    EXPECT_TRUE(IsError(s.Ask(9, s.WriteRequest(77, 0, 0, block)), 1));
    auto ack = s.Ask(9, s.WriteRequest(13, 5, 0, block));
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->Cmd, 0);
    EXPECT_EQ(sim.ReadState().Record(13, 5), block);
    EXPECT_FALSE(sim.ReadState().Records.count({13, 4}));
}

TEST(MeterSimAreas, PacksRepetitiveRepliesAndUnpacksPackedRequests) {
    MeterSim sim(Args(2, {"--znumber", "0"}));
    Line line(sim.Port());
    // Open request for factory number 0, identifier 0, packed by hand: eight zeros
    // become escape FF, then FF 08 00.
    line.Send(Frame(0x83, {0xFF, 0xFF, 0x08, 0x00}));
    auto r = line.Receive();
    ASSERT_TRUE(r && r->CrcOk);
    ASSERT_EQ(r->Cmd, 4);
    Session s{line, 2};
    for (int i = 0; i < 4; ++i) s.key[i] = r->Data[static_cast<std::size_t>(i + 1)];
    // Twenty zero bytes carry a zero checksum; written, they come back packed.
    const Bytes zeros(20, 0);
    auto ack = s.Ask(9, s.WriteRequest(200, 0, 0, zeros));
    ASSERT_TRUE(ack && ack->Cmd == 0);
    s.line.Send(Frame(6, s.Xor({200, 0, 0})));
    auto raw = s.line.Receive();
    ASSERT_TRUE(raw && raw->CrcOk);
    EXPECT_EQ(raw->Cmd, 0x86);
    EXPECT_EQ(s.Xor(raw->Data), (Bytes{0xFF, 0xFF, 20, 0x00}));
}

TEST(MeterSimAreas, NonPackingVersionIgnoresPackedRequestsAndNeverPacks) {
    MeterSim sim(Args(4, {"--znumber", "0"}));
    Line line(sim.Port());
    line.Send(Frame(0x83, {0xFF, 0xFF, 0x08, 0x00}));
    EXPECT_FALSE(line.Receive(300));
    Session s{line, 4};
    ASSERT_TRUE(s.Open(0, 0));
    auto ack = s.Ask(9, s.WriteRequest(200, 0, 0, Bytes(20, 0)));
    ASSERT_TRUE(ack && ack->Cmd == 0);
    s.line.Send(Frame(6, s.Xor({200, 0, 0})));
    auto raw = s.line.Receive();
    ASSERT_TRUE(raw && raw->CrcOk);
    EXPECT_EQ(raw->Cmd, 6);
    EXPECT_EQ(s.Xor(raw->Data), Bytes(20, 0));
}

TEST(MeterSimCommands, SetsTheClockInTheThreeLayoutsAndReadsItBack) {
    struct Case {
        int version;
        Bytes record;  // Sunday 5 March 2023, 14:07:09
    };
    for (const Case& c : {Case{30, {0x09, 0x07, 0x0E, 0x06, 0x05, 0x03, 0x17, 0x14}},
                          Case{36, {0x06, 0x05, 0x03, 0xE7, 0x07, 0x0E, 0x07, 0x09}},
                          Case{2, {0x06, 0x05, 0x03, 0x07, 0xE7, 0x0E, 0x07, 0x09}}}) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        MeterSim sim(Args(c.version));
        Line line(sim.Port());
        Session s{line, c.version};
        ASSERT_TRUE(s.Open(kZ, 0));
        auto ack = s.Ask(8, c.record);
        ASSERT_TRUE(ack && ack->CrcOk);
        EXPECT_EQ(ack->Cmd, 0);
        EXPECT_EQ(sim.ReadState().Bytes("clock-record"), c.record);
        auto now = s.Ask(7, {});
        ASSERT_TRUE(now && now->CrcOk);
        ASSERT_EQ(now->Cmd, 7);
        ASSERT_EQ(now->Data.size(), 8u);
        // Read back a moment later: the same day and hour, seconds a little on.
        Bytes got = now->Data, want = c.record;
        const std::size_t secAt = c.version == 30 ? 0 : 7;
        EXPECT_LE(got[secAt] - want[secAt], 3);
        got[secAt] = want[secAt] = 0;
        EXPECT_EQ(got, want);
        Bytes bad = c.record;
        bad[c.version == 30 ? 5 : 2] = 13;  // month 13
        EXPECT_TRUE(IsError(s.Ask(8, bad), 3));
    }
}

TEST(MeterSimCommands, SingleCommandsChangeTheSwitchesInTheState) {
    MeterSim sim(Args(2));
    Line line(sim.Port());
    Session s{line, 2};
    ASSERT_TRUE(s.Open(kZ, 0));
    struct Step {
        std::uint8_t cmd;
        Bytes data;
        const char* item;
        const char* value;
    };
    for (const Step& st : {Step{18, {0x45, 0x55, 0x00}, "currency", "45 55 00"}, Step{127, {0x57}, "channel-flags", "57"},
                           Step{17, {'S'}, "precision", "53"}, Step{14, {'0'}, "contactor", "off"},
                           Step{14, {'D'}, "card-support", "on"}, Step{14, {'A'}, "channel1", "on"},
                           Step{16, {1}, "opto-port", "disabled"}}) {
        SCOPED_TRACE(st.item);
        auto ack = s.Ask(st.cmd, st.data);
        ASSERT_TRUE(ack && ack->CrcOk);
        EXPECT_EQ(ack->Cmd, 0);
        EXPECT_EQ(sim.ReadState().Item(st.item), std::string(st.value));
    }
    EXPECT_TRUE(IsError(s.Ask(14, {'Z'}), 3));
    EXPECT_TRUE(IsError(s.Ask(17, {'X'}), 3));
    EXPECT_TRUE(IsError(s.Ask(16, {2}), 3));
}

TEST(MeterSimCommands, MeasurementRepliesHaveTheLengthsOfTheirVersion) {
    struct Case {
        int version;
        std::uint8_t cmd;
        Bytes data;
        std::size_t length;  // 0: refused
    };
    const Case cases[] = {
        {1, 13, {}, 33},  {2, 13, {}, 29},  {3, 13, {}, 37},  {36, 13, {}, 110}, {1, 14, {}, 37},   {34, 14, {}, 25},
        {35, 14, {}, 33}, {48, 14, {}, 96}, {1, 15, {}, 4},   {28, 15, {}, 8},   {37, 15, {}, 48},  {1, 16, {}, 12},
        {22, 16, {}, 8},  {33, 16, {}, 12}, {38, 16, {}, 24}, {2, 17, {}, 9},    {3, 17, {}, 13},   {49, 17, {}, 24},
        {1, 18, {}, 7},   {2, 18, {}, 28},  {27, 18, {}, 42}, {39, 18, {}, 48},  {34, 20, {15}, 47}, {4, 13, {}, 0},
        {2, 20, {15}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version) + " command " + std::to_string(c.cmd));
        MeterSim sim(Args(c.version));
        Line line(sim.Port());
        Session s{line, c.version};
        ASSERT_TRUE(s.Open(kZ, 0));
        auto r = s.Ask(c.cmd, c.data);
        ASSERT_TRUE(r && r->CrcOk);
        if (c.length == 0) {
            EXPECT_EQ(r->Cmd, 1);
            continue;
        }
        EXPECT_EQ(r->Cmd, c.cmd);
        EXPECT_EQ(r->Data.size(), c.length);
        if (c.cmd == 20) {
            EXPECT_EQ(r->Data[0], 15);
        }
        if (c.version == 36 && c.cmd == 13) {
            EXPECT_EQ(r->Data[96] | (r->Data[97] << 8), 5000) << "50.00 Hz";
        }
    }
}

TEST(MeterSimFaults, FaultsHitExactlyTheChosenReplies) {
    MeterSim sim(Args(2, {"--fault", "lost@1-2/6", "--fault", "noise=7@3/6", "--fault", "badcrc@4/6", "--fault", "error=5@5/6"}));
    Line line(sim.Port());
    Session s{line, 2};
    ASSERT_TRUE(s.Open(kZ, 0));  // not a read: untouched
    EXPECT_FALSE(s.Ask(6, {200, 0, 0}, 300));
    EXPECT_FALSE(s.Ask(6, {200, 0, 0}, 300));
    auto noisy = s.Ask(6, {200, 0, 0});
    ASSERT_TRUE(noisy && noisy->CrcOk);
    EXPECT_EQ(noisy->Skipped, 7u);
    EXPECT_EQ(noisy->Cmd, 6);
    auto bad = s.Ask(6, {200, 0, 0});
    ASSERT_TRUE(bad);
    EXPECT_FALSE(bad->CrcOk);
    EXPECT_TRUE(IsError(s.Ask(6, {200, 0, 0}), 5));
    auto good = s.Ask(6, {200, 0, 0});
    ASSERT_TRUE(good && good->CrcOk);
    EXPECT_EQ(good->Data, noisy->Data);
}

TEST(MeterSimFaults, ControlChannelFaultsCountFromTheNextReply) {
    MeterSim sim(Args(2));
    Line line(sim.Port());
    Session s{line, 2};
    ASSERT_TRUE(s.Open(kZ, 0));
    ASSERT_TRUE(s.Ask(6, {200, 0, 0}));
    sim.AddFault("error=5@1-2");
    EXPECT_TRUE(IsError(s.Ask(6, {200, 0, 0}), 5));
    EXPECT_TRUE(IsError(s.Ask(5, {}), 5));
    auto r = s.Ask(6, {200, 0, 0});
    ASSERT_TRUE(r && r->CrcOk);
    EXPECT_EQ(r->Cmd, 6);
    // An injected error does not carry the request out; a lost reply does.
    sim.AddFault("error=3@1");
    Bytes block(20, 0x22);
    Seal(2, block);
    EXPECT_TRUE(IsError(s.Ask(9, s.WriteRequest(200, 0, 0, block)), 3));
    EXPECT_NE(sim.ReadState().Area(200), block);
    sim.AddFault("lost@1");
    EXPECT_FALSE(s.Ask(9, s.WriteRequest(200, 0, 0, block), 300));
    EXPECT_EQ(sim.ReadState().Area(200), block);
    EXPECT_NE(sim.Control("fault bogus").rfind("ERR", 0), std::string::npos);
}

TEST(MeterSimFaults, SplitRepliesArriveWholeAfterTheirPauses) {
    MeterSim sim(Args(2, {"--fault", "split=80:3/6"}));
    Line line(sim.Port());
    Session s{line, 2};
    ASSERT_TRUE(s.Open(kZ, 0));
    line.Send(Frame(6, s.Xor({200, 0, 0})));
    const auto start = std::chrono::steady_clock::now();
    auto first = line.Raw(40);  // the first piece only, then a pause
    EXPECT_FALSE(first.empty());
    EXPECT_LT(first.size(), 24u);
    auto rest = line.Raw(400);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(first.size() + rest.size(), 24u);
    EXPECT_GE(ms, 150);
}

TEST(MeterSimFaults, PacingTakesTheTimeOfTheLine) {
    MeterSim sim(Args(2, {"--area", "40:255:4", "--baud", "9600"}));
    Line line(sim.Port());
    Session s{line, 2};
    ASSERT_TRUE(s.Open(kZ, 0));
    const auto start = std::chrono::steady_clock::now();
    auto r = s.Ask(6, {40, 0, 1});
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(r && r->CrcOk);
    // 7 request and 259 reply bytes at 960 bytes a second: 277 ms on the line.
    EXPECT_GE(ms, 270);
    EXPECT_LT(ms, 1500);
}

TEST(MeterSimState, KeepsTheMemoryBetweenRunsAndEndsCleanly) {
    char tmpl[] = "/tmp/metersim-state-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    const std::string file = std::string(tmpl) + "/meter.txt";
    Bytes block(20, 0x5A);
    Seal(36, block);
    {
        MeterSim sim(Args(36, {"--state", file, "--password", "7"}));
        Line line(sim.Port());
        Session s{line, 36};
        ASSERT_TRUE(s.Open(kZ, 0));
        ASSERT_TRUE(s.Ask(9, s.WriteRequest(200, 0, 7, block)));
        EXPECT_EQ(sim.Stop(), 0);
    }
    {
        // Version and password come from the file now.
        MeterSim sim({"--state", file, "--area", "200:20"});
        Line line(sim.Port());
        Session s{line, 36};
        ASSERT_TRUE(s.Open(kZ, 0));
        auto r = s.Ask(6, {200, 0, 0});
        ASSERT_TRUE(r);
        EXPECT_EQ(r->Data, block);
        auto ack = s.Ask(9, s.WriteRequest(200, 0, 7, block));
        ASSERT_TRUE(ack);
        EXPECT_EQ(ack->Cmd, 0);
        const pid_t pid = sim.Pid();
        kill(pid, SIGTERM);
        for (int i = 0; i < 200 && sim.Running(); ++i) usleep(10000);
        EXPECT_FALSE(sim.Running());
    }
    const auto st = MeterSimState::Load(file);
    EXPECT_EQ(st.Area(200), block);
    EXPECT_EQ(st.Password(), 7);
    EXPECT_EQ(st.Number("version"), 36);
    std::filesystem::remove_all(tmpl);
}

TEST(MeterSimState, HelpDescribesEveryFaultAndBadOptionsFail) {
    auto run = [](const std::string& args) {
        const std::string cmd = std::string(METERSIM_PATH) + " " + args + " 2>&1";
        FILE* p = popen(cmd.c_str(), "r");
        std::string out;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        const int status = pclose(p);
        return std::make_pair(WEXITSTATUS(status), out);
    };
    auto [code, help] = run("--help");
    EXPECT_EQ(code, 0);
    for (const char* word : {"noise", "badcrc", "lost", "deaf", "error=CODE", "split", "delay", "pace", "truncate", "--seed",
                             "--state", "--stdin-control", "--log", "--baud", "PORT"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    EXPECT_EQ(run("--fault nonsense").first, 2);
    EXPECT_EQ(run("--version 300").first, 2);
    EXPECT_EQ(run("--area 5:300").first, 2);
}

// Version 38 keeps its write password in area 5 ("Пароли доступа", six 16-bit
// elements, low byte first). Writing the area changes the password the meter checks,
// so a retry after a lost acknowledgement must carry the new one.
TEST(MeterSimAreas, WritingThePasswordAreaChangesTheWritePassword) {
    MeterSim sim({"--version", "38", "--znumber", std::to_string(kZ), "--password", "1111"});
    Line line(sim.Port());
    Session s{line, 38};
    ASSERT_TRUE(s.Open(kZ, 0));
    Bytes area = sim.ReadState().Area(5);
    ASSERT_EQ(area.size(), 14u);
    EXPECT_EQ(area[0] | (area[1] << 8), 1111) << "the area holds the password the meter checks";
    for (std::size_t i = 0; i + 2 < area.size(); i += 2) {
        area[i] = 4321 & 0xFF;
        area[i + 1] = 4321 >> 8;
    }
    Seal(38, area);
    sim.AddFault("lost@1");
    EXPECT_FALSE(s.Ask(9, s.WriteRequest(5, 0, 1111, area), 300));
    EXPECT_TRUE(IsError(s.Ask(9, s.WriteRequest(5, 0, 1111, area)), 5));
    auto ack = s.Ask(9, s.WriteRequest(5, 0, 4321, area));
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->Cmd, 0);
    EXPECT_EQ(sim.ReadState().Password(), 4321);
}
