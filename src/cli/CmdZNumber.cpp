// znumber: the factory number of the meter on the probe; no login, no database.
#include "Cli.h"

#include "link/ComPort.h"
#include "link/CounterSeance.h"

#include <iostream>

namespace {
int Run(cli::Context& ctx) {
    if (!ctx.Args.empty()) return cli::Fail(cli::kUsage, "Лишний параметр: " + ctx.Args.front());
    if (!CounterSeance) return cli::Fail(cli::kFailed, "Сеанс связи со счетчиком не создан");
    if (!ComPort || !ComPort->Opened) return cli::Fail(cli::kFailed, "Последовательный порт не открыт для работы!");
    const bool ok = CounterSeance->FactoryNumberJob();
    if (!ctx.Job.Quiet) std::cerr << "\n";  // ends the progress line
    if (UserCancelled) return cli::Fail(cli::kCancelled, "Сеанс был прерван пользователем!");
    if (!ok) {
        std::string text = "Произошла ошибка при получении заводского номера!";
        if (!CounterSeance->ErrorText.empty()) text += " " + CounterSeance->ErrorText;
        return cli::Fail(cli::kFailed, text);
    }
    std::cout << CounterSeance->ZNumber << "\n";
    return cli::kOk;
}
}  // namespace

OLMAR_CLI_COMMAND({"znumber", "read the factory number of the meter on the probe",
                   "olmar-cli [--port DEVICE] znumber\n"
                   "  Reads the factory number of the meter on the optical probe (no session, no login,\n"
                   "  no database) and prints it. Exit status 0, 1 on failure (reason on stderr), 3 when\n"
                   "  cancelled with Ctrl+C.",
                   true, false, Run});
