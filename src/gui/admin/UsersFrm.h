#pragma once
// The list of users with the commands that add, edit and delete them, change their
// rights and open their work journal.
#include "admin/UserAdmin.h"
#include "shell/TabForm.h"

#include <cstdint>
#include <optional>
#include <vector>

class QAction;
class QTableWidget;
class QToolBar;
class QToolButton;

class TUsersFrm : public TTabForm {
    Q_OBJECT
public:
    explicit TUsersFrm(TMainFrm* mainFrm);

    bool HasRows() const override;
    std::optional<TUserListRow> CurrentUser() const;
    // Reads the table again, keeping the current user or moving to `locateID`.
    bool Refresh(std::int32_t locateID = 0);
    void UpdateButtons();

    QTableWidget* DBGrid() const { return grid_; }
    QToolBar* Navigator() const { return navBar_; }
    QToolBar* ToolBar() const { return toolBar_; }
    QAction* AddBtn() const { return addBtn_; }
    QAction* EditBtn() const { return editBtn_; }
    QAction* DelBtn() const { return delBtn_; }
    QAction* AccessBtn() const { return accessBtn_; }
    QToolButton* JournalBtn() const { return journalBtn_; }
    QAction* AllUsersItem() const { return allUsersItem_; }
    QAction* CurrentUserItem() const { return currentUserItem_; }

    void AddBtnClick();
    void EditBtnClick();
    void DelBtnClick();
    void AccessBtnClick();
    void AllUsersItemClick();
    void CurrentUserItemClick();

private:
    std::vector<TUserListRow> rows_;
    QTableWidget* grid_ = nullptr;
    QToolBar* navBar_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QAction* addBtn_ = nullptr;
    QAction* editBtn_ = nullptr;
    QAction* delBtn_ = nullptr;
    QAction* accessBtn_ = nullptr;
    QToolButton* journalBtn_ = nullptr;
    QAction* allUsersItem_ = nullptr;
    QAction* currentUserItem_ = nullptr;
};
