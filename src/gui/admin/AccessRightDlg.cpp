#include "admin/AccessRightDlg.h"

#include "admin/AdminGrid.h"
#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

TAccessRightDlg::TAccessRightDlg(QWidget* parent, TDatabase& db) : QDialog(parent), db_(db) {
    setObjectName("AccessRightDlg");
    setWindowTitle(QStringLiteral("Права доступа"));

    list_ = new QListWidget(this);
    list_->setObjectName("CheckListBox");
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);

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
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(okBtn_, &QPushButton::clicked, this, &TAccessRightDlg::OKBtnClick);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(helpBtn, &QPushButton::clicked, this,
            [this] { admingrid::ShowHelp(this, QStringLiteral("TAccessRightDlg")); });
}

void TAccessRightDlg::Show(const std::vector<TRightItem>& items) {
    items_ = items;
    list_->clear();
    int widest = 0;
    for (const TRightItem& r : items_) {
        auto* item = new QListWidgetItem(QString::fromStdString(r.AccessName), list_);
        // A line that may not change is shown greyed and cannot be ticked.
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable | Qt::ItemIsSelectable;
        if (r.Enabled) flags |= Qt::ItemIsEnabled;
        item->setFlags(flags);
        item->setCheckState(r.Checked ? Qt::Checked : Qt::Unchecked);
        widest = std::max(widest, list_->fontMetrics().horizontalAdvance(item->text()));
    }
    const int rowHeight = std::max(list_->sizeHintForRow(0), list_->fontMetrics().height() + 4);
    list_->setMinimumSize(widest + 60, rowHeight * static_cast<int>(std::max<std::size_t>(items_.size(), 6)) +
                                           2 * list_->frameWidth() + 4);
    okBtn_->setEnabled(true);
    // The cursor starts on the first line that may be changed.
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->flags() & Qt::ItemIsEnabled) {
            list_->setCurrentRow(i);
            break;
        }
    adjustSize();
}

void TAccessRightDlg::LoadFailed() {
    ErrorBox(this, QStringLiteral("Ошибка при чтении прав доступа!"));
    okBtn_->setEnabled(false);
}

void TAccessRightDlg::SetGroupMode(std::int32_t groupID) {
    mode_ = Mode::Group;
    groupID_ = groupID;
    try {
        Show(LoadGroupRights(db_, groupID));
    } catch (const std::exception&) {
        LoadFailed();
    }
}

void TAccessRightDlg::SetUserMode(std::int32_t groupID, std::int32_t userID) {
    mode_ = Mode::User;
    groupID_ = groupID;
    userID_ = userID;
    try {
        Show(LoadUserRights(db_, groupID, userID));
    } catch (const std::exception&) {
        LoadFailed();
    }
}

std::vector<TRightItem> TAccessRightDlg::Items() const {
    std::vector<TRightItem> items = items_;
    for (int i = 0; i < list_->count() && i < static_cast<int>(items.size()); ++i)
        items[static_cast<std::size_t>(i)].Checked = list_->item(i)->checkState() == Qt::Checked;
    return items;
}

void TAccessRightDlg::OKBtnClick() {
    if (mode_ == Mode::None) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Lines that fail are skipped inside; an engine failure as a whole is not fatal here.
    try {
        if (mode_ == Mode::Group)
            SaveGroupRights(db_, groupID_, Items());
        else
            SaveUserRights(db_, userID_, Items());
    } catch (const std::exception&) {
    }
    QApplication::restoreOverrideCursor();
    accept();
}
