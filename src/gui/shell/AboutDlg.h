#pragma once
#include <QDialog>

// "О программе...": the program's name and version.
class TAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDlg(QWidget* parent = nullptr);
    static QString VersionText();
};
