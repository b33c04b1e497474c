#include "shell/AboutDlg.h"

#include "shell/Icons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutDlg");
    setWindowTitle(QStringLiteral("О программе..."));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* picture = new QLabel(this);
    picture->setPixmap(ProgramIcon().pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(QStringLiteral("Ольмар"), this);
    name->setObjectName("ProductName");
    QFont f = name->font();
    f.setPointSizeF(f.pointSizeF() * 1.6);
    f.setBold(true);
    name->setFont(f);
    auto* version = new QLabel(VersionText(), this);
    version->setObjectName("Version");
    auto* purpose = new QLabel(
        QStringLiteral("Программирование и чтение счетчиков электроэнергии\nНорвел-8 и Норвел-9 через оптический порт"),
        this);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(purpose);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TAboutDlg::VersionText() { return QStringLiteral("Версия: 2.") + QString::number(22); }
