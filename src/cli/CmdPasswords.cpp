// passwords: change the meter's write password (the password dialog and job).
#include "Cli.h"
#include "CliSessions.h"

#include "db/DataBaseModule.h"
#include "link/CounterSeance.h"
#include "sessions/Sessions.h"
#include "shell/ActionGates.h"

#include <iostream>


namespace {
using namespace cli;

bool Digits(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int Run(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acWritePasswords); rc != kOk) return rc;
    std::optional<TCounterStat> counter;
    if (int rc = sessions::SelectMeter(ctx, counter); rc != kOk) return rc;
    auto oldText = TakeOption(ctx.Args, "--old");
    auto newText = TakeOption(ctx.Args, "--new");
    if (!oldText || !newText) return Fail(kUsage, "Нужны параметры --old N и --new N");
    if (!Digits(*oldText) || !Digits(*newText)) return Fail(kUsage, "Пароль должен состоять из цифр");
    if (!ctx.Args.empty()) return Fail(kUsage, "Лишний параметр: " + ctx.Args.front());
    if (int rc = sessions::CheckPort(); rc != kOk) return rc;
    const bool started = sessions::EnsureWriter();
    TPasswordAreas areas;
    if (!areas.Load(DataBaseModule->Db(), *counter)) {
        sessions::FinishWriter(ctx, started);
        return Fail(kFailed, "Не удалось загрузить области паролей счетчика");
    }
    if (auto error = areas.Apply(*newText, *newText)) {
        sessions::FinishWriter(ctx, started);
        return Fail(kFailed, *error);
    }
    WritePassword = PasswordBytes(PasswordFromText(*oldText));
    NewWritePassword = PasswordBytes(PasswordFromText(*newText));
    const bool ok = MeterSession().PasswordJob();
    PasswordChangeMode = false;
    const int rc = sessions::Report(ctx, ok);
    sessions::FinishWriter(ctx, started);
    return rc;
}
}  // namespace

OLMAR_CLI_COMMAND({"passwords", "write the meter's password area with a new write password",
                   "olmar-cli [--port DEVICE] --user NAME --password TEXT passwords --meter ID --old N --new N\n"
                   "  Stores the new password for every parameter of the meter's \"Пароли доступа\" areas\n"
                   "  and writes the write task (only that area should be in it): the first write\n"
                   "  attempt carries the old password, every later one the new. Exit status 0, 1, 3.",
                   true, true, Run});
