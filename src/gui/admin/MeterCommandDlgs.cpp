#include "admin/MeterCommandDlgs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QDialogButtonBox* OkCancel(QDialog* dlg) {
    auto* box = new QDialogButtonBox(dlg);
    QPushButton* ok = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("OKBtn");
    ok->setDefault(true);
    QPushButton* cancel = box->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    cancel->setObjectName("CancelBtn");
    QObject::connect(box, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    return box;
}

}  // namespace

TFrmSetCorrectlyRange::TFrmSetCorrectlyRange(QWidget* parent) : QDialog(parent) {
    setObjectName("FrmSetCorrectlyRange");
    setWindowTitle(QStringLiteral("Смена точности"));
    auto* group = new QGroupBox(QStringLiteral("Переключить в:"), this);
    kopecks_ = new QRadioButton(QStringLiteral("режим копеек"), group);
    kopecks_->setObjectName("KopecksRadio");
    hundredths_ = new QRadioButton(QStringLiteral("режим сотых копеек"), group);
    hundredths_->setObjectName("HundredthsRadio");
    kopecks_->setChecked(true);
    auto* g = new QVBoxLayout(group);
    g->addWidget(kopecks_);
    g->addWidget(hundredths_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(OkCancel(this));
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('W')) * 16);
    setFixedSize(sizeHint());
}

std::uint8_t TFrmSetCorrectlyRange::PrecisionCode() const {
    return hundredths_->isChecked() ? kPrecisionHundredthKopecks : kPrecisionKopecks;
}

TChanelDlg::TChanelDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("ChanelDlg");
    setWindowTitle(QStringLiteral("Управление каналами"));
    auto* includeGroup = new QGroupBox(QStringLiteral(" Управление каналами в команде  "), this);
    includeGroup->setObjectName("IncludeGroup");
    auto* buttons = new QButtonGroup(this);
    auto* ig = new QVBoxLayout(includeGroup);
    const char* modeNames[] = {"Все каналы", "Первый канал", "Второй канал", "Третий канал", "Четвертый канал"};
    for (int i = 0; i < 5; ++i) {
        auto* r = new QRadioButton(QString::fromUtf8(modeNames[i]), includeGroup);
        r->setObjectName(QStringLiteral("ModeRadio%1").arg(i));
        buttons->addButton(r, i);
        ig->addWidget(r);
        modes_[static_cast<std::size_t>(i)] = r;
    }
    modes_[0]->setChecked(true);
    auto* stateGroup = new QGroupBox(QStringLiteral("  Состояние каналов (включено/выключено)  "), this);
    stateGroup->setObjectName("StateGroup");
    auto* sg = new QVBoxLayout(stateGroup);
    for (int i = 0; i < 4; ++i) {
        auto* c = new QCheckBox(QString::fromUtf8(modeNames[i + 1]), stateGroup);
        c->setObjectName(QStringLiteral("SwitchBox%1").arg(i + 1));
        sg->addWidget(c);
        switches_[static_cast<std::size_t>(i)] = c;
    }
    sg->addStretch(1);
    connect(buttons, &QButtonGroup::idClicked, this, [this](int) { IncludeGroupClick(); });
    auto* row = new QHBoxLayout;
    row->addWidget(includeGroup);
    row->addWidget(stateGroup);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(OkCancel(this));
    IncludeGroupClick();
    setFixedSize(sizeHint());
}

void TChanelDlg::IncludeGroupClick() {
    int mode = 0;
    for (int i = 0; i < 5; ++i)
        if (modes_[static_cast<std::size_t>(i)]->isChecked()) mode = i;
    for (int i = 0; i < 4; ++i) switches_[static_cast<std::size_t>(i)]->setEnabled(mode == 0 || mode == i + 1);
}

TChannelSettings TChanelDlg::Settings() const {
    TChannelSettings s;
    for (int i = 0; i < 5; ++i)
        if (modes_[static_cast<std::size_t>(i)]->isChecked()) s.Mode = static_cast<std::uint8_t>(i);
    for (std::size_t i = 0; i < 4; ++i) s.Switches[i] = switches_[i]->isChecked();
    return s;
}

TgetMinutesForm::TgetMinutesForm(QWidget* parent) : QDialog(parent) {
    setObjectName("getMinutesForm");
    setWindowTitle(QStringLiteral("Введите интервал времени (мин)"));
    auto* label = new QLabel(QStringLiteral("Интервал (мин)"), this);
    spin_ = new QSpinBox(this);
    spin_->setObjectName("SpinEdit1");
    // The command carries the interval in one byte.
    spin_->setRange(1, 255);
    spin_->setValue(1);
    label->setBuddy(spin_);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(spin_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(OkCancel(this));
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Введите интервал времени (мин)")) + 80);
    setFixedSize(sizeHint());
}

std::uint8_t TgetMinutesForm::Minutes() const { return static_cast<std::uint8_t>(spin_->value()); }
