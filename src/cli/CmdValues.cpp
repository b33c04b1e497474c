// values: the stored values of a meter, one per line.
#include "Cli.h"
#include "CliSessions.h"

#include "db/DataBaseModule.h"
#include "db/DictionaryQueries.h"
#include "model/CounterParam.h"
#include "sessions/Sessions.h"
#include "shell/ActionGates.h"

#include <iostream>
#include <map>
#include <memory>


namespace {
using namespace cli;

int Run(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acStat); rc != kOk) return rc;
    std::optional<TCounterStat> counter;
    if (int rc = sessions::SelectMeter(ctx, counter); rc != kOk) return rc;
    std::optional<std::int32_t> only;
    if (auto p = TakeOption(ctx.Args, "--param")) {
        std::int64_t v = 0;
        bool ok = !p->empty() && p->size() <= 9;
        for (char c : *p) {
            if (c < '0' || c > '9') ok = false;
            else v = v * 10 + (c - '0');
        }
        if (!ok) return Fail(kUsage, "--param: нужен номер параметра");
        only = static_cast<std::int32_t>(v);
    }
    const bool allDays = TakeFlag(ctx.Args, "--all-days");
    if (!ctx.Args.empty()) return Fail(kUsage, "Лишний параметр: " + ctx.Args.front());
    TDatabase& db = DataBaseModule->Db();
    EnsureParamTypes(db);
    const std::string table = ValueTableName(counter->CounterID);
    if (!db.TableExists(table)) return Fail(kFailed, "Нет таблицы значений счетчика " + table);
    TStatement q = db.Prepare("SELECT ParamID, ParamIndex, ChangeDateTime, DataValue FROM " + QuoteIdentifier(table) +
                              " WHERE (:All = 1) OR (ParamID = :ParamID) ORDER BY ParamID, ParamIndex, ChangeDateTime");
    q.BindInt(":All", only ? 0 : 1).BindInt(":ParamID", only.value_or(0));
    TStatement def = db.Prepare("SELECT * FROM Params WHERE ParamID = :ParamID");
    std::map<std::int32_t, std::unique_ptr<TCounterParam>> params;
    struct Row { std::int32_t Id; std::int64_t Index; std::string Day; TBlob Value; };
    std::vector<Row> rows;
    while (q.Step()) rows.push_back({q.Int(0), q.Int64(1), q.Text(2), q.Blob(3)});
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        // Without --all-days only the newest day of each parameter and index.
        if (!allDays && i + 1 < rows.size() && rows[i + 1].Id == r.Id && rows[i + 1].Index == r.Index) continue;
        auto& p = params[r.Id];
        if (!p) {
            p = std::make_unique<TCounterParam>(r.Id);
            def.Reset();
            def.BindInt(":ParamID", r.Id);
            if (def.Step()) p->LoadFromParamRow(ReadParamRow(def));
        }
        if (r.Index >= 0 && r.Index <= 0xFFFF) p->ParamIndex = static_cast<std::uint16_t>(r.Index);
        p->Value.clear();
        p->LoadValueFromField(r.Value);
        std::cout << r.Id << "\t" << r.Index << "\t" << r.Day << "\t" << p->Value << "\t" << p->GetDisplayText() << "\n";
    }
    return kOk;
}
}  // namespace

OLMAR_CLI_COMMAND({"values", "the stored values of a meter",
                   "olmar-cli --user NAME --password TEXT values --meter ID [--param ID] [--all-days]\n"
                   "  One line per stored value: ParamID, ParamIndex, date, value text, display text,\n"
                   "  tab-separated; the newest day of each parameter and index, or every day kept.",
                   false, true, Run});
