// The database steps of the start-up (dictionary reset, step 11) and the two
// olmar-cli commands on the database.
#include "db/DataBaseModule.h"
#include "db/Dictionary.h"
#include "shell/Configuration.h"
#include "shell/Globals.h"
#include "startup/Startup.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace {

struct RecordingUi : TStartupUi {
    std::vector<std::string> steps, fatals;
    int lastPosition = -1, lastMaximum = -1;
    void ShowStep(const std::string& t) override { steps.push_back(t); }
    void ShowFatal(const std::string& t) override { fatals.push_back(t); }
    void ShowProgress(int p, int m) override {
        lastPosition = p;
        lastMaximum = m;
    }
};

std::string VersionFlag(TDatabase& db, int versionInternalID) {
    TStatement st = db.Prepare("SELECT IsInvisible FROM Versions WHERE VersionInternalID = :ID");
    st.BindInt(":ID", versionInternalID);
    return st.Step() ? st.Text(0) : "<none>";
}

TEST(DbStartup, OpenDatabaseChecksTheTablesAndShutdownFreesTheModule) {
    TempHome home;
    home.Write("Olmar32.ini", "[Configuration]\nMajorVersion=22\n");
    RecordingUi ui;
    TStartup s(ui);
    ASSERT_TRUE(s.LoadConfiguration(home.Dir()));
    ASSERT_TRUE(s.OpenDatabase());
    EXPECT_TRUE(ui.fatals.empty());
    ASSERT_NE(DataBaseModule, nullptr);
    EXPECT_EQ(DataBaseModule->FilePath(), home.Dir() + "Database/Olmar.db");
    EXPECT_NE(std::find(ui.steps.begin(), ui.steps.end(), "Подключение к БД..."), ui.steps.end());
    EXPECT_NE(std::find(ui.steps.begin(), ui.steps.end(), "Проверка таблицы Params"), ui.steps.end());
    EXPECT_EQ(ui.lastMaximum, 18);
    EXPECT_EQ(ui.lastPosition, 18);
    s.Shutdown();
    EXPECT_EQ(DataBaseModule, nullptr);
}

TEST(DbStartup, FileThatIsNotTheDatabaseEndsStartUpWithTheFixedMessage) {
    TempHome home;
    home.Write("Olmar32.ini", "[Configuration]\nMajorVersion=22\n");
    std::filesystem::create_directories(home.Path() / "Database");
    const std::string junk(8192, 'j');
    home.Write("Database/Olmar.db", junk);
    RecordingUi ui;
    TStartup s(ui);
    ASSERT_TRUE(s.LoadConfiguration(home.Dir()));
    EXPECT_FALSE(s.OpenDatabase());
    EXPECT_EQ(ui.fatals, std::vector<std::string>{"Ошибка при попытке проверки БД"});
    EXPECT_NE(s.LastErrorDetail().find("Olmar.db"), std::string::npos) << s.LastErrorDetail();
    s.Shutdown();
    EXPECT_EQ(home.Read("Database/Olmar.db"), junk);
}

TEST(DbStartup, DictionaryResetKeepsHiddenVersionsHidden) {
    if (DictionarySeed().Versions.size() < 60) GTEST_SKIP() << "the Versions of the dictionary seed have not landed";
    TempHome home;
    home.Write("Olmar32.ini", "[Configuration]\nMajorVersion=22\n");
    {
        RecordingUi ui;
        TStartup s(ui);
        ASSERT_TRUE(s.LoadConfiguration(home.Dir()));
        ASSERT_TRUE(s.OpenDatabase());
        DataBaseModule->Db().Execute("UPDATE Versions SET IsInvisible = '1' WHERE VersionInternalID IN (50, 51)");
        DataBaseModule->Db().Execute("DELETE FROM Params WHERE ParamID IN (SELECT ParamID FROM Params LIMIT 3)");
        DataBaseModule->Db().Execute("INSERT INTO Counters (CounterID, CounterName) VALUES (3, 'остается')");
        s.Shutdown();
    }
    // An older dictionary generation in the configuration: the reset runs.
    home.Write("Olmar32.ini", "[Configuration]\nMajorVersion=21\n");
    RecordingUi ui;
    TStartup s(ui);
    ASSERT_TRUE(s.LoadConfiguration(home.Dir()));
    EXPECT_EQ(Configuration->MajorVersion, 22);
    {
        TDatabase db(home.Dir() + "Database/Olmar.db");
        for (const char* t : {"EnumParamTypes", "FileAccepts", "Files", "Params", "ParamTypes", "Versions"})
            EXPECT_FALSE(db.TableExists(t)) << t;
        EXPECT_TRUE(db.TableExists("Counters"));
    }
    ASSERT_TRUE(s.OpenDatabase()) << s.LastErrorDetail();
    TDatabase& db = DataBaseModule->Db();
    EXPECT_EQ(VersionFlag(db, 50), "1");
    EXPECT_EQ(VersionFlag(db, 51), "1");
    EXPECT_EQ(VersionFlag(db, 52), "0");
    EXPECT_EQ(DataBaseModule->Report().RestoredVersionFlags, 2);
    EXPECT_EQ(TTable(db, "Params").RecordCount(), static_cast<long long>(DictionarySeed().Params.size()));
    EXPECT_EQ(TTable(db, "Counters").RecordCount(), 1);
    EXPECT_FALSE(db.TableExists(TDataBaseModule::kSavedVisibilityTable));
    s.Shutdown();
    EXPECT_NE(home.Read("Olmar32.ini").find("MajorVersion=22"), std::string::npos);
}

TEST(DbStartup, FlagsSavedByAResetSurviveAStartThatDiedBeforeTheCheck) {
    if (DictionarySeed().Versions.size() < 60) GTEST_SKIP() << "the Versions of the dictionary seed have not landed";
    TempHome home;
    const std::string folder = home.Dir() + "Database";
    {
        TDataBaseModule m(folder);
        ASSERT_TRUE(m.CheckTables());
        m.Db().Execute("UPDATE Versions SET IsInvisible = '1' WHERE VersionInternalID = 60");
    }
    ASSERT_TRUE(TDataBaseModule::ResetDictionary(folder));
    // The program dies here; the next start runs the reset again (the generation was
    // not yet written), which must not forget the flags kept the first time.
    ASSERT_TRUE(TDataBaseModule::ResetDictionary(folder));
    TDataBaseModule m(folder);
    ASSERT_TRUE(m.CheckTables());
    EXPECT_EQ(VersionFlag(m.Db(), 60), "1");
}

// ---------------------------------------------------------------- olmar-cli

std::pair<std::string, int> Cli(const std::string& home, const std::string& args) {
    const std::string command = std::string(OLMAR_CLI_PATH) + " --home '" + home + "' " + args + " 2>&1";
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return {"", -1};
    std::array<char, 512> buf;
    while (fgets(buf.data(), static_cast<int>(buf.size()), p)) out += buf.data();
    const int status = pclose(p);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(DbCli, CheckDbReportsWhatItDid) {
    TempHome home;
    auto [out, rc] = Cli(home.Dir(), "check-db");
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("Создана таблица Users, записей: 1"), std::string::npos) << out;
    EXPECT_NE(out.find("Создана таблица ProtocolNumber, записей: 1"), std::string::npos) << out;
    std::tie(out, rc) = Cli(home.Dir(), "check-db");
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("изменений нет"), std::string::npos) << out;
    EXPECT_NE(out.find("  AccessTypes\t12"), std::string::npos) << out;
}

TEST(DbCli, SqlOnlyForTheBuiltInAdministrator) {
    TempHome home;
    const std::string admin = "--user SYSDBA --password plumtreesOakVNW ";
    struct Case {
        std::string args;
        int rc;
        std::string expected;
    };
    const Case cases[] = {
        {"sql \"SELECT 1\"", 4, "только администратору"},
        {"--user SYSDBA --password wrong sql \"SELECT 1\"", 4, "Неверно введены имя администратора и пароль!"},
        {"--user Supervisor --password PiquantOwl73620 sql \"SELECT 1\"", 4, "только администратору"},
        {admin + "sql \"SELECT UserGroupID, UserGroupName FROM UserGroups WHERE UserGroupID <= 2 ORDER BY 1\"", 0,
         "UserGroupID\tUserGroupName\n1\tСупервизоры\n2\tАдминистраторы\n"},
        {admin + "sql \"UPDATE Versions SET IsInvisible = '1' WHERE VersionInternalID < 4\"", 0,
         "Изменено записей: " + std::to_string(std::min<size_t>(3, DictionarySeed().Versions.size())) + "\n"},
        {admin + "sql \"SELECT x'00FF' AS B, NULL AS N, 'a' || char(9) || 'b' AS T\"", 0, "B\tN\tT\n0x00FF\t\ta\\tb\n"},
        {admin + "sql \"SELECT * FROM NoSuchTable\"", 1, "no such table"},
    };
    for (const auto& c : cases) {
        const auto [out, rc] = Cli(home.Dir(), c.args);
        EXPECT_EQ(rc, c.rc) << c.args << "\n" << out;
        EXPECT_NE(out.find(c.expected), std::string::npos) << c.args << "\n" << out;
    }
}

}  // namespace
