// sql: a free statement typed by the built-in administrator. Its text comes from
// the administrator and is the very feature; values are never spliced into it.
#include "Cli.h"

#include "db/DataBaseModule.h"
#include "shell/Globals.h"

#include <cstdio>
#include <iostream>
#include <variant>

namespace {

std::string Cell(const TDbValue& v) {
    struct Visitor {
        std::string operator()(std::monostate) const { return ""; }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.15g", d);
            return buf;
        }
        std::string operator()(const std::string& s) const {
            // Keep one row on one line and the columns apart.
            std::string out;
            for (char c : s) {
                if (c == '\t') out += "\\t";
                else if (c == '\n') out += "\\n";
                else if (c == '\r') out += "\\r";
                else out += c;
            }
            return out;
        }
        std::string operator()(const TBlob& b) const {
            static const char digits[] = "0123456789ABCDEF";
            std::string out = "0x";
            for (auto byte : b) {
                out += digits[byte >> 4];
                out += digits[byte & 15];
            }
            return out;
        }
    };
    return std::visit(Visitor{}, v);
}

int Run(cli::Context& ctx) {
    if (!AdministratorMode)
        return cli::Fail(cli::kRefused, "Выполнение запросов SQL разрешено только администратору (--user SYSDBA --password ...)");
    if (ctx.Args.size() != 1) return cli::Fail(cli::kUsage, "Использование: olmar-cli --user SYSDBA --password ... sql \"ЗАПРОС\"");
    if (!DataBaseModule) return cli::Fail(cli::kFailed, "База данных не открыта");
    TDatabase& db = DataBaseModule->Db();
    try {
        db.ForEachStatement(ctx.Args[0], [](TStatement& st) {
            const int columns = st.ColumnCount();
            if (columns == 0) {
                std::cout << "Изменено записей: " << st.Execute() << "\n";
                return;
            }
            for (int i = 0; i < columns; ++i) std::cout << (i ? "\t" : "") << st.ColumnName(i);
            std::cout << "\n";
            while (st.Step()) {
                for (int i = 0; i < columns; ++i) std::cout << (i ? "\t" : "") << Cell(st.Value(i));
                std::cout << "\n";
            }
        });
    } catch (const TDatabaseError& e) {
        std::cout.flush();
        return cli::Fail(cli::kFailed, std::string("Ошибка выполнения запроса: ") + e.what());
    }
    return cli::kOk;
}
}  // namespace

OLMAR_CLI_COMMAND({"sql", "run an SQL statement on the database (built-in administrator only)",
                   "olmar-cli --user SYSDBA --password PASSWORD sql \"STATEMENT\"\n"
                   "  Runs the statement(s). A query prints a header line and its rows, tab-separated\n"
                   "  (NULL as an empty cell, binary values in hex); other statements print the number\n"
                   "  of rows they changed. Only for the built-in administrator; others get exit status 4.",
                   false, true, Run});
