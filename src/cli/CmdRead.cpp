// read: a read session with one registered meter (open, read every task area, close,
// journal). Also the helpers the other meter-session commands share.
#include "Cli.h"
#include "CliSessions.h"

#include "admin/User.h"
#include "db/DataBaseModule.h"
#include "db/ValueStore.h"
#include "link/ComPort.h"
#include "link/CounterSeance.h"
#include "sessions/Sessions.h"
#include "shell/ActionGates.h"
#include "shell/JobContext.h"

#include <iostream>

namespace cli {

namespace sessions {

// --meter ID as a meter of the registry, copied into the meter session. Returns kOk
// or prints the reason and returns the exit status.
int SelectMeter(Context& ctx, std::optional<TCounterStat>& counter) {
    auto text = TakeOption(ctx.Args, "--meter");
    if (!text) return Fail(kUsage, "Нужен параметр --meter ID");
    std::int64_t id = 0;
    bool ok = !text->empty() && text->size() <= 10;
    for (char c : *text) {
        if (c < '0' || c > '9') ok = false;
        else id = id * 10 + (c - '0');
    }
    if (!ok || id > 0x7FFFFFFF) return Fail(kUsage, "Неверный номер счетчика: " + *text);
    if (!DataBaseModule) return Fail(kFailed, "База данных не открыта");
    counter = LoadCounterStat(DataBaseModule->Db(), static_cast<std::int32_t>(id));
    if (!counter) return Fail(kFailed, "Счетчик " + *text + " не найден");
    if (CounterSeance) {
        CounterSeance->CounterID = counter->CounterID;
        CounterSeance->CounterName = counter->CounterName;
        CounterSeance->ZNumber = static_cast<std::uint32_t>(counter->ZNumber);
        CounterSeance->VersionID = static_cast<std::uint8_t>(counter->VersionID);
    }
    return kOk;
}

// Values reach the database only through the background writer: start it when the
// login has not, and wait for it before the command ends.
bool EnsureWriter() {
    if (WriteThread) return false;
    StartWriteThread(DataBaseModule->FilePath());
    return true;
}

void FinishWriter(Context& ctx, bool started) {
    if (WriteThread && WriteThread->PendingCount() > 0 && !ctx.Job.Quiet)
        std::cerr << "Ожидание записи значений в базу данных (" << WriteThread->PendingCount() << ")...\n";
    if (WriteThread) WriteThread->WaitUntilEmpty();
    if (started) StopWriteThread(true);
}

int CheckPort() {
    if (!CounterSeance) return Fail(kFailed, "Сеанс связи со счетчиком не создан");
    if (!ComPort || !ComPort->Opened) return Fail(kFailed, "Последовательный порт не открыт для работы!");
    return kOk;
}

// The exit status and message of a finished session job.
int Report(Context& ctx, bool ok) {
    if (!ctx.Job.Quiet) std::cerr << "\n";  // ends the progress line
    const std::string text = SessionResultText(ok, UserCancelled, CounterSeance ? CounterSeance->ErrorText : "");
    if (UserCancelled) return Fail(kCancelled, text);
    if (!ok) return Fail(kFailed, text);
    std::cout << text << "\n";
    return kOk;
}

}  // namespace sessions
}  // namespace cli

namespace {
using namespace cli;

int Run(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acSeance); rc != kOk) return rc;
    std::optional<TCounterStat> counter;
    if (int rc = sessions::SelectMeter(ctx, counter); rc != kOk) return rc;
    if (!ctx.Args.empty()) return Fail(kUsage, "Лишний параметр: " + ctx.Args.front());
    if (int rc = sessions::CheckPort(); rc != kOk) return rc;
    const bool started = sessions::EnsureWriter();
    const bool ok = MeterSession().ReadJob();
    const int rc = sessions::Report(ctx, ok);
    sessions::FinishWriter(ctx, started);
    return rc;
}
}  // namespace

OLMAR_CLI_COMMAND({"read", "read session: every read area of the meter's task into the database",
                   "olmar-cli [--port DEVICE] --user NAME --password TEXT read --meter ID\n"
                   "  Opens a session with meter ID (its factory number and stored identifier), reads\n"
                   "  every area of its read task, queues the values for the database, closes the\n"
                   "  session and journals the areas read. Waits until every value is stored.\n"
                   "  Exit status 0, 1 on failure (reason on stderr), 3 when cancelled with Ctrl+C.",
                   true, true, Run});
