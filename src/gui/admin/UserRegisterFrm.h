#pragma once
// The users' work journal: who worked when, for all users or one.
#include "shell/TabForm.h"

#include <cstdint>
#include <optional>

class QTableWidget;
class QToolBar;

class TUserRegisterFrm : public TTabForm {
    Q_OBJECT
public:
    // `userID` empty: every user.
    TUserRegisterFrm(TMainFrm* mainFrm, std::optional<std::int32_t> userID, const QString& title);

    bool HasRows() const override;
    std::optional<std::int32_t> UserID() const { return userID_; }
    QTableWidget* DBGrid() const { return grid_; }
    QToolBar* Navigator() const { return navBar_; }
    // Reads the journal again; false, with the error shown, when the database refused.
    bool Refresh();

    static QString AllUsersTitle();
    static QString TitleFor(const QString& userName);

private:
    std::optional<std::int32_t> userID_;
    QTableWidget* grid_ = nullptr;
    QToolBar* navBar_ = nullptr;
};
