// olmar-cli end to end: logins and the rights gates, users and meters of the
// registry, meter commands and measurements against the simulator, a missing port
// and Ctrl+C. Every run hashes a password and checks the database, so the cases are
// grouped into few runs of the program.
#include "support/MeterSim.h"
#include "support/TempHome.h"

#include "shell/Globals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct CliResult {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Runs olmar-cli; `whileRunning` (if any) is called once with the pid as soon as the
// standard error holds `waitFor`.
class CliRun {
public:
    explicit CliRun(std::vector<std::string> args) {
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        posix_spawn_file_actions_addclose(&fa, err[0]);
        std::vector<char*> argv;
        static std::string program = OLMAR_CLI_PATH;
        argv.push_back(program.data());
        args_ = std::move(args);
        for (auto& a : args_) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~CliRun() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
        if (err_ >= 0) close(err_);
    }

    pid_t Pid() const { return pid_; }

    // Reads both pipes until `text` shows on stderr (true) or the program ends (false).
    bool WaitForErr(const std::string& text, int timeoutMs = 30000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (result_.Err.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end || !Pump(100)) return result_.Err.find(text) != std::string::npos;
        }
        return true;
    }

    CliResult Finish() {
        while (Pump(1000)) {
        }
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) result_.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
        return result_;
    }

private:
    // One round of reading; false once both pipes are closed.
    bool Pump(int timeoutMs) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        int open = (out_ >= 0) + (err_ >= 0);
        if (open == 0) return false;
        if (poll(fds, 2, timeoutMs) <= 0) return true;
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? out_ : err_;
            if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0)
                (i == 0 ? result_.Out : result_.Err).append(buf, static_cast<size_t>(n));
            else {
                close(fd);
                fd = -1;
            }
        }
        return true;
    }

    std::vector<std::string> args_;
    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    CliResult result_;
};

std::string Show(const CliResult& r) {
    return "status " + std::to_string(r.Status) + "\nstdout:\n" + r.Out + "\nstderr:\n" + r.Err;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A program home with a login of its own.
class Cli {
public:
    explicit Cli(const TempHome& home) : home_(home.Dir()) {}

    CliResult As(const std::string& user, const std::string& password, std::vector<std::string> args,
                 const std::string& port = {}) const {
        std::vector<std::string> all = {"--home", home_};
        if (!port.empty()) all.insert(all.end(), {"--port", port});
        if (!user.empty()) all.insert(all.end(), {"--user", user, "--password", password});
        all.insert(all.end(), args.begin(), args.end());
        return CliRun(all).Finish();
    }
    CliResult Admin(std::vector<std::string> args, const std::string& port = {}) const {
        return As(kAdministratorName, kAdministratorPassword, std::move(args), port);
    }
    // Rows of an administrator query, without the header.
    std::vector<std::string> Rows(const std::string& sql) const {
        const CliResult r = Admin({"sql", sql});
        std::vector<std::string> rows;
        std::istringstream in(r.Out);
        std::string line;
        bool header = true;
        while (std::getline(in, line)) {
            if (header) header = false;
            else rows.push_back(line);
        }
        return rows;
    }
    // The first revision of the version code that a new meter may have.
    std::string Revision(int versionID) const {
        const CliResult r = Admin({"meter", "versions"});
        std::istringstream in(r.Out);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string rev, version;
            std::getline(fields, rev, '\t');
            std::getline(fields, version, '\t');
            if (version == std::to_string(versionID)) return rev;
        }
        return {};
    }

private:
    std::string home_;
};

constexpr const char* kSupervisor = "Supervisor";
constexpr const char* kSupervisorPassword = "PiquantOwl73620";

// A user of group 4 holds right 12 only: he may measure and read the clock, but
// adding meters (right 8), users (right 5) and free SQL (built-in administrator)
// are refused with status 4, as the main window keeps those commands disabled.
// Every login leaves one journal row with its end time; the built-in administrator
// and a wrong password leave none.
TEST(CliRights, GroupFourUserAgainstTheGateTable) {
    TempHome home;
    Cli cli(home);
    MeterSim sim({"--version", "36", "--znumber", "777"});
    CliResult r = cli.As(kSupervisor, kSupervisorPassword,
                         {"user", "add", "--name", "ivan", "--password", "p4", "--group", "4", "--description", "Иванов"});
    ASSERT_EQ(r.Status, 0) << Show(r);
    const std::string rev = cli.Revision(36);
    ASSERT_FALSE(rev.empty());
    r = cli.Admin({"meter", "add", "--name", "Подстанция", "--revision", rev, "--znumber", "777"});
    ASSERT_EQ(r.Status, 0) << Show(r);
    EXPECT_EQ(r.Out, "1\n");

    struct Case {
        std::vector<std::string> Args;
        int Status;
        std::string Text;  // on stderr
        bool NeedsPort = false;
    };
    const std::vector<Case> cases = {
        {{"meter", "add", "--name", "X", "--revision", rev, "--znumber", "1"}, 4, "Недостаточно прав"},
        {{"meter", "delete", "--meter", "1", "--yes"}, 4, "Недостаточно прав"},
        {{"user", "add", "--name", "petr", "--password", "p", "--group", "4"}, 4, "Недостаточно прав"},
        {{"user", "list"}, 4, "Недостаточно прав"},
        {{"sql", "SELECT 1"}, 4, "только администратору"},
        {{"meter", "list"}, 0, ""},
        {{"measure", "full", "--meter", "1"}, 0, "", true},
        {{"clock", "--meter", "1"}, 0, "", true},
        {{"clock", "--meter", "2"}, 1, "не найден", true},
    };
    for (const auto& c : cases) {
        r = cli.As("ivan", "p4", c.Args, c.NeedsPort ? sim.Port() : "");
        EXPECT_EQ(r.Status, c.Status) << c.Args[0] << " " << c.Args[1] << "\n" << Show(r);
        EXPECT_TRUE(Has(r.Err, c.Text)) << Show(r);
    }
    // What the measurement printed, one value per line.
    r = cli.As("ivan", "p4", {"measure", "moment", "--meter", "1"}, sim.Port());
    EXPECT_TRUE(Has(r.Out, "voltage1\t230.00\tV\n")) << Show(r);

    // Wrong pairs, the administrator's name with a wrong password, and no login at all.
    r = cli.As("ivan", "wrong", {"meter", "list"});
    EXPECT_EQ(r.Status, 4) << Show(r);
    EXPECT_TRUE(Has(r.Err, "Неверно введены имя администратора и пароль!")) << Show(r);
    r = cli.As(kAdministratorName, "wrong", {"sql", "SELECT 1"});
    EXPECT_EQ(r.Status, 4) << Show(r);
    r = cli.As("", "", {"meter", "list"});
    EXPECT_EQ(r.Status, 4) << Show(r);
    r = cli.As("", "", {"sql", "SELECT 1"});
    EXPECT_EQ(r.Status, 4) << Show(r);
    r = cli.Admin({"sql", "SELECT COUNT(*) AS n FROM Counters"});
    EXPECT_EQ(r.Status, 0) << Show(r);
    EXPECT_EQ(r.Out, "n\n1\n");

    // One row per login of ivan (the cases and the moment read), each with its end time.
    const auto rows = cli.Rows(
        "SELECT UserRegister.BeginDate, UserRegister.EndTime FROM UserRegister, Users "
        "WHERE UserRegister.UserID = Users.UserID AND Users.UserName = 'ivan'");
    EXPECT_EQ(rows.size(), cases.size() + 1);
    for (const auto& row : rows) {
        const auto tab = row.find('\t');
        ASSERT_NE(tab, std::string::npos) << row;
        EXPECT_FALSE(row.substr(tab + 1).empty()) << "open journal row: " << row;
    }
    // Supervisor once; the built-in administrator never.
    EXPECT_EQ(cli.Rows("SELECT UserID FROM UserRegister WHERE UserID <> 2").size(), 1u);
}

// The rules of the add-user dialog, and a table user can never take the built-in
// administrator's name (he would get every right and leave no journal).
TEST(CliUsers, AddRefusalsAndList) {
    TempHome home;
    Cli cli(home);
    struct Case {
        std::vector<std::string> Args;
        int Status;
        std::string Text;
    };
    const std::vector<Case> cases = {
        {{"--name", "boss", "--password", "12345678901234", "--group", "1"}, 1, "Пароль должен состоять из 15 символов!"},
        {{"--name", "boss", "--password", "123456789012345", "--group", "1"}, 0, ""},
        {{"--name", "boss", "--password", "x", "--group", "3"}, 1, "уже существует"},
        {{"--name", "SYSDBA", "--password", "x", "--group", "3"}, 1, "зарезервировано"},
        {{"--name", "anna", "--password", "x", "--group", "99"}, 1, "Недопустимая группа"},
        {{"--name", "anna", "--password", "1234567890123456", "--group", "3"}, 1, "длиннее 15"},
        {{"--name", "anna", "--password", "x", "--group", "три"}, 2, "--group"},
        {{"--name", "anna", "--group", "3"}, 2, "--password"},
        {{"--name", "anna", "--password", "x", "--group", "3", "--description", "Анна"}, 0, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"user", "add"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const CliResult r = cli.As(kSupervisor, kSupervisorPassword, args);
        EXPECT_EQ(r.Status, c.Status) << Show(r);
        EXPECT_TRUE(Has(r.Err, c.Text)) << Show(r);
    }
    const CliResult list = cli.As(kSupervisor, kSupervisorPassword, {"user", "list"});
    ASSERT_EQ(list.Status, 0) << Show(list);
    EXPECT_TRUE(Has(list.Out, "\tanna\t3\tОпытные пользователи\tАнна\n")) << list.Out;
    EXPECT_TRUE(Has(list.Out, "\tboss\t1\t")) << list.Out;
    // The new user logs in with the rights of group 3 (right 8: may add meters).
    const CliResult anna = cli.As("anna", "x", {"meter", "add", "--name", "A", "--revision", cli.Revision(2), "--znumber", "5"});
    EXPECT_EQ(anna.Status, 0) << Show(anna);
}

TEST(CliMeters, AddListDelete) {
    TempHome home;
    Cli cli(home);
    const std::string rev = cli.Revision(46);
    ASSERT_FALSE(rev.empty());
    CliResult r = cli.Admin({"meter", "add", "--name", "Первый", "--revision", rev, "--znumber", "100", "--id", "40"});
    ASSERT_EQ(r.Status, 0) << Show(r);
    EXPECT_EQ(r.Out, "40\n");
    r = cli.Admin({"meter", "add", "--name", "Второй", "--revision", rev, "--znumber", "200"});
    ASSERT_EQ(r.Status, 0) << Show(r);
    EXPECT_EQ(r.Out, "41\n");  // the greatest id plus one

    struct Case {
        std::vector<std::string> Args;
        int Status;
        std::string Text;
    };
    const std::vector<Case> refusals = {
        {{"add", "--name", "Дубль", "--revision", rev, "--znumber", "1", "--id", "40"}, 1,
         "Ошибка при добавлении нового счетчика!"},
        {{"add", "--name", "Нет", "--revision", "999999", "--znumber", "1"}, 1, "не найдена"},
        {{"add", "--name", "Нет", "--revision", rev, "--znumber", "12a"}, 1, "Ошибка при вводе заводского номера!"},
        {{"add", "--revision", rev, "--znumber", "1"}, 2, "--name"},
        {{"delete", "--meter", "41"}, 2, "Вы желаете удалить счетчик «Второй»?"},
        {{"delete", "--meter", "77", "--yes"}, 1, "не найден"},
        {{"delete", "--meter", "x1", "--yes"}, 2, "--meter"},
    };
    for (const auto& c : refusals) {
        std::vector<std::string> args = {"meter"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        r = cli.Admin(args);
        EXPECT_EQ(r.Status, c.Status) << Show(r);
        EXPECT_TRUE(Has(r.Err, c.Text)) << Show(r);
    }
    EXPECT_EQ(cli.Rows("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ParamValues41'"), std::vector<std::string>{"1"});

    r = cli.Admin({"meter", "delete", "--meter", "41", "--yes"});
    EXPECT_EQ(r.Status, 0) << Show(r);
    r = cli.Admin({"meter", "list"});
    ASSERT_EQ(r.Status, 0) << Show(r);
    EXPECT_TRUE(Has(r.Out, "40\t46\t" + rev + "\t")) << r.Out;
    EXPECT_TRUE(Has(r.Out, "\tПервый\t100\t")) << r.Out;
    EXPECT_FALSE(Has(r.Out, "Второй")) << r.Out;
    EXPECT_EQ(cli.Rows("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ParamValues41'"), std::vector<std::string>{"0"});
}

// Commands on a version 46 meter (contactor, both channels, currency, card and
// optical port) and a per-phase version 36 meter (measurements only), the version
// checks, and the answers that the dialogs would collect.
TEST(CliMeterCommands, AgainstTheSimulator) {
    TempHome home;
    Cli cli(home);
    MeterSim sim46({"--version", "46", "--znumber", "4646"});
    MeterSim sim36({"--version", "36", "--znumber", "3636"});
    ASSERT_EQ(cli.Admin({"meter", "add", "--name", "M46", "--revision", cli.Revision(46), "--znumber", "4646"}).Status, 0);
    ASSERT_EQ(cli.Admin({"meter", "add", "--name", "M36", "--revision", cli.Revision(36), "--znumber", "3636"}).Status, 0);

    struct Case {
        std::vector<std::string> Args;
        int Status;
        std::string Out;
        std::string Err;
    };
    const std::string unsupported = "Команда данной версией счетчика не поддерживается!";
    const std::vector<Case> on46 = {
        {{"contactor", "off"}, 0, "Контактор выключен!\n", ""},
        {{"contactor", "release"}, 0, "Контактор освобожден!\n", ""},
        {{"channel", "2", "on"}, 0, "Канал 2 включен!\n", ""},
        {{"optoport", "off"}, 0, "Оптопорт выключен!\n", ""},
        {{"currency", "EUR"}, 0, "Вид валюты в счетчике установлены!\n", ""},
        {{"currency", "EURO"}, 2, "", "не более 3"},
        {{"precision", "hundredths"}, 0, "Точность в счетчике установлена!\n", ""},
        {{"card"}, 2, "", "--yes"},
        {{"card", "--yes"}, 0, "Поддержка карты установлена!\n", ""},
        {{"contactor", "sideways"}, 2, "", "contactor off|release"},
    };
    for (const auto& c : on46) {
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"--meter", "1"});
        const CliResult r = cli.Admin(args, sim46.Port());
        EXPECT_EQ(r.Status, c.Status) << Show(r);
        EXPECT_EQ(r.Out, c.Out) << Show(r);
        EXPECT_TRUE(Has(r.Err, c.Err)) << Show(r);
    }
    const MeterSimState state = sim46.ReadState();
    const auto currency = state.Bytes("currency");
    EXPECT_EQ(std::string(currency.begin(), currency.end()), "EUR");

    const std::vector<Case> on36 = {
        {{"contactor", "off"}, 1, "", unsupported},
        {{"currency", "RUB"}, 1, "", unsupported},
        {{"measure", "power"}, 1, "", unsupported},  // per-phase 36 has no power-only read
        {{"measure", "energy-minute", "--minutes", "0"}, 2, "", "--minutes"},
        {{"measure", "energy"}, 0, "active_plus\t", ""},
        {{"measure", "full"}, 0, "cos_fi_all\t", ""},
    };
    for (const auto& c : on36) {
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"--meter", "2"});
        const CliResult r = cli.Admin(args, sim36.Port());
        EXPECT_EQ(r.Status, c.Status) << Show(r);
        EXPECT_TRUE(Has(r.Out, c.Out)) << Show(r);
        EXPECT_TRUE(Has(r.Err, c.Err)) << Show(r);
    }

    // The meter's error replies end the command with the failure message.
    sim46.AddFault("error=0@1-50");
    const CliResult failed = cli.Admin({"contactor", "off", "--meter", "1"}, sim46.Port());
    EXPECT_EQ(failed.Status, 1) << Show(failed);
    EXPECT_TRUE(Has(failed.Err, "Произошла ошибка : ")) << Show(failed);
}

TEST(CliPort, MissingDeviceFailsWithThePortText) {
    TempHome home;
    Cli cli(home);
    ASSERT_EQ(cli.Admin({"meter", "add", "--name", "M", "--revision", cli.Revision(36), "--znumber", "1"}).Status, 0);
    const std::string device = home.File("no-such-tty");
    const CliResult r = cli.Admin({"clock", "--meter", "1"}, device);
    EXPECT_EQ(r.Status, 1) << Show(r);
    EXPECT_TRUE(Has(r.Err, device)) << Show(r);
}

// Ctrl+C while the meter is slow to answer: status 3, the cancel text, and the
// login's journal row is closed all the same.
TEST(CliCancel, InterruptEndsWithStatusThreeAndClosesTheLogin) {
    TempHome home;
    Cli cli(home);
    MeterSim sim({"--version", "36", "--znumber", "9", "--reply-delay", "4000"});
    ASSERT_EQ(cli.Admin({"meter", "add", "--name", "M", "--revision", cli.Revision(36), "--znumber", "9"}).Status, 0);
    CliRun run({"--home", home.Dir(), "--port", sim.Port(), "--user", kSupervisor, "--password", kSupervisorPassword,
                "measure", "full", "--meter", "1"});
    ASSERT_TRUE(run.WaitForErr("Установление сеанса связи"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(run.Pid(), SIGINT);
    const CliResult r = run.Finish();
    EXPECT_EQ(r.Status, 3) << Show(r);
    EXPECT_TRUE(Has(r.Err, "Сеанс был прерван пользователем!")) << Show(r);
    EXPECT_TRUE(r.Out.empty()) << Show(r);
    const auto rows = cli.Rows("SELECT EndTime FROM UserRegister");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(rows[0].empty());
}

}  // namespace
