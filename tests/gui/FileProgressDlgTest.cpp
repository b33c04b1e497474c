// The job progress dialog driven as a user would: a job waiting on a real serial
// line (a pseudo-terminal) is cancelled with "Отмена", failing and throwing jobs
// report once, a dialog without a job waits for the user.
#include "GuiTestSupport.h"

#include "link/ComPort.h"
#include "shell/FileProgressDlg.h"
#include "shell/JobContext.h"
#include "support/Pty.h"
#include "support/TempHome.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace guitest;

namespace {

TFileProgressDlg* OpenProgressDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dlg = qobject_cast<TFileProgressDlg*>(w); dlg && dlg->isVisible()) return dlg;
    return nullptr;
}

// Waits up to 30 s for one byte on the port, as an exchange waits for a reply.
// Like the links: a cancel ends the wait; `failOnCancel` plays a cancel that arrives
// inside an exchange, which returns false.
bool WaitForMeter(TComPort& port, bool failOnCancel) {
    CurrentJob().SetStepText("Получение заводского номера (попытка 2)");
    CurrentJob().SetAttempt(2);
    CurrentJob().SetOverall(3, 8);
    std::uint8_t byte = 0;
    if (!port.ReadByte(30000, byte)) return true;
    if (UserCancelled) return !failOnCancel;
    port.ErrorText = "Таймаут операции";
    return false;
}

}  // namespace

class FileProgressDlgTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempHome> home_;
    std::unique_ptr<PtyPair> pty_;
    std::unique_ptr<TComPort> port_;
    std::unique_ptr<TMainFrm> main_;

    TMeterJob FactoryNumberJob(std::function<bool()> job) {
        TMeterJob j;
        j.NeedsMeterList = false;
        j.Job = std::move(job);
        j.SuccessText = [] { return QStringLiteral("Номер получен : 1204500!"); };
        j.FailureText = [this] { return TMainFrm::JobErrorText(port_->ErrorText); };
        return j;
    }

private slots:
    void initTestCase() {
        home_ = std::make_unique<TempHome>();
        qputenv("OLMAR_HOME", QByteArray::fromStdString(home_->Dir()));
    }

    void init() {
        pty_ = std::make_unique<PtyPair>();
        port_ = std::make_unique<TComPort>(pty_->SlavePath(), 1024, 1024);
        QCOMPARE(port_->ErrorCode, 0);
        ComPort = port_.get();
        main_ = std::make_unique<TMainFrm>();
        main_->show();
        Idle();
    }

    void cleanup() {
        main_.reset();
        ComPort = nullptr;
        port_.reset();
        pty_.reset();
    }

    void cancelEndsAJobWaitingForTheMeter_data() {
        QTest::addColumn<bool>("byEscape");
        QTest::addColumn<bool>("failOnCancel");
        QTest::newRow("Отмена, the job returns true") << false << false;
        QTest::newRow("Отмена, the exchange returns false") << false << true;
        QTest::newRow("Escape key") << true << false;
    }

    void cancelEndsAJobWaitingForTheMeter() {
        QFETCH(bool, byEscape);
        QFETCH(bool, failOnCancel);
        BoxWatcher boxes;
        QString step;
        int attempt = -1;
        int frameBefore = -1;
        int frameAfter = -1;
        bool visibleAfterEscape = false;
        // Act once the job waits for the meter, however long a loaded machine takes to get there.
        QTimer poll;
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, this, [&] {
            TFileProgressDlg* dlg = OpenProgressDialog();
            if (!dlg || !dlg->JobRunning() || dlg->ProgressBar()->value() < 2) return;
            poll.stop();
            step = dlg->ShowLabel()->text();
            attempt = dlg->ProgressBar()->value();
            frameBefore = dlg->AnimationFrame();
            QTest::qWait(200);  // the window keeps breathing while the job waits
            frameAfter = dlg->AnimationFrame();
            if (!byEscape) Screenshot(dlg, QStringLiteral("progress-during-job.png"));
            if (byEscape) {
                QTest::keyClick(dlg, Qt::Key_Escape);
                visibleAfterEscape = dlg->isVisible();
            } else {
                QTest::mouseClick(dlg->CancelBtn(), Qt::LeftButton);
            }
        });
        poll.start();
        QElapsedTimer clock;
        clock.start();
        const TJobOutcome outcome = main_->RunMeterJob(FactoryNumberJob([&] { return WaitForMeter(*port_, failOnCancel); }));
        // Well before the 30 s the job would otherwise wait.
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(outcome, TJobOutcome::Cancelled);
        QCOMPARE(boxes.Texts(), QStringList({"Сеанс был прерван пользователем!"}));
        QCOMPARE(boxes.Boxes[0].Icon, QMessageBox::Information);
        QCOMPARE(step, QStringLiteral("Получение заводского номера (попытка 2)"));
        QCOMPARE(attempt, 2);
        QVERIFY(frameAfter != frameBefore);
        if (byEscape) QVERIFY(visibleAfterEscape);  // Escape cancels; the job's end closes
        QVERIFY(!OpenProgressDialog());
    }

    void jobResultsGiveTheirMessages_data() {
        QTest::addColumn<int>("kind");  // 0 succeeds, 1 fails, 2 throws
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("success") << 0 << int(TJobOutcome::Succeeded) << QStringList({"Номер получен : 1204500!"});
        QTest::newRow("failure") << 1 << int(TJobOutcome::Failed)
                                 << QStringList({"Произошла ошибка", "Произошла ошибка : Таймаут операции"});
        QTest::newRow("exception") << 2 << int(TJobOutcome::Failed)
                                   << QStringList({"Произошла ошибка", "Произошла ошибка : Таймаут операции"});
    }

    void jobResultsGiveTheirMessages() {
        QFETCH(int, kind);
        QFETCH(int, outcome);
        QFETCH(QStringList, texts);
        BoxWatcher boxes;
        auto job = [&] {
            if (kind == 0) {
                pty_->WriteMaster({0x7E});  // the meter answers
                return WaitForMeter(*port_, false);
            }
            if (kind == 1) {
                std::uint8_t b = 0;
                (void)port_->ReadByte(50, b);  // nothing comes
                port_->ErrorText = "Таймаут операции";
                return false;
            }
            port_->ErrorText = "Таймаут операции";
            throw std::runtime_error("unexpected");
        };
        QCOMPARE(int(main_->RunMeterJob(FactoryNumberJob(job))), outcome);
        QCOMPARE(boxes.Texts(), texts);
        if (kind != 0) {
            QCOMPARE(boxes.Boxes[0].Icon, QMessageBox::Critical);
            QCOMPARE(boxes.Boxes[1].Icon, QMessageBox::Critical);
        }
    }

    void jobThatSucceedsAfterALateCancelClosesWithOk() {
        TFileProgressDlg dlg(main_.get());
        dlg.SetJob([&] {
            QTest::mouseClick(dlg.CancelBtn(), Qt::LeftButton);  // after the last exchange
            return true;
        });
        QCOMPARE(dlg.exec(), TFileProgressDlg::ResultOk);
        QVERIFY(UserCancelled);
    }

    void dialogWithoutAJobWaitsUntilCancelled() {
        TFileProgressDlg dlg(main_.get());
        bool stillOpen = false;
        QTimer::singleShot(300, this, [&] {
            stillOpen = dlg.isVisible();
            QTest::mouseClick(dlg.CancelBtn(), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), TFileProgressDlg::ResultCancel);
        QVERIFY(stillOpen);
        QVERIFY(UserCancelled);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Процесс..."));
        QCOMPARE(dlg.CancelBtn()->text(), QStringLiteral("Отмена"));
    }

    void theDialogIsTheJobsContext() {
        BoxWatcher boxes;
        boxes.Answer = [](const QString&) { return QMessageBox::Yes; };
        TFileProgressDlg dlg(main_.get());
        bool confirmed = false;
        bool current = false;
        int overall = -1, overallMax = -1;
        dlg.SetJob([&] {
            current = &CurrentJob() == static_cast<JobContext*>(&dlg);
            confirmed = CurrentJob().Confirm("Подтверждение", "Продолжить выполнение?");
            CurrentJob().SetOverall(12, 4);  // out of range: held at the maximum
            overall = dlg.CommonProgressBar()->value();
            overallMax = dlg.CommonProgressBar()->maximum();
            CurrentJob().SetAttempt(9);
            return true;
        });
        QCOMPARE(dlg.exec(), TFileProgressDlg::ResultOk);
        QVERIFY(current);
        QVERIFY(confirmed);
        QCOMPARE(boxes.Texts(), QStringList({"Продолжить выполнение?"}));
        QCOMPARE(overall, 4);
        QCOMPARE(overallMax, 4);
        QCOMPARE(dlg.ProgressBar()->value(), JobContext::AttemptMax);
        QVERIFY(&CurrentJob() != static_cast<JobContext*>(&dlg));  // no longer once it ended
    }
};

QTEST_MAIN(FileProgressDlgTest)
#include "FileProgressDlgTest.moc"
