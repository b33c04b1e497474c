// Measurement commands 13 to 18 and 20, their decoding and scaling, and the
// transformation coefficients read from the meter.
#include "link/CounterSeance.h"
#include "link/LinkInternal.h"

#include "shell/Configuration.h"
#include "shell/Globals.h"
#include "shell/JobContext.h"

#include <algorithm>
#include <cmath>
#include <cstring>

TMeasurementRecord MeasurementRecord;
TMomentRecord MomentRecord;
TPhaseRecord PhaseRecord;
TConsumptionRecord ConsumptionRecord;
std::uint8_t MinuteInterval = 0;

namespace {

std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
double Unsigned32(std::span<const std::uint8_t> d, std::size_t at) { return static_cast<double>(U32(d.data() + at)); }
double Signed32(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<double>(static_cast<std::int32_t>(U32(d.data() + at)));
}
std::uint16_t U16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8));
}
std::int16_t S16(std::span<const std::uint8_t> d, std::size_t at) { return static_cast<std::int16_t>(U16(d, at)); }
double Double(std::span<const std::uint8_t> d, std::size_t at) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | d[at + static_cast<std::size_t>(i)];
    double v = 0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Divisors chosen by the range byte.
double Kc(std::uint8_t k) { return k == 1 ? 6144.0 : k == 2 ? 196608.0 : 192.0; }
double Kd(std::uint8_t k) { return k == 1 ? 32.0 : k == 2 ? 1024.0 : 1.0; }

const double kSqrt3 = std::sqrt(3.0);

bool IsVersion1(int v) { return v == 1; }
bool IsTwoPhase(int v) { return v == 2 || v == 22 || v == 27 || v == 34; }
bool IsThreePhase(int v) { return v == 3 || v == 28 || v == 33 || v == 35; }
bool IsDoubleVersion(int v) { return (v >= 36 && v <= 39) || v == 48 || v == 49; }

bool Finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}
bool Finite(const TMeasurementRecord& m) {
    return Finite({m.ActivePower, m.ReactivePower, m.Voltage1, m.Current1, m.Voltage2, m.Current2, m.Voltage3,
                   m.Current3, m.Frequency, m.PhaseAngle});
}
bool Finite(const TMomentRecord& m) {
    return Finite({m.ActivePower, m.ReactivePower, m.Voltage1, m.Current1, m.Voltage2, m.Current2, m.Voltage3,
                   m.Current3, m.VoltageKoef, m.CurrentKoef});
}
bool Finite(const TPhaseRecord& p) {
    return Finite({p.ActivePower1, p.ActivePower2, p.ActivePower3, p.ReactivePower1, p.ReactivePower2,
                   p.ReactivePower3, p.Voltage1, p.Voltage2, p.Voltage3, p.Current1, p.Current2, p.Current3});
}

// Twelve doubles in the order of the phase record.
void PhaseDoubles(std::span<const std::uint8_t> d, TPhaseRecord& p) {
    double* fields[] = {&p.ActivePower1, &p.ActivePower2, &p.ActivePower3, &p.ReactivePower1,
                        &p.ReactivePower2, &p.ReactivePower3, &p.Voltage1, &p.Voltage2,
                        &p.Voltage3, &p.Current1, &p.Current2, &p.Current3};
    for (std::size_t i = 0; i < 12; ++i) *fields[i] = Double(d, i * 8);
}

// Two-phase meters (voltage, current pairs at `at`), scale 1 or 2 for the momentary values.
double TwoPhaseVoltage(double raw, double factor) { return factor * std::sqrt(raw) / 170.0; }
double TwoPhaseCurrent(double raw, double factor, std::uint8_t k) {
    return factor * 1.004 * std::sqrt(raw) / (340.0 * Kd(k));
}

}  // namespace

double Bcd7ToDouble(const std::uint8_t* b) {
    bool allZero = true;
    for (int i = 0; i < 7; ++i) allZero = allZero && b[i] == 0;
    if (allZero) return 0.0;
    double digits = 0;
    for (int i = 0; i < 6; ++i) digits = digits * 100 + (b[i] >> 4) * 10 + (b[i] & 0x0F);
    const double sign = (b[6] & 0x80) ? -1.0 : 1.0;
    const int exponent = (b[6] & 0x7F) - 76;
    return (sign * digits + 1e-13) * std::pow(10.0, exponent);
}

int DecodeFullMeasurement(int version, std::span<const std::uint8_t> d, TMeasurementRecord& out, TPhaseRecord& phase) {
    TMeasurementRecord m;
    TPhaseRecord p = phase;
    if (IsVersion1(version)) {
        if (d.size() != 33) return -1;
        const double kc = Kc(d[32]);
        m.ActivePower = Signed32(d, 0) / 14400.0;
        m.ReactivePower = Signed32(d, 4) / 14400.0;
        m.Voltage1 = std::sqrt(Unsigned32(d, 8)) / 96.0;
        m.Current1 = std::sqrt(Signed32(d, 12)) / kc;
        m.Voltage2 = std::sqrt(Unsigned32(d, 16)) / 96.0;
        m.Current2 = std::sqrt(Signed32(d, 20)) / kc;
        m.Voltage3 = std::sqrt(Unsigned32(d, 24)) / 96.0;
        m.Current3 = std::sqrt(Signed32(d, 28)) / kc;
    } else if (IsTwoPhase(version) || IsThreePhase(version)) {
        const bool three = IsThreePhase(version);
        const std::size_t words = three ? 8 : 6;
        if (d.size() != words * 4 + 5) return -1;
        const std::uint8_t k = d[words * 4];
        m.ActivePower = Signed32(d, 0) / 14400.0;
        m.ReactivePower = 2.0 * Signed32(d, 4) / (14400.0 * kSqrt3);
        m.Voltage1 = TwoPhaseVoltage(Unsigned32(d, 8), 1);
        m.Current1 = TwoPhaseCurrent(Signed32(d, 12), 1, k);
        if (three) {
            m.Voltage2 = TwoPhaseVoltage(Unsigned32(d, 16), 1);
            m.Current2 = TwoPhaseCurrent(Signed32(d, 20), 1, k);
        }
        m.Voltage3 = TwoPhaseVoltage(Unsigned32(d, three ? 24 : 16), 1);
        m.Current3 = TwoPhaseCurrent(Signed32(d, three ? 28 : 20), 1, k);
        m.Frequency = U16(d, words * 4 + 1) / 10.0;
        m.PhaseAngle = S16(d, words * 4 + 3) / 10.0;
    } else if (IsDoubleVersion(version)) {
        if (d.size() != 110) return -1;
        PhaseDoubles(d, p);
        p.Frequency1 = S16(d, 96);
        p.Frequency2 = S16(d, 98);
        p.Frequency3 = S16(d, 100);
        p.CosFi1 = S16(d, 102);
        p.CosFi2 = S16(d, 104);
        p.CosFi3 = S16(d, 106);
        p.CosFiAll = S16(d, 108);
        m.ActivePower = p.ActivePower1 + p.ActivePower2 + p.ActivePower3;
        m.ReactivePower = p.ReactivePower1 + p.ReactivePower2 + p.ReactivePower3;
        m.Voltage1 = p.Voltage1;
        m.Voltage2 = p.Voltage2;
        m.Voltage3 = p.Voltage3;
        m.Current1 = p.Current1;
        m.Current2 = p.Current2;
        m.Current3 = p.Current3;
        m.Frequency = p.Frequency1 / 100.0;
        m.PhaseAngle = p.CosFiAll / 10.0;
    } else {
        return -1;
    }
    if (!Finite(m) || !Finite(p)) return -1;
    out = m;
    phase = p;
    return 0;
}

int DecodeMomentMeasurement(int version, std::span<const std::uint8_t> d, TMomentRecord& out, TPhaseRecord& phase,
                            bool useKoefs, double& currentKoef, double& voltageKoef) {
    TMomentRecord m;
    TPhaseRecord p = phase;
    if (IsVersion1(version)) {
        if (d.size() != 37) return -1;
        const double kd = Kd(d[36]);
        m.ActivePower = Signed32(d, 0) / 14400.0;
        m.VoltageKoef = Signed32(d, 4);
        m.CurrentKoef = Signed32(d, 8);
        m.Voltage1 = std::sqrt(Unsigned32(d, 12) / 72.0);
        m.Current1 = std::sqrt(Signed32(d, 16) / 288.0) / kd;
        m.Voltage2 = std::sqrt(Unsigned32(d, 20) / 72.0);
        m.Current2 = std::sqrt(Signed32(d, 24) / 288.0) / kd;
        m.Voltage3 = std::sqrt(Unsigned32(d, 28) / 72.0);
        m.Current3 = std::sqrt(Signed32(d, 32) / 288.0) / kd;
    } else if (IsTwoPhase(version) || IsThreePhase(version)) {
        const bool three = IsThreePhase(version);
        const std::size_t words = three ? 8 : 6;
        if (d.size() != words * 4 + 1) return -1;
        const std::uint8_t k = d[words * 4];
        m.ActivePower = Signed32(d, 0) / 14400.0;
        m.ReactivePower = 2.0 * Signed32(d, 4) / (14400.0 * kSqrt3);
        m.Voltage1 = TwoPhaseVoltage(Unsigned32(d, 8), 2);
        m.Current1 = TwoPhaseCurrent(Signed32(d, 12), 2, k);
        if (three) {
            m.Voltage2 = TwoPhaseVoltage(Unsigned32(d, 16), 2);
            m.Current2 = TwoPhaseCurrent(Signed32(d, 20), 2, k);
        }
        m.Voltage3 = TwoPhaseVoltage(Unsigned32(d, three ? 24 : 16), 2);
        m.Current3 = TwoPhaseCurrent(Signed32(d, three ? 28 : 20), 2, k);
    } else if (IsDoubleVersion(version)) {
        if (d.size() != 96) return -1;
        PhaseDoubles(d, p);
    } else {
        return -1;
    }
    if (!Finite(m) || !Finite(p)) return -1;
    out = m;
    phase = p;
    if (IsVersion1(version) && useKoefs) {
        // A zero coefficient would wipe out every value; it means "none", as in the area.
        voltageKoef = m.VoltageKoef != 0 ? m.VoltageKoef : 1.0;
        currentKoef = m.CurrentKoef != 0 ? m.CurrentKoef : 1.0;
    }
    return 0;
}

int DecodePower(int version, std::span<const std::uint8_t> d, TMeasurementRecord& out, TPhaseRecord& phase) {
    if (IsVersion1(version)) {
        if (d.size() != 4) return -1;
        out.ActivePower = Signed32(d, 0) / 14400.0;
        return 0;
    }
    if (IsTwoPhase(version) || IsThreePhase(version)) {
        if (d.size() != 8) return -1;
        out.ActivePower = Signed32(d, 0) / 14400.0;
        out.ReactivePower = 2.0 * Signed32(d, 4) / (14400.0 * kSqrt3);
        return 0;
    }
    if (IsDoubleVersion(version)) {
        if (d.size() != 48) return -1;
        TPhaseRecord p = phase;
        double* fields[] = {&p.ActivePower1, &p.ActivePower2, &p.ActivePower3,
                            &p.ReactivePower1, &p.ReactivePower2, &p.ReactivePower3};
        for (std::size_t i = 0; i < 6; ++i) *fields[i] = Double(d, i * 8);
        if (!Finite(p)) return -1;
        phase = p;
        return 0;
    }
    return -1;
}

int DecodeVoltages(int version, std::span<const std::uint8_t> d, TMeasurementRecord& out, TPhaseRecord& phase) {
    TMeasurementRecord m = out;
    if (IsVersion1(version)) {
        if (d.size() != 12) return -1;
        m.Voltage1 = std::sqrt(Unsigned32(d, 0) / 72.0);
        m.Voltage2 = std::sqrt(Unsigned32(d, 4) / 72.0);
        m.Voltage3 = std::sqrt(Unsigned32(d, 8) / 72.0);
    } else if (IsTwoPhase(version)) {
        if (d.size() != 8) return -1;
        m.Voltage1 = TwoPhaseVoltage(Unsigned32(d, 0), 2);
        m.Voltage2 = 0;
        m.Voltage3 = TwoPhaseVoltage(Unsigned32(d, 4), 2);
    } else if (IsThreePhase(version)) {
        if (d.size() != 12) return -1;
        m.Voltage1 = TwoPhaseVoltage(Unsigned32(d, 0), 2);
        m.Voltage2 = TwoPhaseVoltage(Unsigned32(d, 4), 2);
        m.Voltage3 = TwoPhaseVoltage(Unsigned32(d, 8), 2);
    } else if (IsDoubleVersion(version)) {
        if (d.size() != 24) return -1;
        TPhaseRecord p = phase;
        p.Voltage1 = Double(d, 0);
        p.Voltage2 = Double(d, 8);
        p.Voltage3 = Double(d, 16);
        if (!Finite(p)) return -1;
        phase = p;
        return 0;
    } else {
        return -1;
    }
    if (!Finite(m)) return -1;
    out = m;
    return 0;
}

int DecodeCurrents(int version, std::span<const std::uint8_t> d, TMeasurementRecord& out) {
    TMeasurementRecord m = out;
    if (IsVersion1(version)) {
        if (d.size() != 13) return -1;
        const double kd = Kd(d[12]);
        m.Current1 = std::sqrt(Signed32(d, 0) / 288.0) / kd;
        m.Current2 = std::sqrt(Signed32(d, 4) / 288.0) / kd;
        m.Current3 = std::sqrt(Signed32(d, 8) / 288.0) / kd;
    } else if (IsTwoPhase(version)) {
        if (d.size() != 9) return -1;
        m.Current1 = TwoPhaseCurrent(Signed32(d, 0), 2, d[8]);
        m.Current2 = 0;
        m.Current3 = TwoPhaseCurrent(Signed32(d, 4), 2, d[8]);
    } else if (IsThreePhase(version)) {
        if (d.size() != 13) return -1;
        m.Current1 = TwoPhaseCurrent(Signed32(d, 0), 2, d[12]);
        m.Current2 = TwoPhaseCurrent(Signed32(d, 4), 2, d[12]);
        m.Current3 = TwoPhaseCurrent(Signed32(d, 8), 2, d[12]);
    } else if (IsDoubleVersion(version)) {
        if (d.size() != 24) return -1;
        m.Current1 = Double(d, 0);
        m.Current2 = Double(d, 8);
        m.Current3 = Double(d, 16);
    } else {
        return -1;
    }
    if (!Finite(m)) return -1;
    out = m;
    return 0;
}

int DecodeConsumption(int version, std::span<const std::uint8_t> d, TConsumptionRecord& out) {
    TConsumptionRecord c = out;
    std::size_t count = 0;
    bool doubles = false;
    if (IsVersion1(version)) count = 1;
    else if (version == 2 || version == 3) count = 4;
    else if (version == 22 || version == 27 || version == 28 || (version >= 33 && version <= 35)) count = 6;
    else if (IsDoubleVersion(version)) { count = 6; doubles = true; }
    else return -1;
    if (d.size() != count * (doubles ? 8 : 7)) return -1;
    for (std::size_t i = 0; i < count; ++i) c.Values[i] = doubles ? Double(d, i * 8) : Bcd7ToDouble(d.data() + i * 7);
    if (!Finite({c.Values[0], c.Values[1], c.Values[2], c.Values[3], c.Values[4], c.Values[5]})) return -1;
    out = c;
    return 0;
}

int DecodeMinuteConsumption(int version, std::span<const std::uint8_t> d, TConsumptionRecord& out) {
    if (!(version == 22 || (version >= 33 && version <= 39) || version == 48 || version == 49)) return -1;
    // The reply length is not fixed: missing bytes count as zero.
    std::array<std::uint8_t, 47> bytes{};
    std::copy_n(d.begin(), std::min(d.size(), bytes.size()), bytes.begin());
    for (std::size_t i = 0; i < 6; ++i) out.Values[i] = Bcd7ToDouble(bytes.data() + 5 + i * 7);
    return 0;
}

void ScaleMeasurement(TMeasurementRecord& m, TScaleParts parts, double ck, double vk) {
    if (parts == TScaleParts::All || parts == TScaleParts::PowersOnly) {
        m.ActivePower *= ck * vk;
        m.ReactivePower *= ck * vk;
    }
    if (parts == TScaleParts::All || parts == TScaleParts::VoltagesOnly) {
        m.Voltage1 *= vk;
        m.Voltage2 *= vk;
        m.Voltage3 *= vk;
    }
    if (parts == TScaleParts::All || parts == TScaleParts::CurrentsOnly) {
        m.Current1 *= ck;
        m.Current2 *= ck;
        m.Current3 *= ck;
    }
}

void ScaleMoment(TMomentRecord& m, double ck, double vk) {
    m.ActivePower *= ck * vk;
    m.ReactivePower *= ck * vk;
    m.Voltage1 *= vk;
    m.Voltage2 *= vk;
    m.Voltage3 *= vk;
    m.Current1 *= ck;
    m.Current2 *= ck;
    m.Current3 *= ck;
}

// --- operations -------------------------------------------------------------------

namespace {
bool MeasurementsSupported(int v) { return IsVersion1(v) || IsTwoPhase(v) || IsThreePhase(v) || IsDoubleVersion(v); }
bool UseKoefs() { return Configuration && Configuration->UseTransformationKoefs; }
}  // namespace

int TCounterSeance::ReadTransformationKoefs() {
    CurrentJob().SetStepText("Считывание коэффициентов трансформации");
    const int v = VersionID;
    // Without a configuration the built-in positions apply.
    static const TConfiguration builtIn{std::string()};
    const TConfiguration& c = Configuration ? *Configuration : builtIn;
    int area = c.Norvel9KoefsID;
    if (v == 1) area = c.Norvel8KoefsID;
    else if ((v >= 22 && v <= 37) || v == 48 || v == 49) area = c.Norvel9NewKoefsID;
    std::array<std::uint8_t, kFrameBufferSize> buffer{};
    const int read = ReadBlock(area, 0, buffer.data());
    if (read < 0) std::fill(buffer.begin(), buffer.end(), 0);
    auto at = [&buffer](std::int32_t offset) { return buffer.data() + static_cast<std::uint8_t>(offset & 0xFF); };
    double current = 0, voltage = 0;
    if (v == 1) {
        current = Bcd7ToDouble(at(c.Norvel8CurrentKoefOffset));
        voltage = Bcd7ToDouble(at(c.Norvel8VoltageKoefOffset));
    } else if (v == 2 || v == 3) {
        current = Bcd7ToDouble(at(c.Norvel9CurrentKoefOffset));
        voltage = Bcd7ToDouble(at(c.Norvel9VoltageKoefOffset));
    } else if (v == 22 || (v >= 33 && v <= 35)) {
        current = Bcd7ToDouble(at(c.Norvel9NewCurrentKoefOffset));
        voltage = Bcd7ToDouble(at(c.Norvel9NewVoltageKoefOffset));
    } else if (IsDoubleVersion(v)) {
        const std::span<const std::uint8_t> all(buffer.data(), buffer.size());
        current = Double(all, static_cast<std::uint8_t>(c.Norvel9NewCurrentKoefOffset & 0xFF) + 1u);
        voltage = Double(all, static_cast<std::uint8_t>(c.Norvel9NewVoltageKoefOffset & 0xFF));
    }
    // Zero (or a value that is no number) means the meter holds no coefficient.
    CurrentKoef = (current != 0 && std::isfinite(current)) ? current : 1.0;
    VoltageKoef = (voltage != 0 && std::isfinite(voltage)) ? voltage : 1.0;
    return read < 0 ? -1 : 0;
}

void TCounterSeance::PrepareKoefs() {
    CurrentKoef = 1.0;
    VoltageKoef = 1.0;
    if (UseKoefs()) (void)ReadTransformationKoefs();
}

int TCounterSeance::Measure(std::uint8_t command, std::uint16_t firstByteTimeout, std::size_t requestLength,
                            const std::function<int(std::span<const std::uint8_t>)>& decode) {
    if (UserCancelled) return -1;
    CurrentJob().SetStepText("Считывание измерений");
    TExchange ex;
    ex.Command = command;
    ex.Length = requestLength;
    if (requestLength == 1) ex.Build = [](std::uint8_t* data) { data[0] = MinuteInterval; };
    ex.Accept = [command](const TCounterSeance& s) {
        const bool match = command == 13 ? (s.ReplyCommand() & 0x0F) == 13 : s.ReplyCommand() == command;
        return match ? TReplyVerdict::Accept : TReplyVerdict::Reject;
    };
    ex.FirstByteTimeout = firstByteTimeout;
    if (!ExchangeWithRetries(ex)) return -1;
    if (UserCancelled) return -1;
    linkdetail::AdvanceOverall();
    const int result = decode(Reply());
    if (result != 0) ErrorText = "Неверный ответ счетчика на запрос измерений";
    return result;
}

namespace {
const char* const kNoMeasurements = "Измерения не поддерживаются данной версией счетчика";
}

int TCounterSeance::ReadMeasurements() {
    if (UserCancelled) return -1;
    if (!MeasurementsSupported(VersionID)) { ErrorText = kNoMeasurements; return -1; }
    PrepareKoefs();
    return Measure(13, ReplyDelay(), 0, [this](std::span<const std::uint8_t> d) {
        if (DecodeFullMeasurement(VersionID, d, MeasurementRecord, PhaseRecord) != 0) return -1;
        ScaleMeasurement(MeasurementRecord, TScaleParts::All, CurrentKoef, VoltageKoef);
        return 0;
    });
}

int TCounterSeance::ReadMomentMeasurements() {
    if (UserCancelled) return -1;
    if (!MeasurementsSupported(VersionID)) { ErrorText = kNoMeasurements; return -1; }
    PrepareKoefs();
    return Measure(14, ReplyDelay(), 0, [this](std::span<const std::uint8_t> d) {
        if (DecodeMomentMeasurement(VersionID, d, MomentRecord, PhaseRecord, UseKoefs(), CurrentKoef, VoltageKoef) != 0)
            return -1;
        ScaleMoment(MomentRecord, CurrentKoef, VoltageKoef);
        return 0;
    });
}

int TCounterSeance::ReadPower() {
    if (UserCancelled) return -1;
    if (!MeasurementsSupported(VersionID)) { ErrorText = kNoMeasurements; return -1; }
    PrepareKoefs();
    return Measure(15, ReplyDelay(), 0, [this](std::span<const std::uint8_t> d) {
        if (DecodePower(VersionID, d, MeasurementRecord, PhaseRecord) != 0) return -1;
        ScaleMeasurement(MeasurementRecord, TScaleParts::PowersOnly, CurrentKoef, VoltageKoef);
        return 0;
    });
}

int TCounterSeance::ReadVoltages() {
    if (UserCancelled) return -1;
    if (!MeasurementsSupported(VersionID)) { ErrorText = kNoMeasurements; return -1; }
    PrepareKoefs();
    return Measure(16, ReplyDelay(), 0, [this](std::span<const std::uint8_t> d) {
        if (DecodeVoltages(VersionID, d, MeasurementRecord, PhaseRecord) != 0) return -1;
        ScaleMeasurement(MeasurementRecord, TScaleParts::VoltagesOnly, CurrentKoef, VoltageKoef);
        return 0;
    });
}

int TCounterSeance::ReadCurrents() {
    if (UserCancelled) return -1;
    if (!MeasurementsSupported(VersionID)) { ErrorText = kNoMeasurements; return -1; }
    PrepareKoefs();
    return Measure(17, ReplyDelay(), 0, [this](std::span<const std::uint8_t> d) {
        if (DecodeCurrents(VersionID, d, MeasurementRecord) != 0) return -1;
        ScaleMeasurement(MeasurementRecord, TScaleParts::CurrentsOnly, CurrentKoef, VoltageKoef);
        return 0;
    });
}

int TCounterSeance::ReadConsumption() {
    if (UserCancelled) return -1;
    if (!MeasurementsSupported(VersionID)) { ErrorText = kNoMeasurements; return -1; }
    return Measure(18, 12000, 0, [this](std::span<const std::uint8_t> d) {
        return DecodeConsumption(VersionID, d, ConsumptionRecord);
    });
}

int TCounterSeance::ReadMinuteConsumption() {
    if (UserCancelled) return -1;
    const int v = VersionID;
    if (!(v == 22 || (v >= 33 && v <= 39) || v == 48 || v == 49)) { ErrorText = kNoMeasurements; return -1; }
    return Measure(20, 12000, 1, [this](std::span<const std::uint8_t> d) {
        if (DecodeMinuteConsumption(VersionID, d, ConsumptionRecord) != 0) return -1;
        MinuteInterval = d.empty() ? 0 : d[0];
        return 0;
    });
}

// --- jobs -------------------------------------------------------------------------

bool TCounterSeance::MeasurementsJob() {
    MeasurementRecord = {};
    return RunCommandJob([this] { return ReadMeasurements() == 0; });
}

bool TCounterSeance::MomentMeasurementsJob() {
    MomentRecord = {};
    return RunCommandJob([this] { return ReadMomentMeasurements() == 0; });
}

bool TCounterSeance::PowerJob() {
    MeasurementRecord = {};
    return RunCommandJob([this] { return ReadPower() == 0; });
}

bool TCounterSeance::VoltagesJob() {
    MeasurementRecord = {};
    return RunCommandJob([this] { return ReadVoltages() == 0; });
}

bool TCounterSeance::CurrentsJob() {
    MeasurementRecord = {};
    return RunCommandJob([this] { return ReadCurrents() == 0; });
}

bool TCounterSeance::ConsumptionJob() {
    ConsumptionRecord = {};
    return RunCommandJob([this] { return ReadConsumption() == 0; });
}

bool TCounterSeance::MinuteConsumptionJob() {
    ConsumptionRecord = {};
    return RunCommandJob([this] { return ReadMinuteConsumption() == 0; });
}
