#include "shell/GuiStartup.h"

#include "shell/Icons.h"
#include "shell/MainFrm.h"
#include "shell/ProgramHome.h"
#include "shell/SplashScreenFrm.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <memory>

void TGuiStartupUi::ShowStep(const std::string& text) {
    if (splash_) splash_->ShowStep(QString::fromStdString(text));
}

void TGuiStartupUi::ShowMessage(const std::string& text) {
    QMessageBox::information(nullptr, QApplication::applicationDisplayName(), QString::fromStdString(text));
}

bool TGuiStartupUi::AskIgnore(const std::string& text) {
    const auto answer = QMessageBox::critical(nullptr, QApplication::applicationDisplayName(),
                                              QString::fromStdString(text), QMessageBox::Ok | QMessageBox::Ignore,
                                              QMessageBox::Ok);
    return answer == QMessageBox::Ignore;
}

void TGuiStartupUi::ShowFatal(const std::string& text) {
    QMessageBox::critical(nullptr, QStringLiteral("Ольмар"), QString::fromStdString(text));
}

int RunOlmar(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

    TGuiStartupUi ui(nullptr);
    TStartup startup(ui);
    startup.EvaluateCommandLine(args);                        // 1
    QApplication app(argc, argv);                             // 2
    auto splash = std::make_unique<TSplashScreenFrm>();       // 3
    splash->setWindowTitle(QStringLiteral("Ольмар"));
    splash->show();
    splash->repaint();
    ui.SetSplash(splash.get());
    ui.ShowStep("Инициализация программы...");
    QApplication::setApplicationDisplayName(QStringLiteral("Ольмар"));  // 4
    QApplication::setWindowIcon(ProgramIcon());
    int rc = 0;
    try {
        if (!startup.LoadConfiguration(ProgramHome())) return 1;  // 5-7
        if (!startup.OpenPort()) return 0;                         // 8-10: OK ends the program
        if (!startup.OpenDatabase()) { startup.Shutdown(); return 1; }  // 11
        if (!startup.CreateSessions()) { startup.Shutdown(); return 1; }  // 12
        ui.ShowStep("Загрузка программы...");                    // 13
        auto main = std::make_unique<TMainFrm>();
        ui.SetSplash(nullptr);
        splash.reset();                                           // 14
        main->showMaximized();
        rc = app.exec();                                          // 15
        startup.Shutdown();
    } catch (const std::exception& e) {
        // An unexpected failure must not vanish: say what it was, then end.
        ui.SetSplash(nullptr);
        splash.reset();
        ui.ShowFatal(std::string("Непредвиденная ошибка при запуске программы: ") + e.what());
        startup.Shutdown();
        return 1;
    }
    return rc;
}
