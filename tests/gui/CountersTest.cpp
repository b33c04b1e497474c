// The meter list and its dialogs driven as a user would, on a checked database in a
// temporary home: gates of an empty list, adding, editing, deleting, searching,
// copying parameters, the poll journal and the refresh of meters added elsewhere.
#include "MeterTestSupport.h"

#include "admin/AddCounterDlg.h"
#include "admin/CounterRegisterFrm.h"
#include "admin/FindDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QToolBar>

using namespace guitest;

namespace {

const TAction kMeterJobs[] = {
    TAction::acTaskCounterFile, TAction::acSeance,          TAction::acInitSeance,     TAction::acGetPower,
    TAction::acGetMomentPower,  TAction::acGetOnlyPower,    TAction::acGetOnlyVoltage, TAction::acGetOnlyCurrent,
    TAction::acGetOnlyEnergy,   TAction::acGetOnlyEnergy_1, TAction::acGetEnergyByMin, TAction::acVector,
    TAction::acOffContactor,    TAction::acOnOptoPort,      TAction::acOffOptoPort,    TAction::acOnChannel1,
    TAction::acOffChannel1,     TAction::acOnChannel2,      TAction::acOffChannel2,    TAction::acRelaxContactor,
    TAction::acSetCard,         TAction::acManageChannels,  TAction::acEditCounter,    TAction::acDeleteCounter,
    TAction::acCounterRegister};

QStringList Column(QTableView* grid, int column) {
    QStringList texts;
    for (int r = 0; r < grid->model()->rowCount(); ++r) texts << grid->model()->index(r, column).data().toString();
    return texts;
}

}  // namespace

class CountersTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MeterHome> home_;
    std::unique_ptr<TMainFrm> main_;

    TCountersFrm* OpenList() {
        main_->Action(TAction::acCounters)->trigger();
        Idle();
        return main_->ActiveCountersFrm();
    }
    bool Enabled(TAction a) const { return main_->Action(a)->isEnabled(); }

private slots:
    void init() {
        home_ = std::make_unique<MeterHome>();
        main_ = std::make_unique<TMainFrm>();
        main_->PendingRecords = [] { return static_cast<std::size_t>(PendingCount()); };
        main_->show();
        main_->SetLoggedIn(true, Supervisor(), QStringLiteral("Supervisor"));
        Idle();
    }

    void cleanup() {
        if (main_) main_->SetLoggedIn(false);
        main_.reset();
        home_.reset();
    }

    void emptyListKeepsMeterCommandsOffButTheFactoryNumberAndClockOn() {
        TCountersFrm* list = OpenList();
        QVERIFY(list);
        QCOMPARE(list->Title(), QStringLiteral("Счетчики"));
        QCOMPARE(list->ChildKind(), TChildKind::Counters);
        QVERIFY(!list->HasRows());
        Idle();
        for (TAction a : kMeterJobs) QVERIFY2(!Enabled(a), ActionInfo(a).Name.data());
        QVERIFY(Enabled(TAction::acGetZNumber));
        QVERIFY(Enabled(TAction::acGetCounterDateTime));
        QVERIFY(Enabled(TAction::acAddCounter));
        QVERIFY(!list->CopyBtn()->isEnabled());
        QCOMPARE(main_->StatusPanel(1)->text(), QStringLiteral("Осталось несохраненных записей: 0"));
        QStringList headers;
        for (int c = 0; c < list->Model()->columnCount(); ++c)
            headers << list->Model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"Идентификатор", "Версия", "Имя счетчика", "Заводской номер",
                                       "Дата и время инициализации"}));
        // A second "&База данных" brings the same window to the front.
        main_->Action(TAction::acCounters)->trigger();
        QCOMPARE(main_->Children().size(), qsizetype(1));
    }

    void addingAMeterTakesDigitsOnlyAndMovesToIt() {
        TCountersFrm* list = OpenList();
        QVERIFY(list);
        BoxWatcher boxes;
        QString idAfterLetters, idAfterThirteen;
        bool okBeforeVersion = true, okWhenFilled = false;
        bool seen = false;
        WhenOpen<TAddCounterDlg>(
            [&](TAddCounterDlg* dlg) {
                QCOMPARE(dlg->windowTitle(), QStringLiteral("Добавление счетчика"));
                TypeText(dlg->IDEdit(), QStringLiteral("1a2Б3"));
                idAfterLetters = dlg->IDEdit()->text();
                dlg->IDEdit()->clear();
                QTest::keyClicks(dlg->IDEdit(), QStringLiteral("1234567890123"));
                idAfterThirteen = dlg->IDEdit()->text();
                dlg->IDEdit()->clear();
                QTest::keyClicks(dlg->IDEdit(), QStringLiteral("77"));
                TypeText(dlg->NameEdit(), QStringLiteral("Подстанция №3"));
                QTest::keyClicks(dlg->ZNumberEdit(), QStringLiteral("z1204500"));
                okBeforeVersion = dlg->OKBtn()->isEnabled();
                dlg->VersionComboBox()->setCurrentIndex(dlg->VersionComboBox()->findText(QStringLiteral("Норвел-9"),
                                                                                          Qt::MatchStartsWith));
                if (dlg->VersionComboBox()->currentIndex() < 0) dlg->VersionComboBox()->setCurrentIndex(0);
                okWhenFilled = dlg->OKBtn()->isEnabled();
                QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
            },
            &seen);
        main_->Action(TAction::acAddCounter)->trigger();
        QVERIFY(seen);
        QCOMPARE(idAfterLetters, QStringLiteral("123"));
        QCOMPARE(idAfterThirteen, QStringLiteral("123456789012"));
        QVERIFY(!okBeforeVersion);
        QVERIFY(okWhenFilled);
        QVERIFY2(boxes.Boxes.isEmpty(), qPrintable(boxes.Texts().join("; ")));
        const auto current = list->CurrentCounter();
        QVERIFY(current);
        QCOMPARE(current->CounterID, 77);
        QCOMPARE(current->ZNumber, 1204500);
        QCOMPARE(current->CounterName, std::string("Подстанция №3"));
        QVERIFY(home_->Db().TableExists(ValueTableName(77)));
        Idle();
        QVERIFY(Enabled(TAction::acSeance));
        QVERIFY(list->CopyBtn()->isEnabled());

        // The same id again: refused, the dialog stays open with what was typed.
        bool stayedOpen = false;
        WhenOpen<TAddCounterDlg>([&](TAddCounterDlg* dlg) {
            QTest::keyClicks(dlg->IDEdit(), QStringLiteral("77"));
            TypeText(dlg->NameEdit(), QStringLiteral("Двойник"));
            QTest::keyClicks(dlg->ZNumberEdit(), QStringLiteral("5"));
            dlg->VersionComboBox()->setCurrentIndex(0);
            QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
            stayedOpen = dlg->isVisible();
            dlg->reject();
        });
        main_->Action(TAction::acAddCounter)->trigger();
        QCOMPARE(boxes.Texts(), QStringList({"Ошибка при добавлении нового счетчика!"}));
        QVERIFY(stayedOpen);
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM Counters"), 1LL);
        QCOMPARE(list->CurrentCounter()->CounterName, std::string("Подстанция №3"));
    }

    void editingKeepsTheIdAndDeletingRemovesTheMeterAndItsValueTable() {
        home_->AddMeter(5, "Школа", 40, 5005);
        home_->AddMeter(6, "Котельная", 40, 6006);
        TCountersFrm* list = OpenList();
        QVERIFY(list);
        QVERIFY(list->LocateCounter(6));
        Idle();
        QVERIFY(Enabled(TAction::acEditCounter));
        bool idEnabled = true;
        QString title, dateText;
        WhenOpen<TAddCounterDlg>([&](TAddCounterDlg* dlg) {
            title = dlg->windowTitle();
            idEnabled = dlg->IDEdit()->isEnabled() || dlg->IDLabel()->isEnabled();
            dateText = dlg->CreateDateEdit()->text();
            dlg->NameEdit()->setText(QStringLiteral("Котельная-2"));
            QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
        });
        // A double click on the grid edits the current meter.
        const QModelIndex cell = list->Model()->index(list->Model()->RowOf(6), 2);
        const QPoint at = list->DBGrid()->visualRect(cell).center();
        QTest::mouseClick(list->DBGrid()->viewport(), Qt::LeftButton, {}, at);  // the press a double click begins with
        QTest::mouseDClick(list->DBGrid()->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(!title.isEmpty());
        QCOMPARE(title, QStringLiteral("Редактирование счетчика"));
        QVERIFY(!idEnabled);
        QCOMPARE(dateText, QStringLiteral("01.2024"));
        QCOMPARE(list->CurrentCounter()->CounterID, 6);
        QCOMPARE(list->CurrentCounter()->CounterName, std::string("Котельная-2"));

        home_->Db().Execute("INSERT INTO CounterPrograms (CDate, CTime, CounterID, FileID, Readed) "
                            "VALUES ('2024-05-01', '10:00:00', 6, 2, '1')");
        home_->Db().Execute("INSERT INTO TaskCounter (CounterID, FileID, Readed) VALUES (6, 2, '1')");
        BoxWatcher boxes;
        boxes.Answer = [](const QString&) { return QMessageBox::Yes; };
        main_->Action(TAction::acDeleteCounter)->trigger();
        QCOMPARE(boxes.Texts(), QStringList({"Вы желаете удалить счетчик «Котельная-2»?"}));
        QCOMPARE(Column(list->DBGrid(), 0), QStringList({"5"}));
        QVERIFY(!home_->Db().TableExists(ValueTableName(6)));
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM TaskCounter WHERE CounterID = 6"), 0LL);
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM CounterPrograms WHERE CounterID = 6"), 1LL);
        QCOMPARE(list->CurrentCounter()->CounterID, 5);
    }

    void searchFindsFromTheStartOfTheFieldOnly() {
        home_->AddMeter(1, "Ромашка", 40, 312);
        home_->AddMeter(2, "Василек", 40, 1234);
        home_->AddMeter(3, "Лютик", 40, 5120);
        TCountersFrm* list = OpenList();
        QVERIFY(list);
        BoxWatcher boxes;
        QString field;
        int foundID = 0, afterNext = 0;
        QString cancelText;
        WhenOpen<TFindDlg>([&](TFindDlg* dlg) {
            dlg->PatternEdit()->setText(QStringLiteral("12"));
            dlg->FieldComboBox()->setCurrentIndex(3);
            field = dlg->FieldComboBox()->currentText();
            dlg->MatchComboBox()->setCurrentIndex(TFindDlg::FieldStart);
            QTest::mouseClick(dlg->FindButton(), Qt::LeftButton);
            foundID = list->CurrentCounter()->CounterID;
            cancelText = dlg->CancelButton()->text();
            QTest::mouseClick(dlg->FindNextButton(), Qt::LeftButton);
            afterNext = list->CurrentCounter()->CounterID;
            dlg->reject();
        });
        QTest::keyClick(list->DBGrid(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(field, QStringLiteral("Заводской номер"));
        QCOMPARE(foundID, 2);
        QCOMPARE(cancelText, QStringLiteral("Закрыть"));
        QCOMPARE(afterNext, 3);  // ran past the last record
        QCOMPARE(boxes.Texts(), QStringList({"Запись с такими параметрами не найдена"}));

        QVERIFY(TFindDlg::Matches(QStringLiteral("ромашка"), QStringLiteral("РОМ"), TFindDlg::FieldStart, false));
        QVERIFY(!TFindDlg::Matches(QStringLiteral("ромашка"), QStringLiteral("РОМ"), TFindDlg::FieldStart, true));
        QVERIFY(TFindDlg::Matches(QStringLiteral("Ромашка"), QStringLiteral("маш"), TFindDlg::AnyPart, true));
        QVERIFY(!TFindDlg::Matches(QStringLiteral("Ромашка"), QStringLiteral("Ромаш"), TFindDlg::WholeField, false));
    }

    void pastingParametersIsRefusedForAnotherVersionOrTheSameMeter() {
        home_->AddMeter(1, "Источник", 40, 100);
        home_->AddMeter(2, "Другая версия", 36, 200);
        home_->AddMeter(3, "Приемник", 40, 300);
        // One stored setting of the source in a writable area.
        const int paramID = static_cast<int>(home_->Count(
            "SELECT MIN(Params.ParamID) FROM Params, Files WHERE Files.FileID = Params.FileID AND Files.ReadOnly = '0' "
            "AND Params.IsReadOnly = '0' AND Params.IsFileIndex = '0'"));
        QVERIFY(paramID > 0);
        home_->Db()
            .Prepare("INSERT INTO " + ValueTableName(1) +
                     " (ParamID, ParamIndex, ChangeDateTime, DataValue) VALUES (:P, 0, '2024-01-01', :V)")
            .BindInt(":P", paramID)
            .BindBlob(":V", std::vector<std::uint8_t>{1, 0, 0, 0})
            .Execute();

        TCountersFrm* list = OpenList();
        QVERIFY(list);
        QVERIFY(list->LocateCounter(1));
        Idle();
        QVERIFY(list->CopyBtn()->isEnabled());
        QVERIFY(!list->PasteBtn()->isEnabled());
        QTest::keyClick(list->DBGrid(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(list->CopyBuffer().CounterID, 1);
        Idle();
        QVERIFY(list->PasteBtn()->isEnabled());

        BoxWatcher boxes;  // questions get Yes, messages OK
        boxes.Answer = [](const QString& text) { return text.endsWith('?') ? QMessageBox::Yes : QMessageBox::NoButton; };
        const struct {
            int Target;
            const char* Refusal;
        } cases[] = {
            {2, "Версия счетчика, параметры которого скопированы в буфер, не совпадает с версией указанного счетчика!"},
            {1, "ID счетчика, параметры которого скопированы в буфер, и счетчика, для которого параметры будут "
                "применены, совпадают! Копирование параметров невозможно!"},
        };
        for (const auto& c : cases) {
            boxes.Boxes.clear();
            QVERIFY(list->LocateCounter(c.Target));
            QApplication::setActiveWindow(main_.get());  // back from the last box
            QTest::keyClick(list->DBGrid(), Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(boxes.Texts().size(), qsizetype(2));
            QVERIFY(boxes.Texts()[0].startsWith(QStringLiteral("Применить к счетчику ")));
            QCOMPARE(boxes.Texts()[1], QString::fromUtf8(c.Refusal));
            QCOMPARE(boxes.Boxes[1].Icon, QMessageBox::Critical);
        }
        QVERIFY(WriteThread->WaitUntilEmpty(std::chrono::seconds(10)));
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM " + ValueTableName(3)), 0LL);

        boxes.Boxes.clear();
        QVERIFY(list->LocateCounter(3));
        list->PasteBtn()->trigger();
        QCOMPARE(boxes.Texts(),
                 QStringList({"Применить к счетчику Приемник (ID = 3) параметры, скопированные со счетчика Источник "
                              "(ID = 1)?",
                              "Копирование параметров успешно завершено!"}));
        QVERIFY(WriteThread->WaitUntilEmpty(std::chrono::seconds(10)));
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM " + ValueTableName(3)), 1LL);
    }

    void pollJournalListsTheSessionsOfTheMeter() {
        home_->AddMeter(4, "Гараж", 40, 4004);
        home_->Db().Execute(
            "INSERT INTO CounterPrograms (CDate, CTime, CounterID, FileID, Readed, Writed) VALUES "
            "('2024-05-01', '10:00:00', 4, 2, '1', '0'), ('2024-05-01', '10:00:00', 4, 5, '1', '1')");
        TCountersFrm* list = OpenList();
        QVERIFY(list);
        QVERIFY(list->LocateCounter(4));
        Idle();
        QVERIFY(Enabled(TAction::acCounterRegister));
        main_->Action(TAction::acCounterRegister)->trigger();
        Idle();
        auto* journal = qobject_cast<TCounterRegisterFrm*>(main_->ActiveChild());
        QVERIFY(journal);
        QCOMPARE(journal->Title(), QStringLiteral("Журнал опроса счетчика : Гараж"));
        QTableWidget* grid = journal->DBGrid();
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("01.05.2024"));
        QCOMPARE(grid->item(1, 2)->text(), QStringLiteral("X"));  // "Запись файла"
        QCOMPARE(grid->item(0, 2)->text(), QString());
        QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("X"));  // "Чтение файла"
        // Meter commands need the meter list in front.
        Idle();
        QVERIFY(!Enabled(TAction::acSeance));
    }

    void metersAddedElsewhereAppearWithinTheRefresh() {
        home_->AddMeter(10, "Насосная", 40, 1001);
        TCountersFrm* list = OpenList();
        QVERIFY(list);
        QVERIFY(list->LocateCounter(10));
        home_->AddMeter(9, "Склад", 40, 999);  // another workstation on the same database
        QTRY_COMPARE_WITH_TIMEOUT(list->Model()->rowCount(), 2, 5000);
        QCOMPARE(list->CurrentCounter()->CounterID, 10);  // the current meter stays current
    }

    void screenshotOfTheMeterList() {
        home_->AddMeter(101, "ТП-14, ввод 1", 40, 1204500);
        home_->AddMeter(102, "ТП-14, ввод 2", 40, 1204537);
        home_->AddMeter(215, "Школа №7, щитовая", 36, 1187402);
        home_->AddMeter(318, "Котельная, насосная станция", 44, 1302219);
        home_->AddMeter(420, "Магазин «Радуга»", 46, 1400017);
        TCountersFrm* list = OpenList();
        QVERIFY(list);
        QVERIFY(list->LocateCounter(215));
        Idle(100);
        // No column cuts its title, and the navigator and command bar fit beside each other.
        const QFontMetrics fm = list->DBGrid()->horizontalHeader()->fontMetrics();
        for (int c = 0; c < list->Model()->columnCount() - 1; ++c) {
            const QString title = list->Model()->headerData(c, Qt::Horizontal).toString();
            QVERIFY2(list->DBGrid()->columnWidth(c) >= fm.horizontalAdvance(title), qPrintable(title));
        }
        QVERIFY(list->width() >= list->NavigatorBar()->sizeHint().width() + list->CounterBar()->sizeHint().width());
        Screenshot(main_.get(), QStringLiteral("meter-list.png"));
    }
};

QTEST_MAIN(CountersTest)
#include "CountersTest.moc"
