// measure: the measurement commands of the main window ("Измерения"), printing what
// their windows and messages show as "name<TAB>value<TAB>unit" lines.
#include "Cli.h"

#include "link/CounterSeance.h"
#include "sessions/CommandJobs.h"
#include "shell/MeterVersion.h"

#include <iostream>

namespace {
using namespace cli;
using namespace commandjobs;

struct TKind {
    const char* Name;
    TAction Action;
};
constexpr TKind kKinds[] = {
    {"full", TAction::acGetPower},          {"moment", TAction::acGetMomentPower},
    {"power", TAction::acGetOnlyPower},     {"voltage", TAction::acGetOnlyVoltage},
    {"current", TAction::acGetOnlyCurrent}, {"energy", TAction::acGetOnlyEnergy},
    {"energy-integrated", TAction::acGetOnlyEnergy_1}, {"energy-minute", TAction::acGetEnergyByMin},
    {"vector", TAction::acVector},
};

void PrintValues(const std::vector<TMeasuredValue>& values) {
    for (const auto& v : values) std::cout << v.Name << "\t" << v.Text << "\t" << v.Unit << "\n";
}

int Run(Context& ctx) {
    std::optional<TAction> action;
    for (size_t i = 0; i < ctx.Args.size() && !action; ++i)
        for (const auto& k : kKinds)
            if (ctx.Args[i] == k.Name) {
                action = k.Action;
                ctx.Args.erase(ctx.Args.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
    if (!action) return Fail(kUsage, "Укажите измерение: full, moment, power, voltage, current, energy, "
                                     "energy-integrated, energy-minute или vector (olmar-cli measure --help)");
    const TAction a = *action;
    auto prepare = [&ctx, a]() -> int {
        if (a != TAction::acGetEnergyByMin) return kOk;
        int minutes = 1;
        if (const auto text = TakeOption(ctx.Args, "--minutes")) {
            const auto value = text->size() <= 3 && !text->empty() && text->find_first_not_of("0123456789") == std::string::npos
                                   ? std::stoi(*text)
                                   : -1;
            if (value < kMinutesMin || value > kMinutesMax)
                return Fail(kUsage, "--minutes: интервал от " + std::to_string(kMinutesMin) + " до " +
                                        std::to_string(kMinutesMax) + " минут");
            minutes = value;
        }
        MinuteInterval = static_cast<std::uint8_t>(minutes);
        return kOk;
    };
    auto print = [a] {
        const TCounterSeance& s = *CounterSeance;
        switch (a) {
            case TAction::acGetOnlyEnergy:
            case TAction::acGetOnlyEnergy_1:
                PrintValues(EnergyValues(s.VersionID));
                break;
            case TAction::acGetEnergyByMin:
                std::cout << "minutes\t" << static_cast<int>(MinuteInterval) << "\tmin\n";
                PrintValues(EnergyValues(s.VersionID));
                break;
            case TAction::acVector:
                PrintValues(MeasuredValues(0, false, s.VoltageKoef, s.CurrentKoef));
                for (const auto& v : DiagramVectors(s.VersionID, MeasurementRecord))
                    std::cout << "angle_" << v.Label << "\t" << FixedText(v.AngleDegrees, 1) << "\t°\n";
                break;
            default:
                PrintValues(MeasuredValues(PowerDialogMode(a, s.VersionID), IsPerPhaseVersion(CurrentVersion),
                                           s.VoltageKoef, s.CurrentKoef));
                break;
        }
    };
    return RunMeterAction(ctx, a, prepare, print);
}
}  // namespace

OLMAR_CLI_COMMAND({"measure", "read measurements from a meter (powers, voltages, currents, energy)",
                   "olmar-cli --user NAME --password TEXT measure KIND --meter ID [--minutes N]\n"
                   "  KIND             what the main window's menu \"Измерения\" reads:\n"
                   "    full             \"Чтение измерений\": powers, voltages, currents, frequency, phase\n"
                   "    moment           \"Чтение мгновенных измерений\"\n"
                   "    power            \"Чтение мощности\"\n"
                   "    voltage          \"Чтение напряжений\"\n"
                   "    current          \"Чтение токов\"\n"
                   "    energy           \"Чтение энергии\": the energy totals\n"
                   "    energy-integrated \"Чтение энергии (c учетом времени интеграции)\"\n"
                   "    energy-minute    \"Чтение ежеминутных сумм\" over --minutes N (1-255, default 1)\n"
                   "    vector           the values and the vector angles of \"Векторная диаграмма\"\n"
                   "  Prints one \"name<TAB>value<TAB>unit\" line per value (W, var, V, A, Hz, Wh, varh; per-phase\n"
                   "  meters give per-phase names such as voltage1 and cos_fi1).\n"
                   "  Exit status 0, 1 on failure (\"Команда данной версией счетчика не поддерживается!\" for a\n"
                   "  version without the measurement, \"Произошла ошибка при получении измерения!\"), 2 usage,\n"
                   "  3 cancelled with Ctrl+C, 4 refused.",
                   true, true, Run});
