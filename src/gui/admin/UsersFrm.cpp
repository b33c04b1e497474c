#include "admin/UsersFrm.h"

#include "admin/AccessRightDlg.h"
#include "admin/AddUserDlg.h"
#include "admin/AdminGrid.h"
#include "admin/UserRegisterFrm.h"
#include "db/DataBaseModule.h"
#include "shell/Icons.h"
#include "shell/MainFrm.h"
#include "shell/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

TUsersFrm::TUsersFrm(TMainFrm* mainFrm) : TTabForm(mainFrm, WindowIcon(TWindowIcon::Users)) {
    setObjectName("UsersFrm");
    setStatusTip(QStringLiteral("Окно списка пользователей"));

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName("ToolBar");
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto button = [this](const char* name, const char* caption, void (TUsersFrm::*slot)()) {
        QAction* a = toolBar_->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setIconText(a->text());  // tool buttons keep the "..." of a command that opens a dialog
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    addBtn_ = button("AddBtn", "Добавить...", &TUsersFrm::AddBtnClick);
    editBtn_ = button("EditBtn", "Править...", &TUsersFrm::EditBtnClick);
    delBtn_ = button("DelBtn", "Удалить...", &TUsersFrm::DelBtnClick);
    toolBar_->addSeparator();
    accessBtn_ = button("AccessBtn", "Права доступа...", &TUsersFrm::AccessBtnClick);
    toolBar_->addSeparator();

    auto* journalMenu = new QMenu(this);
    journalMenu->setObjectName("JournalMenu");
    allUsersItem_ = journalMenu->addAction(QStringLiteral("&Все пользователи"), this, &TUsersFrm::AllUsersItemClick);
    allUsersItem_->setObjectName("AllUsersItem");
    currentUserItem_ =
        journalMenu->addAction(QStringLiteral("Вы&деленный пользователь"), this, &TUsersFrm::CurrentUserItemClick);
    currentUserItem_->setObjectName("CurrentUserItem");
    journalBtn_ = new QToolButton(toolBar_);
    journalBtn_->setObjectName("JournalBtn");
    journalBtn_->setText(QStringLiteral("Журналы"));
    journalBtn_->setToolTip(QStringLiteral("Журнал работы"));
    journalBtn_->setMenu(journalMenu);
    journalBtn_->setPopupMode(QToolButton::InstantPopup);
    journalBtn_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Room for the drop-down mark beside the caption.
    journalBtn_->setMinimumWidth(journalBtn_->sizeHint().width() + 14);
    toolBar_->addWidget(journalBtn_);

    grid_ = admingrid::MakeGrid(this, {QStringLiteral("Имя пользователя"), QStringLiteral("Группа")});
    grid_->setColumnWidth(0, std::max(grid_->columnWidth(0), grid_->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 14));
    navBar_ = admingrid::MakeNavigator(this, grid_);
    connect(grid_, &QTableWidget::cellDoubleClicked, this, [this] {
        if (editBtn_->isEnabled()) EditBtnClick();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(toolBar_);
    layout->addWidget(navBar_);
    layout->addWidget(grid_, 1);

    SetTitle(QStringLiteral("Пользователи"));
    Refresh();
    UpdateButtons();
    resize(std::max(toolBar_->sizeHint().width() + 24, grid_->columnWidth(0) + grid_->fontMetrics().horizontalAdvance(
                                                                                   QStringLiteral("Опытные пользователи")) + 60),
           340);
    ShowChild();
}

bool TUsersFrm::HasRows() const { return !rows_.empty(); }

std::optional<TUserListRow> TUsersFrm::CurrentUser() const {
    const int r = grid_->currentRow();
    if (r < 0 || r >= static_cast<int>(rows_.size())) return std::nullopt;
    return rows_[static_cast<std::size_t>(r)];
}

bool TUsersFrm::Refresh(std::int32_t locateID) {
    if (DataBaseModule == nullptr) return false;
    if (locateID == 0)
        if (auto current = CurrentUser()) locateID = current->UserID;
    try {
        rows_ = ListUsers(DataBaseModule->Db());
    } catch (const std::exception&) {
        ErrorBox(this, QStringLiteral("Ошибка при чтении списка пользователей!"));
        return false;
    }
    grid_->setRowCount(static_cast<int>(rows_.size()));
    int locate = 0;
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const TUserListRow& u = rows_[static_cast<std::size_t>(r)];
        grid_->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(u.UserName)));
        grid_->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(u.UserGroupName)));
        if (u.UserID == locateID) locate = r;
    }
    admingrid::SelectRow(grid_, locate);
    return true;
}

void TUsersFrm::UpdateButtons() {
    const TGateUser& user = MainFrm()->SessionUser();
    const bool rows = HasRows();
    addBtn_->setEnabled(user.HasAccess(5));
    editBtn_->setEnabled(rows && user.HasAccess(5));
    delBtn_->setEnabled(rows && user.HasAccess(6));
    accessBtn_->setEnabled(rows && user.HasAccess(7));
    journalBtn_->setEnabled(rows);
}

void TUsersFrm::AddBtnClick() {
    if (!DataBaseModule || !addBtn_->isEnabled()) return;
    TAddUserDlg dlg(this, DataBaseModule->Db(), MainFrm()->SessionUser().UserGroupID);
    if (dlg.exec() != QDialog::Accepted) return;
    Refresh(dlg.UserID());
    UpdateButtons();
}

void TUsersFrm::EditBtnClick() {
    const auto row = CurrentUser();
    if (!row || !DataBaseModule || !editBtn_->isEnabled()) return;
    TAddUserDlg dlg(this, DataBaseModule->Db(), MainFrm()->SessionUser().UserGroupID);
    dlg.SetEditMode(*row);
    if (dlg.exec() != QDialog::Accepted) return;
    Refresh(row->UserID);
}

void TUsersFrm::DelBtnClick() {
    const auto row = CurrentUser();
    if (!row || !DataBaseModule || !delBtn_->isEnabled()) return;
    if (row->UserID == 1) {
        ErrorBox(this, QStringLiteral("Данного пользователя удалять запрещено!"));
        return;
    }
    if (!AskYesNoCancel(this, QString::fromStdString(DeleteUserQuestion(row->UserName)))) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TAdminResult result = DeleteUser(DataBaseModule->Db(), row->UserID);
    QApplication::restoreOverrideCursor();
    if (!result.Ok) ErrorBox(this, QString::fromStdString(result.Message));
    const int at = grid_->currentRow();
    Refresh();
    if (result.Ok) admingrid::SelectRow(grid_, at);
    UpdateButtons();
}

void TUsersFrm::AccessBtnClick() {
    const auto row = CurrentUser();
    if (!row || !DataBaseModule || !accessBtn_->isEnabled()) return;
    if (auto refusal = UserRightsRefusal(row->UserID)) {
        ErrorBox(this, QString::fromStdString(*refusal));
        return;
    }
    TAccessRightDlg dlg(this, DataBaseModule->Db());
    dlg.SetUserMode(row->UserGroupID, row->UserID);
    dlg.exec();
}

void TUsersFrm::AllUsersItemClick() {
    if (!HasRows()) return;
    const QString title = TUserRegisterFrm::AllUsersTitle();
    if (MainFrm()->ActivateChild(QStringLiteral("TUserRegisterFrm"), title)) return;
    new TUserRegisterFrm(MainFrm(), std::nullopt, title);
}

void TUsersFrm::CurrentUserItemClick() {
    const auto row = CurrentUser();
    if (!row) return;
    const QString title = TUserRegisterFrm::TitleFor(QString::fromStdString(row->UserName));
    if (MainFrm()->ActivateChild(QStringLiteral("TUserRegisterFrm"), title)) return;
    new TUserRegisterFrm(MainFrm(), row->UserID, title);
}
