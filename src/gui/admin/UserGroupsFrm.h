#pragma once
// The list of user groups with the commands that add, rename and delete them and
// change their rights.
#include "admin/UserAdmin.h"
#include "shell/TabForm.h"

#include <cstdint>
#include <optional>
#include <vector>

class QAction;
class QTableWidget;
class QToolBar;

class TUserGroupsFrm : public TTabForm {
    Q_OBJECT
public:
    explicit TUserGroupsFrm(TMainFrm* mainFrm);

    bool HasRows() const override;
    std::optional<TGroupRow> CurrentGroup() const;
    bool Refresh(std::int32_t locateID = 0);
    void UpdateButtons();

    QTableWidget* DBGrid() const { return grid_; }
    QToolBar* Navigator() const { return navBar_; }
    QToolBar* ToolBar() const { return toolBar_; }
    QAction* AddBtn() const { return addBtn_; }
    QAction* EditBtn() const { return editBtn_; }
    QAction* DelBtn() const { return delBtn_; }
    QAction* AccessBtn() const { return accessBtn_; }

    void AddBtnClick();
    void EditBtnClick();
    void DelBtnClick();
    void AccessBtnClick();

private:
    std::vector<TGroupRow> rows_;
    QTableWidget* grid_ = nullptr;
    QToolBar* navBar_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QAction* addBtn_ = nullptr;
    QAction* editBtn_ = nullptr;
    QAction* delBtn_ = nullptr;
    QAction* accessBtn_ = nullptr;
};
