#include "shell/MainFrm.h"

#include "admin/RegAdminDlg.h"
#include "admin/SessionWriter.h"
#include "admin/User.h"
#include "admin/UserAdmin.h"
#include "admin/UserGroupsFrm.h"
#include "admin/UserRegisterFrm.h"
#include "admin/UsersFrm.h"
#include "shell/Configuration.h"
#include "admin/AddCounterDlg.h"
#include "admin/CounterRegisterFrm.h"
#include "admin/CounterTaskDlg.h"
#include "admin/CountersFrm.h"
#include "admin/MeterCommandDlgs.h"
#include "admin/PasswordsFrm.h"
#include "admin/WritePasswordDlg.h"
#include "db/DataBaseModule.h"
#include "db/ValueStore.h"
#include "link/CounterSeance.h"
#include "sessions/CommandJobs.h"
#include "sessions/Sessions.h"
#include "shell/MeterVersion.h"
#include "link/ComPort.h"
#include "shell/AboutDlg.h"
#include "shell/FileProgressDlg.h"
#include "shell/Globals.h"
#include "shell/Icons.h"
#include "shell/JobContext.h"
#include "shell/MessageBoxes.h"
#include "shell/ProgramHome.h"
#include "shell/TabForm.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <map>
#include <string>
#include <vector>

namespace {

using enum TAction;

QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The notice in the last status panel.
const char* const kNotice = "Ольмар 2.22 — счетчики Норвел";

// A menu or bar layout: actions by name, "-" for a separator, "@Caption" for a sub-menu.
struct TMenuDef {
    const char* Caption;
    const char* ObjectName;
    std::vector<std::string_view> Items;
};

const std::vector<TMenuDef>& MenuDefs() {
    static const std::vector<TMenuDef> defs = {
        {"Сеанс", "SeanceMenu", {"acBeginSeance", "acEndSeance", "-", "acExportToExcel", "acPrint", "-", "acExit"}},
        {"Администрирование", "AdminMenu", {"acUsers", "acUserGroups", "-", "acResetRegister", "-", "acQuery"}},
        {"Счетчики",
         "CountersMenu",
         {"acCounters", "-", "acAddCounter", "acEditCounter", "acDeleteCounter", "-", "acCounterParams", "acStat",
          "acPower", "-", "acTaskCounterFile", "acSeance", "acInitSeance", "acWritePasswords", "acParametrization",
          "@Измерения", "@Контактор и каналы", "@Оптопорт", "acManageChannels", "acSetCard", "acGetCounterDateTime",
          "acSetCurrency", "acSetCorrectlyRange", "acCounterRegister", "-", "acGetZNumber", "acResetSeance", "-",
          "acVersions", "acFiles", "acExportToVetrel"}},
        {"Оптопорт (ЛОК)", "ProgrammerMenu", {"acProgrammers", "-", "acTaskProgFile", "acProgWriteSeance", "acProgReadSeance"}},
        {"Установки", "SetupMenu", {"acSetup", "-", "acParametrizationOptions", "acDefaultParams"}},
        {"Окна", "WindowsMenu", {"acCascade", "acTileHor", "acTileVert", "acCloseAll"}},
        {"Справка", "HelpMenu", {"acHelp", "-", "acCheckUpdates", "-", "acAbout"}},
    };
    return defs;
}

const std::vector<TMenuDef>& SubMenuDefs() {
    static const std::vector<TMenuDef> defs = {
        {"Измерения",
         "MeasurementsMenu",
         {"acVector", "acGetPower", "acGetMomentPower", "acGetOnlyPower", "acGetOnlyVoltage", "acGetOnlyCurrent",
          "acGetOnlyEnergy", "acGetOnlyEnergy_1", "acGetEnergyByMin"}},
        {"Контактор и каналы",
         "ContactorMenu",
         {"acOffContactor", "acRelaxContactor", "acOnChannel1", "acOffChannel1", "acOnChannel2", "acOffChannel2"}},
        {"Оптопорт", "OptoPortMenu", {"acOnOptoPort", "acOffOptoPort"}},
    };
    return defs;
}

// A status panel: a narrow window shortens its text with "…" instead of cutting a
// letter in half; the whole text stays in the hint.
class TStatusPanel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        const QRect r = contentsRect().adjusted(3, 0, -3, 0);
        const QString full = text();
        const QString shown = fontMetrics().elidedText(full, Qt::ElideRight, r.width());
        if (shown == full) {
            QLabel::paintEvent(event);
            return;
        }
        QFrame::paintEvent(event);
        QPainter p(this);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft, shown);
    }
};

using Handler = void (TMainFrm::*)();

Handler HandlerOf(TAction action) {
    static const std::pair<TAction, Handler> table[] = {
        {TAction::acBeginSeance, &TMainFrm::acBeginSeanceExecute},
        {TAction::acEndSeance, &TMainFrm::acEndSeanceExecute},
        {TAction::acPrint, &TMainFrm::acPrintExecute},
        {TAction::acExit, &TMainFrm::acExitExecute},
        {TAction::acUsers, &TMainFrm::acUsersExecute},
        {TAction::acUserGroups, &TMainFrm::acUserGroupsExecute},
        {TAction::acVersions, &TMainFrm::acVersionsExecute},
        {TAction::acFiles, &TMainFrm::acFilesExecute},
        {TAction::acDefaultParams, &TMainFrm::acDefaultParamsExecute},
        {TAction::acCounters, &TMainFrm::acCountersExecute},
        {TAction::acAddCounter, &TMainFrm::acAddCounterExecute},
        {TAction::acEditCounter, &TMainFrm::acEditCounterExecute},
        {TAction::acDeleteCounter, &TMainFrm::acDeleteCounterExecute},
        {TAction::acStat, &TMainFrm::acStatExecute},
        {TAction::acPower, &TMainFrm::acPowerExecute},
        {TAction::acTaskCounterFile, &TMainFrm::acTaskCounterFileExecute},
        {TAction::acCounterRegister, &TMainFrm::acCounterRegisterExecute},
        {TAction::acSeance, &TMainFrm::acSeanceExecute},
        {TAction::acGetZNumber, &TMainFrm::acGetZNumberExecute},
        {TAction::acTaskProgFile, &TMainFrm::acTaskProgFileExecute},
        {TAction::acProgrammers, &TMainFrm::acProgrammersExecute},
        {TAction::acProgWriteSeance, &TMainFrm::acProgWriteSeanceExecute},
        {TAction::acProgReadSeance, &TMainFrm::acProgReadSeanceExecute},
        {TAction::acSetup, &TMainFrm::acSetupExecute},
        {TAction::acCascade, &TMainFrm::acCascadeExecute},
        {TAction::acTileHor, &TMainFrm::acTileHorExecute},
        {TAction::acTileVert, &TMainFrm::acTileVertExecute},
        {TAction::acCloseAll, &TMainFrm::acCloseAllExecute},
        {TAction::acHelp, &TMainFrm::acHelpExecute},
        {TAction::acResetRegister, &TMainFrm::acResetRegisterExecute},
        {TAction::acResetSeance, &TMainFrm::acResetSeanceExecute},
        {TAction::acGetPower, &TMainFrm::acGetPowerExecute},
        {TAction::acGetMomentPower, &TMainFrm::acGetMomentPowerExecute},
        {TAction::acGetOnlyPower, &TMainFrm::acGetOnlyPowerExecute},
        {TAction::acGetOnlyVoltage, &TMainFrm::acGetOnlyVoltageExecute},
        {TAction::acGetOnlyCurrent, &TMainFrm::acGetOnlyCurrentExecute},
        {TAction::acGetOnlyEnergy, &TMainFrm::acGetOnlyEnergyExecute},
        {TAction::acGetOnlyEnergy_1, &TMainFrm::acGetOnlyEnergy_1Execute},
        {TAction::acGetEnergyByMin, &TMainFrm::acGetEnergyByMinExecute},
        {TAction::acQuery, &TMainFrm::acQueryExecute},
        {TAction::acVector, &TMainFrm::acVectorExecute},
        {TAction::acInitSeance, &TMainFrm::acInitSeanceExecute},
        {TAction::acOffContactor, &TMainFrm::acOffContactorExecute},
        {TAction::acRelaxContactor, &TMainFrm::acRelaxContactorExecute},
        {TAction::acSetCard, &TMainFrm::acSetCardExecute},
        {TAction::acManageChannels, &TMainFrm::acManageChannelsExecute},
        {TAction::acOnChannel1, &TMainFrm::acOnChannel1Execute},
        {TAction::acOffChannel1, &TMainFrm::acOffChannel1Execute},
        {TAction::acOnChannel2, &TMainFrm::acOnChannel2Execute},
        {TAction::acOffChannel2, &TMainFrm::acOffChannel2Execute},
        {TAction::acOnOptoPort, &TMainFrm::acOnOptoPortExecute},
        {TAction::acOffOptoPort, &TMainFrm::acOffOptoPortExecute},
        {TAction::acCounterParams, &TMainFrm::acCounterParamsExecute},
        {TAction::acGetCounterDateTime, &TMainFrm::acGetCounterDateTimeExecute},
        {TAction::acAbout, &TMainFrm::acAboutExecute},
        {TAction::acExportToExcel, &TMainFrm::acExportToExcelExecute},
        {TAction::acParametrization, &TMainFrm::acParametrizationExecute},
        {TAction::acExportToVetrel, &TMainFrm::acExportToVetrelExecute},
        {TAction::acParametrizationOptions, &TMainFrm::acParametrizationOptionsExecute},
        {TAction::acWritePasswords, &TMainFrm::acWritePasswordsExecute},
        {TAction::acSetCurrency, &TMainFrm::acSetCurrencyExecute},
        {TAction::acCheckUpdates, &TMainFrm::acCheckUpdatesExecute},
        {TAction::acSetCorrectlyRange, &TMainFrm::acSetCorrectlyRangeExecute},
    };
    static_assert(std::size(table) == kActionCount, "one handler per command");
    return table[static_cast<std::size_t>(action)].second;
}

QList<QKeySequence> Shortcuts(std::string_view text) {
    if (text.empty()) return {};
    const QKeySequence seq = QKeySequence::fromString(Utf8(text), QKeySequence::PortableText);
    if (text == "Ctrl+Enter")  // the main Enter key as well as the one of the keypad
        return {QKeySequence(Qt::CTRL | Qt::Key_Return), seq};
    return {seq};
}

}  // namespace

TMainFrm::TMainFrm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainFrm");
    setWindowTitle(QStringLiteral("Ольмар"));
    setWindowIcon(ProgramIcon());
    mdi_ = new QMdiArea(this);
    mdi_->setObjectName("MdiArea");
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &TMainFrm::SubWindowActivated);

    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateTabRow();
    CreateStatusBar();
    SetSessionText(QStringLiteral("Сеанс закрыт"));
    // The meter list shows how many read values the background writer still holds.
    PendingRecords = [] { return static_cast<std::size_t>(std::max(0, PendingCount())); };

    // The idle cycle: whenever the event loop is about to wait, and a few times a
    // second so the writer's count moves while nothing else happens.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TMainFrm::ApplicationEventsIdle);
    idleTimer_ = new QTimer(this);
    idleTimer_->setInterval(250);
    connect(idleTimer_, &QTimer::timeout, this, &TMainFrm::ApplicationEventsIdle);
    idleTimer_->start();
    ApplicationEventsIdle();
    resize(1280, 800);
}

TMainFrm::~TMainFrm() {
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) disconnect(dispatcher, nullptr, this, nullptr);
    // Child windows go first, while their tabs still exist.
    for (QMdiSubWindow* sub : mdi_->subWindowList()) delete sub;
}

void TMainFrm::CreateActions() {
    for (const TActionInfo& row : ActionTable()) {
        auto* action = new QAction(ActionIcon(row.Action), Utf8(row.Caption), this);
        action->setObjectName(Utf8(row.Name));
        action->setShortcuts(Shortcuts(row.Shortcut));
        if (!row.Hint.empty()) {
            action->setToolTip(Utf8(HintToolTip(row.Hint)));
            action->setStatusTip(Utf8(HintStatusText(row.Hint)));
        }
        action->setEnabled(row.EnabledAtStart);
        const Handler handler = HandlerOf(row.Action);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        actions_[static_cast<std::size_t>(row.Action)] = action;
    }
    // Shortcuts work wherever the focus is inside the main window.
    addActions(QList<QAction*>(actions_.begin(), actions_.end()));
}

void TMainFrm::CreateMenus() {
    std::map<std::string, QMenu*> subMenus;
    auto fill = [&](QMenu* menu, const TMenuDef& def) {
        menu->setObjectName(QString::fromLatin1(def.ObjectName));
        menu->setToolTipsVisible(false);
        for (std::string_view item : def.Items) {
            if (item == "-")
                menu->addSeparator();
            else if (item.starts_with("@"))
                menu->addMenu(subMenus.at(std::string(item.substr(1))));
            else if (auto a = ActionByName(item))
                menu->addAction(Action(*a));
        }
    };
    for (const TMenuDef& def : SubMenuDefs()) {
        auto* menu = new QMenu(QString::fromUtf8(def.Caption), this);
        fill(menu, def);
        subMenus[def.Caption] = menu;
    }
    menuBar()->setObjectName("MainMenu");
    for (const TMenuDef& def : MenuDefs()) fill(menuBar()->addMenu(QString::fromUtf8(def.Caption)), def);
}

void TMainFrm::CreateToolBars() {
    auto bar = [this](const char* name, std::initializer_list<std::string_view> items) {
        auto* tb = addToolBar(QString::fromLatin1(name));
        tb->setObjectName(QString::fromLatin1(name));
        tb->setFloatable(false);
        tb->setIconSize(QSize(24, 24));
        for (std::string_view item : items) {
            if (item == "-")
                tb->addSeparator();
            else if (auto a = ActionByName(item))
                tb->addAction(Action(*a));
        }
        return tb;
    };
    toolBar_ = bar("ToolBar", {"acBeginSeance", "-", "acCounters", "-", "acSetup", "acExit"});
    toolBar_->setWindowTitle(QStringLiteral("Панель инструментов"));
    counterBar_ = bar("CounterOperations", {"acAddCounter", "acEditCounter", "acDeleteCounter", "-", "acCounterParams",
                                            "acStat", "acPower", "-", "acTaskCounterFile", "acSeance"});
    counterBar_->setWindowTitle(QStringLiteral("Операции со счетчиками"));
}

void TMainFrm::CreateTabRow() {
    btnCoolBar_ = new QToolBar(QStringLiteral("Окна"), this);
    btnCoolBar_->setObjectName("BtnCoolBar");
    btnCoolBar_->setMovable(false);
    btnCoolBar_->setFloatable(false);
    btnCoolBar_->toggleViewAction()->setVisible(false);
    pageControl_ = new TBtnPageControl(btnCoolBar_);
    btnCoolBar_->addWidget(pageControl_);
    addToolBar(Qt::BottomToolBarArea, btnCoolBar_);
    connect(pageControl_, &QTabBar::currentChanged, this, &TMainFrm::BtnPageControlChange);
    connect(pageControl_, &TBtnPageControl::TabContextMenu, this, &TMainFrm::BtnPageControlContextMenu);

    sysPopupMenu_ = new QMenu(this);
    sysPopupMenu_->setObjectName("SysPopupMenu");
    restoreWinItem_ = sysPopupMenu_->addAction(style()->standardIcon(QStyle::SP_TitleBarNormalButton),
                                               QStringLiteral("&Восстановить"), this, &TMainFrm::RestoreWinItemClick);
    restoreWinItem_->setObjectName("RestoreWinItem");
    minimizeWinItem_ = sysPopupMenu_->addAction(style()->standardIcon(QStyle::SP_TitleBarMinButton),
                                                QStringLiteral("&Свернуть"), this, &TMainFrm::MinimizeWinItemClick);
    minimizeWinItem_->setObjectName("MinimizeWinItem");
    sysPopupMenu_->addSeparator();
    closeWinItem_ = sysPopupMenu_->addAction(style()->standardIcon(QStyle::SP_TitleBarCloseButton),
                                             QStringLiteral("&Закрыть"), this, &TMainFrm::CloseWinItemClick);
    closeWinItem_->setObjectName("CloseWinItem");
    // Shown in the menu as the usual key of closing a window; the menu itself serves it.
    closeWinItem_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    closeWinItem_->setShortcutContext(Qt::WidgetShortcut);
    sysPopupMenu_->setDefaultAction(closeWinItem_);
    connect(sysPopupMenu_, &QMenu::aboutToShow, this, &TMainFrm::SysPopupMenuPopup);
}

void TMainFrm::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < 4; ++i) {
        auto* label = new TStatusPanel(this);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(0);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        panels_[static_cast<std::size_t>(i)] = label;
    }
    // Panel 1 carries the session picture before its text.
    auto* sessionBox = new QFrame(this);
    sessionBox->setObjectName("StatusPanel1Box");
    sessionBox->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    sessionBox->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(sessionBox);
    row->setContentsMargins(3, 0, 0, 0);
    row->setSpacing(4);
    sessionIcon_ = new QLabel(sessionBox);
    sessionIcon_->setPixmap(WindowIcon(TWindowIcon::Session).pixmap(16, 16));
    panels_[1]->setFrameStyle(QFrame::NoFrame);
    panels_[1]->setParent(sessionBox);
    row->addWidget(sessionIcon_);
    row->addWidget(panels_[1], 1);

    // Four equal stretches: each panel keeps a quarter of the width on every resize.
    bar->addWidget(panels_[0], 1);
    bar->addWidget(sessionBox, 1);
    bar->addWidget(panels_[2], 1);
    bar->addWidget(panels_[3], 1);
    panels_[3]->setText(QString::fromUtf8(kNotice));
    panels_[3]->setToolTip(panels_[3]->text());
}

void TMainFrm::SetSessionText(const QString& text) {
    sessionText_ = text;
    panels_[1]->setText(text);
    panels_[1]->setToolTip(text);
}

bool TMainFrm::event(QEvent* e) {
    // Hints of menus and bars go to the first status panel, not over all four.
    if (e->type() == QEvent::StatusTip) {
        panels_[0]->setText(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void TMainFrm::closeEvent(QCloseEvent* e) {
    if (loggedIn_) {
        acEndSeanceExecute();
        if (loggedIn_) {
            e->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(e);
}

// ---- session switch and enabling ----

void TMainFrm::SetLoggedIn(bool flag, const TGateUser& user, const QString& userName) {
    loggedIn_ = flag;
    if (flag) {
        user_ = user;
        userName_ = userName;
        EnableAfterLogin();
    } else {
        DisableAfterLogout();
        user_ = TGateUser();
        userName_.clear();
    }
    ApplicationEventsIdle();
}

void TMainFrm::ApplyGate(TAction action, std::optional<bool> state) {
    if (state) Action(action)->setEnabled(*state);
}

void TMainFrm::EnableAfterLogin() {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        const auto a = static_cast<TAction>(i);
        ApplyGate(a, LoginGate(a, user_));
    }
}

void TMainFrm::DisableAfterLogout() {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        const auto a = static_cast<TAction>(i);
        ApplyGate(a, LogoutGate(a));
    }
    // Nothing of the closed session stays on screen, even a window that objects.
    if (!CloseAllChildren())
        for (QMdiSubWindow* sub : mdi_->subWindowList()) delete sub;
}

TGateContext TMainFrm::GateContext() const {
    TGateContext c;
    c.LoggedIn = loggedIn_;
    if (TTabForm* child = ActiveChild()) {
        c.ActiveChild = child->ChildKind();
        c.HasRows = child->HasRows();
    }
    c.WriterPending = PendingRecords && PendingRecords() > 0;
    return c;
}

void TMainFrm::ApplicationEventsIdle() {
    const TGateContext c = GateContext();
    for (std::size_t i = 0; i < kActionCount; ++i) {
        const auto a = static_cast<TAction>(i);
        ApplyGate(a, IdleGate(a, user_, c));
    }
    if (TTabForm* child = ActiveChild()) child->UpdateIdleGates(user_, c);
    if (c.LoggedIn && c.ActiveChild == TChildKind::Counters) {
        const std::size_t pending = PendingRecords ? PendingRecords() : 0;
        const QString text = QStringLiteral("Осталось несохраненных записей: %1").arg(pending);
        if (panels_[1]->text() != text) {
            panels_[1]->setText(text);
            panels_[1]->setToolTip(text);
        }
    } else if (panels_[1]->text() != sessionText_) {
        panels_[1]->setText(sessionText_);
        panels_[1]->setToolTip(sessionText_);
    }
}

// ---- child windows ----

TTabForm* TMainFrm::ActiveChild() const {
    QMdiSubWindow* sub = mdi_->currentSubWindow();
    return sub ? qobject_cast<TTabForm*>(sub->widget()) : nullptr;
}

QList<TTabForm*> TMainFrm::Children() const {
    QList<TTabForm*> list;
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (auto* form = qobject_cast<TTabForm*>(sub->widget())) list << form;
    return list;
}

bool TMainFrm::CloseChild(TTabForm* form) {
    QMdiSubWindow* sub = form ? form->SubWindow() : nullptr;
    if (!sub) return true;
    if (!sub->close()) return false;
    delete sub;  // freed at once, so its tab goes with it
    return true;
}

bool TMainFrm::CloseAllChildren() {
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        auto* form = qobject_cast<TTabForm*>(sub->widget());
        if (form ? !CloseChild(form) : !sub->close()) return false;
        if (!form) delete sub;
    }
    return true;
}

bool TMainFrm::ActivateChild(const QString& className, const QString& caption) {
    for (TTabForm* form : Children()) {
        if (QString::fromLatin1(form->metaObject()->className()) != className) continue;
        if (!caption.isEmpty() && form->windowTitle() != caption) continue;
        form->BringToFront();
        return true;
    }
    return false;
}

void TMainFrm::SubWindowActivated(QMdiSubWindow* sub) {
    if (!sub || syncingTabs_) return;
    const int index = pageControl_->IndexOf(sub->widget());
    if (index < 0) return;
    syncingTabs_ = true;
    pageControl_->setCurrentIndex(index);
    syncingTabs_ = false;
}

void TMainFrm::BtnPageControlChange(int index) {
    if (syncingTabs_) return;
    if (auto* form = qobject_cast<TTabForm*>(pageControl_->FormAt(index))) {
        syncingTabs_ = true;
        form->BringToFront();
        syncingTabs_ = false;
    }
}

TTabForm* TMainFrm::SelectedTabForm() const {
    return qobject_cast<TTabForm*>(pageControl_->FormAt(pageControl_->currentIndex()));
}

void TMainFrm::BtnPageControlContextMenu(int index, const QPoint& globalPos) {
    if (auto* form = qobject_cast<TTabForm*>(pageControl_->FormAt(index))) form->BringToFront();
    // Opened above the pointer: the tab row sits at the bottom of the screen.
    sysPopupMenu_->popup(globalPos - QPoint(0, sysPopupMenu_->sizeHint().height()));
}

void TMainFrm::SysPopupMenuPopup() {
    TTabForm* selected = SelectedTabForm();
    QMdiSubWindow* active = mdi_->currentSubWindow();
    const bool minimized = active && active->isMinimized();
    const bool maximized = active && active->isMaximized();
    restoreWinItem_->setEnabled(selected && (minimized || maximized));
    minimizeWinItem_->setEnabled(selected && !minimized);
    closeWinItem_->setEnabled(selected != nullptr);
}

void TMainFrm::RestoreWinItemClick() {
    if (TTabForm* form = SelectedTabForm()) form->SubWindow()->showNormal();
}

void TMainFrm::MinimizeWinItemClick() {
    if (TTabForm* form = SelectedTabForm()) form->SubWindow()->showMinimized();
}

void TMainFrm::CloseWinItemClick() {
    if (TTabForm* form = SelectedTabForm()) CloseChild(form);
}

void TMainFrm::Tile(Qt::Orientation orientation) {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (sub->isVisible() && !sub->isMinimized()) windows << sub;
    if (windows.isEmpty()) return;
    const QRect area = mdi_->viewport()->rect();
    const int n = static_cast<int>(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = windows[i];
        if (sub->isMaximized()) sub->showNormal();
        QRect r;
        if (orientation == Qt::Horizontal) {
            // Horizontal strips, one above the other, each the full width.
            const int top = area.height() * i / n;
            r = QRect(0, top, area.width(), area.height() * (i + 1) / n - top);
        } else {
            const int left = area.width() * i / n;
            r = QRect(left, 0, area.width() * (i + 1) / n - left, area.height());
        }
        sub->setGeometry(r);
    }
}

// ---- meter jobs ----

QString TMainFrm::JobErrorText(const std::string& errorText) {
    return QStringLiteral("Произошла ошибка : ") + QString::fromStdString(errorText);
}

TJobOutcome TMainFrm::RunMeterJob(const TMeterJob& job) {
    if (ComPort == nullptr || !ComPort->Opened) {
        ErrorBox(this, QStringLiteral("Последовательный порт не открыт для работы!"));
        return TJobOutcome::NotStarted;
    }
    if (job.NeedsMeterList) {
        TTabForm* child = ActiveChild();
        if (!child || child->ChildKind() != TChildKind::Counters) return TJobOutcome::NotStarted;
    }
    if (job.Prepare && !job.Prepare()) return TJobOutcome::NotStarted;

    int result = TFileProgressDlg::ResultAbort;
    {
        TFileProgressDlg dlg(this);
        dlg.SetJob(job.Job);
        result = dlg.exec();
    }
    if (UserCancelled) {
        InfoBox(this, QStringLiteral("Сеанс был прерван пользователем!"));
        return TJobOutcome::Cancelled;
    }
    if (result == TFileProgressDlg::ResultOk) {
        // A command whose result has nothing to say shows no empty box.
        if (const QString text = job.SuccessText ? job.SuccessText() : QString(); !text.isEmpty()) InfoBox(this, text);
        return TJobOutcome::Succeeded;
    }
    if (job.FailureText) ErrorBox(this, job.FailureText());
    return TJobOutcome::Failed;
}

// ---- command handlers ----

void TMainFrm::acBeginSeanceExecute() {
    if (loggedIn_) return;
    if (AdministratorMode) {
        // The built-in administrator of the command line: no dialog, no journal row,
        // no status text, LastUser untouched; the writer one step above normal.
        if (User) {
            User->SetAdministrator();
            User->BeginSeance();
        }
        QString error;
        if (!StartSessionWriter(this, true, &error)) {
            if (User) User->EndSeance();
            ErrorBox(this, QStringLiteral("Не удалось запустить запись данных в базу: ") + error);
            return;
        }
        if (!PendingRecords)
            PendingRecords = [] {
                const int n = PendingCount();
                return static_cast<std::size_t>(n > 0 ? n : 0);
            };
        SetLoggedIn(true, User ? User->GateUser() : TGateUser::Administrator(), QString::fromUtf8(kAdministratorName));
        return;
    }
    if (!User) return;
    // The dialog checks the user and opens his session; it closes with OK only then.
    TRegAdminDlg dlg(this, *User, Configuration);
    if (Configuration) dlg.SetUserName(QString::fromStdString(Configuration->LastUser));
    if (dlg.exec() != QDialog::Accepted) return;
    QString error;
    if (!StartSessionWriter(this, false, &error)) {
        // Readings could not be stored: no session without its writer.
        User->EndSeance();
        ErrorBox(this, QStringLiteral("Не удалось запустить запись данных в базу: ") + error);
        return;
    }
    if (!PendingRecords)
        PendingRecords = [] {
            const int n = PendingCount();
            return static_cast<std::size_t>(n > 0 ? n : 0);
        };
    SetLoggedIn(true, User->GateUser(), QString::fromStdString(User->UserName));
    SetSessionText(QString::fromStdString(SessionOpenText(*User)));
    if (Configuration) {
        Configuration->LastUser = dlg.UserNameText().toStdString();
        Configuration->Save();
    }
}

void TMainFrm::acEndSeanceExecute() {
    if (!loggedIn_) return;
    if (PendingRecords && PendingRecords() > 0 &&
        AskYesNo(this,
                 QStringLiteral("Информация со счетчика сохранена не полносью и в случае завершения сеанса будет "
                                "утеряна. Продолжить работу?"),
                 QStringLiteral("Данные не сохранены"), QMessageBox::Warning))
        return;  // Yes: the user goes on working; No goes on to end the session
    if (!AskYesNo(this, QStringLiteral("Завершить сеанс пользователя : %1?").arg(userName_),
                  QStringLiteral("Завершение сеанса"), QMessageBox::Information))
        return;
    if (User && User->IsSeanceOpen) User->EndSeance();
    SetLoggedIn(false);
    SetSessionText(QStringLiteral("Сеанс закрыт"));
    // What is still queued is dropped: the user agreed to lose it above.
    StopSessionWriter();
}

// ---- users, groups and their work journal ----

void TMainFrm::acUsersExecute() {
    if (!loggedIn_ || !DataBaseModule) return;
    if (ActivateChild(QStringLiteral("TUsersFrm"))) return;
    new TUsersFrm(this);
}

void TMainFrm::acUserGroupsExecute() {
    if (!loggedIn_ || !DataBaseModule) return;
    if (ActivateChild(QStringLiteral("TUserGroupsFrm"))) return;
    new TUserGroupsFrm(this);
}

void TMainFrm::acResetRegisterExecute() {
    if (!loggedIn_ || !DataBaseModule || !User) return;
    if (!AskYesNoCancel(this, QStringLiteral("Очистить журнал работы пользователей?"))) return;
    const TAdminResult result = ClearJournal(DataBaseModule->Db(), *User);
    if (!result.Ok) {
        ErrorBox(this, QString::fromStdString(result.Message));
        return;
    }
    for (TTabForm* form : Children())
        if (auto* journal = qobject_cast<TUserRegisterFrm*>(form)) journal->Refresh();
    InfoBox(this, QStringLiteral("Журнал работы пользователей очищен!"));
}

void TMainFrm::acExitExecute() { close(); }

void TMainFrm::acCascadeExecute() { mdi_->cascadeSubWindows(); }
void TMainFrm::acTileHorExecute() { Tile(Qt::Horizontal); }
void TMainFrm::acTileVertExecute() { Tile(Qt::Vertical); }
void TMainFrm::acCloseAllExecute() { CloseAllChildren(); }

void TMainFrm::acAboutExecute() {
    TAboutDlg dlg(this);
    dlg.exec();
}

void TMainFrm::acHelpExecute() {
    // The help pages lie beside the program; the active window names its section.
    const QString file = QString::fromStdString(ProgramHome()) + QStringLiteral("Help/index.html");
    if (!QFileInfo::exists(file)) {
        InfoBox(this, QStringLiteral("Файл справки не найден: %1").arg(file));
        return;
    }
    QUrl url = QUrl::fromLocalFile(file);
    if (TTabForm* child = ActiveChild()) url.setFragment(QString::fromLatin1(child->metaObject()->className()));
    QDesktopServices::openUrl(url);
}

// Commands whose windows, dialogs and jobs are built on the users, registry,
// report and session work; each stays an empty handler until then.
void TMainFrm::acPrintExecute() {}
void TMainFrm::acVersionsExecute() {}
void TMainFrm::acFilesExecute() {}
void TMainFrm::acDefaultParamsExecute() {}
void TMainFrm::acStatExecute() {}
void TMainFrm::acPowerExecute() {}
void TMainFrm::acTaskProgFileExecute() {}
void TMainFrm::acProgrammersExecute() {}
void TMainFrm::acProgWriteSeanceExecute() {}
void TMainFrm::acProgReadSeanceExecute() {}
void TMainFrm::acSetupExecute() {}
void TMainFrm::acQueryExecute() {}
void TMainFrm::acCounterParamsExecute() {}
void TMainFrm::acExportToExcelExecute() {}
void TMainFrm::acParametrizationExecute() {}
void TMainFrm::acExportToVetrelExecute() {}
void TMainFrm::acParametrizationOptionsExecute() {}
void TMainFrm::acCheckUpdatesExecute() {}

// ---- meter registry and meter commands ----

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

void Unsupported(QWidget* parent) { ErrorBox(parent, QString::fromUtf8(commandjobs::kUnsupportedCommandText)); }

// The selected meter into the session object, as every meter job needs it.
void CopyMeterToSeance(const TCounterRow& row) {
    if (!CounterSeance) return;
    CounterSeance->CounterID = row.CounterID;
    CounterSeance->CounterName = row.CounterName;
    CounterSeance->ZNumber = static_cast<std::uint32_t>(row.ZNumber);
    CounterSeance->VersionID = static_cast<std::uint8_t>(row.VersionID);
}

TCounterStat CounterStatOf(const TCounterRow& row) {
    return TCounterStat(row.CounterID, row.CounterName, row.ZNumber, row.VersionInternalID, row.VersionID);
}

// What a measurement read, one "label : value unit" line per field.
QString MeasuredText(TAction action) {
    const int version = CounterSeance->VersionID;
    int mode = commandjobs::PowerDialogMode(action, version);
    if (mode < 0) mode = 0;  // the vector diagram reads the full measurement
    const bool perPhase = commandjobs::IsPerPhaseVersion(CurrentVersion);
    QStringList lines;
    lines << QStringLiteral("Измеренные величины (") + Q(CounterSeance->CounterName) + QStringLiteral("):");
    for (const auto& v : commandjobs::MeasuredValues(mode, perPhase, CounterSeance->VoltageKoef,
                                                    CounterSeance->CurrentKoef)) {
        QString line = Q(v.Label) + QStringLiteral(" : ") + Q(v.Text);
        if (!v.Unit.empty()) line += QLatin1Char(' ') + Q(v.Unit);
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

TCountersFrm* TMainFrm::ActiveCountersFrm() const { return qobject_cast<TCountersFrm*>(ActiveChild()); }

TJobOutcome TMainFrm::RunSelectedMeterJob(TMeterJob job, std::function<bool(const TCounterRow&)> prepare) {
    if (!CounterSeance) return TJobOutcome::NotStarted;
    auto commandChecks = std::move(job.Prepare);
    job.Prepare = [this, prepare = std::move(prepare), commandChecks = std::move(commandChecks)] {
        TCountersFrm* list = ActiveCountersFrm();
        const auto row = list ? list->CurrentCounter() : std::nullopt;
        if (!row) return false;
        if (prepare && !prepare(*row)) return false;
        if (commandChecks && !commandChecks()) return false;
        CopyMeterToSeance(*row);
        return true;
    };
    return RunMeterJob(job);
}

void TMainFrm::CounterStored(std::int32_t counterID) {
    if (TCountersFrm* list = ActiveCountersFrm()) list->Refresh(counterID);
}

TJobOutcome TMainFrm::RunMeterCommand(TAction action, std::function<bool(const TCounterRow&)> prepare) {
    if (!CounterSeance) return TJobOutcome::NotStarted;
    TMeterJob job;
    job.Job = [action] { return commandjobs::RunMeterCommand(action, *CounterSeance); };
    job.SuccessText = [action] {
        const std::string text = commandjobs::CommandSuccessText(action, *CounterSeance);
        if (!text.empty() || !commandjobs::IsMeasurement(action)) return Q(text);
        // Measurements without an energy message show what they measured.
        if (commandjobs::PowerDialogMode(action, CounterSeance->VersionID) >= 0 || action == TAction::acVector)
            return MeasuredText(action);
        return QString();
    };
    job.FailureText = [action] { return Q(commandjobs::CommandFailureMessage(action, *CounterSeance)); };
    auto check = [this, action, prepare = std::move(prepare)](const TCounterRow& row) {
        if (!commandjobs::CommandAllowed(action, row.VersionID, row.VersionInternalID)) {
            Unsupported(this);
            return false;
        }
        return !prepare || prepare(row);
    };
    if (commandjobs::NeedsNoMeter(action)) {
        job.NeedsMeterList = false;
        job.Prepare = [this] {
            // No meter is needed; the one selected, if any, names the session in the log.
            if (TCountersFrm* list = ActiveCountersFrm())
                if (const auto row = list->CurrentCounter()) CopyMeterToSeance(*row);
            return true;
        };
        return RunMeterJob(job);
    }
    return RunSelectedMeterJob(job, check);
}

TJobOutcome TMainFrm::RunSessionCommand(std::function<bool()> sessionJob) {
    if (!CounterSeance || !DataBaseModule) return TJobOutcome::NotStarted;
    TMeterJob job;
    job.Job = [sessionJob = std::move(sessionJob)] { return RunWithSessionPrompts(sessionJob); };
    job.SuccessText = [] { return QString::fromUtf8(kSessionSucceededText); };
    job.FailureText = [] { return Q(SessionResultText(false, false, CounterSeance->ErrorText)); };
    return RunSelectedMeterJob(job);
}

void TMainFrm::acCountersExecute() {
    if (ActivateChild(QStringLiteral("TCountersFrm"))) return;
    new TCountersFrm(this);
}

void TMainFrm::acAddCounterExecute() {
    if (!DataBaseModule) return;
    TAddCounterDlg dlg(this, DataBaseModule->Db());
    if (dlg.exec() != QDialog::Accepted) return;
    CounterStored(dlg.CounterID());
}

void TMainFrm::acEditCounterExecute() {
    TCountersFrm* list = ActiveCountersFrm();
    const auto row = list ? list->CurrentCounter() : std::nullopt;
    if (!row || !DataBaseModule) return;
    TAddCounterDlg dlg(this, DataBaseModule->Db());
    dlg.SetEditMode(*row);
    if (dlg.exec() != QDialog::Accepted) return;
    CounterStored(dlg.CounterID());
}

void TMainFrm::acDeleteCounterExecute() {
    TCountersFrm* list = ActiveCountersFrm();
    const auto row = list ? list->CurrentCounter() : std::nullopt;
    if (!row || !DataBaseModule) return;
    if (!AskYesNoCancel(this, Q(DeleteCounterQuestion(row->CounterName)))) return;
    const TAdminResult result = DeleteCounter(DataBaseModule->Db(), row->CounterID);
    if (!result.Ok) {
        ErrorBox(this, Q(result.Message));
        return;
    }
    list->Refresh();
}

void TMainFrm::acCounterRegisterExecute() {
    TCountersFrm* list = ActiveCountersFrm();
    const auto row = list ? list->CurrentCounter() : std::nullopt;
    if (!row) return;
    const QString name = Q(row->CounterName);
    if (ActivateChild(QStringLiteral("TCounterRegisterFrm"), TCounterRegisterFrm::TitleFor(name))) return;
    new TCounterRegisterFrm(this, row->CounterID, name);
}

void TMainFrm::acTaskCounterFileExecute() {
    if (!DataBaseModule) return;
    TCounterTaskDlg dlg(this, DataBaseModule->Db(), user_);
    // Without the meter list the dialog opens empty.
    if (TCountersFrm* list = ActiveCountersFrm())
        if (const auto row = list->CurrentCounter()) dlg.Fill(CounterStatOf(*row));
    dlg.exec();
}

void TMainFrm::acSeanceExecute() {
    PasswordChangeMode = false;
    RunSessionCommand([] { return MeterSession().SeanceJob(); });
}

void TMainFrm::acInitSeanceExecute() {
    if (ComPort == nullptr || !ComPort->Opened) {
        ErrorBox(this, QString::fromUtf8(commandjobs::kPortClosedText));
        return;
    }
    if (!ActiveCountersFrm() || !ActiveCountersFrm()->CurrentCounter()) return;
    // Supervisors only; the built-in administrator holds every right as well.
    if (user_.UserGroupID != 1 && !user_.BuiltInAdministrator) {
        InfoBox(this, QString::fromUtf8(kInitRefusedText));
        return;
    }
    if (!TFrmSeancePassword::AskWritePassword(this)) return;
    if (!AskYesNo(this, QString::fromUtf8(kInitQuestionText), QString(), QMessageBox::Information)) return;
    PasswordChangeMode = false;
    RunSessionCommand([] { return MeterSession().InitSeanceJob(); });
}

void TMainFrm::acWritePasswordsExecute() {
    if (ComPort == nullptr || !ComPort->Opened) {
        ErrorBox(this, QString::fromUtf8(commandjobs::kPortClosedText));
        return;
    }
    TCountersFrm* list = ActiveCountersFrm();
    const auto row = list ? list->CurrentCounter() : std::nullopt;
    if (!row || !DataBaseModule) return;
    TFrmPasswords dlg(this);
    if (!dlg.Fill(DataBaseModule->Db(), CounterStatOf(*row))) {
        ErrorBox(this, QStringLiteral("Ошибка при чтении паролей счетчика из базы данных!"));
        return;
    }
    if (dlg.exec() != QDialog::Accepted) return;
    if (!AskYesNo(this, QString::fromUtf8(kPasswordQuestionText), QString(), QMessageBox::Information)) return;
    // Only while this job runs, whatever way it ends.
    struct TModeGuard {
        TModeGuard() { PasswordChangeMode = true; }
        ~TModeGuard() { PasswordChangeMode = false; }
    } guard;
    RunSessionCommand([] { return MeterSession().PasswordJob(); });
}

void TMainFrm::acResetSeanceExecute() {
    // Sent as it is: no dialog, no port check, no message (a closed port just fails).
    if (CounterSeance) CounterSeance->ResetAllSessions();
}

void TMainFrm::acGetZNumberExecute() { RunMeterCommand(TAction::acGetZNumber); }
void TMainFrm::acGetCounterDateTimeExecute() { RunMeterCommand(TAction::acGetCounterDateTime); }

void TMainFrm::acSetCurrencyExecute() {
    RunMeterCommand(TAction::acSetCurrency, [this](const TCounterRow&) {
        QInputDialog dlg(this);
        dlg.setWindowTitle(QString::fromUtf8(commandjobs::kCurrencyCaption));
        dlg.setLabelText(QString::fromUtf8(commandjobs::kCurrencyPrompt));
        dlg.setTextValue(QString::fromUtf8(commandjobs::kCurrencyInitial));
        dlg.setOkButtonText(QStringLiteral("OK"));
        dlg.setCancelButtonText(QStringLiteral("Отмена"));
        if (auto* edit = dlg.findChild<QLineEdit*>()) edit->setMaxLength(static_cast<int>(commandjobs::kCurrencyMaxChars));
        const std::string text = dlg.exec() == QDialog::Accepted ? dlg.textValue().toStdString() : std::string();
        if (auto refusal = commandjobs::CurrencyRefusal(text)) {
            ErrorBox(this, Q(*refusal));
            return false;
        }
        CounterSeance->CurrencyCode = text;
        return true;
    });
}

void TMainFrm::acSetCorrectlyRangeExecute() {
    RunMeterCommand(TAction::acSetCorrectlyRange, [this](const TCounterRow&) {
        TFrmSetCorrectlyRange dlg(this);
        if (dlg.exec() != QDialog::Accepted) return false;
        CounterSeance->PrecisionCode = dlg.PrecisionCode();
        return true;
    });
}

void TMainFrm::acSetCardExecute() {
    RunMeterCommand(TAction::acSetCard, [this](const TCounterRow&) {
        return AskYesNoCancel(this, QString::fromUtf8(commandjobs::kCardSupportQuestion));
    });
}

void TMainFrm::acManageChannelsExecute() {
    RunMeterCommand(TAction::acManageChannels, [this](const TCounterRow&) {
        TChanelDlg dlg(this);
        if (dlg.exec() != QDialog::Accepted) return false;
        CounterSeance->ChannelSettings = dlg.Settings();
        return true;
    });
}

void TMainFrm::acGetEnergyByMinExecute() {
    RunMeterCommand(TAction::acGetEnergyByMin, [this](const TCounterRow&) {
        TgetMinutesForm dlg(this);
        if (dlg.exec() != QDialog::Accepted) return false;
        MinuteInterval = dlg.Minutes();
        return true;
    });
}

void TMainFrm::acOffContactorExecute() { RunMeterCommand(TAction::acOffContactor); }
void TMainFrm::acRelaxContactorExecute() { RunMeterCommand(TAction::acRelaxContactor); }
void TMainFrm::acOnChannel1Execute() { RunMeterCommand(TAction::acOnChannel1); }
void TMainFrm::acOffChannel1Execute() { RunMeterCommand(TAction::acOffChannel1); }
void TMainFrm::acOnChannel2Execute() { RunMeterCommand(TAction::acOnChannel2); }
void TMainFrm::acOffChannel2Execute() { RunMeterCommand(TAction::acOffChannel2); }
void TMainFrm::acOnOptoPortExecute() { RunMeterCommand(TAction::acOnOptoPort); }
void TMainFrm::acOffOptoPortExecute() { RunMeterCommand(TAction::acOffOptoPort); }
void TMainFrm::acGetPowerExecute() { RunMeterCommand(TAction::acGetPower); }
void TMainFrm::acGetMomentPowerExecute() { RunMeterCommand(TAction::acGetMomentPower); }
void TMainFrm::acGetOnlyPowerExecute() { RunMeterCommand(TAction::acGetOnlyPower); }
void TMainFrm::acGetOnlyVoltageExecute() { RunMeterCommand(TAction::acGetOnlyVoltage); }
void TMainFrm::acGetOnlyCurrentExecute() { RunMeterCommand(TAction::acGetOnlyCurrent); }
void TMainFrm::acGetOnlyEnergyExecute() { RunMeterCommand(TAction::acGetOnlyEnergy); }
void TMainFrm::acGetOnlyEnergy_1Execute() { RunMeterCommand(TAction::acGetOnlyEnergy_1); }
void TMainFrm::acVectorExecute() { RunMeterCommand(TAction::acVector); }
