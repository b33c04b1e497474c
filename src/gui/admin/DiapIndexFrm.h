#pragma once
// The records of an indexed area the next read session takes ("Значения индексов").
#include "sessions/Task.h"

#include <QDialog>

class QSpinBox;

class TDiapIndexFrm : public QDialog {
    Q_OBJECT
public:
    TDiapIndexFrm(QWidget* parent, TDatabase& db, std::int32_t counterID, const TTaskFile& line);

    QSpinBox* MinIndex() const { return minIndex_; }
    QSpinBox* MaxIndex() const { return maxIndex_; }
    void OKBtnClick();

private:
    TDatabase& db_;
    std::int32_t counterID_;
    TTaskFile line_;
    QSpinBox* minIndex_ = nullptr;
    QSpinBox* maxIndex_ = nullptr;
};
