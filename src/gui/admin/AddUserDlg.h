#pragma once
// Adding a user, or editing his name, password and full name.
#include "admin/UserAdmin.h"

#include <QDialog>
#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TAddUserDlg : public QDialog {
    Q_OBJECT
public:
    // Add mode: the groups offered are the creator's own and the weaker ones.
    TAddUserDlg(QWidget* parent, TDatabase& db, std::int32_t creatorGroupID);

    // Edit mode for the user of `row`. Passwords are stored as hashes, so both
    // password fields start empty; left empty they keep the stored password.
    void SetEditMode(const TUserListRow& row);
    bool EditMode() const { return editMode_; }
    std::int32_t UserID() const { return userID_; }

    QLineEdit* NameEdit() const { return nameEdit_; }
    QLineEdit* PaswEdit() const { return paswEdit_; }
    QLineEdit* ConfirmPaswEdit() const { return confirmEdit_; }
    QLineEdit* DescriptionEdit() const { return descriptionEdit_; }
    QComboBox* GroupComboBox() const { return groupCombo_; }
    QPushButton* OKBtn() const { return okBtn_; }

    void EditChange();
    void OKBtnClick();

private:
    void FormCreate();
    void FillGroups(const std::vector<TGroupRow>& groups);

    TDatabase& db_;
    std::int32_t creatorGroupID_;
    bool editMode_ = false;
    std::int32_t userID_ = 0;
    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* paswEdit_ = nullptr;
    QLineEdit* confirmEdit_ = nullptr;
    QLineEdit* descriptionEdit_ = nullptr;
    QComboBox* groupCombo_ = nullptr;
    QLabel* groupLabel_ = nullptr;
    QLabel* passwordNote_ = nullptr;
    QPushButton* okBtn_ = nullptr;
};
