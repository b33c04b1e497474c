// olmar-cli: global options, the command table, start-up without windows.
#include "Cli.h"

#include "admin/CounterRegistry.h"
#include "admin/User.h"
#include "db/DataBaseModule.h"
#include "db/ValueStore.h"
#include "link/ComPort.h"
#include "link/CounterSeance.h"
#include "shell/Globals.h"
#include "shell/ProgramHome.h"
#include "startup/Startup.h"

#include <algorithm>
#include <chrono>
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

constexpr const char* kWrongLoginText = "Неверно введены имя администратора и пароль!";

// Opens the work session of --user/--password and starts the background writer, as
// the main window's login does.
int LogIn(Context& ctx) {
    if (ctx.Global.User.empty()) {
        if (ctx.Global.PasswordGiven) return Fail(kUsage, "--password без --user: укажите имя пользователя");
        return kOk;
    }
    if (!User || !DataBaseModule) return Fail(kFailed, "База данных не открыта");
    if (AdministratorMode) {
        User->SetAdministrator();
        User->BeginSeance();
    } else {
        // The built-in administrator's name is reserved: a table user called so would
        // otherwise be given every right and leave no journal row.
        if (ctx.Global.User == kAdministratorName || !User->CheckUser(ctx.Global.User, ctx.Global.Password))
            return Fail(kRefused, kWrongLoginText);
        if (!User->BeginSeance()) {
            std::string text = "Не удалось открыть сеанс пользователя";
            if (!User->LastError.empty()) text += ": " + User->LastError;
            return Fail(kFailed, text);
        }
    }
    try {
        StartWriteThread(DataBaseModule->FilePath(), {}, AdministratorMode);
    } catch (const std::exception& e) {
        User->EndSeance();
        return Fail(kFailed, std::string("Не удалось запустить запись в базу данных: ") + e.what());
    }
    ctx.LoggedIn = true;
    return kOk;
}

// Waits for the writer to store what the command queued, then closes the work
// session (the journal row gets its end time). A value the writer could not store
// turns a success into a failure: the reading is lost.
void LogOut(Context& ctx, int& rc) {
    if (!ctx.LoggedIn) return;
    ctx.LoggedIn = false;
    if (WriteThread) {
        bool shown = false;
        while (!WriteThread->WaitUntilEmpty(std::chrono::milliseconds(250))) {
            const int pending = WriteThread->PendingCount();
            if (pending <= 0) break;
            if (!ctx.Job.Quiet) {
                std::cerr << "\r\033[KСохранение данных: осталось " << pending << " записей...";
                std::cerr.flush();
                shown = true;
            }
        }
        if (shown) std::cerr << "\r\033[KСохранение данных завершено\n";
        const long long failed = WriteThread->FailedCount();
        const std::string lastError = WriteThread->LastError();
        StopWriteThread(true);
        if (failed > 0) {
            std::cerr << "Не удалось сохранить записей: " << failed;
            if (!lastError.empty()) std::cerr << " (" << lastError << ")";
            std::cerr << "\n";
            if (rc == kOk) rc = kFailed;
        }
    }
    if (User) User->EndSeance();
}

// "--meter ID" or "--meter=ID" among the arguments, without taking it out.
std::optional<std::string> PeekMeter(const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--meter") return i + 1 < args.size() ? args[i + 1] : std::string();
        if (args[i].rfind("--meter=", 0) == 0) return args[i].substr(8);
    }
    return std::nullopt;
}

std::string PlainCaption(std::string_view caption) {
    std::string out;
    for (char c : caption)
        if (c != '&') out += c;
    while (!out.empty() && out.back() == '.') out.pop_back();
    return out;
}

int MeterNotFound(std::int32_t id) {
    return Fail(kFailed, "Счетчик с кодом " + std::to_string(id) + " в базе данных не найден!");
}
}  // namespace

int Authorize(Context& ctx, TAction action) {
    if (!ctx.LoggedIn || !User || !User->IsSeanceOpen)
        return Fail(kRefused, "Команда доступна только после входа в систему: укажите --user ИМЯ --password ПАРОЛЬ");
    const TGateUser user = User->GateUser();
    TGateContext gate;
    gate.LoggedIn = true;
    gate.ActiveChild = TChildKind::Counters;
    gate.HasRows = true;
    if (!ActionEnabled(action, user, gate))
        return Fail(kRefused, "Недостаточно прав для выполнения команды «" + PlainCaption(ActionInfo(action).Caption) +
                                  "» (пользователь " + User->UserName + ")");
    const auto meter = PeekMeter(ctx.Args);
    if (meter) {
        const auto id = ParseCounterNumber(*meter);
        if (!id) return Fail(kUsage, "--meter: нужен номер счетчика (CounterID), а не «" + *meter + "»");
        if (!DataBaseModule) return Fail(kFailed, "База данных не открыта");
        if (!FindCounter(DataBaseModule->Db(), *id)) return MeterNotFound(*id);
        return kOk;
    }
    gate.HasRows = false;
    if (!ActionEnabled(action, user, gate)) return Fail(kUsage, "Укажите счетчик: --meter ID (olmar-cli meter list)");
    return kOk;
}

int SelectMeter(Context& ctx, std::int32_t* versionInternalId) {
    const auto text = TakeOption(ctx.Args, "--meter");
    if (!text) return Fail(kUsage, "Укажите счетчик: --meter ID (olmar-cli meter list)");
    const auto id = ParseCounterNumber(*text);
    if (!id) return Fail(kUsage, "--meter: нужен номер счетчика (CounterID), а не «" + *text + "»");
    if (!DataBaseModule) return Fail(kFailed, "База данных не открыта");
    const auto row = FindCounter(DataBaseModule->Db(), *id);
    if (!row) return MeterNotFound(*id);
    if (!CounterSeance) return Fail(kFailed, "Сеанс связи со счетчиком не создан");
    CounterSeance->CounterID = row->CounterID;
    CounterSeance->CounterName = row->CounterName;
    CounterSeance->ZNumber = static_cast<std::uint32_t>(row->ZNumber);
    CounterSeance->VersionID = static_cast<std::uint8_t>(row->VersionID);
    if (versionInternalId) *versionInternalId = row->VersionInternalID;
    return kOk;
}

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
    if (!startup.LoadConfiguration(ProgramHome())) return kFailed;
    // A login needs the user tables even for a command that itself needs no database.
    if ((command->NeedsDatabase || !ctx.Global.User.empty()) && !startup.OpenDatabase()) {
        if (!startup.LastErrorDetail().empty()) std::cerr << startup.LastErrorDetail() << "\n";
        startup.Shutdown();
        return kFailed;
    }
    if (!startup.CreateSessions()) {
        startup.Shutdown();
        return kFailed;
    }
    int rc = LogIn(ctx);
    if (rc != kOk) {
        startup.Shutdown();
        return rc;
    }
    // The port comes after the login, so a wrong password is refused before anything
    // touches the probe.
    if (command->NeedsPort) {
        if (!startup.OpenPort(ctx.Global.Port)) {
            rc = Fail(kFailed, ui.lastError);
            LogOut(ctx, rc);
            startup.Shutdown();
            return rc;
        }
        if (CounterSeance) CounterSeance->Port = ComPort;
    }
    {
        ScopedJob job(ctx.Job);
        try {
            rc = command->Run(ctx);
        } catch (...) {
            LogOut(ctx, rc);
            startup.Shutdown();
            throw;
        }
    }
    LogOut(ctx, rc);
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
