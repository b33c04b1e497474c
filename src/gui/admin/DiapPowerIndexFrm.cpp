#include "admin/DiapPowerIndexFrm.h"

#include "shell/MessageBoxes.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

TDiapPowerIndexFrm::TDiapPowerIndexFrm(QWidget* parent, std::int32_t counterID, std::int32_t recordCount)
    : QDialog(parent), counterID_(counterID), recordCount_(std::max(0, recordCount)) {
    setObjectName("DiapPowerIndexFrm");
    setWindowTitle(QStringLiteral("Читать график нагрузки"));
    auto group = [this](const char* caption, const char* name, QRadioButton*& current, QRadioButton*& last,
                        QSpinBox*& offset, const char* offsetName) {
        auto* g = new QGroupBox(QString::fromUtf8(caption), this);
        g->setObjectName(QString::fromLatin1(name));
        current = new QRadioButton(QStringLiteral("Текущей"), g);
        last = new QRadioButton(QStringLiteral("Последней"), g);
        offset = new QSpinBox(g);
        offset->setObjectName(QString::fromLatin1(offsetName));
        offset->setRange(-recordCount_, recordCount_);
        offset->setValue(0);
        auto* l = new QGridLayout(g);
        l->addWidget(current, 0, 0);
        l->addWidget(last, 1, 0);
        l->addWidget(new QLabel(QStringLiteral("Смещение :"), g), 2, 0);
        l->addWidget(offset, 2, 1);
        return g;
    };
    QGroupBox* from = group("С точки", "FromGroup", fromCurrent_, fromLast_, minIndex_, "MinIndex");
    QGroupBox* to = group("По точку", "ToGroup", toCurrent_, toLast_, maxIndex_, "MaxIndex");
    auto* units = new QGroupBox(QStringLiteral("Единицы"), this);
    auto* indexes = new QRadioButton(QStringLiteral("индексов"), units);
    auto* days = new QRadioButton(QStringLiteral("дней"), units);
    indexes->setChecked(true);
    indexes->setEnabled(false);
    days->setEnabled(false);
    auto* u = new QHBoxLayout(units);
    u->addWidget(indexes);
    u->addWidget(days);
    u->addStretch(1);

    // The meter's pending range, or the defaults: from the last point read to the current one.
    const TLoadProfileRange r = LoadProfileRangeFor(counterID_);
    (r.FromLast ? fromLast_ : fromCurrent_)->setChecked(true);
    (r.ToLast ? toLast_ : toCurrent_)->setChecked(true);
    minIndex_->setValue(r.StartOffset);
    maxIndex_->setValue(r.EndOffset);

    auto* box = new QDialogButtonBox(this);
    QPushButton* ok = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("OKBtn");
    ok->setDefault(true);
    box->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole)->setObjectName("CancelBtn");
    connect(ok, &QPushButton::clicked, this, &TDiapPowerIndexFrm::OKBtnClick);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(from);
    row->addWidget(to);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(units);
    layout->addWidget(box);
    setFixedSize(sizeHint());
}

void TDiapPowerIndexFrm::OKBtnClick() {
    TLoadProfileRange r;
    r.FromLast = fromLast_->isChecked();
    r.ToLast = toLast_->isChecked();
    r.StartOffset = minIndex_->value();
    r.EndOffset = maxIndex_->value();
    r.CounterID = counterID_;
    if (auto refusal = SetLoadProfileRange(r, recordCount_)) {
        ErrorBox(this, QString::fromStdString(*refusal));
        return;
    }
    accept();
}
