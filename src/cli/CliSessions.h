#pragma once
// Helpers shared by the session commands (read, session, init, passwords, task, values);
// defined in CmdRead.cpp.

#include "Cli.h"
#include "sessions/Task.h"

#include <optional>

namespace cli::sessions {
// Takes --meter ID, loads the meter and selects it in the meter session.
int SelectMeter(Context& ctx, std::optional<TCounterStat>& counter);
// Starts the background writer when the login has not; true when this call did.
bool EnsureWriter();
// Waits for the writer to store what was queued, then stops it when EnsureWriter started it.
void FinishWriter(Context& ctx, bool started);
int CheckPort();
// Prints the result message of a session job and gives the exit status.
int Report(Context& ctx, bool ok);
}  // namespace cli::sessions
