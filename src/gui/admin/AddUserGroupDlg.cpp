#include "admin/AddUserGroupDlg.h"

#include "admin/AdminGrid.h"
#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

TAddUserGroupDlg::TAddUserGroupDlg(QWidget* parent, TDatabase& db) : QDialog(parent), db_(db) {
    setObjectName("AddUserGroupDlg");
    setWindowTitle(QStringLiteral("Добавление группы пользователей"));

    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName("NameEdit");
    nameEdit_->setMaxLength(static_cast<int>(kGroupNameMax));
    nameEdit_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('W')) * 22);
    auto* label = new QLabel(QStringLiteral("&Имя группы пользователей :"), this);
    label->setBuddy(nameEdit_);

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName("OKBtn");
    okBtn_->setDefault(true);
    okBtn_->setEnabled(false);
    auto* cancelBtn = new QPushButton(QStringLiteral("Отмена"), this);
    cancelBtn->setObjectName("CancelBtn");
    cancelBtn->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okBtn_);
    buttons->addWidget(cancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(nameEdit_);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(nameEdit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { okBtn_->setEnabled(!text.isEmpty()); });
    connect(okBtn_, &QPushButton::clicked, this, &TAddUserGroupDlg::OKBtnClick);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    nameEdit_->setFocus();
}

void TAddUserGroupDlg::SetEditMode(const TGroupRow& row) {
    editMode_ = true;
    groupID_ = row.UserGroupID;
    setWindowTitle(QStringLiteral("Редактирование группы пользователей"));
    nameEdit_->setText(QString::fromStdString(row.UserGroupName));
    nameEdit_->selectAll();
}

void TAddUserGroupDlg::OKBtnClick() {
    if (!okBtn_->isEnabled()) return;
    const std::string name = nameEdit_->text().toStdString();
    TAdminResult result;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        result = editMode_ ? EditGroup(db_, groupID_, name) : AddGroup(db_, name);
    } catch (const std::exception&) {
        result = TAdminResult::Failure(editMode_ ? "Ошибка при изменении данных о группе пользователей!"
                                                 : "Ошибка при добавлении новой группы пользователей!");
    }
    QApplication::restoreOverrideCursor();
    if (!result.Ok) {
        ErrorBox(this, QString::fromStdString(result.Message));
        nameEdit_->setFocus();
        return;
    }
    if (!editMode_) groupID_ = result.NewID;
    accept();
}
