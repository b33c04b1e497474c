#include "admin/WritePasswordDlg.h"

#include "link/CounterSeance.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

TDigitEdit::TDigitEdit(QWidget* parent) : QLineEdit(parent) {
    // Pasted text obeys the same rule as typed keys.
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
}

void TDigitEdit::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool printable = !text.isEmpty() && text.at(0).isPrint();
    if (printable && !(text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9'))) {
        QApplication::beep();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

TFrmSeancePassword::TFrmSeancePassword(QWidget* parent) : QDialog(parent) {
    setObjectName("FrmSeancePassword");
    setWindowTitle(QStringLiteral("Текущий пароль на запись"));
    auto* label = new QLabel(QStringLiteral("Введите пароль"), this);
    edit1_ = new TDigitEdit(this);
    edit1_->setObjectName("Edit1");
    edit1_->setMaxLength(9);
    edit1_->setText(QStringLiteral("0"));
    edit1_->selectAll();
    edit1_->setEchoMode(QLineEdit::Password);
    label->setBuddy(edit1_);
    checkBox1_ = new QCheckBox(QStringLiteral("Скрыть пароль"), this);
    checkBox1_->setObjectName("CheckBox1");
    checkBox1_->setChecked(true);
    connect(checkBox1_, &QCheckBox::toggled, this,
            [this](bool hide) { edit1_->setEchoMode(hide ? QLineEdit::Password : QLineEdit::Normal); });

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName("OKBtn");
    okBtn_->setDefault(true);
    cancelBtn_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancelBtn_->setObjectName("CancelBtn");
    auto* box = new QDialogButtonBox(this);
    box->addButton(okBtn_, QDialogButtonBox::AcceptRole);
    box->addButton(cancelBtn_, QDialogButtonBox::RejectRole);
    connect(okBtn_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edit1_);
    layout->addWidget(checkBox1_);
    layout->addSpacing(4);
    layout->addWidget(box);
    edit1_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 22);
    setFixedSize(sizeHint());
}

std::uint16_t TFrmSeancePassword::Password() const { return PasswordFromText(edit1_->text().toStdString()); }

bool TFrmSeancePassword::AskWritePassword(QWidget* parent) {
    TFrmSeancePassword dlg(parent);
    if (dlg.exec() != QDialog::Accepted) return false;
    WritePassword = PasswordBytes(dlg.Password());
    return true;
}
