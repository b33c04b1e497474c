#pragma once
// The login dialog: user name, password and, behind "Дополнительно", the network
// folder of the database. It checks the user and opens his work session itself and
// closes with OK only when both succeeded.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;
class TConfiguration;
class TUser;

class TRegAdminDlg : public QDialog {
    Q_OBJECT
public:
    // `configuration` may be null (then the folder is shown empty and nothing is saved).
    TRegAdminDlg(QWidget* parent, TUser& user, TConfiguration* configuration);

    void SetUserName(const QString& name);
    QString UserNameText() const;
    bool IsExpanded() const;

    QLineEdit* NameEdit() const { return nameEdit_; }
    QLineEdit* PaswEdit() const { return paswEdit_; }
    QLineEdit* NetworkFolderEdit() const { return networkFolderEdit_; }
    QPushButton* OkBtn() const { return okBtn_; }
    QPushButton* CancelBtn() const { return cancelBtn_; }
    QPushButton* ExtBtn() const { return extBtn_; }
    QToolButton* SpeedButton1() const { return speedButton1_; }

    void NameEditChange();
    void ExtBtnClick();
    void SpeedButton1Click();
    void OkBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void SetExpanded(bool expanded);

    TUser& user_;
    TConfiguration* configuration_;
    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* paswEdit_ = nullptr;
    QLineEdit* networkFolderEdit_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
    QPushButton* extBtn_ = nullptr;
    QToolButton* speedButton1_ = nullptr;
    QWidget* folderRow_ = nullptr;
    bool centred_ = false;
};
