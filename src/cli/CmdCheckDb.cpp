// check-db: the start-up of the desktop program without windows, and what it did
// to the database.
#include "Cli.h"

#include "db/DataBaseModule.h"
#include "shell/Globals.h"

#include <iostream>

namespace {
int Run(cli::Context&) {
    if (!DataBaseModule) return cli::Fail(cli::kFailed, "База данных не открыта");
    std::cout << "Папка базы данных: " << DatabaseFolder << "\n";
    std::cout << "Файл базы данных: " << DataBaseModule->FilePath() << "\n";
    const TCheckReport& report = DataBaseModule->Report();
    if (report.Changed())
        for (const auto& line : report.Lines()) std::cout << line << "\n";
    else
        std::cout << "Все таблицы на месте, изменений нет\n";

    // What the database holds now, table by table.
    TDatabase& db = DataBaseModule->Db();
    std::cout << "Таблицы:\n";
    for (const auto& name : db.TableNames()) {
        if (!IsPlainIdentifier(name)) continue;
        TTable t(db, name);
        std::cout << "  " << name << "\t" << t.RecordCount() << "\n";
    }
    std::cout << "OK\n";
    return cli::kOk;
}
}  // namespace

OLMAR_CLI_COMMAND({"check-db", "run the start-up checks of the database and report",
                   "olmar-cli check-db\n  Opens the database, creates missing tables and upgrades old ones, as the desktop "
                   "program does at start-up,\n  then prints what it changed and the number of rows of every table.",
                   false, true, Run});
