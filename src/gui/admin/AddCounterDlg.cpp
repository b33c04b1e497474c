#include "admin/AddCounterDlg.h"

#include "shell/MessageBoxes.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <exception>

namespace {

// The dates typed last, offered again in the next dialog (for this run only).
QString& RememberedCreateDate() {
    static QString text;
    return text;
}
QString& RememberedCheckDate() {
    static QString text;
    return text;
}

constexpr int kVersionRole = Qt::UserRole + 1;  // VersionID of an entry; VersionInternalID is UserRole

}  // namespace

TAddCounterDlg::TAddCounterDlg(QWidget* parent, TDatabase& db) : QDialog(parent), db_(db) { FormCreate(); }

TAddCounterDlg::~TAddCounterDlg() = default;

void TAddCounterDlg::FormCreate() {
    setObjectName("AddCounterDlg");
    setWindowTitle(QStringLiteral("Добавление счетчика"));

    // Digits only, twelve at most: any other key is dropped by the validator.
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,12}")), this);
    auto edit = [this](const char* name, int maxLength) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(maxLength);
        return e;
    };
    idEdit_ = edit("IDEdit", static_cast<int>(kCounterIdDigitsMax));
    idEdit_->setValidator(digits);
    nameEdit_ = edit("NameEdit", static_cast<int>(kCounterNameMax));
    versionCombo_ = new QComboBox(this);
    versionCombo_->setObjectName("VersionComboBox");
    versionCombo_->setMaxVisibleItems(20);
    zNumberEdit_ = edit("ZNumberEdit", static_cast<int>(kCounterIdDigitsMax));
    zNumberEdit_->setValidator(digits);
    createDateEdit_ = edit("CreateDateEdit", static_cast<int>(kCounterDateMax));
    checkDateEdit_ = edit("CheckDateEdit", static_cast<int>(kCounterDateMax));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    int row = 0;
    auto add = [&](const char* caption, QWidget* field) {
        auto* label = new QLabel(QString::fromUtf8(caption), this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(field, row, 1);
        ++row;
        return label;
    };
    idLabel_ = add("ID счетчика :", idEdit_);
    add("Имя счетчика :", nameEdit_);
    add("Версия счетчика :", versionCombo_);
    add("Заводской номер :", zNumberEdit_);
    add("Дата изготовления:", createDateEdit_);
    add("Дата проверки :", checkDateEdit_);
    grid->setColumnStretch(1, 1);

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName("OKBtn");
    okBtn_->setDefault(true);
    okBtn_->setEnabled(false);
    cancelBtn_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancelBtn_->setObjectName("CancelBtn");
    helpBtn_ = new QPushButton(QStringLiteral("&Справка"), this);
    helpBtn_->setObjectName("HelpBtn");
    auto* box = new QDialogButtonBox(this);
    box->addButton(okBtn_, QDialogButtonBox::AcceptRole);
    box->addButton(cancelBtn_, QDialogButtonBox::RejectRole);
    box->addButton(helpBtn_, QDialogButtonBox::HelpRole);
    connect(okBtn_, &QPushButton::clicked, this, &TAddCounterDlg::OKBtnClick);
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
    connect(helpBtn_, &QPushButton::clicked, this, [this] {
        InfoBox(this, QStringLiteral("Введите идентификатор, имя, версию и заводской номер счетчика."));
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addWidget(box);

    // The version list: visible revisions only.
    try {
        for (const TVersionChoice& v : VersionsForNewCounter(db_)) {
            versionCombo_->addItem(QString::fromStdString(v.VersionName), v.VersionInternalID);
            versionCombo_->setItemData(versionCombo_->count() - 1, v.VersionID, kVersionRole);
        }
    } catch (const std::exception&) {
        // An unreadable dictionary leaves the list empty; OK then stays disabled.
    }
    versionCombo_->setCurrentIndex(-1);
    createDateEdit_->setText(RememberedCreateDate());
    checkDateEdit_->setText(RememberedCheckDate());

    for (QLineEdit* e : {idEdit_, nameEdit_, zNumberEdit_})
        connect(e, &QLineEdit::textChanged, this, &TAddCounterDlg::IDEditChange);
    connect(versionCombo_, &QComboBox::currentIndexChanged, this, &TAddCounterDlg::IDEditChange);

    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    nameEdit_->setMinimumWidth(charWidth * 36);
    setTabOrder(idEdit_, nameEdit_);
    setTabOrder(nameEdit_, versionCombo_);
    setTabOrder(versionCombo_, zNumberEdit_);
    setTabOrder(zNumberEdit_, createDateEdit_);
    setTabOrder(createDateEdit_, checkDateEdit_);
    setTabOrder(checkDateEdit_, okBtn_);
    setFixedSize(sizeHint());
}

void TAddCounterDlg::SetEditMode(const TCounterRow& row) {
    mode_ = Mode::Edit;
    setWindowTitle(QStringLiteral("Редактирование счетчика"));
    idEdit_->setText(QString::number(row.CounterID));
    nameEdit_->setText(QString::fromStdString(row.CounterName));
    zNumberEdit_->setText(QString::number(row.ZNumber));
    createDateEdit_->setText(QString::fromStdString(row.CounterCreateDate));
    checkDateEdit_->setText(QString::fromStdString(row.CounterCheckDate));
    versionCombo_->setCurrentIndex(versionCombo_->findData(row.VersionInternalID));
    // The key of the row cannot change.
    idEdit_->setEnabled(false);
    idLabel_->setEnabled(false);
    nameEdit_->setFocus();
    IDEditChange();
}

void TAddCounterDlg::IDEditChange() {
    okBtn_->setEnabled(!nameEdit_->text().isEmpty() && !zNumberEdit_->text().isEmpty() &&
                       versionCombo_->currentIndex() >= 0);
}

void TAddCounterDlg::OKBtnClick() {
    if (!okBtn_->isEnabled()) return;
    const auto refuse = [this](const QString& text, QLineEdit* field) {
        ErrorBox(this, text);
        field->setFocus();
        field->selectAll();
    };
    if (!ParseCounterNumber(idEdit_->text().toStdString())) {
        refuse(QStringLiteral("Ошибка при вводе идентификатора!"), idEdit_);
        return;
    }
    if (!ParseCounterNumber(zNumberEdit_->text().toStdString())) {
        refuse(QStringLiteral("Ошибка при вводе заводского номера!"), zNumberEdit_);
        return;
    }
    TCounterEdit e;
    e.IdText = idEdit_->text().toStdString();
    e.Name = nameEdit_->text().toStdString();
    e.ZNumberText = zNumberEdit_->text().toStdString();
    const int index = versionCombo_->currentIndex() >= 0 ? versionCombo_->currentIndex() : 0;
    if (versionCombo_->count() > 0) {
        e.VersionInternalID = versionCombo_->itemData(index).toInt();
        e.VersionID = versionCombo_->itemData(index, kVersionRole).toInt();
    }
    e.CreateDate = createDateEdit_->text().toStdString();
    e.CheckDate = checkDateEdit_->text().toStdString();
    RememberedCreateDate() = createDateEdit_->text();
    RememberedCheckDate() = checkDateEdit_->text();

    TAdminResult result;
    try {
        result = mode_ == Mode::Add ? AddCounter(db_, e) : EditCounter(db_, e);
    } catch (const std::exception&) {
        result = TAdminResult::Failure(mode_ == Mode::Add ? "Ошибка при добавлении нового счетчика!"
                                                          : "Ошибка при изменении данных о счетчике!");
    }
    if (!result.Ok) {
        ErrorBox(this, QString::fromStdString(result.Message));
        return;
    }
    counterID_ = *ParseCounterNumber(e.IdText);
    accept();
}
