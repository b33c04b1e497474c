#include "admin/UserRegisterFrm.h"

#include "admin/AdminGrid.h"
#include "admin/UserAdmin.h"
#include "db/DataBaseModule.h"
#include "db/DbDateTime.h"
#include "model/ValueText.h"
#include "shell/Icons.h"
#include "shell/MessageBoxes.h"

#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <exception>

QString TUserRegisterFrm::AllUsersTitle() { return QStringLiteral("Журнал пользователей"); }

QString TUserRegisterFrm::TitleFor(const QString& userName) {
    return QStringLiteral("Журнал пользователя ") + userName;
}

TUserRegisterFrm::TUserRegisterFrm(TMainFrm* mainFrm, std::optional<std::int32_t> userID, const QString& title)
    : TTabForm(mainFrm, WindowIcon(TWindowIcon::Journal)), userID_(userID) {
    setObjectName("UserRegisterFrm");
    setStatusTip(QStringLiteral("Окно журнала пользователей"));
    grid_ = admingrid::MakeGrid(this, {QStringLiteral("Пользователь"), QStringLiteral("Дата"),
                                       QStringLiteral("Время начала"), QStringLiteral("Время окончания")});
    const QFontMetrics fm = grid_->fontMetrics();
    grid_->setColumnWidth(0, std::max(grid_->columnWidth(0), fm.horizontalAdvance(QLatin1Char('W')) * 14));
    navBar_ = admingrid::MakeNavigator(this, grid_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(navBar_);
    layout->addWidget(grid_, 1);
    SetTitle(title);
    Refresh();
    int width = 40;
    for (int c = 0; c < grid_->columnCount(); ++c) width += grid_->columnWidth(c);
    resize(width, 340);
    ShowChild();
}

bool TUserRegisterFrm::HasRows() const { return grid_->rowCount() > 0; }

bool TUserRegisterFrm::Refresh() {
    if (DataBaseModule == nullptr) return false;
    std::vector<TJournalRow> rows;
    try {
        rows = ListJournal(DataBaseModule->Db(), userID_);
    } catch (const std::exception&) {
        ErrorBox(this, QStringLiteral("Ошибка при чтении журнала работы пользователей!"));
        return false;
    }
    grid_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const TJournalRow& j = rows[static_cast<std::size_t>(r)];
        grid_->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(j.UserName)));
        grid_->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(FormatDateText(j.BeginDate))));
        grid_->setItem(r, 2, new QTableWidgetItem(QString::fromStdString(SqlTimeText(j.BeginTime))));
        grid_->setItem(r, 3, new QTableWidgetItem(j.EndTime ? QString::fromStdString(SqlTimeText(*j.EndTime)) : QString()));
    }
    if (!rows.empty()) grid_->selectRow(0);
    return true;
}
