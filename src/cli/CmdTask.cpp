// task show|set: the meter's task, as the task dialog shows and saves it.
#include "Cli.h"
#include "CliSessions.h"

#include "db/DataBaseModule.h"
#include "sessions/Task.h"
#include "shell/ActionGates.h"

#include <iostream>
#include <sstream>


namespace {
using namespace cli;

// "3,5,7" as FileIDs; nullopt for anything else.
std::optional<std::vector<std::int32_t>> ParseIds(const std::string& text) {
    std::vector<std::int32_t> ids;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item.empty() || item.size() > 9) return std::nullopt;
        std::int32_t v = 0;
        for (char c : item) {
            if (c < '0' || c > '9') return std::nullopt;
            v = v * 10 + (c - '0');
        }
        ids.push_back(v);
    }
    if (ids.empty()) return std::nullopt;
    return ids;
}

void Print(const TTaskLines& lines) {
    for (const auto* page : {&lines.Read, &lines.Write})
        for (const TTaskFile& l : *page)
            std::cout << (l.IsWriteItem ? "write" : "read") << "\t" << l.FileID << "\t" << l.FileInternalID << "\t"
                      << l.FileName << "\t" << l.IndexesText() << "\t" << l.IncludedText() << "\n";
}

int Run(Context& ctx) {
    if (ctx.Args.empty()) return Fail(kUsage, "Нужна подкоманда: task show|set (olmar-cli task --help)");
    const std::string sub = ctx.Args.front();
    ctx.Args.erase(ctx.Args.begin());
    if (sub != "show" && sub != "set") return Fail(kUsage, "Неизвестная подкоманда: task " + sub);
    if (int rc = Authorize(ctx, TAction::acTaskCounterFile); rc != kOk) return rc;
    std::optional<TCounterStat> counter;
    if (int rc = sessions::SelectMeter(ctx, counter); rc != kOk) return rc;
    struct Change { std::vector<std::int32_t> Ids; bool Write; bool Include; };
    std::vector<Change> todo;
    if (sub == "set") {
        const std::pair<const char*, std::pair<bool, bool>> options[] = {
            {"--read", {false, true}}, {"--write", {true, true}}, {"--no-read", {false, false}}, {"--no-write", {true, false}}};
        for (const auto& [name, what] : options)
            while (auto v = TakeOption(ctx.Args, name)) {
                auto ids = ParseIds(*v);
                if (!ids) return Fail(kUsage, std::string(name) + ": нужен список FileID через запятую");
                todo.push_back({*ids, what.first, what.second});
            }
        if (todo.empty()) return Fail(kUsage, "Нужен хотя бы один из параметров --read, --write, --no-read, --no-write");
    }
    if (!ctx.Args.empty()) return Fail(kUsage, "Лишний параметр: " + ctx.Args.front());
    TDatabase& db = DataBaseModule->Db();
    TTaskLines lines = FillTask(db, *counter);
    if (lines.Read.empty() && lines.Write.empty()) return Fail(kFailed, "Для версии счетчика нет областей");
    if (sub == "set") {
        for (const Change& c : todo)
            for (std::int32_t id : c.Ids) {
                TTaskFile* line = lines.Find(id, c.Write);
                if (!line)
                    return Fail(kFailed, "Область " + std::to_string(id) + " нельзя " +
                                             (c.Write ? "записывать в счетчик" : "читать из счетчика") +
                                             " (olmar-cli task show --meter " + std::to_string(counter->CounterID) + ")");
                line->Included = c.Include;
            }
        if (!SaveTask(lines, db, counter->CounterID)) return Fail(kFailed, "Не удалось сохранить задание");
        lines = FillTask(db, *counter);
    }
    Print(lines);
    return kOk;
}
}  // namespace

OLMAR_CLI_COMMAND({"task", "show or change the meter's task (areas to read and to write)",
                   "olmar-cli --user NAME --password TEXT task show --meter ID\n"
                   "olmar-cli --user NAME --password TEXT task set --meter ID [--read FILEID,...] [--write FILEID,...]\n"
                   "                                     [--no-read FILEID,...] [--no-write FILEID,...]\n"
                   "  Prints one line per area: page (read/write), FileID, FileInternalID, name, records\n"
                   "  (or \"Не индексирован\"), \"Включен\"/\"Не включен\", tab-separated. 'set' includes or\n"
                   "  excludes areas by FileID and prints the task saved.",
                   false, true, Run});
