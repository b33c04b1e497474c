// The single meter commands of the main window: clock, contactor, channels, optical
// port, card support, currency, precision and channel management. Each selects a
// registered meter with --meter ID and runs as the window's handler does.
#include "Cli.h"

#include "link/CounterSeance.h"
#include "sessions/CommandJobs.h"

#include <iostream>

namespace {
using namespace cli;

// The one word after the command ("off", "on", ...), taken out of the arguments.
std::optional<std::string> TakeWord(Context& ctx) {
    for (size_t i = 0; i < ctx.Args.size(); ++i) {
        const std::string& a = ctx.Args[i];
        if (a.rfind("--", 0) == 0) {
            if (a.find('=') == std::string::npos && a != "--yes") ++i;  // skip the option's value
            continue;
        }
        std::string word = a;
        ctx.Args.erase(ctx.Args.begin() + static_cast<std::ptrdiff_t>(i));
        return word;
    }
    return std::nullopt;
}

int Clock(Context& ctx) {
    return RunMeterAction(ctx, TAction::acGetCounterDateTime, {}, [] {
        std::cout << commandjobs::CommandSuccessText(TAction::acGetCounterDateTime, *CounterSeance) << "\n";
    });
}

int Contactor(Context& ctx) {
    const auto word = TakeWord(ctx);
    if (!word || (*word != "off" && *word != "release"))
        return Fail(kUsage, "Использование: olmar-cli ... contactor off|release --meter ID");
    return RunMeterAction(ctx, *word == "off" ? TAction::acOffContactor : TAction::acRelaxContactor, {});
}

int Channel(Context& ctx) {
    const auto number = TakeWord(ctx);
    const auto state = TakeWord(ctx);
    if (!number || !state || (*number != "1" && *number != "2") || (*state != "on" && *state != "off"))
        return Fail(kUsage, "Использование: olmar-cli ... channel 1|2 on|off --meter ID");
    const bool on = *state == "on";
    const TAction action = *number == "1" ? (on ? TAction::acOnChannel1 : TAction::acOffChannel1)
                                          : (on ? TAction::acOnChannel2 : TAction::acOffChannel2);
    return RunMeterAction(ctx, action, {});
}

int OptoPort(Context& ctx) {
    const auto word = TakeWord(ctx);
    if (!word || (*word != "on" && *word != "off"))
        return Fail(kUsage, "Использование: olmar-cli ... optoport on|off --meter ID");
    return RunMeterAction(ctx, *word == "on" ? TAction::acOnOptoPort : TAction::acOffOptoPort, {});
}

int Card(Context& ctx) { return RunMeterAction(ctx, TAction::acSetCard, {}, {}, commandjobs::kCardSupportQuestion); }

int Currency(Context& ctx) {
    return RunMeterAction(ctx, TAction::acSetCurrency, [&ctx]() -> int {
        const auto text = TakeWord(ctx);
        if (!text) return Fail(kUsage, commandjobs::kNoCurrencyText);
        if (auto refusal = commandjobs::CurrencyRefusal(*text)) return Fail(kUsage, *refusal);
        CounterSeance->CurrencyCode = *text;
        return kOk;
    });
}

int Precision(Context& ctx) {
    return RunMeterAction(ctx, TAction::acSetCorrectlyRange, [&ctx]() -> int {
        const auto word = TakeWord(ctx);
        if (!word || (*word != "kopecks" && *word != "hundredths"))
            return Fail(kUsage, "Укажите точность: kopecks (" + std::string(commandjobs::kPrecisionKopecksText) +
                                    ") или hundredths (" + commandjobs::kPrecisionHundredthsText + ")");
        CounterSeance->PrecisionCode = commandjobs::PrecisionCode(*word == "hundredths");
        return kOk;
    });
}

// channels all [LIST] | channels N on|off
int Channels(Context& ctx) {
    return RunMeterAction(ctx, TAction::acManageChannels, [&ctx]() -> int {
        const char* usage = "Использование: olmar-cli ... channels all [1,2,3,4] --meter ID  или  channels 1-4 on|off --meter ID";
        const auto mode = TakeWord(ctx);
        if (!mode) return Fail(kUsage, usage);
        TChannelSettings settings;
        if (*mode == "all") {
            settings.Mode = 0;
            if (const auto list = TakeWord(ctx)) {
                std::string item;
                for (size_t i = 0; i <= list->size(); ++i) {
                    if (i < list->size() && (*list)[i] != ',') {
                        item += (*list)[i];
                        continue;
                    }
                    if (item.size() != 1 || item[0] < '1' || item[0] > '4')
                        return Fail(kUsage, "Каналы перечисляются номерами 1-4 через запятую: " + *list);
                    settings.Switches[static_cast<size_t>(item[0] - '1')] = true;
                    item.clear();
                }
            }
        } else if (mode->size() == 1 && (*mode)[0] >= '1' && (*mode)[0] <= '4') {
            settings.Mode = static_cast<std::uint8_t>((*mode)[0] - '0');
            const auto state = TakeWord(ctx);
            if (!state || (*state != "on" && *state != "off")) return Fail(kUsage, usage);
            settings.Switches[static_cast<size_t>(settings.Mode - 1)] = *state == "on";
        } else {
            return Fail(kUsage, usage);
        }
        CounterSeance->ChannelSettings = settings;
        return kOk;
    });
}

const char* const kMeterNote =
    "\n  The meter is one of the registry (olmar-cli meter list); needs a login whose rights allow the\n"
    "  command as in the main window, and the probe port. Exit status 0, 1 on failure (reason on\n"
    "  stderr, \"Команда данной версией счетчика не поддерживается!\" for a version without it),\n"
    "  2 usage, 3 cancelled with Ctrl+C, 4 refused.";

}  // namespace

OLMAR_CLI_COMMAND({"clock", "read the meter clock",
                   std::string("olmar-cli --user NAME --password TEXT clock --meter ID\n"
                               "  Prints \"Дата и время счетчика: DD.MM.YYYY hh:mm:ss\".") + kMeterNote,
                   true, true, Clock});
OLMAR_CLI_COMMAND({"contactor", "switch the contactor off or release it",
                   std::string("olmar-cli --user NAME --password TEXT contactor off|release --meter ID") + kMeterNote,
                   true, true, Contactor});
OLMAR_CLI_COMMAND({"channel", "switch load channel 1 or 2 on or off",
                   std::string("olmar-cli --user NAME --password TEXT channel 1|2 on|off --meter ID") + kMeterNote,
                   true, true, Channel});
OLMAR_CLI_COMMAND({"optoport", "enable or disable the meter's optical port",
                   std::string("olmar-cli --user NAME --password TEXT optoport on|off --meter ID") + kMeterNote,
                   true, true, OptoPort});
OLMAR_CLI_COMMAND({"card", "enable card (prepayment) support and set the clock",
                   std::string("olmar-cli --user NAME --password TEXT card --meter ID --yes\n"
                               "  After it the meter works in prepayment mode only: --yes confirms that.") +
                       kMeterNote,
                   true, true, Card});
OLMAR_CLI_COMMAND({"currency", "set the currency shown by the meter",
                   std::string("olmar-cli --user NAME --password TEXT currency TEXT --meter ID\n"
                               "  TEXT: at most 3 characters, e.g. RUB.") +
                       kMeterNote,
                   true, true, Currency});
OLMAR_CLI_COMMAND({"precision", "switch the meter to kopecks or hundredths of kopecks",
                   std::string("olmar-cli --user NAME --password TEXT precision kopecks|hundredths --meter ID") +
                       kMeterNote,
                   true, true, Precision});
OLMAR_CLI_COMMAND({"channels", "manage channels: all at once or one of four",
                   std::string("olmar-cli --user NAME --password TEXT channels all [LIST] --meter ID\n"
                               "olmar-cli --user NAME --password TEXT channels N on|off --meter ID\n"
                               "  'all' sets the four channels at once: those in LIST (e.g. 1,3) on, the others off;\n"
                               "  N (1-4) switches one channel.") +
                       kMeterNote,
                   true, true, Channels});
