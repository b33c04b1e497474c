#include "sessions/CommandJobs.h"

#include "shell/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>

namespace commandjobs {

namespace {

using A = TAction;

// Inclusive ranges of version codes (or revisions).
using TRanges = std::initializer_list<std::pair<int, int>>;

bool InRanges(int value, TRanges ranges) {
    for (const auto& [low, high] : ranges)
        if (value >= low && value <= high) return true;
    return false;
}

constexpr TRanges kContactorVersions = {{4, 15}, {17, 20}, {23, 25}, {30, 30}, {40, 41}, {44, 47}};
constexpr TRanges kCardVersions = {{5, 5},   {9, 9},   {11, 11}, {13, 13}, {15, 15}, {17, 17}, {19, 20},
                                   {23, 25}, {30, 30}, {40, 41}, {44, 47}};
constexpr TRanges kChannel1Versions = {{16, 20}, {24, 25}, {40, 41}, {44, 44}, {46, 47}};
constexpr TRanges kChannel2Versions = {{16, 20}, {24, 25}, {46, 47}};
constexpr TRanges kOptoPortVersions = {{4, 20}, {23, 25}, {30, 30}, {40, 47}};
constexpr TRanges kManageChannelRevisions = {{66, 73},   {125, 126}, {159, 161}, {209, 210}, {263, 265},
                                             {312, 313}, {315, 316}, {326, 329}};
// Versions without the full measurement (and the momentary one and the energy totals).
constexpr TRanges kNoMeasurementVersions = {{4, 20}, {23, 25}, {30, 30}, {40, 41}, {44, 44}};
constexpr TRanges kNoPowerVersions = {{4, 20}, {23, 25}, {30, 30}, {36, 37}, {40, 44}};
constexpr TRanges kNoVoltageVersions = {{4, 20}, {23, 25}, {30, 30}, {36, 37}, {40, 41}, {44, 44}};
constexpr TRanges kIntegratedEnergyVersions = {{22, 22}, {33, 35}, {48, 49}};
// Versions whose energy message has the four reactive quadrants.
constexpr TRanges kSixLineEnergyVersions = {{22, 22}, {27, 28}, {33, 39}, {48, 49}};

TMeasuredValue Value(std::string field, std::string name, std::string label, std::string unit, double value,
                     int decimals) {
    TMeasuredValue v{std::move(field), std::move(name), std::move(label), std::move(unit), value, decimals, {}};
    v.Text = FixedText(value, decimals);
    return v;
}

std::string N(int i) { return std::to_string(i); }

const char* const kActivePlus = "Активная \"+\"";
const char* const kActiveMinus = "Активная \"-\"";

}  // namespace

std::string FixedText(double value, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", std::clamp(decimals, 0, 12), value);
    return buf;
}

bool IsMeasurement(TAction a) {
    switch (a) {
        case A::acGetPower: case A::acVector: case A::acGetMomentPower: case A::acGetOnlyPower:
        case A::acGetOnlyVoltage: case A::acGetOnlyCurrent: case A::acGetOnlyEnergy: case A::acGetOnlyEnergy_1:
        case A::acGetEnergyByMin:
            return true;
        default:
            return false;
    }
}

bool IsMeterCommand(TAction a) {
    if (IsMeasurement(a)) return true;
    switch (a) {
        case A::acGetZNumber: case A::acGetCounterDateTime: case A::acSetCurrency: case A::acSetCorrectlyRange:
        case A::acOffContactor: case A::acRelaxContactor: case A::acSetCard: case A::acOnChannel1:
        case A::acOffChannel1: case A::acOnChannel2: case A::acOffChannel2: case A::acOnOptoPort:
        case A::acOffOptoPort: case A::acManageChannels:
            return true;
        default:
            return false;
    }
}

bool NeedsNoMeter(TAction a) { return a == A::acGetZNumber; }

bool CommandAllowed(TAction a, int v, int revision) {
    switch (a) {
        case A::acGetZNumber: case A::acGetCounterDateTime: case A::acSetCorrectlyRange:
            return true;
        case A::acSetCurrency:
            return v >= 44 && v <= 47;
        case A::acOffContactor: case A::acRelaxContactor:
            return InRanges(v, kContactorVersions);
        case A::acSetCard:
            return InRanges(v, kCardVersions);
        case A::acOnChannel1: case A::acOffChannel1:
            return InRanges(v, kChannel1Versions);
        case A::acOnChannel2: case A::acOffChannel2:
            return InRanges(v, kChannel2Versions);
        case A::acOnOptoPort: case A::acOffOptoPort:
            return InRanges(v, kOptoPortVersions);
        case A::acManageChannels:
            return InRanges(revision, kManageChannelRevisions);
        case A::acGetPower: case A::acVector: case A::acGetMomentPower: case A::acGetOnlyEnergy:
            return !InRanges(v, kNoMeasurementVersions);
        case A::acGetOnlyPower:
            return !InRanges(v, kNoPowerVersions);
        case A::acGetOnlyVoltage: case A::acGetOnlyCurrent:
            return !InRanges(v, kNoVoltageVersions);
        case A::acGetOnlyEnergy_1: case A::acGetEnergyByMin:
            return InRanges(v, kIntegratedEnergyVersions);
        default:
            return false;
    }
}

std::optional<std::string> CurrencyRefusal(const std::string& utf8Text) {
    if (utf8Text.find_first_not_of(" \t") == std::string::npos) return std::string(kNoCurrencyText);
    std::size_t chars = 0;
    for (unsigned char c : utf8Text)
        if ((c & 0xC0) != 0x80) ++chars;
    if (chars > kCurrencyMaxChars)
        return "Вид валюты — не более " + std::to_string(kCurrencyMaxChars) + " символов!";
    // The meter holds single-byte characters: a text that does not convert would be
    // sent cut or empty.
    const std::string ansi = text::Utf8ToAnsi(utf8Text);
    if (ansi.size() != chars || text::AnsiToUtf8(ansi) != utf8Text)
        return std::string("Вид валюты содержит символы, которые счетчик не может сохранить!");
    return std::nullopt;
}

std::uint8_t PrecisionCode(bool hundredths) { return hundredths ? kPrecisionHundredthKopecks : kPrecisionKopecks; }

bool ChannelSwitchEnabled(int mode, int channel) { return mode == 0 || mode == channel; }

bool RunMeterCommand(TAction a, TCounterSeance& s) {
    switch (a) {
        case A::acGetZNumber: return s.FactoryNumberJob();
        case A::acGetCounterDateTime: return s.ReadClockJob();
        case A::acSetCurrency: return s.SetCurrencyJob();
        case A::acSetCorrectlyRange: return s.SetPrecisionJob();
        case A::acOffContactor: return s.ControlJob(TControlCode::ContactorOff);
        case A::acRelaxContactor: return s.ControlJob(TControlCode::ContactorRelease);
        case A::acSetCard: return s.CardSupportJob();
        case A::acOnChannel1: return s.ControlJob(TControlCode::Channel1On);
        case A::acOffChannel1: return s.ControlJob(TControlCode::Channel1Off);
        case A::acOnChannel2: return s.ControlJob(TControlCode::Channel2On);
        case A::acOffChannel2: return s.ControlJob(TControlCode::Channel2Off);
        case A::acOnOptoPort: return s.OptoPortJob(true);
        case A::acOffOptoPort: return s.OptoPortJob(false);
        case A::acManageChannels: return s.ManageChannelsJob();
        case A::acGetPower: case A::acVector: return s.MeasurementsJob();
        case A::acGetMomentPower: return s.MomentMeasurementsJob();
        case A::acGetOnlyPower: return s.PowerJob();
        case A::acGetOnlyVoltage: return s.VoltagesJob();
        case A::acGetOnlyCurrent: return s.CurrentsJob();
        case A::acGetOnlyEnergy: case A::acGetOnlyEnergy_1: return s.ConsumptionJob();
        case A::acGetEnergyByMin: return s.MinuteConsumptionJob();
        default:
            s.ErrorText = "Команда не относится к счетчику";
            return false;
    }
}

std::string CommandSuccessText(TAction a, const TCounterSeance& s) {
    switch (a) {
        case A::acGetZNumber: return "Номер получен : " + std::to_string(s.ZNumber) + "!";
        case A::acGetCounterDateTime: return "Дата и время счетчика: " + s.MeterDateTimeText;
        case A::acSetCurrency: return "Вид валюты в счетчике установлены!";
        case A::acSetCorrectlyRange: return "Точность в счетчике установлена!";
        case A::acOffContactor: return "Контактор выключен!";
        case A::acRelaxContactor: return "Контактор освобожден!";
        case A::acSetCard: return "Поддержка карты установлена!";
        case A::acOnChannel1: return "Канал 1 включен!";
        case A::acOffChannel1: return "Канал 1 выключен!";
        case A::acOnChannel2: return "Канал 2 включен!";
        case A::acOffChannel2: return "Канал 2 выключен!";
        case A::acOnOptoPort: return "Оптопорт включен!";
        case A::acOffOptoPort: return "Оптопорт выключен!";
        case A::acManageChannels: return "Команда управления передана!";
        case A::acGetOnlyEnergy: case A::acGetOnlyEnergy_1: case A::acGetEnergyByMin:
            return EnergyMessage(a, s.VersionID);
        default:
            return {};
    }
}

std::string CommandFailureMessage(TAction a, const TCounterSeance& s) {
    if (IsMeasurement(a)) return kMeasurementFailedText;
    switch (a) {
        case A::acGetZNumber: return "Произошла ошибка при получении заводского номера!";
        case A::acGetCounterDateTime: return "Произошла ошибка при получении даты и времени!";
        case A::acSetCurrency: return "Произошла ошибка при установке вида валюты!";
        case A::acSetCorrectlyRange: return "Произошла ошибка при установке точности!";
        default: return CommandFailureText(s.ErrorText);
    }
}

bool IsPerPhaseVersion(int v) { return (v >= 36 && v <= 39) || v == 48 || v == 49; }

int PowerDialogMode(TAction a, int versionID) {
    switch (a) {
        case A::acGetPower: return 0;
        case A::acGetMomentPower: return versionID == 1 ? 1 : 5;
        case A::acGetOnlyPower: return 2;
        case A::acGetOnlyVoltage: return 3;
        case A::acGetOnlyCurrent: return 4;
        default: return -1;
    }
}

std::vector<TMeasuredValue> MeasuredValues(int mode, bool perPhase, double voltageKoef, double currentKoef) {
    std::vector<TMeasuredValue> out;
    if (mode < 0 || mode > 5) return out;
    const bool phasePage = perPhase && mode != 4 && mode != 1;
    if (phasePage) {
        const TPhaseRecord& p = PhaseRecord;
        const double active[3] = {p.ActivePower1, p.ActivePower2, p.ActivePower3};
        const double reactive[3] = {p.ReactivePower1, p.ReactivePower2, p.ReactivePower3};
        const double voltage[3] = {p.Voltage1, p.Voltage2, p.Voltage3};
        const double current[3] = {p.Current1, p.Current2, p.Current3};
        const int frequency[3] = {p.Frequency1, p.Frequency2, p.Frequency3};
        const int cosFi[3] = {p.CosFi1, p.CosFi2, p.CosFi3};
        const bool powers = mode == 0 || mode == 2 || mode == 5;
        const bool voltages = mode == 0 || mode == 3 || mode == 5;
        const bool currents = mode == 0 || mode == 5;
        const bool frequencies = mode == 0;
        for (int i = 0; i < 3; ++i) {
            const std::string k = N(i + 1);
            if (powers) {
                out.push_back(Value("aEdit" + k, "active_power" + k, "Активная мощность, фаза " + k, "W", active[i], 4));
                out.push_back(
                    Value("rEdit" + k, "reactive_power" + k, "Реактивная мощность, фаза " + k, "var", reactive[i], 4));
            }
            if (voltages) out.push_back(Value("uEdit" + k, "voltage" + k, "Напряжение, фаза " + k, "V", voltage[i], 2));
            if (currents) out.push_back(Value("iEdit" + k, "current" + k, "Ток, фаза " + k, "A", current[i], 3));
            if (frequencies) {
                out.push_back(Value("frEdit" + k, "frequency" + k, "Частота, фаза " + k, "Hz", frequency[i] / 100.0, 1));
                out.push_back(Value("fiEdit" + k, "cos_fi" + k, "Cos Fi, фаза " + k, "", cosFi[i] / 10.0, 3));
            }
        }
        if (frequencies) out.push_back(Value("fiEdit4", "cos_fi_all", "Cos Fi, все фазы", "", p.CosFiAll / 10.0, 3));
        out.push_back(Value("KoefUEdit1", "voltage_koef", "Коэффициент трансформации по напряжению", "", voltageKoef, 1));
        out.push_back(Value("KoefIEdit1", "current_koef", "Коэффициент трансформации по току", "", currentKoef, 1));
        return out;
    }

    // The single-panel page: the full record, or the momentary one for modes 1 and 5.
    const bool moment = mode == 1 || mode == 5;
    const TMeasurementRecord& m = MeasurementRecord;
    const TMomentRecord& mo = MomentRecord;
    const double activePower = moment ? mo.ActivePower : m.ActivePower;
    const double reactivePower = moment ? mo.ReactivePower : m.ReactivePower;
    const double voltage[3] = {moment ? mo.Voltage1 : m.Voltage1, moment ? mo.Voltage2 : m.Voltage2,
                               moment ? mo.Voltage3 : m.Voltage3};
    const double current[3] = {moment ? mo.Current1 : m.Current1, moment ? mo.Current2 : m.Current2,
                               moment ? mo.Current3 : m.Current3};
    const bool powers = mode != 3 && mode != 4;
    const bool voltages = mode != 2 && mode != 4;
    const bool currents = mode != 2 && mode != 3;
    if (powers) {
        out.push_back(Value("ActivePowerEdit", "active_power", "Активная мощность", "W", activePower, 4));
        out.push_back(Value("ReactivePowerEdit", "reactive_power", "Реактивная мощность", "var", reactivePower, 4));
    }
    for (int i = 0; i < 3; ++i) {
        const std::string k = N(i + 1);
        if (voltages) out.push_back(Value("Voltage" + k + "Edit", "voltage" + k, "Напряжение, фаза " + k, "V", voltage[i], 1));
        if (currents) out.push_back(Value("Current" + k + "Edit", "current" + k, "Ток, фаза " + k, "A", current[i], 3));
    }
    if (mode == 0) {
        out.push_back(Value("FrequenceEdit", "frequency", "Частота", "Hz", m.Frequency, 1));
        out.push_back(Value("PhaseEdit", "phase_angle", "Фаза (в градусах)", "°", m.PhaseAngle, 1));
    }
    out.push_back(Value("KoefUEdit", "voltage_koef", "Коэффициент трансформации по напряжению", "", voltageKoef, 1));
    out.push_back(Value("KoefIEdit", "current_koef", "Коэффициент трансформации по току", "", currentKoef, 1));
    return out;
}

std::vector<TMeasuredValue> EnergyValues(int versionID) {
    const auto& c = ConsumptionRecord.Values;
    std::vector<TMeasuredValue> out;
    if (versionID == 1) {
        out.push_back(Value("", "energy", "Вся потребленная энергия", "Wh", c[0], 3));
        return out;
    }
    out.push_back(Value("", "active_plus", kActivePlus, "Wh", c[0], 3));
    out.push_back(Value("", "active_minus", kActiveMinus, "Wh", c[1], 3));
    if (versionID == 2 || versionID == 3) {
        out.push_back(Value("", "reactive_plus", "Реактивная \"+\"", "varh", c[2], 3));
        out.push_back(Value("", "reactive_minus", "Реактивная \"-\"", "varh", c[3], 3));
        return out;
    }
    static const char* const kQuadrants[] = {"I", "II", "III", "IV"};
    for (int i = 0; i < 4; ++i)
        out.push_back(Value("", "reactive_q" + N(i + 1), std::string("Реактивная ") + kQuadrants[i] + " кв.", "varh",
                            c[static_cast<std::size_t>(i + 2)], 3));
    return out;
}

std::string EnergyMessage(TAction a, int v) {
    auto lines = [](const std::vector<TMeasuredValue>& values) {
        std::string text;
        for (const auto& value : values)
            text += "\r\n" + value.Label + " : " + value.Text + (value.Unit == "Wh" ? " Вт*ч;" : " Вар*ч;");
        return text;
    };
    if (a == A::acGetOnlyEnergy) {
        if (v == 1) return "Вся потребленная энергия : " + FixedText(ConsumptionRecord.Values[0], 3) + " Вт*ч!";
        if (v == 2 || v == 3 || InRanges(v, kSixLineEnergyVersions)) return "Вся энергия :" + lines(EnergyValues(v));
        return {};
    }
    if (!InRanges(v, kIntegratedEnergyVersions)) return {};
    if (a == A::acGetOnlyEnergy_1) return "Вся энергия :" + lines(EnergyValues(v));
    if (a == A::acGetEnergyByMin)
        return "Энергия за " + std::to_string(MinuteInterval) + " мин:" + lines(EnergyValues(v));
    return {};
}

double DiagramPhaseAngle(double phaseAngle) { return phaseAngle > 180 ? phaseAngle - 360 : phaseAngle; }

std::vector<TDiagramVector> DiagramVectors(int versionID, const TMeasurementRecord& m) {
    const double phi = DiagramPhaseAngle(m.PhaseAngle);
    struct Item {
        const char* Label;
        double Angle;
        double Value;
    };
    std::vector<Item> voltages, currents;
    if (versionID == 2) {
        voltages = {{"Uab", 30, m.Voltage1}, {"Ubc", 270, m.Voltage3}};
        currents = {{"Ia", -phi, m.Current1}, {"Ic", 120 - phi, m.Current3}};
    } else {
        voltages = {{"Ua", 0, m.Voltage1}, {"Ub", 120, m.Voltage2}, {"Uc", 240, m.Voltage3}};
        currents = {{"Ia", -phi, m.Current1}, {"Ib", 120 - phi, m.Current2}, {"Ic", 240 - phi, m.Current3}};
    }
    // The largest value scales a set; it is taken over all three phases.
    const double maxU = std::max({m.Voltage1, m.Voltage2, m.Voltage3});
    const double maxI = std::max({m.Current1, m.Current2, m.Current3});
    std::vector<TDiagramVector> out;
    if (maxU != 0)
        for (const auto& v : voltages)
            if (v.Value != 0) out.push_back({v.Label, v.Angle, v.Value, false, std::nullopt});
    if (maxI != 0)
        for (std::size_t i = 0; i < currents.size(); ++i) {
            const auto& c = currents[i];
            if (c.Value == 0) continue;
            TDiagramVector d{c.Label, c.Angle, c.Value, true, std::nullopt};
            if (phi != 0) d.ArcFromDegrees = c.Angle + phi;  // the direction of its phase voltage
            out.push_back(d);
        }
    return out;
}

}  // namespace commandjobs
