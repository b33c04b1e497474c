#include "admin/CounterTaskDlg.h"

#include "admin/DiapIndexFrm.h"
#include "admin/DiapPowerIndexFrm.h"
#include "shell/Icons.h"
#include "shell/MessageBoxes.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>

namespace {

constexpr int kLineRole = Qt::UserRole;  // index of the line in its list

enum Column { colName, colID, colIndexes, colIncluded, colStatReset };

// The picture of an area by its kind: settings, history, load-profile ring.
QIcon KindIcon(std::uint8_t statReset) {
    switch (statReset) {
        case 1: return ActionIcon(TAction::acStat);
        case 2: return ActionIcon(TAction::acPower);
        default: return ActionIcon(TAction::acCounterParams);
    }
}

}  // namespace

TCounterTaskDlg::TCounterTaskDlg(QWidget* parent, TDatabase& db, const TGateUser& user) : QDialog(parent), db_(db) {
    setObjectName("CounterTaskDlg");
    setWindowTitle(QStringLiteral("Файл задания"));
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl");
    readList_ = MakeList(false);
    writeList_ = MakeList(true);
    pages_->addTab(readList_, QStringLiteral("Чтение из счетчика"));
    pages_->addTab(writeList_, QStringLiteral("Запись в счетчик"));
    pages_->setTabVisible(0, user.HasAccess(10) || user.HasAccess(12));
    pages_->setTabVisible(1, user.HasAccess(8));
    pages_->setCurrentIndex(pages_->isTabVisible(0) ? 0 : 1);

    includeBtn_ = new QPushButton(QStringLiteral("Включить"), this);
    includeBtn_->setObjectName("IncludeBtn");
    includeBtn_->setToolTip(QStringLiteral("Включить выделенные файлы в задание (←)"));
    excludeBtn_ = new QPushButton(QStringLiteral("Исключить"), this);
    excludeBtn_->setObjectName("ExcludeBtn");
    excludeBtn_->setToolTip(QStringLiteral("Исключить выделенные файлы из задания (→)"));
    connect(includeBtn_, &QPushButton::clicked, this, &TCounterTaskDlg::IncludeBtnClick);
    connect(excludeBtn_, &QPushButton::clicked, this, &TCounterTaskDlg::ExcludeBtnClick);

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName("OKBtn");
    okBtn_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName("CancelBtn");
    auto* help = new QPushButton(QStringLiteral("&Справка"), this);
    help->setObjectName("HelpBtn");
    connect(okBtn_, &QPushButton::clicked, this, &TCounterTaskDlg::OKBtnClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] {
        InfoBox(this, QStringLiteral("Выделите файлы и нажмите «Включить» или «Исключить» (клавиши ← и →, Ctrl+A — "
                                     "все файлы). Двойной щелчок по индексированному файлу задает диапазон чтения."));
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(includeBtn_);
    buttons->addWidget(excludeBtn_);
    buttons->addStretch(1);
    buttons->addWidget(okBtn_);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);

    const QFontMetrics fm = fontMetrics();
    resize(fm.horizontalAdvance(QLatin1Char('W')) * 30 + fm.horizontalAdvance(QStringLiteral(
                                                               "ID файла  Не индексирован  Включен в задание  "
                                                               "Параметр сброса статистики")) + 60,
           fm.height() * 26);
    setSizeGripEnabled(false);
    setFixedSize(size());
}

QTreeWidget* TCounterTaskDlg::MakeList(bool writeItems) {
    auto* list = new QTreeWidget(this);
    list->setObjectName(writeItems ? "WriteList" : "ReadList");
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setAlternatingRowColors(true);
    QStringList headers = {QStringLiteral("Имя файла"), QStringLiteral("ID файла"), QStringLiteral("Индексы"),
                           QStringLiteral("Включен в задание")};
    if (writeItems) headers << QStringLiteral("Параметр сброса статистики");
    list->setHeaderLabels(headers);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(colName, QHeaderView::Stretch);
    const QFontMetrics fm = list->fontMetrics();
    for (int c = 1; c < headers.size(); ++c) {
        const int content = c == colIndexes ? fm.horizontalAdvance(QStringLiteral("Не индексирован"))
                                            : c == colIncluded ? fm.horizontalAdvance(QStringLiteral("Не включен"))
                                                               : 0;
        list->header()->resizeSection(c, std::max(fm.horizontalAdvance(headers[c]), content) + 24);
    }
    list->installEventFilter(this);
    connect(list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { ListDblClick(item); });
    return list;
}

void TCounterTaskDlg::Fill(const TCounterStat& counter) {
    counter_ = counter;
    lines_ = TTaskLines();
    if (counter.CounterID != 0) {
        try {
            lines_ = FillTask(db_, counter);
        } catch (const std::exception&) {
            lines_ = TTaskLines();
        }
    }
    Show(readList_, lines_.Read);
    Show(writeList_, lines_.Write);
}

void TCounterTaskDlg::Show(QTreeWidget* list, std::vector<TTaskFile>& lines) {
    list->clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TTaskFile& l = lines[i];
        auto* item = new QTreeWidgetItem(list);
        item->setIcon(colName, KindIcon(l.StatReset));
        item->setText(colName, QString::fromStdString(l.FileName));
        item->setToolTip(colName, QString::fromStdString(l.FileName));
        item->setText(colID, QString::number(l.FileInternalID));
        item->setTextAlignment(colID, Qt::AlignCenter);
        item->setText(colIndexes, QString::fromStdString(l.IndexesText()));
        item->setText(colIncluded, QString::fromStdString(l.IncludedText()));
        if (l.IsWriteItem) item->setText(colStatReset, QString::fromStdString(l.StatResetText()));
        item->setData(colName, kLineRole, static_cast<int>(i));
    }
}

QTreeWidget* TCounterTaskDlg::VisibleList() const { return pages_->currentIndex() == 1 ? writeList_ : readList_; }

void TCounterTaskDlg::SetIncluded(bool included) {
    QTreeWidget* list = VisibleList();
    auto& lines = list == writeList_ ? lines_.Write : lines_.Read;
    for (QTreeWidgetItem* item : list->selectedItems()) {
        const int i = item->data(colName, kLineRole).toInt();
        if (i < 0 || static_cast<std::size_t>(i) >= lines.size()) continue;
        TTaskFile& line = lines[static_cast<std::size_t>(i)];
        line.Included = included;
        item->setText(colIncluded, QString::fromStdString(line.IncludedText()));
    }
}

void TCounterTaskDlg::IncludeBtnClick() { SetIncluded(true); }
void TCounterTaskDlg::ExcludeBtnClick() { SetIncluded(false); }

bool TCounterTaskDlg::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == readList_ || watched == writeList_) && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* list = static_cast<QTreeWidget*>(watched);
        if (key->matches(QKeySequence::SelectAll)) {
            list->selectAll();
            return true;
        }
        if (key->key() == Qt::Key_Left && key->modifiers() == Qt::NoModifier) {
            SetIncluded(true);
            return true;
        }
        if (key->key() == Qt::Key_Right && key->modifiers() == Qt::NoModifier) {
            SetIncluded(false);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TCounterTaskDlg::ListDblClick(QTreeWidgetItem* item) {
    if (!item || item->treeWidget() != readList_) return;
    const int i = item->data(colName, kLineRole).toInt();
    if (i < 0 || static_cast<std::size_t>(i) >= lines_.Read.size()) return;
    const TTaskFile& line = lines_.Read[static_cast<std::size_t>(i)];
    if (!line.FileIndex || counter_.CounterID == 0) return;
    if (line.StatReset == 2) {
        TDiapPowerIndexFrm dlg(this, counter_.CounterID, line.RecordCount);
        dlg.exec();
    } else {
        TDiapIndexFrm dlg(this, db_, counter_.CounterID, line);
        dlg.exec();
    }
}

void TCounterTaskDlg::OKBtnClick() {
    if (counter_.CounterID != 0) {
        bool saved = false;
        try {
            saved = SaveTask(lines_, db_, counter_.CounterID);
        } catch (const std::exception&) {
            saved = false;
        }
        // A task that did not reach the table must not look saved: the next session
        // would read and write other areas than the engineer chose.
        if (!saved) {
            ErrorBox(this, QStringLiteral("Ошибка при сохранении файла задания!"));
            return;
        }
    }
    accept();
}
