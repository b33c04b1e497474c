#pragma once
// The rights of a group, or of a user within the rights of his group.
#include "admin/UserAdmin.h"

#include <QDialog>
#include <cstdint>
#include <vector>

class QListWidget;
class QPushButton;

class TAccessRightDlg : public QDialog {
    Q_OBJECT
public:
    TAccessRightDlg(QWidget* parent, TDatabase& db);

    // Every right may be ticked.
    void SetGroupMode(std::int32_t groupID);
    // Only the rights of the user's group may be ticked or cleared.
    void SetUserMode(std::int32_t groupID, std::int32_t userID);

    QListWidget* CheckListBox() const { return list_; }
    QPushButton* OKBtn() const { return okBtn_; }
    // The lines as they stand on screen.
    std::vector<TRightItem> Items() const;

    void OKBtnClick();

private:
    void Show(const std::vector<TRightItem>& items);
    void LoadFailed();

    enum class Mode { None, Group, User };
    TDatabase& db_;
    Mode mode_ = Mode::None;
    std::int32_t groupID_ = 0;
    std::int32_t userID_ = 0;
    std::vector<TRightItem> items_;
    QListWidget* list_ = nullptr;
    QPushButton* okBtn_ = nullptr;
};
