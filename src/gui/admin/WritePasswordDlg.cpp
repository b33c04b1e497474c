#include "admin/WritePasswordDlg.h"

#include "link/CounterSeance.h"
#include "sessions/Sessions.h"
#include "shell/JobContext.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QInputDialog>
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

namespace {

// Forwards a job's reports to the dialog's context and answers the session prompts
// with the program's dialogs.
class TSessionPrompts : public JobContext {
public:
    explicit TSessionPrompts(JobContext& inner) : inner_(inner) {
        JobContext::SetStepText(inner.StepText());
        JobContext::SetAttempt(inner.Attempt());
        JobContext::SetOverall(inner.Overall(), inner.OverallMax());
    }
    void SetStepText(const std::string& text) override {
        JobContext::SetStepText(text);
        inner_.SetStepText(text);
    }
    std::string StepText() const override { return inner_.StepText(); }
    void SetAttempt(int position) override {
        JobContext::SetAttempt(position);
        inner_.SetAttempt(position);
    }
    void SetOverall(int position, int maximum) override {
        JobContext::SetOverall(position, maximum);
        inner_.SetOverall(position, maximum);
    }
    void Pump() override { inner_.Pump(); }
    bool Confirm(const std::string& caption, const std::string& text) override { return inner_.Confirm(caption, text); }
    void Notify(const std::string& text) override { inner_.Notify(text); }

    std::optional<std::string> AskText(const std::string& caption, const std::string& prompt, bool secret) override {
        QWidget* parent = QApplication::activeModalWidget();
        if (caption == kWritePasswordCaption) {
            TFrmSeancePassword dlg(parent);
            if (dlg.exec() != QDialog::Accepted) return std::nullopt;
            return dlg.Edit1()->text().toStdString();
        }
        if (caption == kIdentifierCaption) {
            QInputDialog dlg(parent);
            dlg.setWindowTitle(QString::fromUtf8(kIdentifierCaption));
            dlg.setLabelText(QString::fromUtf8(kIdentifierPrompt));
            dlg.setTextValue(QStringLiteral("0"));
            dlg.setOkButtonText(QStringLiteral("OK"));
            dlg.setCancelButtonText(QStringLiteral("Отмена"));
            if (dlg.exec() != QDialog::Accepted) return std::nullopt;
            return dlg.textValue().trimmed().toStdString();
        }
        return inner_.AskText(caption, prompt, secret);
    }

private:
    JobContext& inner_;
};

}  // namespace

bool RunWithSessionPrompts(const std::function<bool()>& job) {
    JobContext& inner = CurrentJob();
    // ScopedJob clears the cancel flag as a new job starts: keep a cancel that came first.
    const bool cancelled = UserCancelled;
    TSessionPrompts prompts(inner);
    ScopedJob scope(prompts);
    if (cancelled) UserCancelled = true;
    return job();
}
