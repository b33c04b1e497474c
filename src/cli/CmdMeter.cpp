// meter: the meter registry without the meter list window: list, add, delete.
#include "Cli.h"

#include "admin/CounterRegistry.h"
#include "db/DataBaseModule.h"
#include "db/DbDateTime.h"

#include <iostream>

namespace {
using namespace cli;

const char* const kHelp =
    "olmar-cli --user NAME --password TEXT meter list\n"
    "olmar-cli --user NAME --password TEXT meter add --name TEXT --revision VERSION_INTERNAL_ID --znumber N\n"
    "          [--id N] [--create-date TEXT] [--check-date TEXT]\n"
    "olmar-cli --user NAME --password TEXT meter delete --meter ID --yes\n"
    "olmar-cli --user NAME --password TEXT meter versions\n"
    "  list      prints CounterID, VersionID, VersionInternalID, VersionName, CounterName, ZNumber and\n"
    "            IniDateTime, tab-separated, after a header line.\n"
    "  add       registers a meter of the revision (see 'meter versions') and creates its value table;\n"
    "            prints the new CounterID (--id, else the greatest CounterID plus 1). Needs right 8.\n"
    "  delete    drops the meter's stored values, task and index ranges, then the meter (its poll\n"
    "            journal stays). --yes answers the question \"Вы желаете удалить счетчик ...?\". Needs right 8.\n"
    "  versions  the revisions a new meter may have: VersionInternalID, VersionID, VersionName.";

int List(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acCounters); rc != kOk) return rc;
    if (!ctx.Args.empty()) return Fail(cli::kUsage, "Лишний параметр: " + ctx.Args.front());
    std::cout << "CounterID\tVersionID\tVersionInternalID\tVersionName\tCounterName\tZNumber\tIniDateTime\n";
    for (const auto& c : ListCounters(DataBaseModule->Db()))
        std::cout << c.CounterID << "\t" << c.VersionID << "\t" << c.VersionInternalID << "\t" << c.VersionName << "\t"
                  << c.CounterName << "\t" << c.ZNumber << "\t" << SqlDateTimeText(c.IniDateTime) << "\n";
    return kOk;
}

int Versions(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acCounters); rc != kOk) return rc;
    if (!ctx.Args.empty()) return Fail(cli::kUsage, "Лишний параметр: " + ctx.Args.front());
    std::cout << "VersionInternalID\tVersionID\tVersionName\n";
    for (const auto& v : VersionsForNewCounter(DataBaseModule->Db()))
        std::cout << v.VersionInternalID << "\t" << v.VersionID << "\t" << v.VersionName << "\n";
    return kOk;
}

int Add(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acAddCounter); rc != kOk) return rc;
    TDatabase& db = DataBaseModule->Db();
    TCounterEdit edit;
    const auto name = TakeOption(ctx.Args, "--name");
    const auto revision = TakeOption(ctx.Args, "--revision");
    const auto znumber = TakeOption(ctx.Args, "--znumber");
    const auto id = TakeOption(ctx.Args, "--id");
    if (auto d = TakeOption(ctx.Args, "--create-date")) edit.CreateDate = *d;
    if (auto d = TakeOption(ctx.Args, "--check-date")) edit.CheckDate = *d;
    if (!ctx.Args.empty()) return Fail(cli::kUsage, "Лишний параметр: " + ctx.Args.front());
    if (!name || !revision || !znumber)
        return Fail(cli::kUsage, "Нужны --name, --revision и --znumber (olmar-cli meter --help)");
    const auto rev = ParseCounterNumber(*revision);
    std::optional<TVersionChoice> version;
    // Only the revisions the add dialog offers (hidden ones are not).
    if (rev)
        for (const auto& v : VersionsForNewCounter(db))
            if (v.VersionInternalID == *rev) version = v;
    if (!version) return Fail(kFailed, "Версия счетчика " + *revision + " не найдена (olmar-cli meter versions)");
    edit.VersionInternalID = version->VersionInternalID;
    edit.VersionID = version->VersionID;
    edit.Name = *name;
    edit.ZNumberText = *znumber;
    if (id) {
        edit.IdText = *id;
    } else {
        std::int64_t next = 1;
        for (const auto& c : ListCounters(db)) next = std::max<std::int64_t>(next, std::int64_t{c.CounterID} + 1);
        edit.IdText = std::to_string(next);
    }
    const TAdminResult result = AddCounter(db, edit);
    if (!result.Ok) return Fail(kFailed, result.Message);
    std::cout << result.NewID << "\n";
    return kOk;
}

int Delete(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acDeleteCounter); rc != kOk) return rc;
    const auto text = TakeOption(ctx.Args, "--meter");
    const bool yes = TakeFlag(ctx.Args, "--yes");
    if (!text) return Fail(cli::kUsage, "Укажите счетчик: --meter ID");
    if (!ctx.Args.empty()) return Fail(cli::kUsage, "Лишний параметр: " + ctx.Args.front());
    TDatabase& db = DataBaseModule->Db();
    const auto row = FindCounter(db, *ParseCounterNumber(*text));  // Authorize checked the number and the meter
    if (!row) return Fail(kFailed, "Счетчик " + *text + " не найден");
    if (!yes)
        return Fail(cli::kUsage, DeleteCounterQuestion(row->CounterName) + "\nСчетчик не удален: подтвердите параметром --yes");
    const TAdminResult result = DeleteCounter(db, row->CounterID);
    if (!result.Ok) return Fail(kFailed, result.Message);
    std::cout << "Счетчик " << row->CounterID << " «" << row->CounterName << "» удален\n";
    return kOk;
}

int Run(Context& ctx) {
    if (ctx.Args.empty()) return Fail(cli::kUsage, std::string("Использование:\n") + kHelp);
    const std::string sub = ctx.Args.front();
    ctx.Args.erase(ctx.Args.begin());
    if (sub == "list") return List(ctx);
    if (sub == "add") return Add(ctx);
    if (sub == "delete") return Delete(ctx);
    if (sub == "versions") return Versions(ctx);
    return Fail(cli::kUsage, "Неизвестная команда meter " + sub + " (olmar-cli meter --help)");
}
}  // namespace

OLMAR_CLI_COMMAND({"meter", "the meter registry: meter list, add, delete, versions", kHelp, false, true, Run});
