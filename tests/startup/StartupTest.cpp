#include "link/ComPort.h"
#include "shell/Configuration.h"
#include "shell/Globals.h"
#include "startup/Startup.h"
#include "support/Pty.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

struct RecordingUi : TStartupUi {
    std::vector<std::string> steps, messages, errors;
    bool ignore = false;
    void ShowStep(const std::string& t) override { steps.push_back(t); }
    void ShowMessage(const std::string& t) override { messages.push_back(t); }
    bool AskIgnore(const std::string& t) override {
        errors.push_back(t);
        return ignore;
    }
};

TEST(Startup, AdministratorCommandLine) {
    struct Case { std::vector<std::string> args; bool admin; };
    const Case cases[] = {
        {{"SYSDBA", "plumtreesOakVNW"}, true},
        {{"SYSDBA", "plumtreesOakVNW", "x"}, false},
        {{"SYSDBA"}, false},
        {{}, false},
        {{"sysdba", "plumtreesOakVNW"}, false},
        {{"SYSDBA", "plumtreesoakvnw"}, false},
    };
    for (const auto& c : cases) {
        RecordingUi ui;
        TStartup s(ui);
        s.EvaluateCommandLine(c.args);
        EXPECT_EQ(AdministratorMode, c.admin) << c.args.size();
    }
    AdministratorMode = false;
}

TEST(Startup, FolderResolution) {
    TempHome net;
    const std::string existing = net.Path().string();  // no trailing separator
    auto f = ResolveFolders("", "/opt/olmar/");
    EXPECT_EQ(f.Database, "/opt/olmar/Database");
    EXPECT_EQ(f.Templates, "/opt/olmar/Шаблоны протоколов параметризации");
    EXPECT_FALSE(f.NetworkFolderMissing);

    f = ResolveFolders(existing + "/", "/opt/olmar/");
    EXPECT_EQ(f.Database, existing + "/Database");
    EXPECT_EQ(f.Protocols, existing + "/Протоколы параметризации");

    f = ResolveFolders(existing, "/opt/olmar/");
    EXPECT_EQ(f.Database, existing + "Database") << "the prefix is used as it is";
    EXPECT_EQ(f.Templates, existing + "Шаблоны протоколов параметризации");

    f = ResolveFolders("/no/such/share/", "/opt/olmar/");
    EXPECT_TRUE(f.NetworkFolderMissing);
    EXPECT_EQ(f.Database, "/opt/olmar/Database");
}

TEST(Startup, MissingNetworkFolderIsReportedAndKept) {
    TempHome home;
    home.Write("Olmar32.ini", "[Configuration]\nNetworkFolder=/no/such/share/\nMajorVersion=22\n");
    RecordingUi ui;
    TStartup s(ui);
    ASSERT_TRUE(s.LoadConfiguration(home.Dir()));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Указанная сетевая папка (/no/such/share/) не существует. Будет использоваться локальная БД.");
    EXPECT_EQ(DatabaseFolder, home.Dir() + "Database");
    EXPECT_EQ(Configuration->NetworkFolder, "/no/such/share/");
    s.Shutdown();
}

TEST(Startup, FirstStartWritesGeneration22) {
    TempHome home;
    RecordingUi ui;
    TStartup s(ui);
    ASSERT_TRUE(s.LoadConfiguration(home.Dir()));
    EXPECT_EQ(ui.steps.front(), "Проверка версии программы...");
    s.Shutdown();
    EXPECT_NE(home.Read("Olmar32.ini").find("MajorVersion=22"), std::string::npos);
}

TEST(Startup, OkOnPortErrorEndsStartup) {
    TempHome home;
    home.Write("Olmar32.ini", "[Configuration]\nComName=/dev/olmar-no-such-port\nMajorVersion=22\n");
    RecordingUi ui;
    TStartup s(ui);
    ASSERT_TRUE(s.LoadConfiguration(home.Dir()));
    EXPECT_FALSE(s.OpenPort());
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], "Ошибка открытия устройства /dev/olmar-no-such-port");
    EXPECT_EQ(ComPort, nullptr);
    EXPECT_EQ(Configuration, nullptr);
}

TEST(Startup, IgnoreOnPortErrorGoesOnWithThePortClosed) {
    TempHome home;
    home.Write("Olmar32.ini", "[Configuration]\nComName=/dev/olmar-no-such-port\nMajorVersion=22\n");
    RecordingUi ui;
    ui.ignore = true;
    TStartup s(ui);
    ASSERT_TRUE(s.LoadConfiguration(home.Dir()));
    EXPECT_TRUE(s.OpenPort());
    ASSERT_NE(ComPort, nullptr);
    EXPECT_FALSE(ComPort->Opened);
    s.Shutdown();
    EXPECT_EQ(ComPort, nullptr);
}

TEST(Startup, PortOpensAndIsConfigured) {
    TempHome home;
    PtyPair pty;
    home.Write("Olmar32.ini", "[Configuration]\nComName=" + pty.SlavePath() + "\nMajorVersion=22\n");
    RecordingUi ui;
    TStartup s(ui);
    ASSERT_TRUE(s.LoadConfiguration(home.Dir()));
    ASSERT_TRUE(s.OpenPort());
    EXPECT_TRUE(ui.errors.empty());
    ASSERT_NE(ComPort, nullptr);
    EXPECT_TRUE(ComPort->Opened);
    EXPECT_EQ(ComPort->BaudRate, 1200);
    s.Shutdown();
}

}  // namespace
