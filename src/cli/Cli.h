#pragma once
// olmar-cli: the jobs of the desktop program without a window. Each command lives in
// its own file and registers itself with OLMAR_CLI_COMMAND.

#include "shell/ActionGates.h"
#include "shell/JobContext.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cli {

enum ExitCode { kOk = 0, kFailed = 1, kUsage = 2, kCancelled = 3, kRefused = 4 };

// Progress on stderr, Ctrl+C as cancel, prompts answered from options.
class CliJob : public JobContext {
public:
    void SetStepText(const std::string& text) override;
    void SetAttempt(int position) override;
    void SetOverall(int position, int maximum) override;
    void Notify(const std::string& text) override;
    std::optional<std::string> AskText(const std::string& caption, const std::string& prompt, bool secret) override;
    bool Confirm(const std::string& caption, const std::string& text) override;

    // Answers for prompts, keyed by the prompt's caption; "yes" answers confirmations.
    std::vector<std::pair<std::string, std::string>> Answers;
    bool AssumeYes = false;
    bool Quiet = false;

private:
    void Redraw();
    bool drawn_ = false;
};

struct Options {
    std::string Home;        // --home, else $OLMAR_HOME, else beside the executable
    std::string Port;        // --port, overrides ComName for this run
    std::string User;        // --user
    std::string Password;    // --password
    bool PasswordGiven = false;
};

struct Context {
    Options Global;
    std::vector<std::string> Args;  // the command's own arguments
    CliJob Job;
    // True once --user/--password opened a work session (a table user or the
    // built-in administrator); the background writer then runs.
    bool LoggedIn = false;
};

struct Command {
    std::string Name;
    std::string Summary;
    std::string Usage;  // printed by --help
    bool NeedsPort = false;
    bool NeedsDatabase = false;
    std::function<int(Context&)> Run;
};

bool RegisterCommand(Command command);
const std::vector<Command>& Commands();

// Small helpers for command files.
// Takes "--name VALUE" out of args; nullopt when absent.
std::optional<std::string> TakeOption(std::vector<std::string>& args, const std::string& name);
bool TakeFlag(std::vector<std::string>& args, const std::string& name);
// Prints "olmar-cli: <text>" on stderr and returns `code`.
int Fail(int code, const std::string& text);

// Whether the logged-in user may run `action`, by the gate table of the main window.
// A command that names a meter (--meter ID among its arguments) is judged as if the
// meter list were the active window with rows; that meter must exist. Returns kOk,
// else prints the refusal and returns kRefused (kFailed for a meter that is not in
// the database, kUsage for a meter number that is not a number). Without a login
// every command that calls it is refused.
int Authorize(Context& ctx, TAction action);

// Takes "--meter ID" out of the arguments, looks the meter up and copies CounterID,
// CounterName, ZNumber and VersionID into CounterSeance, as the main window does
// with the selected row. `versionInternalId` receives the meter's revision. Returns
// kOk or prints why not (kUsage: missing or bad number, kFailed: no such meter or
// no session object).
int SelectMeter(Context& ctx, std::int32_t* versionInternalId = nullptr);

// A meter command or measurement of the main window, the way its handler runs it:
// rights, --meter, `prepare` (takes the command's own options out of ctx.Args and
// stores them in the session; returns kOk or an exit status), no arguments left,
// the port, the version check, `question` (when not empty) answered by --yes, the
// job with progress on stderr, then "Сеанс был прерван пользователем!" (3), the
// failure texts (1), or the success text on stdout and `printResult`.
int RunMeterAction(Context& ctx, TAction action, const std::function<int()>& prepare,
                   const std::function<void()>& printResult = {}, const std::string& question = {});

}  // namespace cli

#define OLMAR_CLI_CAT2(a, b) a##b
#define OLMAR_CLI_CAT(a, b) OLMAR_CLI_CAT2(a, b)
#define OLMAR_CLI_COMMAND(...) \
    static const bool OLMAR_CLI_CAT(olmar_cli_registered_, __LINE__) = ::cli::RegisterCommand(__VA_ARGS__)
