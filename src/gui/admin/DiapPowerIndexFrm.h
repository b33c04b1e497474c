#pragma once
// A load-profile range the next read session of the meter takes once
// ("Читать график нагрузки").
#include "sessions/Task.h"

#include <QDialog>

class QRadioButton;
class QSpinBox;

class TDiapPowerIndexFrm : public QDialog {
    Q_OBJECT
public:
    TDiapPowerIndexFrm(QWidget* parent, std::int32_t counterID, std::int32_t recordCount);

    QRadioButton* FromCurrent() const { return fromCurrent_; }
    QRadioButton* FromLast() const { return fromLast_; }
    QRadioButton* ToCurrent() const { return toCurrent_; }
    QRadioButton* ToLast() const { return toLast_; }
    QSpinBox* MinIndex() const { return minIndex_; }
    QSpinBox* MaxIndex() const { return maxIndex_; }
    void OKBtnClick();

private:
    std::int32_t counterID_;
    std::int32_t recordCount_;
    QRadioButton* fromCurrent_ = nullptr;
    QRadioButton* fromLast_ = nullptr;
    QRadioButton* toCurrent_ = nullptr;
    QRadioButton* toLast_ = nullptr;
    QSpinBox* minIndex_ = nullptr;
    QSpinBox* maxIndex_ = nullptr;
};
