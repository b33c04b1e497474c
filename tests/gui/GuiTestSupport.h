#pragma once
// Helpers of the window tests: letting the event loop go idle, answering message
// boxes as a user would, child windows that stand in for the real lists, screenshots.
#include "shell/Icons.h"
#include "shell/MainFrm.h"
#include "shell/TabForm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

namespace guitest {

// Runs the event loop until it has waited `ms`: the loop blocks in between, so the
// main window's idle cycle runs exactly as it does for a user.
inline void Idle(int ms = 30) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Saves a picture of `widget` into $OLMAR_SCREENSHOTS (set by CTest) for a person to look at.
inline void Screenshot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("OLMAR_SCREENSHOTS");
    if (dir.isEmpty() || !widget) return;
    QDir().mkpath(dir);
    widget->grab().save(dir + QLatin1Char('/') + name, "PNG");
}

// Answers every message box that opens while it lives, and remembers what it said.
class BoxWatcher : public QObject {
public:
    struct Seen {
        QMessageBox::Icon Icon;
        QString Title;
        QString Text;
    };
    // Chooses the button for a box; by default OK, else Yes.
    std::function<QMessageBox::StandardButton(const QString& text)> Answer;
    QList<Seen> Boxes;

    BoxWatcher() {
        timer_.setInterval(15);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start();
    }

    QStringList Texts() const {
        QStringList list;
        for (const Seen& s : Boxes) list << s.Text;
        return list;
    }

private:
    void Poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            // Marked on the box itself: boxes on the stack come back at the same address.
            if (!box || !box->isVisible() || box->property("answered").toBool()) continue;
            box->setProperty("answered", true);
            Boxes.push_back({box->icon(), box->windowTitle(), box->text()});
            QMessageBox::StandardButton choice = QMessageBox::NoButton;
            if (Answer) choice = Answer(box->text());
            if (choice == QMessageBox::NoButton)
                choice = box->button(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Yes;
            if (QAbstractButton* b = box->button(choice)) b->click();
        }
    }
    QTimer timer_;
};

// A child window standing in for a list window of the given kind, with a few rows.
class FakeListFrm : public TTabForm {
    Q_OBJECT
public:
    FakeListFrm(TMainFrm* main, const QString& title, TChildKind kind, int rows)
        : TTabForm(main, WindowIcon(kind == TChildKind::Counters ? TWindowIcon::Counters : TWindowIcon::Window)),
          kind_(kind) {
        auto* table = new QTableWidget(rows, 4, this);
        table->setHorizontalHeaderLabels({QStringLiteral("Счетчик"), QStringLiteral("Заводской номер"),
                                          QStringLiteral("Версия"), QStringLiteral("Адрес")});
        const char* places[] = {"ул. Ленина, 12", "пр. Мира, 5, кв. 14", "ул. Садовая, 3", "пер. Тихий, 8"};
        for (int r = 0; r < rows; ++r) {
            table->setItem(r, 0, new QTableWidgetItem(QStringLiteral("Норвел-9 №%1").arg(r + 1)));
            table->setItem(r, 1, new QTableWidgetItem(QString::number(1204500 + r * 37)));
            table->setItem(r, 2, new QTableWidgetItem(QString::number(40 + r)));
            table->setItem(r, 3, new QTableWidgetItem(QString::fromUtf8(places[r % 4])));
        }
        table->horizontalHeader()->setStretchLastSection(true);
        table->resizeColumnsToContents();
        table_ = table;
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(table);
        SetTitle(title);
        resize(560, 240);
        ShowChild();
    }
    TChildKind ChildKind() const override { return kind_; }
    bool HasRows() const override { return table_->rowCount() > 0; }
    void UpdateIdleGates(const TGateUser& user, const TGateContext& context) override {
        copyEnabled = CopyParametersEnabled(user, context);
    }
    QTableWidget* Table() const { return table_; }
    bool copyEnabled = false;

private:
    TChildKind kind_;
    QTableWidget* table_;
};

}  // namespace guitest
