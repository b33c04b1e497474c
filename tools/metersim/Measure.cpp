// Measurement replies: one steady three-phase load (230 V, 5 A, cos φ 0.95, 50 Hz)
// turned into the raw words each version sends, so the PC's scaling lands back on
// round numbers.
#include "Meter.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace sim {

namespace {

constexpr double kU[3] = {230.0, 229.5, 231.0};
constexpr double kI[3] = {5.0, 4.8, 5.2};
constexpr double kCos = 0.95;
constexpr std::int16_t kFreqHundredths = 5000;
constexpr std::int16_t kAngleTenths = 182;  // 18.2 degrees, the angle of cos 0.95

double P(int k) { return kU[k] * kI[k] * kCos; }
double Q(int k) { return kU[k] * kI[k] * std::sqrt(1 - kCos * kCos); }

void U32(Bytes& b, double v) {
    const auto u = static_cast<std::uint32_t>(std::llround(v));
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}
void I16(Bytes& b, int v) {
    const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    b.push_back(static_cast<std::uint8_t>(u & 0xFF));
    b.push_back(static_cast<std::uint8_t>(u >> 8));
}
void F64(Bytes& b, double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}
void Bcd7(Bytes& b, double v) {
    Bytes d = Bcd(v, 7);
    b.insert(b.end(), d.begin(), d.end());
}

bool In(int v, std::initializer_list<int> set) {
    for (int x : set)
        if (x == v) return true;
    return false;
}

bool V1(int v) { return v == 1; }
bool TwoPhase(int v) { return In(v, {2, 22, 27, 34}); }
bool ThreePhase(int v) { return In(v, {3, 28, 33, 35}); }
bool Doubles(int v) { return In(v, {36, 37, 38, 39, 48, 49}); }

// Phases a two-phase meter measures: the first and the third.
std::vector<int> PhasesOf(int v) {
    if (TwoPhase(v)) return {0, 2};
    return {0, 1, 2};
}

double TotalP(int v) {
    double s = 0;
    for (int k : PhasesOf(v)) s += P(k);
    return s;
}
double TotalQ(int v) {
    double s = 0;
    for (int k : PhasesOf(v)) s += Q(k);
    return s;
}

// Totals: active +, active -, reactive I..IV (versions 2 and 3: reactive + and -).
constexpr double kTotals[6] = {4567891.25, 1234.5, 876543.21, 321.0, 456.75, 98765.4};

}  // namespace

std::optional<Bytes> MeasurementReply(int v, int command, int interval) {
    Bytes b;
    const double sq3half = std::sqrt(3.0) / 2;
    switch (command) {
        case 13:
            if (V1(v)) {
                U32(b, TotalP(v) * 14400);
                U32(b, TotalQ(v) * 14400);
                for (int k = 0; k < 3; ++k) {
                    U32(b, std::pow(kU[k] * 96, 2));
                    U32(b, std::pow(kI[k] * 192, 2));
                }
                b.push_back(0);
            } else if (TwoPhase(v) || ThreePhase(v)) {
                U32(b, TotalP(v) * 14400);
                U32(b, TotalQ(v) * 14400 * sq3half);
                for (int k : PhasesOf(v)) {
                    U32(b, std::pow(kU[k] * 170, 2));
                    U32(b, std::pow(kI[k] * 340 / 1.004, 2));
                }
                b.push_back(0);
                I16(b, kFreqHundredths / 10);
                I16(b, kAngleTenths);
            } else if (Doubles(v)) {
                for (int k = 0; k < 3; ++k) F64(b, P(k));
                for (int k = 0; k < 3; ++k) F64(b, Q(k));
                for (int k = 0; k < 3; ++k) F64(b, kU[k]);
                for (int k = 0; k < 3; ++k) F64(b, kI[k]);
                for (int k = 0; k < 3; ++k) I16(b, kFreqHundredths);
                for (int k = 0; k < 4; ++k) I16(b, kAngleTenths);
            } else {
                return std::nullopt;
            }
            return b;
        case 14:
            if (V1(v)) {
                U32(b, TotalP(v) * 14400);
                U32(b, 1);  // voltage transformation coefficient
                U32(b, 1);  // current transformation coefficient
                for (int k = 0; k < 3; ++k) {
                    U32(b, kU[k] * kU[k] * 72);
                    U32(b, kI[k] * kI[k] * 288);
                }
                b.push_back(0);
            } else if (TwoPhase(v) || ThreePhase(v)) {
                U32(b, TotalP(v) * 14400);
                U32(b, TotalQ(v) * 14400 * sq3half);
                for (int k : PhasesOf(v)) {
                    U32(b, std::pow(kU[k] * 170 / 2, 2));
                    U32(b, std::pow(kI[k] * 340 / (2 * 1.004), 2));
                }
                b.push_back(0);
            } else if (Doubles(v)) {
                for (int k = 0; k < 3; ++k) F64(b, P(k));
                for (int k = 0; k < 3; ++k) F64(b, Q(k));
                for (int k = 0; k < 3; ++k) F64(b, kU[k]);
                for (int k = 0; k < 3; ++k) F64(b, kI[k]);
            } else {
                return std::nullopt;
            }
            return b;
        case 15:
            if (V1(v)) {
                U32(b, TotalP(v) * 14400);
            } else if (In(v, {2, 3, 22, 27, 28, 33, 34, 35})) {
                U32(b, TotalP(v) * 14400);
                U32(b, TotalQ(v) * 14400 * sq3half);
            } else if (Doubles(v)) {
                for (int k = 0; k < 3; ++k) F64(b, P(k));
                for (int k = 0; k < 3; ++k) F64(b, Q(k));
            } else {
                return std::nullopt;
            }
            return b;
        case 16:
            if (V1(v)) {
                for (int k = 0; k < 3; ++k) U32(b, kU[k] * kU[k] * 72);
            } else if (TwoPhase(v) || ThreePhase(v)) {
                for (int k : PhasesOf(v)) U32(b, std::pow(kU[k] * 170 / 2, 2));
            } else if (Doubles(v)) {
                for (int k = 0; k < 3; ++k) F64(b, kU[k]);
            } else {
                return std::nullopt;
            }
            return b;
        case 17:
            if (V1(v)) {
                for (int k = 0; k < 3; ++k) U32(b, kI[k] * kI[k] * 288);
                b.push_back(0);
            } else if (TwoPhase(v) || ThreePhase(v)) {
                for (int k : PhasesOf(v)) U32(b, std::pow(kI[k] * 340 / (2 * 1.004), 2));
                b.push_back(0);
            } else if (Doubles(v)) {
                for (int k = 0; k < 3; ++k) F64(b, kI[k]);
            } else {
                return std::nullopt;
            }
            return b;
        case 18:
            if (V1(v)) {
                Bcd7(b, kTotals[0]);
            } else if (v == 2 || v == 3) {
                for (int k = 0; k < 4; ++k) Bcd7(b, kTotals[k]);
            } else if (In(v, {22, 27, 28, 33, 34, 35})) {
                for (double t : kTotals) Bcd7(b, t);
            } else if (Doubles(v)) {
                for (double t : kTotals) F64(b, t);
            } else {
                return std::nullopt;
            }
            return b;
        case 20: {
            if (!In(v, {22, 33, 34, 35, 36, 37, 38, 39, 48, 49})) return std::nullopt;
            const int minutes = interval == 0 ? 1 : interval;
            b.push_back(static_cast<std::uint8_t>(minutes));
            b.insert(b.end(), 4, 0);
            // Energy of the steady load over the interval, in watt- and var-hours.
            const double pt = TotalP(v) * minutes / 60.0, qt = TotalQ(v) * minutes / 60.0;
            const double vals[6] = {pt, 0, qt, 0, 0, 0};
            for (double x : vals) Bcd7(b, x);
            return b;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace sim
