// Measurement replies: number forms, layouts per version, scaling, coefficients.
#include "LinkFakes.h"

#include "shell/Configuration.h"
#include "shell/Globals.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

void PutU32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutU16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutDouble(Bytes& b, double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof v);
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

TEST(Bcd7, DecodesDigitsSignAndExponent) {
    const std::uint8_t plus[] = {0x12, 0x34, 0x50, 0x00, 0x00, 0x00, 0x43};
    const std::uint8_t minus[] = {0x12, 0x34, 0x50, 0x00, 0x00, 0x00, 0xC3};
    const std::uint8_t zero[7] = {};
    EXPECT_NEAR(Bcd7ToDouble(plus), 123.45, 1e-9);
    EXPECT_NEAR(Bcd7ToDouble(minus), -123.45, 1e-9);
    EXPECT_EQ(Bcd7ToDouble(zero), 0.0);
}

TEST(MeasurementDecoding, Version2RangeByteAndMissingPhase) {
    Bytes d;
    for (std::uint32_t v : {14400u, 14400u, 28900u, 115600u, 28900u, 462400u}) PutU32(d, v);
    d.push_back(1);  // K
    PutU16(d, 500);
    PutU16(d, static_cast<std::uint16_t>(-25));
    ASSERT_EQ(d.size(), 29u);
    TMeasurementRecord m;
    TPhaseRecord p;
    ASSERT_EQ(DecodeFullMeasurement(2, d, m, p), 0);
    EXPECT_DOUBLE_EQ(m.ActivePower, 1.0);
    EXPECT_NEAR(m.ReactivePower, 2.0 / std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(m.Voltage1, 170.0 / 170.0, 1e-12);
    EXPECT_NEAR(m.Current1, 1.004 * 340.0 / (340.0 * 32.0), 1e-12);
    EXPECT_EQ(m.Voltage2, 0.0);
    EXPECT_EQ(m.Current2, 0.0);
    EXPECT_NEAR(m.Current3, 1.004 * 680.0 / (340.0 * 32.0), 1e-12);
    EXPECT_DOUBLE_EQ(m.Frequency, 50.0);
    EXPECT_DOUBLE_EQ(m.PhaseAngle, -2.5);
    // One byte short or long is refused.
    EXPECT_EQ(DecodeFullMeasurement(2, std::span(d).first(28), m, p), -1);
    d.push_back(0);
    EXPECT_EQ(DecodeFullMeasurement(2, d, m, p), -1);
}

TEST(MeasurementDecoding, Version1AndItsCurrentDivisor) {
    Bytes d;
    for (std::uint32_t v : {28800u, 0u, 9216u, 36864u, 9216u, 36864u, 9216u, 36864u}) PutU32(d, v);
    d.push_back(0);
    TMeasurementRecord m;
    TPhaseRecord p;
    ASSERT_EQ(DecodeFullMeasurement(1, d, m, p), 0);
    EXPECT_DOUBLE_EQ(m.ActivePower, 2.0);
    EXPECT_DOUBLE_EQ(m.Voltage1, 1.0);
    EXPECT_DOUBLE_EQ(m.Current1, 1.0);
    EXPECT_EQ(m.Frequency, 0.0);
    // A negative current word has no square root: the reading fails.
    Bytes bad = d;
    bad[12] = 0xFF; bad[13] = 0xFF; bad[14] = 0xFF; bad[15] = 0xFF;
    TMeasurementRecord before = m;
    EXPECT_EQ(DecodeFullMeasurement(1, bad, m, p), -1);
    EXPECT_EQ(m.Current1, before.Current1);
}

TEST(MeasurementDecoding, Version36PhasesAndFrequency) {
    Bytes d;
    for (int i = 0; i < 12; ++i) PutDouble(d, 10.0 * (i + 1));
    for (std::uint16_t w : {5000, 4990, 5010, 9, 8, 7, 85}) PutU16(d, w);
    ASSERT_EQ(d.size(), 110u);
    TMeasurementRecord m;
    TPhaseRecord p;
    ASSERT_EQ(DecodeFullMeasurement(36, d, m, p), 0);
    EXPECT_DOUBLE_EQ(m.Frequency, 50.0);
    EXPECT_DOUBLE_EQ(m.PhaseAngle, 8.5);
    EXPECT_DOUBLE_EQ(m.ActivePower, 10 + 20 + 30);
    EXPECT_DOUBLE_EQ(m.ReactivePower, 40 + 50 + 60);
    EXPECT_DOUBLE_EQ(m.Voltage2, 80);
    EXPECT_DOUBLE_EQ(m.Current3, 120);
    EXPECT_EQ(p.Frequency2, 4990);
    EXPECT_EQ(p.CosFiAll, 85);
}

TEST(MeasurementDecoding, LengthsPerCommandAndVersion) {
    struct Case {
        const char* name;
        int version;
        std::size_t good;
        std::function<int(int, std::span<const std::uint8_t>)> decode;
    };
    TMeasurementRecord m;
    TMomentRecord mo;
    TPhaseRecord p;
    TConsumptionRecord c;
    double ck = 1, vk = 1;
    auto full = [&](int v, std::span<const std::uint8_t> d) { return DecodeFullMeasurement(v, d, m, p); };
    auto moment = [&](int v, std::span<const std::uint8_t> d) { return DecodeMomentMeasurement(v, d, mo, p, false, ck, vk); };
    auto power = [&](int v, std::span<const std::uint8_t> d) { return DecodePower(v, d, m, p); };
    auto volts = [&](int v, std::span<const std::uint8_t> d) { return DecodeVoltages(v, d, m, p); };
    auto amps = [&](int v, std::span<const std::uint8_t> d) { return DecodeCurrents(v, d, m); };
    auto energy = [&](int v, std::span<const std::uint8_t> d) { return DecodeConsumption(v, d, c); };
    const Case cases[] = {
        {"13 v1", 1, 33, full},     {"13 v34", 34, 29, full},   {"13 v35", 35, 37, full},  {"13 v49", 49, 110, full},
        {"14 v1", 1, 37, moment},   {"14 v27", 27, 25, moment}, {"14 v28", 28, 33, moment}, {"14 v48", 48, 96, moment},
        {"15 v1", 1, 4, power},     {"15 v28", 28, 8, power},   {"15 v37", 37, 48, power},
        {"16 v1", 1, 12, volts},    {"16 v22", 22, 8, volts},   {"16 v33", 33, 12, volts}, {"16 v38", 38, 24, volts},
        {"17 v1", 1, 13, amps},     {"17 v22", 22, 9, amps},    {"17 v3", 3, 13, amps},    {"17 v39", 39, 24, amps},
        {"18 v1", 1, 7, energy},    {"18 v2", 2, 28, energy},   {"18 v27", 27, 42, energy}, {"18 v36", 36, 48, energy},
    };
    const Bytes zeros(200, 0);
    for (const auto& k : cases) {
        EXPECT_EQ(k.decode(k.version, std::span(zeros).first(k.good)), 0) << k.name;
        EXPECT_EQ(k.decode(k.version, std::span(zeros).first(k.good - 1)), -1) << k.name;
        EXPECT_EQ(k.decode(4, std::span(zeros).first(k.good)), -1) << k.name << " on version 4";
    }
}

TEST(MeasurementDecoding, MinuteTotalsAtFixedOffsets) {
    Bytes d(47, 0);
    d[0] = 15;
    const std::uint8_t bcd[] = {0x12, 0x34, 0x50, 0x00, 0x00, 0x00, 0x43};
    std::memcpy(d.data() + 40, bcd, 7);
    TConsumptionRecord c;
    ASSERT_EQ(DecodeMinuteConsumption(34, d, c), 0);
    EXPECT_NEAR(c.Values[5], 123.45, 1e-9);
    // A short reply counts its missing bytes as zero.
    ASSERT_EQ(DecodeMinuteConsumption(34, std::span(d).first(3), c), 0);
    EXPECT_EQ(c.Values[5], 0.0);
    EXPECT_EQ(DecodeMinuteConsumption(2, d, c), -1);
}

// --- through the session object ------------------------------------------------

class Measurements : public ::testing::Test {
protected:
    Measurements() : scope_(state_.Job), config_(home_.File("Olmar32.ini")) { Configuration = &config_; }
    ~Measurements() override { Configuration = nullptr; }
    FakeMeter& meter() { return state_.Meter; }
    TCounterSeance& seance() { return state_.Seance; }

    TempHome home_;
    LinkFixtureState state_;
    ScopedJob scope_;
    TConfiguration config_;
};

TEST_F(Measurements, WithoutCoefficientsNoAreaIsRead) {
    seance().VersionID = 35;
    Bytes d;
    for (int i = 0; i < 8; ++i) PutU32(d, 28900);
    d.push_back(0);
    PutU16(d, 500);
    PutU16(d, 0);
    std::vector<int> commands;
    meter().Responder = [&](const Bytes& r) {
        commands.push_back(r[2]);
        return RawFrame(13 | 0x40, d);  // only the low four bits must say 13
    };
    seance().CurrentKoef = 7;
    ASSERT_EQ(seance().ReadMeasurements(), 0);
    EXPECT_EQ(commands, (std::vector<int>{13}));
    EXPECT_EQ(seance().CurrentKoef, 1.0);
    EXPECT_NEAR(MeasurementRecord.Voltage2, 1.0, 1e-12);
}

TEST_F(Measurements, CoefficientsAreReadAndApplied) {
    config_.UseTransformationKoefs = true;
    seance().VersionID = 2;
    // Area 2 (Norvel9): current coefficient 20 at 63, voltage coefficient 100 at 56.
    Bytes area(80, 0);
    const std::uint8_t twenty[] = {0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 66};
    const std::uint8_t hundred[] = {0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 67};
    std::memcpy(area.data() + 63, twenty, 7);
    std::memcpy(area.data() + 56, hundred, 7);
    Bytes power;
    PutU32(power, 14400);
    PutU32(power, 0);
    std::vector<Bytes> requests;
    meter().Responder = [&](const Bytes& r) {
        requests.push_back(r);
        return r[2] == 6 ? RawFrame(6, area) : RawFrame(15, power);
    };
    ASSERT_EQ(seance().ReadPower(), 0);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(SentData(requests[0]), (Bytes{2, 0, 0}));
    EXPECT_NEAR(seance().CurrentKoef, 20.0, 1e-9);
    EXPECT_NEAR(seance().VoltageKoef, 100.0, 1e-9);
    EXPECT_NEAR(MeasurementRecord.ActivePower, 2000.0, 1e-6);
}

TEST_F(Measurements, Version4GetsMinusOneWithoutAnExchange) {
    seance().VersionID = 4;
    EXPECT_EQ(seance().ReadMeasurements(), -1);
    EXPECT_EQ(seance().ReadMomentMeasurements(), -1);
    EXPECT_EQ(seance().ReadPower(), -1);
    EXPECT_EQ(seance().ReadVoltages(), -1);
    EXPECT_EQ(seance().ReadCurrents(), -1);
    EXPECT_EQ(seance().ReadConsumption(), -1);
    EXPECT_EQ(seance().ReadMinuteConsumption(), -1);
    EXPECT_TRUE(meter().Sent.empty());
}

TEST_F(Measurements, MinuteTotalsSendTheTypedIntervalAndKeepTheMeters) {
    seance().VersionID = 34;
    MinuteInterval = 30;
    Bytes reply(47, 0);
    reply[0] = 15;
    meter().Responder = Script({RawFrame(20, reply)});
    ASSERT_EQ(seance().ReadMinuteConsumption(), 0);
    EXPECT_EQ(meter().Sent.back()[2], 20);
    EXPECT_EQ(SentData(meter().Sent.back()), (Bytes{30}));
    EXPECT_EQ(MinuteInterval, 15);
}

TEST_F(Measurements, MomentVersion1TakesItsCoefficientsFromTheReply) {
    config_.UseTransformationKoefs = true;
    seance().VersionID = 1;
    Bytes d;
    for (std::uint32_t v : {14400u, 3u, 5u, 72u, 288u, 72u, 288u, 72u, 288u}) PutU32(d, v);
    d.push_back(0);
    meter().Responder = [&](const Bytes& r) { return r[2] == 6 ? RawFrame(6, Bytes(100, 0)) : RawFrame(14, d); };
    ASSERT_EQ(seance().ReadMomentMeasurements(), 0);
    EXPECT_EQ(MomentRecord.VoltageKoef, 3.0);
    EXPECT_EQ(MomentRecord.CurrentKoef, 5.0);
    EXPECT_DOUBLE_EQ(MomentRecord.ActivePower, 15.0);
    EXPECT_DOUBLE_EQ(MomentRecord.Voltage1, 3.0);
    EXPECT_DOUBLE_EQ(MomentRecord.Current1, 5.0);
}

}  // namespace
