#pragma once
// The meter list: the working place of the program. Most meter commands of the main
// window act on its current row.
#include "admin/CounterRegistry.h"
#include "shell/TabForm.h"

#include <QAbstractTableModel>
#include <cstdint>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;

// The rows of Counters as the grid shows them.
class TCountersModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { colID, colVersion, colName, colZNumber, colIniDateTime, colCount };

    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Replaces the rows; false (and nothing changes) when they are the same.
    bool SetRows(std::vector<TCounterRow> rows);
    const TCounterRow* Row(int row) const;
    // Row of the meter with that id, or -1.
    int RowOf(std::int32_t counterID) const;

private:
    std::vector<TCounterRow> rows_;
};

class TCountersFrm : public TTabForm {
    Q_OBJECT
public:
    explicit TCountersFrm(TMainFrm* mainFrm);
    ~TCountersFrm() override;

    TChildKind ChildKind() const override { return TChildKind::Counters; }
    bool HasRows() const override;
    void UpdateIdleGates(const TGateUser& user, const TGateContext& context) override;

    // The meter of the current row.
    std::optional<TCounterRow> CurrentCounter() const;
    // Reads the table again and keeps the current meter (or moves to `locateID` when
    // it is not 0). False, with the error shown, when the database refused.
    bool Refresh(std::int32_t locateID = 0);
    // Makes the meter with that id the current row; false when it is not listed.
    bool LocateCounter(std::int32_t counterID);

    // The meter copied last by "Копировать параметры"; CounterID 0 when empty.
    struct TCopyBuffer {
        std::int32_t CounterID = 0;
        std::string CounterName;
        std::int32_t VersionID = 0;
    };
    const TCopyBuffer& CopyBuffer() const { return copyBuffer_; }

    QTableView* DBGrid() const { return grid_; }
    TCountersModel* Model() const { return model_; }
    QToolBar* NavigatorBar() const { return navBar_; }
    QToolBar* CounterBar() const { return counterBar_; }
    QMenu* GridPopupMenu() const { return popup_; }
    QAction* FindBtn() const { return findAct_; }
    QAction* CopyBtn() const { return copyAct_; }
    QAction* PasteBtn() const { return pasteAct_; }
    QTimer* Timer1() const { return timer_; }

    void CopyBtnClick();
    void PasteBtnClick();
    void FindBtnClick();
    void DBGridDblClick();
    void Timer1Timer();

private:
    void FormCreate();
    void MoveTo(int row);

    TCountersModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QToolBar* navBar_ = nullptr;
    QToolBar* counterBar_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* findAct_ = nullptr;
    QAction* copyAct_ = nullptr;
    QAction* pasteAct_ = nullptr;
    QTimer* timer_ = nullptr;
    TCopyBuffer copyBuffer_;
    bool loadFailed_ = false;
};
