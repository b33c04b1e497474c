#pragma once
// "Пароли доступа": the meter's current write password and the new one the password
// session writes.
#include "sessions/Sessions.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

class TFrmPasswords : public QDialog {
    Q_OBJECT
public:
    explicit TFrmPasswords(QWidget* parent = nullptr);

    // The meter's password areas with their stored values; false after an engine error.
    bool Fill(TDatabase& db, const TCounterStat& counter);

    QLineEdit* Edit1() const { return edit1_; }
    QLineEdit* Edit2() const { return edit2_; }
    QLineEdit* Edit3() const { return edit3_; }
    QCheckBox* HideCheckBox() const { return hide_; }
    QPushButton* OKBtn() const { return okBtn_; }
    // On OK: WritePassword and NewWritePassword are set and the new password is queued.
    void OKBtnClick();

private:
    TPasswordAreas areas_;
    QLineEdit* edit1_ = nullptr;
    QLineEdit* edit2_ = nullptr;
    QLineEdit* edit3_ = nullptr;
    QCheckBox* hide_ = nullptr;
    QPushButton* okBtn_ = nullptr;
};
