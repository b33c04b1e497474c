#include "admin/PasswordsFrm.h"

#include "admin/WritePasswordDlg.h"
#include "link/CounterSeance.h"
#include "shell/MessageBoxes.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

namespace {
// A write password is a 16-bit number: five digits at most.
constexpr int kPasswordDigits = 5;
}  // namespace

TFrmPasswords::TFrmPasswords(QWidget* parent) : QDialog(parent) {
    setObjectName("FrmPasswords");
    setWindowTitle(QStringLiteral("Пароли доступа"));
    auto edit = [this](const char* name) {
        auto* e = new TDigitEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(kPasswordDigits);
        e->setEchoMode(QLineEdit::Password);
        return e;
    };
    edit1_ = edit("Edit1");
    edit2_ = edit("Edit2");
    edit3_ = edit("Edit3");
    hide_ = new QCheckBox(QStringLiteral("Скрыть пароль"), this);
    hide_->setObjectName("CheckBox1");
    hide_->setChecked(true);
    connect(hide_, &QCheckBox::toggled, this, [this](bool hidden) {
        for (QLineEdit* e : {edit1_, edit2_, edit3_}) e->setEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
    });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Текущий пароль"), edit1_);
    form->addRow(QStringLiteral("Новый пароль"), edit2_);
    form->addRow(QStringLiteral("Подтверждение"), edit3_);
    form->addRow(QString(), hide_);
    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName("OKBtn");
    okBtn_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName("CancelBtn");
    auto* box = new QDialogButtonBox(this);
    box->addButton(okBtn_, QDialogButtonBox::AcceptRole);
    box->addButton(cancel, QDialogButtonBox::RejectRole);
    connect(okBtn_, &QPushButton::clicked, this, &TFrmPasswords::OKBtnClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(box);
    edit1_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 16);
    setFixedSize(sizeHint());
}

bool TFrmPasswords::Fill(TDatabase& db, const TCounterStat& counter) {
    try {
        return areas_.Load(db, counter);
    } catch (const std::exception&) {
        return false;
    }
}

void TFrmPasswords::OKBtnClick() {
    const QString current = edit1_->text();
    const QString next = edit2_->text();
    if (next != edit3_->text()) {
        ErrorBox(this, QString::fromUtf8(kPasswordMismatchText));
        edit2_->setFocus();
        return;
    }
    // A new password the meter cannot hold would lock the engineer out of the meter.
    bool ok = false;
    const unsigned value = next.toUInt(&ok);
    if (!ok || value > 0xFFFF) {
        ErrorBox(this, QStringLiteral("Пароль должен быть числом от 0 до 65535!"));
        edit2_->setFocus();
        edit2_->selectAll();
        return;
    }
    if (auto refusal = areas_.Apply(next.toStdString(), edit3_->text().toStdString())) {
        ErrorBox(this, QString::fromStdString(*refusal));
        return;
    }
    WritePassword = PasswordBytes(PasswordFromText(current.toStdString()));
    NewWritePassword = PasswordBytes(static_cast<std::uint16_t>(value));
    accept();
}
