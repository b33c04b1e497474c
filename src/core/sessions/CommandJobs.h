#pragma once
// The meter commands and measurements of the main window without the window: which
// meter versions take a command, which job runs it, what its preparatory questions
// say and accept, and which message or values the user sees afterwards. The desktop
// program's handlers and olmar-cli call the same functions, so a command behaves
// alike in both.
//
// The order of a handler: port open (PortClosedText), rights and a selected meter,
// CommandAllowed (UnsupportedCommandText), the preparation (currency, precision,
// card question, channels, minutes) into the session, RunMeterCommand in a job, then
// CancelledText, the success text and values, or "Произошла ошибка" followed by
// CommandFailureMessage.

#include "link/CounterSeance.h"
#include "shell/ActionGates.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace commandjobs {

inline constexpr const char* kPortClosedText = "Последовательный порт не открыт для работы!";
inline constexpr const char* kUnsupportedCommandText = "Команда данной версией счетчика не поддерживается!";
inline constexpr const char* kCancelledText = "Сеанс был прерван пользователем!";
// What the progress dialog says before the command's own failure message.
inline constexpr const char* kJobFailedText = "Произошла ошибка";
inline constexpr const char* kMeasurementFailedText = "Произошла ошибка при получении измерения!";

// The meter commands and measurements this file knows (acGetZNumber included).
bool IsMeterCommand(TAction action);
bool IsMeasurement(TAction action);
// Whether the command runs without a selected meter (the factory number).
bool NeedsNoMeter(TAction action);

// The version check of the command: `versionID` is the meter's version code,
// `versionInternalID` its revision (only channel management looks at it).
bool CommandAllowed(TAction action, int versionID, int versionInternalID);

// --- preparations -------------------------------------------------------------

// The currency dialog.
inline constexpr const char* kCurrencyCaption = "Изменение вида валюты";
inline constexpr const char* kCurrencyPrompt = "Введите вид валюты";
inline constexpr const char* kCurrencyInitial = "RUB";
inline constexpr std::size_t kCurrencyMaxChars = 3;
inline constexpr const char* kNoCurrencyText = "Не введен вид валюты!";
// The refusal for a currency text, or nullopt when it may be sent. Empty (or only
// blanks) gives kNoCurrencyText; more than three characters, or a character the
// meter's single-byte code page lacks, gives its own text.
std::optional<std::string> CurrencyRefusal(const std::string& utf8Text);

// The precision dialog: "режим копеек" (kPrecisionKopecks) or "режим сотых копеек".
inline constexpr const char* kPrecisionCaption = "Смена точности";
inline constexpr const char* kPrecisionKopecksText = "режим копеек";
inline constexpr const char* kPrecisionHundredthsText = "режим сотых копеек";
std::uint8_t PrecisionCode(bool hundredths);

// The card-support question: only Yes goes on.
inline constexpr const char* kCardSupportQuestion =
    "Включить поддержку карты в счетчике? ВНИМАНИЕ! После указанных действий счетчик будет работать только в "
    "режиме предоплаты!!!";

// The channel dialog: mode 0 is "Все каналы", 1 to 4 one channel. A channel's box
// is enabled when all channels or that very channel is chosen (IncludeGroupClick).
inline constexpr const char* kChannelsCaption = "Управление каналами";
bool ChannelSwitchEnabled(int mode, int channel);

// The minutes dialog of the per-minute totals; the command carries one byte.
inline constexpr const char* kMinutesCaption = "Введите интервал времени (мин)";
inline constexpr int kMinutesMin = 1;
inline constexpr int kMinutesMax = 255;

// --- the job --------------------------------------------------------------------

// Runs the command's job on `seance` (its preparation already stored there and in
// MinuteInterval). True on success and when cancelled, as the jobs are.
bool RunMeterCommand(TAction action, TCounterSeance& seance);

// The information text after a successful job ("Контактор выключен!", the clock,
// the energy message); empty when the result is a window of values instead, or
// for a version that gets no energy message.
std::string CommandSuccessText(TAction action, const TCounterSeance& seance);
// The error text shown after the progress dialog's kJobFailedText.
std::string CommandFailureMessage(TAction action, const TCounterSeance& seance);

// --- what the measurement displays show ------------------------------------------

// Meters that report per phase (by the version of the last opened session).
bool IsPerPhaseVersion(int currentVersion);

// The mode of the measured-values dialog: 0 full, 1 momentary (version 1), 2 power,
// 3 voltages, 4 currents, 5 momentary (other versions); -1 for an action without
// that dialog.
int PowerDialogMode(TAction action, int versionID);

// One value the display fills: the field of the dialog, a name for scripts, the
// dialog's label, the unit, and the number in fixed notation with its decimals.
struct TMeasuredValue {
    std::string Field;  // "ActivePowerEdit", "uEdit1", "KoefUEdit", ...
    std::string Name;   // "active_power", "voltage1", "voltage_koef", ...
    std::string Label;  // "Активная мощность", ...
    std::string Unit;   // "W", "var", "V", "A", "Hz", "°", "" for coefficients and cos φ
    double Value = 0;
    int Decimals = 0;
    std::string Text;   // Value with Decimals decimals
};

// The fields a mode fills, in the dialog's order, from the process-wide records and
// the session's coefficients. `perPhase` picks the per-phase page (mode 4 always
// uses the single-panel page). Fields a mode leaves empty are not listed.
std::vector<TMeasuredValue> MeasuredValues(int mode, bool perPhase, double voltageKoef, double currentKoef);

// The energy totals as the energy messages label them: one value for version 1,
// four for versions 2 and 3, six otherwise. Units "Wh" and "varh".
std::vector<TMeasuredValue> EnergyValues(int versionID);
// The information text of "Чтение энергии", "... с учетом времени интеграции" and
// the per-minute totals; empty where the version gets no message.
std::string EnergyMessage(TAction action, int versionID);

// One arrow of the vector diagram: angle in degrees (0 up, counter-clockwise) and
// the value it stands for; zero values and sets whose largest value is 0 are left out.
struct TDiagramVector {
    std::string Label;  // "Ua", "Uab", "Ia", ...
    double AngleDegrees = 0;
    double Value = 0;
    bool IsCurrent = false;
    // For a current with a phase angle: the angle of its voltage, where the arc starts.
    std::optional<double> ArcFromDegrees;
};
// The phase angle as drawn: above 180 it is taken as angle - 360.
double DiagramPhaseAngle(double phaseAngle);
std::vector<TDiagramVector> DiagramVectors(int versionID, const TMeasurementRecord& m);

// Fixed notation with `decimals` decimals ("%.*f").
std::string FixedText(double value, int decimals);

}  // namespace commandjobs
