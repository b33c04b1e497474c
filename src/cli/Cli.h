#pragma once
// olmar-cli: the jobs of the desktop program without a window. Each command lives in
// its own file and registers itself with OLMAR_CLI_COMMAND.

#include "shell/JobContext.h"

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

}  // namespace cli

#define OLMAR_CLI_CAT2(a, b) a##b
#define OLMAR_CLI_CAT(a, b) OLMAR_CLI_CAT2(a, b)
#define OLMAR_CLI_COMMAND(...) \
    static const bool OLMAR_CLI_CAT(olmar_cli_registered_, __LINE__) = ::cli::RegisterCommand(__VA_ARGS__)
