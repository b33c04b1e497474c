// olmar-cli: global options, the command table, start-up without windows.
#include "Cli.h"

#include "link/ComPort.h"
#include "shell/Globals.h"
#include "shell/ProgramHome.h"
#include "startup/Startup.h"

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>

namespace cli {

namespace {
std::vector<Command>& Table() {
    static std::vector<Command> table;
    return table;
}

class CliStartupUi : public TStartupUi {
public:
    void ShowMessage(const std::string& text) override { std::cerr << text << "\n"; }
    // No one to answer: a port that cannot be opened ends a command that needs it.
    bool AskIgnore(const std::string& text) override {
        lastError = text;
        return false;
    }
    void ShowFatal(const std::string& text) override { std::cerr << text << "\n"; }
    std::string lastError;
};

void OnInterrupt(int) { UserCancelled = true; }

void PrintHelp() {
    std::cout << "Использование: olmar-cli [--home DIR] [--port DEVICE] [--user NAME --password TEXT] COMMAND [ARGS]\n\n"
                 "Global options:\n"
                 "  --home DIR        program home (else $OLMAR_HOME, else beside the program)\n"
                 "  --port DEVICE     serial port for this run, in place of ComName (COMn or a device path)\n"
                 "  --user NAME --password TEXT   log in as this user\n\n"
                 "Commands:\n";
    for (const auto& c : Table()) std::cout << "  " << c.Name << std::string(c.Name.size() < 14 ? 14 - c.Name.size() : 1, ' ') << c.Summary << "\n";
    std::cout << "\nExit status: 0 success, 1 the job failed, 2 usage error, 3 cancelled, 4 refused for lack of rights.\n"
                 "'olmar-cli COMMAND --help' describes a command.\n";
}
}  // namespace

bool RegisterCommand(Command command) {
    Table().push_back(std::move(command));
    return true;
}

const std::vector<Command>& Commands() { return Table(); }

std::optional<std::string> TakeOption(std::vector<std::string>& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name && i + 1 < args.size()) {
            std::string v = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return v;
        }
        if (args[i].rfind(name + "=", 0) == 0) {
            std::string v = args[i].substr(name.size() + 1);
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            return v;
        }
    }
    return std::nullopt;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i)
        if (args[i] == name) {
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    return false;
}

int Fail(int code, const std::string& text) {
    std::cerr << text << "\n";
    return code;
}

int Main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    Context ctx;
    // Global options come before the command.
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == "--home") { if (!value(ctx.Global.Home)) return Fail(kUsage, "--home: нужен каталог"); }
        else if (a == "--port") { if (!value(ctx.Global.Port)) return Fail(kUsage, "--port: нужно устройство"); }
        else if (a == "--user") { if (!value(ctx.Global.User)) return Fail(kUsage, "--user: нужно имя"); }
        else if (a == "--password") { if (!value(ctx.Global.Password)) return Fail(kUsage, "--password: нужен пароль"); ctx.Global.PasswordGiven = true; }
        else if (a == "--help" || a == "-h") { PrintHelp(); return kOk; }
        else if (!a.empty() && a[0] == '-') return Fail(kUsage, "Неизвестный параметр: " + a);
        else break;
    }
    if (i >= args.size()) { PrintHelp(); return kUsage; }
    const std::string name = args[i];
    ctx.Args.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    const Command* command = nullptr;
    for (const auto& c : Table())
        if (c.Name == name) command = &c;
    if (!command) return Fail(kUsage, "Неизвестная команда: " + name + " (olmar-cli --help)");
    for (const auto& a : ctx.Args)
        if (a == "--help" || a == "-h") {
            std::cout << command->Usage << "\n";
            return kOk;
        }

    if (!ctx.Global.Home.empty()) setenv("OLMAR_HOME", ctx.Global.Home.c_str(), 1);
    std::signal(SIGINT, OnInterrupt);

    CliStartupUi ui;
    TStartup startup(ui);
    // The administrator pair of the command line is given here as --user/--password.
    std::vector<std::string> adminArgs;
    if (!ctx.Global.User.empty()) adminArgs = {ctx.Global.User, ctx.Global.Password};
    startup.EvaluateCommandLine(adminArgs);
    int rc = kOk;
    if (!startup.LoadConfiguration(ProgramHome())) return kFailed;
    if (command->NeedsPort && !startup.OpenPort(ctx.Global.Port)) {
        startup.Shutdown();
        return Fail(kFailed, ui.lastError);
    }
    if (command->NeedsDatabase && !startup.OpenDatabase()) {
        if (!startup.LastErrorDetail().empty()) std::cerr << startup.LastErrorDetail() << "\n";
        startup.Shutdown();
        return kFailed;
    }
    if (!startup.CreateSessions()) {
        startup.Shutdown();
        return kFailed;
    }
    {
        ScopedJob job(ctx.Job);
        rc = command->Run(ctx);
    }
    startup.Shutdown();
    return rc;
}

}  // namespace cli

int main(int argc, char** argv) {
    try {
        return cli::Main(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "Внутренняя ошибка: " << e.what() << "\n";
        return cli::kFailed;
    } catch (...) {
        std::cerr << "Внутренняя ошибка\n";
        return cli::kFailed;
    }
}
