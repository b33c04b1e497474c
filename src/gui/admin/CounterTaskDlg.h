#pragma once
// "Файл задания": which areas the next session reads from the meter and writes into it.
#include "sessions/Task.h"
#include "shell/ActionGates.h"

#include <QDialog>

class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

class TCounterTaskDlg : public QDialog {
    Q_OBJECT
public:
    // Pages by the user's rights: reading with access type 10 or 12, writing with 8.
    TCounterTaskDlg(QWidget* parent, TDatabase& db, const TGateUser& user);

    // Fills both pages for the meter; without a meter the lists stay empty.
    void Fill(const TCounterStat& counter);

    QTabWidget* PageControl() const { return pages_; }
    QTreeWidget* ReadList() const { return readList_; }
    QTreeWidget* WriteList() const { return writeList_; }
    QPushButton* IncludeBtn() const { return includeBtn_; }
    QPushButton* ExcludeBtn() const { return excludeBtn_; }
    QPushButton* OKBtn() const { return okBtn_; }
    const TTaskLines& Lines() const { return lines_; }

    // Include or exclude the selected lines of the visible page.
    void IncludeBtnClick();
    void ExcludeBtnClick();
    void OKBtnClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidget* MakeList(bool writeItems);
    void Show(QTreeWidget* list, std::vector<TTaskFile>& lines);
    void SetIncluded(bool included);
    void ListDblClick(QTreeWidgetItem* item);
    QTreeWidget* VisibleList() const;

    TDatabase& db_;
    TCounterStat counter_;
    TTaskLines lines_;
    QTabWidget* pages_ = nullptr;
    QTreeWidget* readList_ = nullptr;
    QTreeWidget* writeList_ = nullptr;
    QPushButton* includeBtn_ = nullptr;
    QPushButton* excludeBtn_ = nullptr;
    QPushButton* okBtn_ = nullptr;
};
