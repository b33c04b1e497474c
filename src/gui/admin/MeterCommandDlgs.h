#pragma once
// The small dialogs some meter commands ask before their job: precision, channels,
// and the interval of the per-minute totals.
#include "link/CounterSeance.h"

#include <QDialog>
#include <array>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QSpinBox;

// "Смена точности": which precision the meter switches to.
class TFrmSetCorrectlyRange : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSetCorrectlyRange(QWidget* parent = nullptr);
    // The precision code of the choice (kopecks or hundredths of a kopeck).
    std::uint8_t PrecisionCode() const;
    QRadioButton* KopecksRadio() const { return kopecks_; }
    QRadioButton* HundredthsRadio() const { return hundredths_; }

private:
    QRadioButton* kopecks_ = nullptr;
    QRadioButton* hundredths_ = nullptr;
};

// "Управление каналами": the channel the command addresses and the four switches.
class TChanelDlg : public QDialog {
    Q_OBJECT
public:
    explicit TChanelDlg(QWidget* parent = nullptr);
    TChannelSettings Settings() const;
    // A switch is open exactly when "Все каналы" or its own channel is chosen.
    void IncludeGroupClick();
    QRadioButton* ModeRadio(int mode) const { return modes_.at(static_cast<std::size_t>(mode)); }
    QCheckBox* SwitchBox(int channel) const { return switches_.at(static_cast<std::size_t>(channel)); }

private:
    std::array<QRadioButton*, 5> modes_{};
    std::array<QCheckBox*, 4> switches_{};
};

// "Введите интервал времени (мин)": minutes of the per-minute totals (1 to 255, one byte).
class TgetMinutesForm : public QDialog {
    Q_OBJECT
public:
    explicit TgetMinutesForm(QWidget* parent = nullptr);
    std::uint8_t Minutes() const;
    QSpinBox* SpinEdit1() const { return spin_; }

private:
    QSpinBox* spin_ = nullptr;
};
