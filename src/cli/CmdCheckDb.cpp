// check-db: the start-up of the desktop program without windows.
#include "Cli.h"

#include "shell/Globals.h"

#include <iostream>

namespace {
int Run(cli::Context&) {
    std::cout << "Database folder: " << DatabaseFolder << "\n";
    std::cout << "OK\n";
    return cli::kOk;
}
}  // namespace

OLMAR_CLI_COMMAND({"check-db", "run the start-up checks of the database and report",
                   "olmar-cli check-db\n  Opens the database, creates missing tables and upgrades old ones, as the desktop program does at start-up.",
                   false, true, Run});
