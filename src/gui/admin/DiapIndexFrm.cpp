#include "admin/DiapIndexFrm.h"

#include "shell/MessageBoxes.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <exception>

TDiapIndexFrm::TDiapIndexFrm(QWidget* parent, TDatabase& db, std::int32_t counterID, const TTaskFile& line)
    : QDialog(parent), db_(db), counterID_(counterID), line_(line) {
    setObjectName("DiapIndexFrm");
    setWindowTitle(QStringLiteral("Значения индексов"));
    minIndex_ = new QSpinBox(this);
    minIndex_->setObjectName("MinIndex");
    maxIndex_ = new QSpinBox(this);
    maxIndex_->setObjectName("MaxIndex");
    for (QSpinBox* s : {minIndex_, maxIndex_}) s->setRange(0, std::max(0, line.RecordCount));
    maxIndex_->setValue(line.RecordCount);
    try {
        const TIndexRange r = LoadIndexRange(db_, counterID_, line_);
        minIndex_->setValue(r.MinIndex);
        maxIndex_->setValue(r.MaxIndex);
    } catch (const std::exception&) {
        // Without a readable row the whole area is offered.
    }
    auto* title = new QLabel(QString::fromStdString(line.FileName), this);
    title->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("С индекса :"), minIndex_);
    form->addRow(QStringLiteral("По индекс :"), maxIndex_);
    auto* box = new QDialogButtonBox(this);
    QPushButton* ok = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("OKBtn");
    ok->setDefault(true);
    box->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole)->setObjectName("CancelBtn");
    connect(ok, &QPushButton::clicked, this, &TDiapIndexFrm::OKBtnClick);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(form);
    layout->addWidget(box);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Значения индексов")) + 160);
    setFixedSize(sizeHint());
}

void TDiapIndexFrm::OKBtnClick() {
    std::optional<std::string> refusal;
    try {
        refusal = SaveIndexRange(db_, counterID_, line_, {minIndex_->value(), maxIndex_->value()});
    } catch (const std::exception&) {
        refusal = "Ошибка при сохранении значений индексов!";
    }
    if (refusal) {
        ErrorBox(this, QString::fromStdString(*refusal));
        return;
    }
    accept();
}
