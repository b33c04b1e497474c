// "&Сеанс..." run from the meter list against the meter simulator, as a user runs it:
// the task chosen in "Файл задания", the progress dialog showing the areas and the
// attempts as they pass, the outcome messages, Cancel, and the meter list's count of
// unsaved records running down to 0.
#include "MeterTestSupport.h"

#include "admin/CounterTaskDlg.h"
#include "link/ComPort.h"
#include "link/CounterSeance.h"
#include "sessions/Sessions.h"
#include "shell/Configuration.h"
#include "shell/FileProgressDlg.h"
#include "support/MeterSim.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <fstream>

using namespace guitest;

namespace {

constexpr int kVersion = 4;
constexpr int kMeterID = 5;

// What the progress dialog showed while the job ran, sampled as a user would see it.
struct ProgressLog {
    QStringList Steps;
    int MaxAttempt = 0;
    int MaxOverall = 0;
    bool Screenshot = false;
    QStringList Panels;  // status panel 1 of the main window
};

}  // namespace

class SessionRunTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MeterHome> home_;
    std::unique_ptr<TConfiguration> config_;
    std::unique_ptr<MeterSim> sim_;
    std::unique_ptr<TComPort> port_;
    std::unique_ptr<TMainFrm> main_;

    void StartMeter(std::vector<std::string> extra) {
        // The service area the dictionary does not give the simulator: year base 2000.
        const std::string state = home_->home.File("meter.state");
        std::ofstream(state) << "version 4\narea 10 02D000050000" << "\n";
        std::vector<std::string> args = {"--version", std::to_string(kVersion), "--state", state, "--area", "10:8"};
        args.insert(args.end(), extra.begin(), extra.end());
        sim_ = std::make_unique<MeterSim>(args);
        port_ = std::make_unique<TComPort>(sim_->Port(), 1024, 1024);
        QVERIFY(port_->Opened);
        QVERIFY(!port_->Configure(115200, 8, TComPort::Parity::None, TComPort::StopBits::One));
        ComPort = port_.get();
        CounterSeance->Port = port_.get();
    }

    TCountersFrm* OpenListAtMeter() {
        main_->Action(TAction::acCounters)->trigger();
        Idle();
        TCountersFrm* list = main_->ActiveCountersFrm();
        if (list) list->LocateCounter(kMeterID);
        Idle();
        return list;
    }

    // Samples the progress dialog every 20 ms while `log` lives.
    void WatchProgress(ProgressLog& log, QTimer& timer, const QString& screenshot = QString()) {
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, this, [this, &log, screenshot] {
            log.Panels << main_->StatusPanel(1)->text();
            auto* dlg = OpenDialog<TFileProgressDlg>();
            if (!dlg) return;
            const QString step = dlg->ShowLabel()->text();
            if (!step.isEmpty() && (log.Steps.isEmpty() || log.Steps.last() != step)) log.Steps << step;
            log.MaxAttempt = std::max(log.MaxAttempt, dlg->ProgressBar()->value());
            log.MaxOverall = std::max(log.MaxOverall, dlg->CommonProgressBar()->value());
            if (!screenshot.isEmpty() && !log.Screenshot && step.startsWith(QStringLiteral("Чтение"))) {
                log.Screenshot = true;
                Screenshot(dlg, screenshot);
            }
        });
        timer.start();
    }

private slots:
    void init() {
        home_ = std::make_unique<MeterHome>();
        config_ = std::make_unique<TConfiguration>(home_->home.File("Olmar32.ini"));
        config_->Delay = 400;
        config_->SetTime = false;
        Configuration = config_.get();
        CounterSeance = new TCounterSeance(0, "", 0);
        InstallSessionHooks(*CounterSeance);
        home_->AddMeter(kMeterID, "ТП-14, ввод 1", kVersion, 12345678);
        main_ = std::make_unique<TMainFrm>();
        main_->show();
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        Idle();
    }

    void cleanup() {
        if (main_) main_->SetLoggedIn(false);
        main_.reset();
        ComPort = nullptr;
        if (CounterSeance) CounterSeance->Port = nullptr;
        port_.reset();
        sim_.reset();
        delete CounterSeance;
        CounterSeance = nullptr;
        Configuration = nullptr;
        config_.reset();
        home_.reset();
        UserCancelled = false;
    }

    void taskDialogThenAGoodSessionCountsTheUnsavedRecordsDownToZero() {
        // One area read goes unanswered: the dialog shows the second attempt.
        StartMeter({"--reply-delay", "40", "--fault", "lost@2/6"});
        TCountersFrm* list = OpenListAtMeter();
        QVERIFY(list);

        // The task: every read area that is neither the load-profile ring nor long.
        bool writeVisible = false;
        int readLines = 0;
        WhenOpen<TCounterTaskDlg>([&](TCounterTaskDlg* dlg) {
            writeVisible = dlg->PageControl()->isTabVisible(1);
            QTreeWidget* read = dlg->ReadList();
            readLines = read->topLevelItemCount();
            for (int i = 0; i < read->topLevelItemCount(); ++i) {
                const TTaskFile& line = dlg->Lines().Read[static_cast<std::size_t>(i)];
                read->topLevelItem(i)->setSelected(line.StatReset != 2 && line.RecordCount <= 100);
            }
            read->setFocus();
            QTest::keyClick(read, Qt::Key_Left);  // ← includes the selection
            Screenshot(dlg, QStringLiteral("task-dialog.png"));
            QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
        });
        main_->Action(TAction::acTaskCounterFile)->trigger();
        QVERIFY(writeVisible);
        QVERIFY(readLines > 0);
        const long long included =
            home_->Count("SELECT COUNT(*) FROM TaskCounter WHERE CounterID = 5 AND Readed = '1'");
        QVERIFY(included > 0);

        BoxWatcher boxes;
        ProgressLog log;
        QTimer sampler;
        WatchProgress(log, sampler, QStringLiteral("progress-session.png"));
        main_->Action(TAction::acSeance)->trigger();
        sampler.stop();
        QCOMPARE(boxes.Texts(), QStringList({"Сеанс прошел успешно!"}));
        QCOMPARE(boxes.Boxes[0].Icon, QMessageBox::Information);
        // The areas passed by name, each read with its attempt shown.
        QVERIFY2(log.Steps.filter(QStringLiteral("Чтение")).size() >= 2, qPrintable(log.Steps.join(" | ")));
        QVERIFY2(!log.Steps.filter(QStringLiteral("(Попытка 2)")).isEmpty(), qPrintable(log.Steps.join(" | ")));
        QVERIFY(log.MaxAttempt >= 1);
        QVERIFY(log.MaxOverall >= 2);
        QVERIFY(log.Screenshot);
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM CounterPrograms WHERE CounterID = 5 AND Readed = '1'"), included);

        // The read values reach the table; the meter list says so.
        QTRY_COMPARE_WITH_TIMEOUT(main_->StatusPanel(1)->text(), QStringLiteral("Осталось несохраненных записей: 0"),
                                  20000);
        QVERIFY(home_->Count("SELECT COUNT(*) FROM " + ValueTableName(kMeterID)) > 0);
        // Whatever the panel showed while the values were queued, it never went up after the job.
        int last = -1;
        for (const QString& p : log.Panels) {
            if (!p.startsWith(QStringLiteral("Осталось несохраненных записей: "))) continue;
            last = p.section(QLatin1Char(' '), -1).toInt();
        }
        QVERIFY(last >= 0);
    }

    void cancelEndsTheSessionWithItsOwnMessageOnly() {
        // The meter stays silent and the job waits long for it, so the cancel always
        // lands during a wait, however slow the machine is.
        StartMeter({"--fault", "deaf"});
        config_->Delay = 30000;
        TCountersFrm* list = OpenListAtMeter();
        QVERIFY(list);
        home_->Db().Execute("INSERT INTO TaskCounter (CounterID, FileID, Readed) SELECT 5, Files.FileID, '1' FROM Files, "
                            "FileAccepts WHERE FileAccepts.VersionID = 4 AND FileAccepts.FileID = Files.FileID AND "
                            "Files.FileIndex = '0'");
        BoxWatcher boxes;
        QString stepAtCancel;
        WhenOpen<TFileProgressDlg>([&](TFileProgressDlg* dlg) {
            // Never block here: the job runs inside the event loop that calls us. Poll
            // until the job waits for the meter's answer to the session opening, then
            // click once, as a user would.
            auto* poll = new QTimer(dlg);
            poll->setInterval(20);
            QObject::connect(poll, &QTimer::timeout, dlg, [&stepAtCancel, dlg, poll] {
                if (!dlg->ShowLabel()->text().startsWith(QStringLiteral("Установление сеанса связи"))) return;
                poll->stop();
                stepAtCancel = dlg->ShowLabel()->text();
                QTest::mouseClick(dlg->CancelBtn(), Qt::LeftButton);
            });
            poll->start();
        });
        QElapsedTimer clock;
        clock.start();
        main_->Action(TAction::acSeance)->trigger();
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!stepAtCancel.isEmpty());
        QVERIFY2(boxes.Texts() == QStringList({"Сеанс был прерван пользователем!"}),
                 qPrintable(boxes.Texts().join(" | ")));
        QCOMPARE(boxes.Boxes[0].Icon, QMessageBox::Information);
        QVERIFY(!OpenDialog<TFileProgressDlg>());
    }

    void meterCommandsNeedAnOpenPortAndASupportedVersion() {
        // No port: refused before any dialog.
        TCountersFrm* list = OpenListAtMeter();
        QVERIFY(list);
        BoxWatcher boxes;
        main_->Action(TAction::acSeance)->trigger();
        QCOMPARE(boxes.Texts(), QStringList({"Последовательный порт не открыт для работы!"}));
        boxes.Boxes.clear();
        StartMeter({});
        // Version 4 has no currency command.
        main_->Action(TAction::acSetCurrency)->trigger();
        QCOMPARE(boxes.Texts(), QStringList({"Команда данной версией счетчика не поддерживается!"}));
        boxes.Boxes.clear();
        // The clock of the simulated meter.
        main_->Action(TAction::acGetCounterDateTime)->trigger();
        QCOMPARE(boxes.Texts().size(), qsizetype(1));
        QVERIFY2(boxes.Texts()[0].startsWith(QStringLiteral("Дата и время счетчика: ")), qPrintable(boxes.Texts()[0]));
    }
};

QTEST_MAIN(SessionRunTest)
#include "SessionRunTest.moc"
