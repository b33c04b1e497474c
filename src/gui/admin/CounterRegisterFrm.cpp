#include "admin/CounterRegisterFrm.h"

#include "admin/CounterRegistry.h"
#include "db/DataBaseModule.h"
#include "model/ValueText.h"
#include "shell/Icons.h"
#include "shell/MessageBoxes.h"

#include <QAction>
#include <QHeaderView>
#include <QStyle>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <exception>

QString TCounterRegisterFrm::TitleFor(const QString& counterName) {
    return QStringLiteral("Журнал опроса счетчика : ") + counterName;
}

TCounterRegisterFrm::TCounterRegisterFrm(TMainFrm* mainFrm, std::int32_t counterID, const QString& counterName)
    : TTabForm(mainFrm, WindowIcon(TWindowIcon::Journal)), counterID_(counterID) {
    setObjectName("CounterRegisterFrm");
    setStatusTip(QStringLiteral("Окно журнала опроса"));

    navBar_ = new QToolBar(this);
    navBar_->setObjectName("DBNavigator");
    navBar_->setIconSize(QSize(16, 16));
    grid_ = new QTableWidget(0, 4, this);
    grid_->setObjectName("DBGrid");
    grid_->setHorizontalHeaderLabels({QStringLiteral("Дата опроса"), QStringLiteral("Имя файла"),
                                      QStringLiteral("Запись файла"), QStringLiteral("Чтение файла")});
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setAlternatingRowColors(true);
    grid_->setWordWrap(false);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 8);
    grid_->horizontalHeader()->setHighlightSections(false);
    const QFontMetrics fm = grid_->fontMetrics();
    grid_->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("Дата опроса")) + 24);
    grid_->setColumnWidth(1, fm.horizontalAdvance(QLatin1Char('W')) * 22);
    grid_->setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("Запись файла")) + 24);
    grid_->horizontalHeader()->setStretchLastSection(true);

    struct Nav {
        const char* Name;
        QStyle::StandardPixmap Icon;
        const char* Hint;
        int Step;
    };
    const Nav navs[] = {{"FirstBtn", QStyle::SP_MediaSkipBackward, "Первая запись", -2},
                        {"PriorBtn", QStyle::SP_MediaSeekBackward, "Предыдущая запись", -1},
                        {"NextBtn", QStyle::SP_MediaSeekForward, "Следующая запись", 1},
                        {"LastBtn", QStyle::SP_MediaSkipForward, "Последняя запись", 2}};
    for (const Nav& n : navs) {
        QAction* a = navBar_->addAction(style()->standardIcon(n.Icon), QString::fromUtf8(n.Hint));
        a->setObjectName(QString::fromLatin1(n.Name));
        const int step = n.Step;
        connect(a, &QAction::triggered, this, [this, step] {
            const int count = grid_->rowCount();
            if (count == 0) return;
            const int current = std::max(0, grid_->currentRow());
            int target = step == -2 ? 0 : step == 2 ? count - 1 : std::clamp(current + step, 0, count - 1);
            grid_->selectRow(target);
        });
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(navBar_);
    layout->addWidget(grid_, 1);
    SetTitle(TitleFor(counterName));
    Refresh();
    resize(grid_->columnWidth(0) + grid_->columnWidth(1) + grid_->columnWidth(2) +
               fm.horizontalAdvance(QStringLiteral("Чтение файла")) + 80,
           320);
    ShowChild();
}

bool TCounterRegisterFrm::HasRows() const { return grid_->rowCount() > 0; }

bool TCounterRegisterFrm::Refresh() {
    if (DataBaseModule == nullptr) return false;
    std::vector<TCounterJournalRow> rows;
    try {
        rows = CounterJournal(DataBaseModule->Db(), counterID_);
    } catch (const std::exception&) {
        ErrorBox(this, QStringLiteral("Ошибка при чтении журнала опроса!"));
        return false;
    }
    grid_->setRowCount(static_cast<int>(rows.size()));
    const auto flag = [](const std::string& v) { return v == "1" ? QStringLiteral("X") : QString(); };
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const TCounterJournalRow& j = rows[static_cast<std::size_t>(r)];
        grid_->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(FormatDateText(j.CDate))));
        grid_->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(j.FileName)));
        for (int c : {2, 3}) {
            auto* item = new QTableWidgetItem(flag(c == 2 ? j.Writed : j.Readed));
            item->setTextAlignment(Qt::AlignCenter);
            grid_->setItem(r, c, item);
        }
    }
    if (!rows.empty()) grid_->selectRow(0);
    return true;
}
