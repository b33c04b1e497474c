#pragma once
// The search of a list window: a pattern, the column to search and how it must match.
#include <QDialog>

class QAbstractItemModel;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;

class TFindDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFindDlg(QWidget* parent = nullptr);

    // Attaches the dialog to a grid: its rows and its column titles.
    void SetGrid(QTableView* grid);

    // How the field must match the pattern (the order of "Совпадение :").
    enum Match { WholeField, FieldStart, AnyPart };

    QLineEdit* PatternEdit() const { return patternEdit_; }
    QComboBox* FieldComboBox() const { return fieldCombo_; }
    QComboBox* MatchComboBox() const { return matchCombo_; }
    QCheckBox* CaseCheckBox() const { return caseCheck_; }
    QPushButton* FindButton() const { return findBtn_; }
    QPushButton* FindNextButton() const { return findNextBtn_; }
    QPushButton* CancelButton() const { return cancelBtn_; }

    void FindBtnClick();
    void FindNextBtnClick();

    // Whether `text` matches `pattern` the way the dialog is set.
    static bool Matches(const QString& text, const QString& pattern, Match match, bool caseSensitive);

private:
    // From row `from` onward: the first matching row becomes current. False when none.
    bool Scan(int from);

    QTableView* grid_ = nullptr;
    QLineEdit* patternEdit_ = nullptr;
    QComboBox* fieldCombo_ = nullptr;
    QComboBox* matchCombo_ = nullptr;
    QCheckBox* caseCheck_ = nullptr;
    QPushButton* findBtn_ = nullptr;
    QPushButton* findNextBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
};
