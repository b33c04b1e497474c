#include "admin/UserGroupsFrm.h"

#include "admin/AccessRightDlg.h"
#include "admin/AddUserGroupDlg.h"
#include "admin/AdminGrid.h"
#include "db/DataBaseModule.h"
#include "shell/Icons.h"
#include "shell/MainFrm.h"
#include "shell/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <exception>

TUserGroupsFrm::TUserGroupsFrm(TMainFrm* mainFrm) : TTabForm(mainFrm, WindowIcon(TWindowIcon::Users)) {
    setObjectName("UserGroupsFrm");
    setStatusTip(QStringLiteral("Окно списка групп пользователей"));

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName("ToolBar");
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto button = [this](const char* name, const char* caption, void (TUserGroupsFrm::*slot)()) {
        QAction* a = toolBar_->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setIconText(a->text());  // tool buttons keep the "..." of a command that opens a dialog
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    addBtn_ = button("AddBtn", "Добавить...", &TUserGroupsFrm::AddBtnClick);
    editBtn_ = button("EditBtn", "Править...", &TUserGroupsFrm::EditBtnClick);
    delBtn_ = button("DelBtn", "Удалить...", &TUserGroupsFrm::DelBtnClick);
    toolBar_->addSeparator();
    accessBtn_ = button("AccessBtn", "Права доступа...", &TUserGroupsFrm::AccessBtnClick);

    grid_ = admingrid::MakeGrid(this, {QStringLiteral("Группа пользователей")});
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

    SetTitle(QStringLiteral("Группы пользователей"));
    Refresh();
    UpdateButtons();
    resize(std::max(toolBar_->sizeHint().width() + 24, grid_->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 24),
           300);
    ShowChild();
}

bool TUserGroupsFrm::HasRows() const { return !rows_.empty(); }

std::optional<TGroupRow> TUserGroupsFrm::CurrentGroup() const {
    const int r = grid_->currentRow();
    if (r < 0 || r >= static_cast<int>(rows_.size())) return std::nullopt;
    return rows_[static_cast<std::size_t>(r)];
}

bool TUserGroupsFrm::Refresh(std::int32_t locateID) {
    if (DataBaseModule == nullptr) return false;
    if (locateID == 0)
        if (auto current = CurrentGroup()) locateID = current->UserGroupID;
    try {
        rows_ = ListGroups(DataBaseModule->Db());
    } catch (const std::exception&) {
        ErrorBox(this, QStringLiteral("Ошибка при чтении списка групп пользователей!"));
        return false;
    }
    grid_->setRowCount(static_cast<int>(rows_.size()));
    int locate = 0;
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const TGroupRow& g = rows_[static_cast<std::size_t>(r)];
        grid_->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(g.UserGroupName)));
        if (g.UserGroupID == locateID) locate = r;
    }
    admingrid::SelectRow(grid_, locate);
    return true;
}

void TUserGroupsFrm::UpdateButtons() {
    const TGateUser& user = MainFrm()->SessionUser();
    const bool rows = HasRows();
    addBtn_->setEnabled(user.HasAccess(2));
    editBtn_->setEnabled(rows && user.HasAccess(2));
    delBtn_->setEnabled(rows && user.HasAccess(3));
    accessBtn_->setEnabled(rows && user.HasAccess(4));
}

void TUserGroupsFrm::AddBtnClick() {
    if (!DataBaseModule || !addBtn_->isEnabled()) return;
    TAddUserGroupDlg dlg(this, DataBaseModule->Db());
    if (dlg.exec() != QDialog::Accepted) return;
    Refresh(dlg.UserGroupID());
    UpdateButtons();
}

void TUserGroupsFrm::EditBtnClick() {
    const auto row = CurrentGroup();
    if (!row || !DataBaseModule || !editBtn_->isEnabled()) return;
    TAddUserGroupDlg dlg(this, DataBaseModule->Db());
    dlg.SetEditMode(*row);
    if (dlg.exec() != QDialog::Accepted) return;
    Refresh(row->UserGroupID);
}

void TUserGroupsFrm::DelBtnClick() {
    const auto row = CurrentGroup();
    if (!row || !DataBaseModule || !delBtn_->isEnabled()) return;
    if (row->UserGroupID <= 4) {
        ErrorBox(this, QStringLiteral("Данную группу пользователей удалять запрещено!"));
        return;
    }
    if (!AskYesNoCancel(this, QString::fromStdString(DeleteGroupQuestion(row->UserGroupName)))) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TAdminResult result = DeleteGroup(DataBaseModule->Db(), row->UserGroupID);
    QApplication::restoreOverrideCursor();
    if (!result.Ok) ErrorBox(this, QString::fromStdString(result.Message));
    const int at = grid_->currentRow();
    Refresh();
    if (result.Ok) admingrid::SelectRow(grid_, at);
    UpdateButtons();
}

void TUserGroupsFrm::AccessBtnClick() {
    const auto row = CurrentGroup();
    if (!row || !DataBaseModule || !accessBtn_->isEnabled()) return;
    if (auto refusal = GroupRightsRefusal(row->UserGroupID)) {
        ErrorBox(this, QString::fromStdString(*refusal));
        return;
    }
    TAccessRightDlg dlg(this, DataBaseModule->Db());
    dlg.SetGroupMode(row->UserGroupID);
    dlg.exec();
}
