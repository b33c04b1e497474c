// session: the "&Сеанс..." job with one registered meter: read the task, then write it.
#include "Cli.h"
#include "CliSessions.h"

#include "link/CounterSeance.h"
#include "sessions/Sessions.h"
#include "shell/ActionGates.h"

#include <iostream>


namespace {
using namespace cli;

int Run(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acSeance); rc != kOk) return rc;
    std::optional<TCounterStat> counter;
    if (int rc = sessions::SelectMeter(ctx, counter); rc != kOk) return rc;
    if (auto pw = TakeOption(ctx.Args, "--write-password")) ctx.Job.Answers.emplace_back(kWritePasswordCaption, *pw);
    if (!ctx.Args.empty()) return Fail(kUsage, "Лишний параметр: " + ctx.Args.front());
    if (int rc = sessions::CheckPort(); rc != kOk) return rc;
    const bool started = sessions::EnsureWriter();
    PasswordChangeMode = false;
    const bool ok = MeterSession().SeanceJob();
    const int rc = sessions::Report(ctx, ok);
    sessions::FinishWriter(ctx, started);
    return rc;
}
}  // namespace

OLMAR_CLI_COMMAND({"session", "full session: read the meter's task, then write its write task",
                   "olmar-cli [--port DEVICE] --user NAME --password TEXT session --meter ID [--write-password N]\n"
                   "  Runs the session job with meter ID: reads every area of its read task into the\n"
                   "  database, writes every area of its write task from the stored values (with the\n"
                   "  write password N, else the current one), sets the meter clock when configured,\n"
                   "  closes the session and journals it. Exit status 0, 1, 3 (cancelled).",
                   true, true, Run});
