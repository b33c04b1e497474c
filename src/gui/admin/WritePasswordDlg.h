#pragma once
// The current write password of a meter, asked before its areas are written.
#include <QDialog>
#include <QLineEdit>
#include <cstdint>

class QCheckBox;
class QPushButton;

// A password edit: digits and Backspace only; any other key is dropped with a beep.
class TDigitEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDigitEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class TFrmSeancePassword : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSeancePassword(QWidget* parent = nullptr);

    QLineEdit* Edit1() const { return edit1_; }
    QCheckBox* CheckBox1() const { return checkBox1_; }
    QPushButton* OKBtn() const { return okBtn_; }
    QPushButton* CancelBtn() const { return cancelBtn_; }

    // The typed number as a password: its low 16 bits, 0 when it is not a number.
    std::uint16_t Password() const;

    // Shows the dialog; on OK stores the password in WritePassword and returns true.
    // Cancel leaves WritePassword as it was.
    static bool AskWritePassword(QWidget* parent);

private:
    QLineEdit* edit1_ = nullptr;
    QCheckBox* checkBox1_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
};

#include <functional>

// Runs `job` inside the current job (the progress dialog) with this program's own
// dialogs for the session prompts: the write-password dialog above and the meter
// identifier (prefilled with "0"). Everything else goes to the progress dialog.
bool RunWithSessionPrompts(const std::function<bool()>& job);
