#pragma once
// A meter's poll journal: which areas were read and written in which session.
#include "shell/TabForm.h"

#include <cstdint>

class QTableWidget;
class QToolBar;

class TCounterRegisterFrm : public TTabForm {
    Q_OBJECT
public:
    TCounterRegisterFrm(TMainFrm* mainFrm, std::int32_t counterID, const QString& counterName);

    bool HasRows() const override;
    std::int32_t CounterID() const { return counterID_; }
    QTableWidget* DBGrid() const { return grid_; }
    // Reads the journal again; false, with the error shown, when the database refused.
    bool Refresh();

    static QString TitleFor(const QString& counterName);

private:
    std::int32_t counterID_;
    QTableWidget* grid_ = nullptr;
    QToolBar* navBar_ = nullptr;
};
