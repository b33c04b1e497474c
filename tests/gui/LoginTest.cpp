// Logging in and out as a user would: the login dialog's two forms and its folder
// browser, refusals that keep the dialog open, the rights a session brings, the
// journal row, the background writer and closing the main window.
#include "AdminTestSupport.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QToolButton>

using namespace guitest;
using namespace admintest;

namespace {

// Meter commands that need a row of the meter list and right 8, 10 or 12.
const TAction kReadingCommands[] = {
    TAction::acTaskCounterFile, TAction::acSeance,          TAction::acInitSeance,     TAction::acGetPower,
    TAction::acGetMomentPower,  TAction::acGetOnlyPower,    TAction::acGetOnlyVoltage, TAction::acGetOnlyCurrent,
    TAction::acGetOnlyEnergy,   TAction::acGetOnlyEnergy_1, TAction::acGetEnergyByMin, TAction::acVector,
    TAction::acOffContactor,    TAction::acOnOptoPort,      TAction::acOffOptoPort,    TAction::acOnChannel1,
    TAction::acOffChannel1,     TAction::acOnChannel2,      TAction::acOffChannel2,    TAction::acRelaxContactor,
    TAction::acSetCard,         TAction::acManageChannels};
// Commands that need right 8 (changing meters).
const TAction kChangingCommands[] = {TAction::acAddCounter, TAction::acEditCounter, TAction::acDeleteCounter,
                                     TAction::acCounterRegister, TAction::acDefaultParams};

const char* kJournalRows = "SELECT COUNT(*) FROM UserRegister WHERE UserID = :ID";
const char* kOpenJournalRows = "SELECT COUNT(*) FROM UserRegister WHERE UserID = :ID AND EndTime IS NULL";

}  // namespace

class LoginTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AdminHome> home_;
    std::unique_ptr<TMainFrm> main_;
    bool Enabled(TAction a) const { return main_->Action(a)->isEnabled(); }

private slots:
    void init() {
        home_ = std::make_unique<AdminHome>();
        main_ = std::make_unique<TMainFrm>();
        main_->show();
        Idle();
    }

    void cleanup() {
        if (main_) LogOut(main_.get());
        main_.reset();
        home_.reset();
    }

    void supervisorLoginEnablesAdministrationAndJournalsTheSession() {
        home_->config->LastUser = "Supervisor";
        bool okBeforePassword = true, okWithPassword = false;
        QString nameShown;
        OnDialog<TRegAdminDlg> dialog([&](TRegAdminDlg* dlg) {
            QCOMPARE(dlg->windowTitle(), QStringLiteral("Вход в систему"));
            nameShown = dlg->NameEdit()->text();
            okBeforePassword = dlg->OkBtn()->isEnabled();
            QTest::keyClicks(dlg->PaswEdit(), kSupervisorPassword);
            okWithPassword = dlg->OkBtn()->isEnabled();
            QTest::keyClick(dlg->PaswEdit(), Qt::Key_Return);  // OK is the default button
            if (dlg->isVisible()) dlg->reject();
        });
        main_->Action(TAction::acBeginSeance)->trigger();
        QVERIFY(dialog.Seen());
        QCOMPARE(nameShown, kSupervisor);
        QVERIFY(!okBeforePassword);
        QVERIFY(okWithPassword);

        QVERIFY(main_->LoggedIn());
        QVERIFY(User->IsSeanceOpen);
        QVERIFY(Enabled(TAction::acUsers));
        QVERIFY(Enabled(TAction::acUserGroups));
        QVERIFY(Enabled(TAction::acResetRegister));
        QVERIFY(Enabled(TAction::acVersions));
        QVERIFY(!Enabled(TAction::acFiles));  // the built-in administrator's only
        QVERIFY(!Enabled(TAction::acBeginSeance));
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Сеанс открыт (Supervisor-)"));
        QCOMPARE(home_->Count(kJournalRows, 1), 1LL);
        QCOMPARE(home_->Count(kOpenJournalRows, 1), 1LL);
        QVERIFY(WriteThread != nullptr);
        // The writer's reports reach the window without disturbing the session text.
        Idle(100);
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Сеанс открыт (Supervisor-)"));
        QCOMPARE(TConfiguration(home_->home.File("Olmar32.ini")).LastUser, std::string("Supervisor"));

        BoxWatcher boxes;
        boxes.Answer = [](const QString&) { return QMessageBox::Yes; };
        main_->Action(TAction::acEndSeance)->trigger();
        QCOMPARE(boxes.Texts(), QStringList({"Завершить сеанс пользователя : Supervisor?"}));
        QCOMPARE(boxes.Boxes[0].Title, QStringLiteral("Завершение сеанса"));
        QVERIFY(!main_->LoggedIn());
        QVERIFY(!User->IsSeanceOpen);
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Сеанс закрыт"));
        QCOMPARE(home_->Count(kJournalRows, 1), 1LL);
        QCOMPARE(home_->Count(kOpenJournalRows, 1), 0LL);  // EndTime is filled
        QVERIFY(WriteThread == nullptr);
    }

    void wrongPasswordKeepsTheDialogOpenWithTheRefusal() {
        BoxWatcher boxes;
        bool stillOpen = false, focusOnName = false, nameSelected = false;
        OnDialog<TRegAdminDlg> dialog([&](TRegAdminDlg* dlg) {
            dlg->ExtBtn()->click();
            dlg->NetworkFolderEdit()->setText(QStringLiteral("/srv/olmar/"));
            QTest::keyClicks(dlg->NameEdit(), kSupervisor);
            QTest::keyClicks(dlg->PaswEdit(), QStringLiteral("piquantowl73620"));  // the case counts
            QTest::mouseClick(dlg->OkBtn(), Qt::LeftButton);
            stillOpen = dlg->isVisible();
            focusOnName = dlg->focusWidget() == dlg->NameEdit();
            nameSelected = dlg->NameEdit()->selectedText() == kSupervisor;
            QTest::mouseClick(dlg->CancelBtn(), Qt::LeftButton);
        });
        main_->Action(TAction::acBeginSeance)->trigger();
        QVERIFY(dialog.Seen());
        QVERIFY(stillOpen);
        QVERIFY(focusOnName);
        QVERIFY(nameSelected);
        QCOMPARE(boxes.Texts(), QStringList({"Неверно введены имя администратора и пароль!"}));
        QCOMPARE(boxes.Boxes[0].Icon, QMessageBox::Critical);
        QVERIFY(!main_->LoggedIn());
        QVERIFY(!User->IsSeanceOpen);
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM UserRegister"), 0LL);
        QVERIFY(WriteThread == nullptr);
        // Only the folder was stored, before the check; the last user stays as it was.
        const TConfiguration saved(home_->home.File("Olmar32.ini"));
        QCOMPARE(saved.NetworkFolder, std::string("/srv/olmar/"));
        QCOMPARE(saved.LastUser, std::string());
    }

    void aSessionThatCannotBeOpenedLeavesTheWindowLoggedOut() {
        // The journal refuses its row: the dialog says so and stays open.
        home_->Db().Execute("DROP TABLE UserRegister");
        BoxWatcher boxes;
        bool stillOpen = false;
        OnDialog<TRegAdminDlg> dialog([&](TRegAdminDlg* dlg) {
            dlg->NameEdit()->setText(kSupervisor);
            dlg->PaswEdit()->setText(kSupervisorPassword);
            QTest::mouseClick(dlg->OkBtn(), Qt::LeftButton);
            stillOpen = dlg->isVisible();
            dlg->reject();
        });
        main_->Action(TAction::acBeginSeance)->trigger();
        QVERIFY(dialog.Seen());
        QVERIFY(stillOpen);
        QCOMPARE(boxes.Boxes.size(), qsizetype(1));
        QVERIFY(boxes.Boxes[0].Text.startsWith(QStringLiteral("Не удалось открыть сеанс пользователя")));
        QVERIFY(!main_->LoggedIn());
        QVERIFY(!User->IsSeanceOpen);
        QVERIFY(User->UserName.empty());
        QVERIFY(Enabled(TAction::acBeginSeance));
        QVERIFY(!Enabled(TAction::acUsers));
        QVERIFY(WriteThread == nullptr);
    }

    void dialogFormsAndTheFolderBrowser() {
        home_->config->NetworkFolder = "/mnt/share/";
        OnDialog<TRegAdminDlg> dialog([&](TRegAdminDlg* dlg) {
            QVERIFY(dlg->windowFlags() & Qt::CustomizeWindowHint);
            QVERIFY(!(dlg->windowFlags() & Qt::WindowCloseButtonHint));
            QVERIFY(!dlg->IsExpanded());
            QVERIFY(!dlg->NetworkFolderEdit()->isVisible());
            QCOMPARE(dlg->ExtBtn()->text(), QStringLiteral("&>> Дополнительно"));
            QCOMPARE(dlg->NetworkFolderEdit()->text(), QStringLiteral("/mnt/share/"));
            QCOMPARE(dlg->NameEdit()->maxLength(), 50);
            QCOMPARE(dlg->PaswEdit()->maxLength(), 15);
            QCOMPARE(dlg->PaswEdit()->echoMode(), QLineEdit::Password);
            QVERIFY(dlg->OkBtn()->isDefault());
            dlg->NameEdit()->setText(kSupervisor);
            dlg->PaswEdit()->setText(QStringLiteral("*****"));
            Idle();
            const int collapsed = dlg->height();
            Screenshot(dlg, QStringLiteral("login-collapsed.png"));

            // Alt+> is the button's key; the click is what a user does most.
            QTest::mouseClick(dlg->ExtBtn(), Qt::LeftButton);
            Idle();
            QVERIFY(dlg->IsExpanded());
            QVERIFY(dlg->NetworkFolderEdit()->isVisible());
            QCOMPARE(dlg->ExtBtn()->text(), QStringLiteral("&<< Дополнительно"));
            QVERIFY(dlg->height() > collapsed);
            Screenshot(dlg, QStringLiteral("login-expanded.png"));
            // Tab order: name, password, OK, Cancel, the button, folder, browse.
            QCOMPARE(NextTabStop(dlg->NameEdit()), static_cast<QWidget*>(dlg->PaswEdit()));
            QCOMPARE(NextTabStop(dlg->PaswEdit()), static_cast<QWidget*>(dlg->OkBtn()));
            QCOMPARE(NextTabStop(dlg->OkBtn()), static_cast<QWidget*>(dlg->CancelBtn()));
            QCOMPARE(NextTabStop(dlg->CancelBtn()), static_cast<QWidget*>(dlg->ExtBtn()));
            QCOMPARE(NextTabStop(dlg->ExtBtn()), static_cast<QWidget*>(dlg->NetworkFolderEdit()));
            QCOMPARE(NextTabStop(dlg->NetworkFolderEdit()), static_cast<QWidget*>(dlg->SpeedButton1()));

            // The browser cancelled: the field keeps its text.
            QString browserTitle;
            {
                OnDialog<QFileDialog> browser([&](QFileDialog* b) {
                    browserTitle = b->windowTitle();
                    b->reject();
                });
                dlg->SpeedButton1()->click();
                QVERIFY(browser.Seen());
            }
            QCOMPARE(browserTitle, QStringLiteral("Выберите директорию"));
            QCOMPARE(dlg->NetworkFolderEdit()->text(), QStringLiteral("/mnt/share/"));

            // A folder chosen: its path with a trailing separator.
            const QString chosen = QString::fromStdString(home_->home.Dir()) + QStringLiteral("Database");
            {
                OnDialog<QFileDialog> browser([&](QFileDialog* b) {
                    QVERIFY(b->testOption(QFileDialog::ShowDirsOnly));
                    b->setDirectory(QString::fromStdString(home_->home.Dir()));
                    b->selectFile(chosen);
                    static_cast<QDialog*>(b)->accept();  // as the dialog's own button does
                });
                dlg->SpeedButton1()->click();
                QVERIFY(browser.Seen());
            }
            QCOMPARE(dlg->NetworkFolderEdit()->text(), chosen + QLatin1Char('/'));

            QTest::mouseClick(dlg->ExtBtn(), Qt::LeftButton);
            Idle();
            QVERIFY(!dlg->IsExpanded());
            QCOMPARE(dlg->height(), collapsed);
            dlg->reject();
        });
        main_->Action(TAction::acBeginSeance)->trigger();
        QVERIFY(dialog.Seen());
        QVERIFY(!main_->LoggedIn());
        QCOMPARE(home_->config->LastUser, std::string());  // cancelled: nothing changes
    }

    void administratorModeNeedsNoDialogAndLeavesNoJournalRow() {
        AdministratorMode = true;
        home_->config->LastUser = "Someone";
        OnDialog<TRegAdminDlg> dialog([](TRegAdminDlg* dlg) { dlg->reject(); });
        main_->Action(TAction::acBeginSeance)->trigger();
        QVERIFY(!dialog.Seen());
        QVERIFY(main_->LoggedIn());
        QCOMPARE(User->UserName, std::string("SYSDBA"));
        for (int right = 1; right <= 12; ++right) QVERIFY(User->HasAccess(right));
        QVERIFY(Enabled(TAction::acFiles));
        QVERIFY(Enabled(TAction::acQuery));
        QVERIFY(Enabled(TAction::acResetRegister));
        QVERIFY(WriteThread != nullptr);
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM UserRegister"), 0LL);
        QCOMPARE(home_->config->LastUser, std::string("Someone"));
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Сеанс закрыт"));
        LogOut(main_.get());
        QVERIFY(!main_->LoggedIn());
        QVERIFY(WriteThread == nullptr);
    }

    void aUserOfGroupFourReadsMetersButChangesNothing() {
        home_->AddTableUser("Petrov", "reader1", 4);
        QVERIFY(LogIn(main_.get(), QStringLiteral("Petrov"), QStringLiteral("reader1")));
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Сеанс открыт (Petrov-Тестовый)"));
        for (int right = 1; right <= 12; ++right) QCOMPARE(User->HasAccess(right), right == 12);
        QVERIFY(!Enabled(TAction::acUsers));
        QVERIFY(!Enabled(TAction::acUserGroups));
        QVERIFY(!Enabled(TAction::acResetRegister));
        QVERIFY(!Enabled(TAction::acVersions));
        QVERIFY(Enabled(TAction::acCounters));

        new FakeListFrm(main_.get(), QStringLiteral("Счетчики"), TChildKind::Counters, 3);
        Idle();
        for (TAction a : kReadingCommands) QVERIFY2(Enabled(a), ActionInfo(a).Name.data());
        for (TAction a : kChangingCommands) QVERIFY2(!Enabled(a), ActionInfo(a).Name.data());
        QVERIFY(Enabled(TAction::acGetZNumber));
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Осталось несохраненных записей: 0"));

        // A window of another kind in front: the meter commands go off.
        new FakeListFrm(main_.get(), QStringLiteral("Другое"), TChildKind::Other, 1);
        Idle();
        for (TAction a : kReadingCommands) QVERIFY2(!Enabled(a), ActionInfo(a).Name.data());
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Сеанс открыт (Petrov-Тестовый)"));
    }

    void closingTheMainWindowEndsTheSessionFirst() {
        QVERIFY(LogIn(main_.get(), kSupervisor, kSupervisorPassword));
        BoxWatcher boxes;
        boxes.Answer = [](const QString&) { return QMessageBox::No; };
        main_->close();
        QCOMPARE(boxes.Texts(), QStringList({"Завершить сеанс пользователя : Supervisor?"}));
        QVERIFY(main_->isVisible());
        QVERIFY(main_->LoggedIn());
        QVERIFY(User->IsSeanceOpen);
        QVERIFY(WriteThread != nullptr);

        boxes.Answer = [](const QString&) { return QMessageBox::Yes; };
        main_->Action(TAction::acExit)->trigger();
        QVERIFY(!main_->isVisible());
        QVERIFY(!main_->LoggedIn());
        QCOMPARE(home_->Count(kOpenJournalRows, 1), 0LL);
        QVERIFY(WriteThread == nullptr);
    }

    void unsavedRecordsKeepTheSessionOnYesAndAreDroppedOnNo() {
        QVERIFY(LogIn(main_.get(), kSupervisor, kSupervisorPassword));
        main_->PendingRecords = [] { return std::size_t(7); };
        BoxWatcher boxes;
        boxes.Answer = [](const QString&) { return QMessageBox::Yes; };
        main_->Action(TAction::acEndSeance)->trigger();
        QCOMPARE(boxes.Boxes.size(), qsizetype(1));
        QCOMPARE(boxes.Boxes[0].Title, QStringLiteral("Данные не сохранены"));
        QCOMPARE(boxes.Boxes[0].Icon, QMessageBox::Warning);
        QVERIFY(main_->LoggedIn());
        QVERIFY(User->IsSeanceOpen);
        QVERIFY(WriteThread != nullptr);

        boxes.Answer = [](const QString& text) {
            return text.endsWith(QStringLiteral("Продолжить работу?")) ? QMessageBox::No : QMessageBox::Yes;
        };
        main_->Action(TAction::acEndSeance)->trigger();
        QCOMPARE(boxes.Boxes.size(), qsizetype(3));
        QVERIFY(!main_->LoggedIn());
        QVERIFY(!User->IsSeanceOpen);
        QVERIFY(WriteThread == nullptr);
    }
};

QTEST_MAIN(LoginTest)
#include "LoginTest.moc"
