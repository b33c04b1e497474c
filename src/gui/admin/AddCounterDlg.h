#pragma once
// Adding a meter to the registry or changing one.
#include "admin/CounterRegistry.h"

#include <QDialog>
#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TAddCounterDlg : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Add, Edit };

    // Works on `db`; the version list is read from it at once.
    TAddCounterDlg(QWidget* parent, TDatabase& db);
    ~TAddCounterDlg() override;

    // Edit mode, filled from the meter; its id cannot change.
    void SetEditMode(const TCounterRow& row);
    Mode CurrentMode() const { return mode_; }
    // The id of the meter stored by OK.
    std::int32_t CounterID() const { return counterID_; }

    QLabel* IDLabel() const { return idLabel_; }
    QLineEdit* IDEdit() const { return idEdit_; }
    QLineEdit* NameEdit() const { return nameEdit_; }
    QComboBox* VersionComboBox() const { return versionCombo_; }
    QLineEdit* ZNumberEdit() const { return zNumberEdit_; }
    QLineEdit* CreateDateEdit() const { return createDateEdit_; }
    QLineEdit* CheckDateEdit() const { return checkDateEdit_; }
    QPushButton* OKBtn() const { return okBtn_; }
    QPushButton* CancelBtn() const { return cancelBtn_; }

    void OKBtnClick();

private:
    void FormCreate();
    void IDEditChange();

    TDatabase& db_;
    Mode mode_ = Mode::Add;
    std::int32_t counterID_ = 0;
    QLabel* idLabel_ = nullptr;
    QLineEdit* idEdit_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    QComboBox* versionCombo_ = nullptr;
    QLineEdit* zNumberEdit_ = nullptr;
    QLineEdit* createDateEdit_ = nullptr;
    QLineEdit* checkDateEdit_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
    QPushButton* helpBtn_ = nullptr;
};
