#include "admin/CountersFrm.h"

#include "admin/FindDlg.h"
#include "db/DataBaseModule.h"
#include "model/ValueText.h"
#include "shell/Icons.h"
#include "shell/MainFrm.h"
#include "shell/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

namespace {

QString Utf8(const std::string& s) { return QString::fromStdString(s); }

bool SameRow(const TCounterRow& a, const TCounterRow& b) {
    return a.CounterID == b.CounterID && a.CounterName == b.CounterName && a.VersionID == b.VersionID &&
           a.VersionInternalID == b.VersionInternalID && a.VersionName == b.VersionName && a.ZNumber == b.ZNumber &&
           a.IniDateTime == b.IniDateTime && a.CounterCreateDate == b.CounterCreateDate &&
           a.CounterCheckDate == b.CounterCheckDate;
}

}  // namespace

// ---- model ----

int TCountersModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TCountersModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : colCount; }

QVariant TCountersModel::data(const QModelIndex& index, int role) const {
    const TCounterRow* r = index.isValid() ? Row(index.row()) : nullptr;
    if (!r) return {};
    if (role == Qt::TextAlignmentRole) {
        if (index.column() == colID || index.column() == colZNumber)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
        case colID: return QString::number(r->CounterID);
        case colVersion: return Utf8(r->VersionName);
        case colName: return Utf8(r->CounterName);
        case colZNumber: return QString::number(r->ZNumber);
        case colIniDateTime: return Utf8(FormatDateText(r->IniDateTime));
        default: return {};
    }
}

QVariant TCountersModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
        case colID: return QStringLiteral("Идентификатор");
        case colVersion: return QStringLiteral("Версия");
        case colName: return QStringLiteral("Имя счетчика");
        case colZNumber: return QStringLiteral("Заводской номер");
        case colIniDateTime: return QStringLiteral("Дата и время инициализации");
        default: return {};
    }
}

bool TCountersModel::SetRows(std::vector<TCounterRow> rows) {
    if (rows.size() == rows_.size()) {
        bool same = true;
        for (std::size_t i = 0; i < rows.size() && same; ++i) same = SameRow(rows[i], rows_[i]);
        if (same) return false;
    }
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
    return true;
}

const TCounterRow* TCountersModel::Row(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return nullptr;
    return &rows_[static_cast<std::size_t>(row)];
}

int TCountersModel::RowOf(std::int32_t counterID) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].CounterID == counterID) return static_cast<int>(i);
    return -1;
}

// ---- window ----

TCountersFrm::TCountersFrm(TMainFrm* mainFrm) : TTabForm(mainFrm, WindowIcon(TWindowIcon::Counters)) {
    setObjectName("CountersFrm");
    FormCreate();
}

TCountersFrm::~TCountersFrm() = default;

void TCountersFrm::FormCreate() {
    setToolTip(QString());
    setStatusTip(QStringLiteral("Окно списка счетчиков"));

    navBar_ = new QToolBar(QStringLiteral("Навигатор"), this);
    navBar_->setObjectName("DBNavigator");
    navBar_->setIconSize(QSize(16, 16));
    navBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    struct Nav {
        const char* Name;
        QStyle::StandardPixmap Icon;
        const char* Hint;
        int Step;  // -2 first, -1 prior, 1 next, 2 last
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
            const int count = model_->rowCount();
            if (count == 0) return;
            const int current = grid_->currentIndex().isValid() ? grid_->currentIndex().row() : 0;
            int target = current;
            if (step == -2) target = 0;
            if (step == -1) target = std::max(0, current - 1);
            if (step == 1) target = std::min(count - 1, current + 1);
            if (step == 2) target = count - 1;
            MoveTo(target);
        });
    }
    navBar_->addSeparator();
    findAct_ = navBar_->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), QStringLiteral("Поиск"));
    findAct_->setObjectName("FindBtn");
    copyAct_ = navBar_->addAction(ActionIcon(TAction::acCounterParams), QStringLiteral("Копировать параметры"));
    copyAct_->setObjectName("CopyBtn");
    pasteAct_ = navBar_->addAction(ActionIcon(TAction::acDefaultParams), QStringLiteral("Применить параметры"));
    pasteAct_->setObjectName("PasteBtn");
    const std::pair<QAction*, QKeySequence> keys[] = {{findAct_, QKeySequence(Qt::CTRL | Qt::Key_F)},
                                                      {copyAct_, QKeySequence(Qt::CTRL | Qt::Key_C)},
                                                      {pasteAct_, QKeySequence(Qt::CTRL | Qt::Key_V)}};
    for (const auto& [action, key] : keys) {
        action->setShortcut(key);
        // The keys belong to this window: another list keeps its own Ctrl+C.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setToolTip(action->text() + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                           QStringLiteral(")"));
        addAction(action);
        if (auto* button = navBar_->widgetForAction(action))
            if (auto* tb = qobject_cast<QToolButton*>(button)) tb->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    copyAct_->setEnabled(false);
    pasteAct_->setEnabled(false);
    connect(findAct_, &QAction::triggered, this, &TCountersFrm::FindBtnClick);
    connect(copyAct_, &QAction::triggered, this, &TCountersFrm::CopyBtnClick);
    connect(pasteAct_, &QAction::triggered, this, &TCountersFrm::PasteBtnClick);

    // The third bar and the grid's pop-up menu: the main window's meter commands, the
    // same actions, so they are enabled by the same rules.
    counterBar_ = new QToolBar(QStringLiteral("Операции со счетчиками"), this);
    counterBar_->setObjectName("CounterOperations");
    counterBar_->setIconSize(QSize(16, 16));
    popup_ = new QMenu(this);
    popup_->setObjectName("GridPopupMenu");
    for (QAction* a : MainFrm()->CounterOperations()->actions()) {
        if (a->isSeparator()) {
            counterBar_->addSeparator();
            popup_->addSeparator();
        } else {
            counterBar_->addAction(a);
            popup_->addAction(a);
        }
    }

    model_ = new TCountersModel(this);
    grid_ = new QTableView(this);
    grid_->setObjectName("DBGrid");
    grid_->setModel(model_);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setAlternatingRowColors(true);
    grid_->setWordWrap(false);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 8);
    grid_->verticalHeader()->setMinimumWidth(18);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup_->popup(grid_->viewport()->mapToGlobal(pos)); });
    connect(grid_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) { DBGridDblClick(); });
    const QFontMetrics fm = grid_->fontMetrics();
    const int pad = 24;
    grid_->setColumnWidth(TCountersModel::colID, fm.horizontalAdvance(QStringLiteral("Идентификатор")) + pad);
    grid_->setColumnWidth(TCountersModel::colVersion, fm.horizontalAdvance(QStringLiteral("Норвел-9 (X) 00.00")) + pad);
    grid_->setColumnWidth(TCountersModel::colName, fm.horizontalAdvance(QLatin1Char('W')) * 20 + pad);
    grid_->setColumnWidth(TCountersModel::colZNumber, fm.horizontalAdvance(QStringLiteral("Заводской номер")) + pad);

    auto* bars = new QHBoxLayout;
    bars->setContentsMargins(2, 2, 2, 0);
    bars->setSpacing(6);
    bars->addWidget(navBar_);
    bars->addWidget(counterBar_);
    bars->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bars);
    layout->addWidget(grid_, 1);

    SetTitle(QStringLiteral("Счетчики"));

    // Meters added by other users of a shared database appear without a click.
    timer_ = new QTimer(this);
    timer_->setObjectName("Timer1");
    timer_->setInterval(3000);
    connect(timer_, &QTimer::timeout, this, &TCountersFrm::Timer1Timer);
    timer_->start();

    Refresh();
    int width = fm.horizontalAdvance(QStringLiteral("Дата и время инициализации")) + pad + 48;
    for (int c = 0; c < TCountersModel::colIniDateTime; ++c) width += grid_->columnWidth(c);
    resize(std::max(width, navBar_->sizeHint().width() + counterBar_->sizeHint().width() + 24), 360);
    ShowChild();
}

bool TCountersFrm::HasRows() const { return model_ && model_->rowCount() > 0; }

void TCountersFrm::UpdateIdleGates(const TGateUser& user, const TGateContext& context) {
    copyAct_->setEnabled(CopyParametersEnabled(user, context));
    pasteAct_->setEnabled(copyBuffer_.CounterID != 0 && user.HasAccess(8) && HasRows());
}

std::optional<TCounterRow> TCountersFrm::CurrentCounter() const {
    const QModelIndex index = grid_->currentIndex();
    const TCounterRow* row = model_->Row(index.isValid() ? index.row() : -1);
    if (!row) return std::nullopt;
    return *row;
}

void TCountersFrm::MoveTo(int row) {
    if (row < 0 || row >= model_->rowCount()) return;
    const QModelIndex index = model_->index(row, grid_->currentIndex().isValid() ? grid_->currentIndex().column() : 0);
    grid_->setCurrentIndex(index);
    grid_->selectRow(row);
    grid_->scrollTo(index);
}

bool TCountersFrm::LocateCounter(std::int32_t counterID) {
    const int row = model_->RowOf(counterID);
    if (row < 0) return false;
    MoveTo(row);
    return true;
}

bool TCountersFrm::Refresh(std::int32_t locateID) {
    if (DataBaseModule == nullptr) return false;
    std::vector<TCounterRow> rows;
    try {
        rows = ListCounters(DataBaseModule->Db());
    } catch (const std::exception&) {
        // The timer retries every three seconds: say it once, not every time.
        if (!loadFailed_) {
            loadFailed_ = true;
            ErrorBox(this, QStringLiteral("Ошибка при чтении списка счетчиков!"));
        }
        return false;
    }
    loadFailed_ = false;
    const auto current = CurrentCounter();
    const int currentRow = grid_->currentIndex().isValid() ? grid_->currentIndex().row() : 0;
    if (!model_->SetRows(std::move(rows))) {
        if (locateID != 0) LocateCounter(locateID);
        return true;
    }
    // Version names are long: the column grows to the widest one listed (within reason).
    const int before = grid_->columnWidth(TCountersModel::colVersion);
    grid_->resizeColumnToContents(TCountersModel::colVersion);
    grid_->setColumnWidth(TCountersModel::colVersion,
                          std::clamp(grid_->columnWidth(TCountersModel::colVersion), before, std::max(before, 360)));
    if (locateID != 0 && LocateCounter(locateID)) return true;
    if (current && LocateCounter(current->CounterID)) return true;
    // The current meter went away (deleted here or elsewhere): the row that took its place.
    MoveTo(std::min(currentRow, model_->rowCount() - 1));
    return true;
}

void TCountersFrm::Timer1Timer() {
    // Browse state only: never under an open dialog or a running job.
    if (QApplication::activeModalWidget() != nullptr) return;
    Refresh();
}

void TCountersFrm::CopyBtnClick() {
    const auto row = CurrentCounter();
    if (!row || !copyAct_->isEnabled()) return;
    copyBuffer_ = {row->CounterID, row->CounterName, row->VersionID};
    pasteAct_->setEnabled(MainFrm()->SessionUser().HasAccess(8));
}

void TCountersFrm::PasteBtnClick() {
    const auto target = CurrentCounter();
    if (copyBuffer_.CounterID == 0 || !target || !pasteAct_->isEnabled() || DataBaseModule == nullptr) return;
    TCounterRow source;
    source.CounterID = copyBuffer_.CounterID;
    source.CounterName = copyBuffer_.CounterName;
    source.VersionID = copyBuffer_.VersionID;
    if (!AskYesNoCancel(this, Utf8(CopyParamsQuestion(source, *target)))) return;
    if (auto refusal = CopyParamsRefusal(source, *target)) {
        ErrorBox(this, Utf8(*refusal));
        return;
    }
    bool ok = false;
    try {
        ok = CopyParams(DataBaseModule->Db(), source.CounterID, target->CounterID);
    } catch (const std::exception&) {
        ok = false;
    }
    if (ok)
        InfoBox(this, QStringLiteral("Копирование параметров успешно завершено!"));
    else
        ErrorBox(this, QStringLiteral("Копирование параметров завершено с ошибкой!"));
}

void TCountersFrm::FindBtnClick() {
    TFindDlg dlg(this);
    dlg.SetGrid(grid_);
    dlg.exec();
}

void TCountersFrm::DBGridDblClick() {
    QAction* edit = MainFrm()->Action(TAction::acEditCounter);
    if (edit->isEnabled()) edit->trigger();
}
