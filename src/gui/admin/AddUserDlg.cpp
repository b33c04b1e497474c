#include "admin/AddUserDlg.h"

#include "admin/AdminGrid.h"
#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

TAddUserDlg::TAddUserDlg(QWidget* parent, TDatabase& db, std::int32_t creatorGroupID)
    : QDialog(parent), db_(db), creatorGroupID_(creatorGroupID) {
    FormCreate();
}

void TAddUserDlg::FormCreate() {
    setObjectName("AddUserDlg");
    setWindowTitle(QStringLiteral("Добавление пользователя"));

    auto edit = [this](const char* name, std::size_t maxLength, bool password) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(static_cast<int>(maxLength));
        if (password) e->setEchoMode(QLineEdit::Password);
        connect(e, &QLineEdit::textChanged, this, &TAddUserDlg::EditChange);
        return e;
    };
    nameEdit_ = edit("NameEdit", kUserNameMax, false);
    paswEdit_ = edit("PaswEdit", kUserPasswordMax, true);
    confirmEdit_ = edit("ConfirmPaswEdit", kUserPasswordMax, true);
    descriptionEdit_ = edit("DescriptionEdit", kUserDescriptionMax, false);
    groupCombo_ = new QComboBox(this);
    groupCombo_->setObjectName("GroupComboBox");
    nameEdit_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('W')) * 20);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    int row = 0;
    auto add = [&](const char* caption, QWidget* field) {
        auto* label = new QLabel(QString::fromUtf8(caption), this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
        return label;
    };
    add("&Имя пользователя:", nameEdit_);
    add("&Пароль:", paswEdit_);
    add("П&одтверждение:", confirmEdit_);
    groupLabel_ = add("&Группа пользователей:", groupCombo_);
    add("&ФИО пользователя:", descriptionEdit_);
    grid->setColumnStretch(1, 1);
    passwordNote_ = new QLabel(QStringLiteral("Пустой пароль оставляет прежний."), this);
    passwordNote_->setObjectName("PasswordNote");
    passwordNote_->setEnabled(false);
    passwordNote_->hide();
    grid->addWidget(passwordNote_, row++, 1);

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName("OKBtn");
    okBtn_->setDefault(true);
    okBtn_->setEnabled(false);
    auto* cancelBtn = new QPushButton(QStringLiteral("Отмена"), this);
    cancelBtn->setObjectName("CancelBtn");
    cancelBtn->setAutoDefault(false);
    auto* helpBtn = new QPushButton(QStringLiteral("&Справка"), this);
    helpBtn->setObjectName("HelpBtn");
    helpBtn->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okBtn_);
    buttons->addWidget(cancelBtn);
    buttons->addWidget(helpBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(okBtn_, &QPushButton::clicked, this, &TAddUserDlg::OKBtnClick);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(helpBtn, &QPushButton::clicked, this, [this] { admingrid::ShowHelp(this, QStringLiteral("TAddUserDlg")); });

    try {
        FillGroups(GroupsForNewUser(db_, creatorGroupID_));
    } catch (const std::exception&) {
        FillGroups({});
    }
    // The weakest group offered is the usual choice.
    groupCombo_->setCurrentIndex(groupCombo_->count() - 1);
    nameEdit_->setFocus();
}

void TAddUserDlg::FillGroups(const std::vector<TGroupRow>& groups) {
    groupCombo_->clear();
    for (const TGroupRow& g : groups) groupCombo_->addItem(QString::fromStdString(g.UserGroupName), g.UserGroupID);
}

void TAddUserDlg::SetEditMode(const TUserListRow& row) {
    editMode_ = true;
    userID_ = row.UserID;
    setWindowTitle(QStringLiteral("Редактирование пользователя"));
    nameEdit_->setText(QString::fromStdString(row.UserName));
    descriptionEdit_->setText(QString::fromStdString(row.UserDescription));
    paswEdit_->clear();
    confirmEdit_->clear();
    // The group is shown, not changed: every group, so a stronger one shows too.
    std::vector<TGroupRow> groups;
    try {
        groups = ListGroups(db_);
    } catch (const std::exception&) {
    }
    FillGroups(groups);
    int index = groupCombo_->findData(row.UserGroupID);
    if (index < 0) {
        groupCombo_->addItem(QString::fromStdString(row.UserGroupName), row.UserGroupID);
        index = groupCombo_->count() - 1;
    }
    groupCombo_->setCurrentIndex(index);
    groupCombo_->setEnabled(false);
    groupLabel_->setEnabled(false);
    passwordNote_->show();
    EditChange();
}

void TAddUserDlg::EditChange() {
    // A new user needs a password; an edited one keeps his own when it is left empty.
    okBtn_->setEnabled(!nameEdit_->text().isEmpty() && (editMode_ || !paswEdit_->text().isEmpty()));
}

void TAddUserDlg::OKBtnClick() {
    if (!okBtn_->isEnabled()) return;
    if (paswEdit_->text() != confirmEdit_->text()) {
        ErrorBox(this, QStringLiteral("Введенные пароли не совпадают! Введите в оба поля одинаковый пароль"),
                 QStringLiteral("Ошибка паролей"));
        paswEdit_->setFocus();
        paswEdit_->selectAll();
        return;
    }
    TUserEdit user;
    user.Name = nameEdit_->text().toStdString();
    user.Password = paswEdit_->text().toStdString();
    user.Confirmation = confirmEdit_->text().toStdString();
    user.Description = descriptionEdit_->text().toStdString();
    user.UserGroupID = groupCombo_->currentIndex() >= 0 ? groupCombo_->currentData().toInt() : 0;

    TAdminResult result;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        result = editMode_ ? EditUser(db_, userID_, user) : AddUser(db_, user, creatorGroupID_);
    } catch (const std::exception&) {
        result = TAdminResult::Failure(editMode_ ? "Ошибка при изменении данных о пользователе!"
                                                 : "Ошибка при добавлении нового пользователя!");
    }
    QApplication::restoreOverrideCursor();
    if (!result.Ok) {
        ErrorBox(this, QString::fromStdString(result.Message));
        QLineEdit* focus = result.Focus == TAdminResult::Field::Password ? paswEdit_
                           : result.Focus == TAdminResult::Field::Name   ? nameEdit_
                                                                         : nullptr;
        if (focus) {
            focus->setFocus();
            focus->selectAll();
        }
        return;
    }
    if (!editMode_) userID_ = result.NewID;
    accept();
}
