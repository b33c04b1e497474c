// The main window driven as a user would: login rights, the meter list gates, tabs,
// status bar, window commands, logout and closing.
#include "GuiTestSupport.h"

#include "link/ComPort.h"
#include "shell/AboutDlg.h"
#include "shell/Globals.h"
#include "shell/Icons.h"
#include "shell/JobContext.h"
#include "support/TempHome.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <memory>

using namespace guitest;

namespace {

TGateUser Supervisor() { return TGateUser::WithRights(1, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}); }
TGateUser GroupFour() { return TGateUser::WithRights(9, 4, {12}); }

// The commands of the meter list that need rows and a reading or statistics right.
const TAction kMeterJobs[] = {
    TAction::acTaskCounterFile, TAction::acSeance,         TAction::acInitSeance,     TAction::acGetPower,
    TAction::acGetMomentPower,  TAction::acGetOnlyPower,   TAction::acGetOnlyVoltage, TAction::acGetOnlyCurrent,
    TAction::acGetOnlyEnergy,   TAction::acGetOnlyEnergy_1, TAction::acGetEnergyByMin, TAction::acVector,
    TAction::acOffContactor,    TAction::acOnOptoPort,     TAction::acOffOptoPort,    TAction::acOnChannel1,
    TAction::acOffChannel1,     TAction::acOnChannel2,     TAction::acOffChannel2,    TAction::acRelaxContactor,
    TAction::acSetCard};

QStringList ActionNames(const QList<QAction*>& actions) {
    QStringList names;
    for (QAction* a : actions) names << (a->isSeparator() ? QStringLiteral("-") : a->menu() ? a->text() : a->objectName());
    return names;
}

}  // namespace

class MainFrmTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempHome> home_;
    std::unique_ptr<TMainFrm> main_;
    bool Enabled(TAction a) const { return main_->Action(a)->isEnabled(); }

private slots:
    void initTestCase() {
        home_ = std::make_unique<TempHome>();
        qputenv("OLMAR_HOME", QByteArray::fromStdString(home_->Dir()));
    }

    void init() {
        AdministratorMode = false;
        main_ = std::make_unique<TMainFrm>();
        main_->show();
        Idle();
    }

    void cleanup() {
        if (main_ && main_->LoggedIn()) main_->SetLoggedIn(false);
        main_.reset();
    }

    void actionsCarryTheirTableNamesCaptionsAndShortcuts() {
        QCOMPARE(main_->findChildren<QAction*>(QRegularExpression("^ac")).size(), qsizetype(kActionCount));
        for (const TActionInfo& row : ActionTable()) {
            auto* action = main_->findChild<QAction*>(QString::fromUtf8(row.Name.data(), row.Name.size()));
            QVERIFY2(action, row.Name.data());
            QCOMPARE(action->text(), QString::fromUtf8(row.Caption.data(), row.Caption.size()));
            QVERIFY2(!action->icon().isNull(), row.Name.data());
        }
        QCOMPARE(main_->Action(TAction::acBeginSeance)->toolTip(), QStringLiteral("Начало сеанса"));
        QCOMPARE(main_->Action(TAction::acBeginSeance)->statusTip(), QStringLiteral("Начало сеанса работы с программой"));
        QCOMPARE(main_->Action(TAction::acAddCounter)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Insert));
        QCOMPARE(main_->Action(TAction::acDeleteCounter)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
        QVERIFY(main_->Action(TAction::acEditCounter)->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Return)));
        QCOMPARE(main_->Action(TAction::acExit)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
        QCOMPARE(main_->Action(TAction::acEndSeance)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F2));
    }

    void menusAndBarsHoldTheirCommandsInOrder() {
        QStringList titles;
        for (QAction* a : main_->menuBar()->actions()) titles << a->text();
        QCOMPARE(titles, QStringList({"Сеанс", "Администрирование", "Счетчики", "Оптопорт (ЛОК)", "Установки", "Окна",
                                      "Справка"}));
        auto* seance = main_->findChild<QMenu*>("SeanceMenu");
        QVERIFY(seance);
        QCOMPARE(ActionNames(seance->actions()),
                 QStringList({"acBeginSeance", "acEndSeance", "-", "acExportToExcel", "acPrint", "-", "acExit"}));
        auto* counters = main_->findChild<QMenu*>("CountersMenu");
        QVERIFY(counters);
        const QStringList names = ActionNames(counters->actions());
        QCOMPARE(names.mid(15, 3), QStringList({"Измерения", "Контактор и каналы", "Оптопорт"}));
        QCOMPARE(names.last(), QStringLiteral("acExportToVetrel"));
        QCOMPARE(ActionNames(main_->findChild<QMenu*>("MeasurementsMenu")->actions()).size(), 9);
        QCOMPARE(ActionNames(main_->findChild<QMenu*>("HelpMenu")->actions()),
                 QStringList({"acHelp", "-", "acCheckUpdates", "-", "acAbout"}));
        auto* bar = main_->findChild<QToolBar*>("ToolBar");
        QVERIFY(bar);
        QCOMPARE(ActionNames(bar->actions()), QStringList({"acBeginSeance", "-", "acCounters", "-", "acSetup", "acExit"}));
        QCOMPARE(ActionNames(main_->CounterOperations()->actions()),
                 QStringList({"acAddCounter", "acEditCounter", "acDeleteCounter", "-", "acCounterParams", "acStat",
                              "acPower", "-", "acTaskCounterFile", "acSeance"}));
    }

    void beforeLoginOnlyTheSessionStartAndTheAlwaysOnCommandsWork() {
        QVERIFY(Enabled(TAction::acBeginSeance));
        for (TAction a : {TAction::acExit, TAction::acCascade, TAction::acAbout, TAction::acHelp, TAction::acSetCurrency,
                          TAction::acSetCorrectlyRange, TAction::acCheckUpdates})
            QVERIFY(Enabled(a));
        for (TAction a : {TAction::acEndSeance, TAction::acUsers, TAction::acCounters, TAction::acGetZNumber,
                          TAction::acGetCounterDateTime, TAction::acParametrization, TAction::acOnOptoPort})
            QVERIFY2(!Enabled(a), ActionInfo(a).Name.data());
    }

    void supervisorLoginEnablesUsersAndGroups() {
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        main_->SetSessionText(QStringLiteral("Сеанс открыт (Supervisor-Иванов И.И.)"));
        Idle();
        QVERIFY(main_->LoggedIn());
        QVERIFY(Enabled(TAction::acUsers));
        QVERIFY(Enabled(TAction::acUserGroups));
        QVERIFY(Enabled(TAction::acResetRegister));
        QVERIFY(Enabled(TAction::acVersions));
        QVERIFY(!Enabled(TAction::acFiles));  // the built-in administrator's only
        QVERIFY(!Enabled(TAction::acBeginSeance));
        QVERIFY(Enabled(TAction::acEndSeance));
        QVERIFY(Enabled(TAction::acCounters));

        // A tidy picture: the meter list with a few meters and a second window.
        auto* other = new FakeListFrm(main_.get(), QStringLiteral("Журнал пользователей"), TChildKind::Other, 3);
        other->SubWindow()->move(300, 160);
        auto* list = new FakeListFrm(main_.get(), QStringLiteral("Счетчики"), TChildKind::Counters, 4);
        list->SubWindow()->move(20, 20);
        list->BringToFront();
        main_->resize(1280, 800);
        Idle();
        QVERIFY(Enabled(TAction::acSeance));
        QVERIFY(Enabled(TAction::acAddCounter));
        Screenshot(main_.get(), QStringLiteral("main-after-login.png"));
    }

    void groupFourSeesMeterCommandsOnlyWhereRight12Allows() {
        main_->SetLoggedIn(true, GroupFour(), QStringLiteral("Петров"));
        Idle();
        QVERIFY(!Enabled(TAction::acUsers));
        QVERIFY(!Enabled(TAction::acUserGroups));
        QVERIFY(!Enabled(TAction::acVersions));
        QVERIFY(!Enabled(TAction::acDefaultParams));

        auto* list = new FakeListFrm(main_.get(), QStringLiteral("Счетчики"), TChildKind::Counters, 3);
        Idle();
        for (TAction a : kMeterJobs) QVERIFY2(Enabled(a), ActionInfo(a).Name.data());
        QVERIFY(Enabled(TAction::acManageChannels));
        for (TAction a : {TAction::acAddCounter, TAction::acEditCounter, TAction::acDeleteCounter,
                          TAction::acCounterRegister})
            QVERIFY2(!Enabled(a), ActionInfo(a).Name.data());
        QVERIFY(!list->copyEnabled);

        // Another window in front: the meter commands go off again.
        new FakeListFrm(main_.get(), QStringLiteral("Отчет"), TChildKind::Statistics, 2);
        Idle();
        for (TAction a : kMeterJobs) QVERIFY2(!Enabled(a), ActionInfo(a).Name.data());
        QVERIFY(Enabled(TAction::acExportToExcel));
        list->BringToFront();
        Idle();
        QVERIFY(Enabled(TAction::acSeance));
        QVERIFY(!Enabled(TAction::acExportToExcel));
    }

    void withoutAChildTheMeterCommandsStayOff() {
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        Idle();
        for (TAction a : kMeterJobs) QVERIFY2(!Enabled(a), ActionInfo(a).Name.data());
        for (TAction a : {TAction::acAddCounter, TAction::acGetZNumber, TAction::acGetCounterDateTime,
                          TAction::acStat, TAction::acWritePasswords})
            QVERIFY2(!Enabled(a), ActionInfo(a).Name.data());
        // Never disabled, logged in or not.
        QVERIFY(Enabled(TAction::acSetCurrency));
        QVERIFY(Enabled(TAction::acSetCorrectlyRange));
    }

    void anEmptyMeterListEnablesOnlyTheRowlessCommands() {
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        auto* list = new FakeListFrm(main_.get(), QStringLiteral("Счетчики"), TChildKind::Counters, 0);
        Idle();
        for (TAction a : kMeterJobs) QVERIFY2(!Enabled(a), ActionInfo(a).Name.data());
        QVERIFY(!Enabled(TAction::acEditCounter));
        QVERIFY(Enabled(TAction::acGetZNumber));
        QVERIFY(Enabled(TAction::acGetCounterDateTime));
        QVERIFY(Enabled(TAction::acAddCounter));
        // A meter added to the list enables them at the next idle cycle.
        list->Table()->setRowCount(1);
        Idle();
        QVERIFY(Enabled(TAction::acSeance));
        QVERIFY(Enabled(TAction::acEditCounter));
        QVERIFY(list->copyEnabled);
    }

    void statusPanelCountsTheWritersQueueWhileTheMeterListIsActive() {
        std::size_t pending = 7;
        main_->PendingRecords = [&] { return pending; };
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        main_->SetSessionText(QStringLiteral("Сеанс открыт (Supervisor-)"));
        auto* list = new FakeListFrm(main_.get(), QStringLiteral("Счетчики"), TChildKind::Counters, 2);
        Idle();
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Осталось несохраненных записей: 7"));
        QVERIFY(!Enabled(TAction::acStat));  // reports wait for the writer
        pending = 0;
        Idle(300);  // nothing else happens: the cycle's own timer moves the count
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Осталось несохраненных записей: 0"));
        QVERIFY(Enabled(TAction::acStat));
        new FakeListFrm(main_.get(), QStringLiteral("Отчет"), TChildKind::Statistics, 1);
        Idle();
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Сеанс открыт (Supervisor-)"));
        list->BringToFront();
        Idle();
        QVERIFY(main_->StatusPanel(1)->text().startsWith(QStringLiteral("Осталось")));
        main_->PendingRecords = nullptr;
    }

    void statusBarHasFourQuarterPanelsAndShowsHints() {
        for (int width : {1000, 700}) {
            main_->resize(width, 600);
            Idle();
            const int quarter = main_->statusBar()->width() / 4;
            QWidget* boxes[] = {main_->StatusPanel(0), main_->StatusPanel(1)->parentWidget(), main_->StatusPanel(2),
                                main_->StatusPanel(3)};
            for (QWidget* box : boxes) QVERIFY2(qAbs(box->width() - quarter) <= 8, qPrintable(QString::number(box->width())));
        }
        QVERIFY(!main_->StatusPanel(3)->text().isEmpty());
        main_->Action(TAction::acBeginSeance)->showStatusText(main_.get());
        QCOMPARE(main_->StatusPanel(0)->text(), QStringLiteral("Начало сеанса работы с программой"));
        main_->Action(TAction::acExit)->showStatusText(main_.get());
        QCOMPARE(main_->StatusPanel(0)->text(), QStringLiteral("Выход"));
    }

    void tabsShowEightCharactersAndTheFullTitleAsHint() {
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        struct Case {
            QString title, tab;
        } cases[] = {
            {QStringLiteral("Параметры"), QStringLiteral("Параметр...")},  // nine characters
            {QStringLiteral("Счетчики"), QStringLiteral("Счетчики")},      // eight stay whole
            {QStringLiteral("Журнал пользователя Supervisor"), QStringLiteral("Журнал п...")},
        };
        for (const Case& c : cases) {
            auto* form = new FakeListFrm(main_.get(), c.title, TChildKind::Other, 1);
            const int index = form->TabIndex();
            QVERIFY(index >= 0);
            QCOMPARE(main_->PageControl()->tabText(index), c.tab);
            QCOMPARE(main_->PageControl()->tabToolTip(index), c.title);
            QCOMPARE(form->SubWindow()->windowTitle(), c.title);
        }
        QCOMPARE(main_->PageControl()->count(), 3);
    }

    void tabsFollowTheActiveWindowAndOfferTheirMenu() {
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        auto* first = new FakeListFrm(main_.get(), QStringLiteral("Первое окно"), TChildKind::Other, 1);
        auto* second = new FakeListFrm(main_.get(), QStringLiteral("Второе окно"), TChildKind::Counters, 1);
        Idle();
        QCOMPARE(main_->ActiveChild(), second);
        QCOMPARE(main_->PageControl()->currentIndex(), second->TabIndex());

        // A click on a tab brings its window to the front.
        QTest::mouseClick(main_->PageControl(), Qt::LeftButton, {},
                          main_->PageControl()->tabRect(first->TabIndex()).center());
        Idle();
        QCOMPARE(main_->ActiveChild(), first);
        // Activating a window selects its tab.
        second->BringToFront();
        Idle();
        QCOMPARE(main_->PageControl()->currentIndex(), second->TabIndex());

        // The right button opens the window menu over the tab it was released on.
        QTest::mouseClick(main_->PageControl(), Qt::RightButton, {},
                          main_->PageControl()->tabRect(first->TabIndex()).center());
        Idle();
        QMenu* menu = main_->SysPopupMenu();
        QVERIFY(menu->isVisible());
        QCOMPARE(main_->ActiveChild(), first);
        QAction* restore = nullptr;
        QAction* minimize = nullptr;
        QAction* close = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->objectName() == "RestoreWinItem") restore = a;
            if (a->objectName() == "MinimizeWinItem") minimize = a;
            if (a->objectName() == "CloseWinItem") close = a;
        }
        QVERIFY(restore && minimize && close);
        QCOMPARE(restore->text(), QStringLiteral("&Восстановить"));
        QCOMPARE(close->text(), QStringLiteral("&Закрыть"));
        QVERIFY(!restore->isEnabled());  // a normal window has nothing to restore
        QVERIFY(minimize->isEnabled());
        QVERIFY(close->isEnabled());
        QCOMPARE(menu->defaultAction(), close);
        menu->hide();

        minimize->trigger();
        Idle();
        QVERIFY(first->SubWindow()->isMinimized());
        emit menu->aboutToShow();
        QVERIFY(restore->isEnabled());
        QVERIFY(!minimize->isEnabled());
        restore->trigger();
        Idle();
        QVERIFY(!first->SubWindow()->isMinimized());

        QPointer<FakeListFrm> gone(first);
        close->trigger();
        QVERIFY(gone.isNull());
        QCOMPARE(main_->PageControl()->count(), 1);
        QCOMPARE(main_->Children().size(), qsizetype(1));
    }

    void windowCommandsArrangeAndCloseTheChildren() {
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        main_->resize(1000, 700);
        auto* a = new FakeListFrm(main_.get(), QStringLiteral("Окно А"), TChildKind::Other, 1);
        auto* b = new FakeListFrm(main_.get(), QStringLiteral("Окно Б"), TChildKind::Other, 1);
        Idle();
        const QRect area = main_->MdiArea()->viewport()->rect();

        main_->Action(TAction::acTileHor)->trigger();
        QCOMPARE(a->SubWindow()->width(), area.width());
        QCOMPARE(b->SubWindow()->width(), area.width());
        QVERIFY(a->SubWindow()->y() != b->SubWindow()->y());

        main_->Action(TAction::acTileVert)->trigger();
        QCOMPARE(a->SubWindow()->height(), area.height());
        QVERIFY(a->SubWindow()->x() != b->SubWindow()->x());

        main_->Action(TAction::acCascade)->trigger();
        QVERIFY(a->SubWindow()->pos() != b->SubWindow()->pos());

        QVERIFY(main_->ActivateChild("guitest::FakeListFrm", QStringLiteral("Окно А")));
        QCOMPARE(main_->ActiveChild(), a);
        QVERIFY(!main_->ActivateChild("guitest::FakeListFrm", QStringLiteral("Окно В")));
        QVERIFY(main_->ActivateChild("guitest::FakeListFrm"));

        main_->Action(TAction::acCloseAll)->trigger();
        QVERIFY(main_->Children().isEmpty());
        QCOMPARE(main_->PageControl()->count(), 0);
    }

    void logoutClosesEveryWindowAndDisablesTheSessionCommands() {
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        new FakeListFrm(main_.get(), QStringLiteral("Счетчики"), TChildKind::Counters, 2);
        Idle();
        BoxWatcher boxes;
        boxes.Answer = [](const QString&) { return QMessageBox::Yes; };
        main_->Action(TAction::acEndSeance)->trigger();
        QCOMPARE(boxes.Texts(), QStringList({"Завершить сеанс пользователя : Supervisor?"}));
        QVERIFY(!main_->LoggedIn());
        QVERIFY(main_->Children().isEmpty());
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Сеанс закрыт"));
        QVERIFY(Enabled(TAction::acBeginSeance));
        for (TAction a : {TAction::acEndSeance, TAction::acUsers, TAction::acCounters, TAction::acSeance,
                          TAction::acGetZNumber, TAction::acSetup})
            QVERIFY2(!Enabled(a), ActionInfo(a).Name.data());
        QVERIFY(Enabled(TAction::acAbout));
    }

    void unsavedRecordsQuestionKeepsTheSessionOnYes() {
        main_->PendingRecords = [] { return std::size_t(3); };
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        BoxWatcher boxes;
        boxes.Answer = [](const QString&) { return QMessageBox::Yes; };
        main_->Action(TAction::acEndSeance)->trigger();
        QCOMPARE(boxes.Boxes.size(), qsizetype(1));
        QVERIFY(boxes.Boxes[0].Text.endsWith(QStringLiteral("Продолжить работу?")));
        QCOMPARE(boxes.Boxes[0].Title, QStringLiteral("Данные не сохранены"));
        QVERIFY(main_->LoggedIn());

        // No: the user gives up the unsaved records and is asked to end the session.
        boxes.Answer = [](const QString& text) {
            return text.endsWith(QStringLiteral("Продолжить работу?")) ? QMessageBox::No : QMessageBox::Yes;
        };
        main_->Action(TAction::acEndSeance)->trigger();
        QCOMPARE(boxes.Boxes.size(), qsizetype(3));
        QCOMPARE(boxes.Boxes[2].Title, QStringLiteral("Завершение сеанса"));
        QVERIFY(!main_->LoggedIn());
        main_->PendingRecords = nullptr;
    }

    void closingWhileLoggedInAsksToEndTheSessionFirst() {
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        BoxWatcher boxes;
        boxes.Answer = [](const QString&) { return QMessageBox::No; };
        main_->close();
        QCOMPARE(boxes.Texts(), QStringList({"Завершить сеанс пользователя : Supervisor?"}));
        QVERIFY(main_->isVisible());
        QVERIFY(main_->LoggedIn());

        boxes.Answer = [](const QString&) { return QMessageBox::Yes; };
        main_->Action(TAction::acExit)->trigger();
        QVERIFY(!main_->isVisible());
        QVERIFY(!main_->LoggedIn());
    }

    void keyboardShortcutsReachTheCommands() {
        AdministratorMode = true;  // F2 then logs in without a dialog
        main_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main_.get()));
        QTest::keyClick(main_.get(), Qt::Key_F2);
        QVERIFY(main_->LoggedIn());
        Idle();
        QVERIFY(Enabled(TAction::acFiles));
        QVERIFY(Enabled(TAction::acQuery));
        QVERIFY(Enabled(TAction::acResetRegister));
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Сеанс закрыт"));  // no status text for SYSDBA

        BoxWatcher boxes;
        boxes.Answer = [](const QString&) { return QMessageBox::Yes; };
        QTest::keyClick(main_.get(), Qt::Key_F2, Qt::ControlModifier);
        QCOMPARE(boxes.Texts(), QStringList({"Завершить сеанс пользователя : SYSDBA?"}));
        QVERIFY(!main_->LoggedIn());
        main_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main_.get()));
        QTest::keyClick(main_.get(), Qt::Key_X, Qt::AltModifier);
        QVERIFY(!main_->isVisible());
        AdministratorMode = false;
    }

    void aboutShowsTheNameAndVersion() {
        bool seen = false;
        QTimer::singleShot(50, this, [&] {
            auto* dlg = qobject_cast<TAboutDlg*>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            QCOMPARE(dlg->windowTitle(), QStringLiteral("О программе..."));
            QCOMPARE(dlg->findChild<QLabel*>("ProductName")->text(), QStringLiteral("Ольмар"));
            QCOMPARE(dlg->findChild<QLabel*>("Version")->text(), QStringLiteral("Версия: 2.22"));
            Screenshot(dlg, QStringLiteral("about.png"));
            seen = true;
            dlg->accept();
        });
        main_->Action(TAction::acAbout)->trigger();
        QVERIFY(seen);
    }

    void meterJobsRefuseWithoutAnOpenPort() {
        ComPort = nullptr;
        BoxWatcher boxes;
        bool ran = false;
        TMeterJob job;
        job.NeedsMeterList = false;
        job.Job = [&] { ran = true; return true; };
        QCOMPARE(main_->RunMeterJob(job), TJobOutcome::NotStarted);
        QCOMPARE(boxes.Texts(), QStringList({"Последовательный порт не открыт для работы!"}));
        QCOMPARE(boxes.Boxes[0].Icon, QMessageBox::Critical);
        QVERIFY(!ran);
    }
};

QTEST_MAIN(MainFrmTest)
#include "MainFrmTest.moc"
