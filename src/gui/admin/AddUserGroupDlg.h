#pragma once
// Adding a user group or renaming one.
#include "admin/UserAdmin.h"

#include <QDialog>
#include <cstdint>

class QLineEdit;
class QPushButton;

class TAddUserGroupDlg : public QDialog {
    Q_OBJECT
public:
    TAddUserGroupDlg(QWidget* parent, TDatabase& db);

    void SetEditMode(const TGroupRow& row);
    bool EditMode() const { return editMode_; }
    std::int32_t UserGroupID() const { return groupID_; }

    QLineEdit* NameEdit() const { return nameEdit_; }
    QPushButton* OKBtn() const { return okBtn_; }

    void OKBtnClick();

private:
    TDatabase& db_;
    bool editMode_ = false;
    std::int32_t groupID_ = 0;
    QLineEdit* nameEdit_ = nullptr;
    QPushButton* okBtn_ = nullptr;
};
