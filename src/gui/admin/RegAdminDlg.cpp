#include "admin/RegAdminDlg.h"

#include "admin/User.h"
#include "shell/Configuration.h"
#include "shell/Icons.h"
#include "shell/MessageBoxes.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The banner at the top: the program's name and what the dialog is for.
class TBanner : public QWidget {
public:
    explicit TBanner(QWidget* parent) : QWidget(parent) {
        setObjectName("Banner");
        QFont f = font();
        f.setPointSizeF(f.pointSizeF() * 1.9);
        f.setBold(true);
        titleFont_ = f;
        const int h = QFontMetrics(titleFont_).height() + fontMetrics().height() + 22;
        setFixedHeight(std::max(h, 64));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, width(), 0);
        g.setColorAt(0, QColor(0x1f, 0x4e, 0x8c));
        g.setColorAt(1, QColor(0x6a, 0x9c, 0xd6));
        p.fillRect(rect(), g);
        const int icon = height() - 16;
        ProgramIcon().paint(&p, QRect(10, 8, icon, icon));
        const int left = 20 + icon;
        p.setPen(Qt::white);
        p.setFont(titleFont_);
        const QFontMetrics tm(titleFont_);
        p.drawText(QPoint(left, 8 + tm.ascent()), QStringLiteral("Ольмар"));
        p.setFont(font());
        p.drawText(QPoint(left + 2, 8 + tm.height() + fontMetrics().ascent() + 2), QStringLiteral("Вход в систему"));
    }

private:
    QFont titleFont_;
};

}  // namespace

TRegAdminDlg::TRegAdminDlg(QWidget* parent, TUser& user, TConfiguration* configuration)
    : QDialog(parent), user_(user), configuration_(configuration) {
    FormCreate();
}

void TRegAdminDlg::FormCreate() {
    setObjectName("RegAdminDlg");
    setWindowTitle(QStringLiteral("Вход в систему"));
    setStatusTip(QStringLiteral("Окно регистрации администратора"));
    // A title bar without the close, help and size boxes: the dialog ends by its buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* banner = new TBanner(this);

    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName("NameEdit");
    nameEdit_->setMaxLength(50);
    paswEdit_ = new QLineEdit(this);
    paswEdit_->setObjectName("PaswEdit");
    paswEdit_->setMaxLength(15);
    paswEdit_->setEchoMode(QLineEdit::Password);

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName("OkBtn");
    okBtn_->setDefault(true);
    okBtn_->setEnabled(false);
    cancelBtn_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancelBtn_->setObjectName("CancelBtn");
    extBtn_ = new QPushButton(QStringLiteral("&>> Дополнительно"), this);
    extBtn_->setObjectName("ExtBtn");
    extBtn_->setAutoDefault(false);
    cancelBtn_->setAutoDefault(false);
    // Both captions of the button fit without moving the others.
    extBtn_->setMinimumWidth(
        std::max(extBtn_->sizeHint().width(), fontMetrics().horizontalAdvance(QStringLiteral("<< Дополнительно")) + 24));

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(10);
    auto* nameLabel = new QLabel(QStringLiteral("Пользователь:"), this);
    nameLabel->setBuddy(nameEdit_);
    auto* paswLabel = new QLabel(QStringLiteral("Пароль:"), this);
    paswLabel->setBuddy(paswEdit_);
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(nameEdit_, 0, 1);
    fields->addWidget(paswLabel, 1, 0);
    fields->addWidget(paswEdit_, 1, 1);
    fields->setColumnStretch(1, 1);
    nameEdit_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('W')) * 18);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okBtn_);
    buttons->addWidget(cancelBtn_);
    buttons->addWidget(extBtn_);

    // The network folder row, hidden while the dialog is collapsed.
    folderRow_ = new QWidget(this);
    folderRow_->setObjectName("NetworkFolderRow");
    auto* folder = new QHBoxLayout(folderRow_);
    folder->setContentsMargins(0, 0, 0, 0);
    auto* folderLabel = new QLabel(QStringLiteral("Сетевой путь БД:"), folderRow_);
    networkFolderEdit_ = new QLineEdit(folderRow_);
    networkFolderEdit_->setObjectName("NetworkFolderEdit");
    folderLabel->setBuddy(networkFolderEdit_);
    speedButton1_ = new QToolButton(folderRow_);
    speedButton1_->setObjectName("SpeedButton1");
    speedButton1_->setText(QStringLiteral("..."));
    speedButton1_->setToolTip(QStringLiteral("Выберите директорию"));
    folder->addWidget(folderLabel);
    folder->addWidget(networkFolderEdit_, 1);
    folder->addWidget(speedButton1_);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 10, 12, 5);
    body->setSpacing(8);
    body->addLayout(fields);
    body->addLayout(buttons);
    body->addWidget(folderRow_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(banner);
    layout->addLayout(body);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(nameEdit_, paswEdit_);
    setTabOrder(paswEdit_, okBtn_);
    setTabOrder(okBtn_, cancelBtn_);
    setTabOrder(cancelBtn_, extBtn_);
    setTabOrder(extBtn_, networkFolderEdit_);
    setTabOrder(networkFolderEdit_, speedButton1_);

    connect(nameEdit_, &QLineEdit::textChanged, this, &TRegAdminDlg::NameEditChange);
    connect(paswEdit_, &QLineEdit::textChanged, this, &TRegAdminDlg::NameEditChange);
    connect(okBtn_, &QPushButton::clicked, this, &TRegAdminDlg::OkBtnClick);
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
    connect(extBtn_, &QPushButton::clicked, this, &TRegAdminDlg::ExtBtnClick);
    connect(speedButton1_, &QToolButton::clicked, this, &TRegAdminDlg::SpeedButton1Click);

    if (configuration_) networkFolderEdit_->setText(QString::fromStdString(configuration_->NetworkFolder));
    SetExpanded(false);
    nameEdit_->setFocus();
}

void TRegAdminDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The name of the last user is there already: the password is what is left to type.
    if (!nameEdit_->text().isEmpty() && paswEdit_->text().isEmpty()) paswEdit_->setFocus();
    if (!centred_) {
        centred_ = true;
        if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
            QRect r = frameGeometry();
            r.moveCenter(screen->availableGeometry().center());
            move(r.topLeft());
        }
    }
}

void TRegAdminDlg::SetUserName(const QString& name) {
    nameEdit_->setText(name.left(nameEdit_->maxLength()));
    NameEditChange();
}

QString TRegAdminDlg::UserNameText() const { return nameEdit_->text(); }

bool TRegAdminDlg::IsExpanded() const { return !folderRow_->isHidden(); }

void TRegAdminDlg::NameEditChange() { okBtn_->setEnabled(!nameEdit_->text().isEmpty() && !paswEdit_->text().isEmpty()); }

void TRegAdminDlg::SetExpanded(bool expanded) {
    folderRow_->setVisible(expanded);
    extBtn_->setText(expanded ? QStringLiteral("&<< Дополнительно") : QStringLiteral("&>> Дополнительно"));
    adjustSize();
}

void TRegAdminDlg::ExtBtnClick() { SetExpanded(!IsExpanded()); }

void TRegAdminDlg::SpeedButton1Click() {
    QFileDialog browser(this, QStringLiteral("Выберите директорию"));
    browser.setObjectName("FolderBrowser");
    browser.setFileMode(QFileDialog::Directory);
    browser.setOption(QFileDialog::ShowDirsOnly, true);
    browser.setOption(QFileDialog::DontUseNativeDialog, true);
    browser.setAcceptMode(QFileDialog::AcceptOpen);
    const QString current = networkFolderEdit_->text();
    if (!current.isEmpty() && QDir(current).exists()) browser.setDirectory(current);
    if (browser.exec() != QDialog::Accepted) return;  // cancelled: the field keeps its text
    const QStringList chosen = browser.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return;
    QString path = QDir::toNativeSeparators(chosen.first());
    // The folder is a prefix of the database folder names: it ends with a separator.
    if (!path.endsWith(QDir::separator())) path += QDir::separator();
    networkFolderEdit_->setText(path);
}

void TRegAdminDlg::OkBtnClick() {
    if (!okBtn_->isEnabled()) return;
    // Saved before the check, so a new folder is kept even when the login fails; it
    // takes effect at the next start.
    if (configuration_) {
        configuration_->NetworkFolder = networkFolderEdit_->text().toStdString();
        configuration_->Save();
    }
    if (!user_.CheckUser(nameEdit_->text().toStdString(), paswEdit_->text().toStdString())) {
        ErrorBox(this, QStringLiteral("Неверно введены имя администратора и пароль!"));
        nameEdit_->setFocus();
        nameEdit_->selectAll();
        return;
    }
    if (!user_.BeginSeance()) {
        // Without its journal row and rights the session would be open with nothing
        // allowed: say so and let the user try again.
        QString text = QStringLiteral("Не удалось открыть сеанс пользователя: ошибка базы данных.");
        if (!user_.LastError.empty()) text += QStringLiteral("\n") + QString::fromStdString(user_.LastError);
        user_.EndSeance();  // back to nobody logged in
        ErrorBox(this, text);
        nameEdit_->setFocus();
        nameEdit_->selectAll();
        return;
    }
    accept();
}
