#pragma once
// The program's message boxes: one look and one set of captions for every window.
#include <QMessageBox>
#include <QString>

class QWidget;

// An error box with OK.
void ErrorBox(QWidget* parent, const QString& text, const QString& title = QString());
// An information box with OK.
void InfoBox(QWidget* parent, const QString& text, const QString& title = QString());
// A Yes/No question; true on Yes. `icon` chooses the picture (question, information, warning).
bool AskYesNo(QWidget* parent, const QString& text, const QString& title = QString(),
              QMessageBox::Icon icon = QMessageBox::Question);
// A Yes/No/Cancel question; true only on Yes.
bool AskYesNoCancel(QWidget* parent, const QString& text, const QString& title = QString(),
                    QMessageBox::Icon icon = QMessageBox::Question);
