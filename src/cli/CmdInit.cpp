// init: the initialisation session: write a new meter whose current identifier is given.
#include "Cli.h"
#include "CliSessions.h"

#include "admin/User.h"
#include "link/CounterSeance.h"
#include "sessions/Sessions.h"
#include "shell/ActionGates.h"

#include <iostream>


namespace {
using namespace cli;

int Run(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acInitSeance); rc != kOk) return rc;
    // Only supervisors (group 1) may initialise a meter.
    if (User && User->IsSeanceOpen && !User->IsAdministrator() && User->UserGroupID != 1)
        return Fail(kRefused, kInitRefusedText);
    std::optional<TCounterStat> counter;
    if (int rc = sessions::SelectMeter(ctx, counter); rc != kOk) return rc;
    auto id = TakeOption(ctx.Args, "--identifier");
    if (!id) return Fail(kUsage, "Нужен параметр --identifier N (текущий идентификатор счетчика)");
    ctx.Job.Answers.emplace_back(kIdentifierCaption, *id);
    if (auto pw = TakeOption(ctx.Args, "--write-password")) WritePassword = PasswordBytes(PasswordFromText(*pw));
    if (!ctx.Args.empty()) return Fail(kUsage, "Лишний параметр: " + ctx.Args.front());
    if (int rc = sessions::CheckPort(); rc != kOk) return rc;
    const bool started = sessions::EnsureWriter();
    PasswordChangeMode = false;
    const bool ok = MeterSession().InitSeanceJob();
    const int rc = sessions::Report(ctx, ok);
    sessions::FinishWriter(ctx, started);
    return rc;
}
}  // namespace

OLMAR_CLI_COMMAND({"init", "initialisation session: write a new meter's write task",
                   "olmar-cli [--port DEVICE] --user NAME --password TEXT init --meter ID --identifier N [--write-password N]\n"
                   "  Opens a session with the meter's current identifier N and writes every area of\n"
                   "  its write task (the identification area among them) from the stored values;\n"
                   "  nothing is read. Only users of the group \"Супервизоры\". Exit status 0, 1, 3, 4.",
                   true, true, Run});
