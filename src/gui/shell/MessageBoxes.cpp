#include "shell/MessageBoxes.h"

#include <QPushButton>

namespace {

QString TitleFor(QMessageBox::Icon icon, const QString& title) {
    if (!title.isEmpty()) return title;
    switch (icon) {
        case QMessageBox::Critical: return QStringLiteral("Ошибка");
        case QMessageBox::Warning: return QStringLiteral("Предупреждение");
        case QMessageBox::Question: return QStringLiteral("Подтверждение");
        default: return QStringLiteral("Информация");
    }
}

QMessageBox::StandardButton Show(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton def) {
    QMessageBox box(icon, TitleFor(icon, title), text, buttons, parent);
    box.setDefaultButton(def);
    // The buttons speak the user's language whatever translations are installed.
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
        {QMessageBox::Ok, "OK"}, {QMessageBox::Yes, "&Да"}, {QMessageBox::No, "&Нет"}, {QMessageBox::Cancel, "Отмена"}};
    for (const auto& [button, caption] : captions)
        if (QAbstractButton* b = box.button(button)) b->setText(QString::fromUtf8(caption));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void ErrorBox(QWidget* parent, const QString& text, const QString& title) {
    Show(parent, QMessageBox::Critical, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

void InfoBox(QWidget* parent, const QString& text, const QString& title) {
    Show(parent, QMessageBox::Information, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool AskYesNo(QWidget* parent, const QString& text, const QString& title, QMessageBox::Icon icon) {
    return Show(parent, icon, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

bool AskYesNoCancel(QWidget* parent, const QString& text, const QString& title, QMessageBox::Icon icon) {
    return Show(parent, icon, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                QMessageBox::Yes) == QMessageBox::Yes;
}
