#pragma once
// The login and user administration windows under test: a temporary home with a
// checked database, the configuration and the user object as start-up makes them,
// and helpers that act on modal dialogs as a user would.
#include "GuiTestSupport.h"

#include "admin/RegAdminDlg.h"
#include "admin/User.h"
#include "admin/UserAdmin.h"
#include "db/DataBaseModule.h"
#include "db/ValueStore.h"
#include "shell/Configuration.h"
#include "shell/Globals.h"
#include "support/TempHome.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <stdexcept>

namespace admintest {

inline const QString kSupervisor = QStringLiteral("Supervisor");
inline const QString kSupervisorPassword = QStringLiteral("PiquantOwl73620");

// A program home as start-up leaves it: database checked and seeded, configuration
// loaded from the home, the user object empty; no writer yet (login starts it).
class AdminHome {
public:
    AdminHome() {
        qputenv("OLMAR_HOME", QByteArray::fromStdString(home.Dir()));
        AdministratorMode = false;
        DatabaseFolder = home.Dir() + "Database";
        module = std::make_unique<TDataBaseModule>(DatabaseFolder);
        if (!module->CheckTables()) throw std::runtime_error(module->LastError());
        DataBaseModule = module.get();
        config = std::make_unique<TConfiguration>(home.File("Olmar32.ini"));
        Configuration = config.get();
        user = std::make_unique<TUser>(&module->Db());
        User = user.get();
    }
    ~AdminHome() {
        StopWriteThread(false);
        User = nullptr;
        user.reset();
        Configuration = nullptr;
        DataBaseModule = nullptr;
        AdministratorMode = false;
    }
    TDatabase& Db() { return module->Db(); }

    long long Count(const std::string& sql, std::optional<std::int32_t> id = std::nullopt) {
        auto q = Db().Prepare(sql);
        if (id) q.BindInt(":ID", *id);
        return q.Step() ? q.Int64(0) : -1;
    }
    // Adds a user through the same operation the users window calls.
    std::int32_t AddTableUser(const std::string& name, const std::string& password, std::int32_t group) {
        const TAdminResult r = AddUser(Db(), {name, password, password, group, "Тестовый"}, 0);
        if (!r.Ok) throw std::runtime_error(r.Message);
        return r.NewID;
    }

    TempHome home;
    std::unique_ptr<TDataBaseModule> module;
    std::unique_ptr<TConfiguration> config;
    std::unique_ptr<TUser> user;
};

// The visible window of class D, or null.
template <class D>
D* Visible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<D*>(w); d && d->isVisible()) return d;
    return nullptr;
}

// Acts once on the next modal dialog of class D, as soon as it is on screen. Stops
// looking when it goes out of scope, so a late dialog never meets a dead test.
template <class D>
class OnDialog {
public:
    explicit OnDialog(std::function<void(D*)> act) : act_(std::move(act)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            D* d = Visible<D>();
            if (!d) return;
            timer_.stop();
            seen_ = true;
            QPointer<D> alive(d);
            act_(d);
            // A check that failed inside `act` returned early: close the dialog so the
            // test ends with the failure instead of waiting for ever.
            if (alive && alive->isVisible()) alive->reject();
        });
        timer_.start();
    }
    bool Seen() const { return seen_; }

private:
    std::function<void(D*)> act_;
    QTimer timer_;
    bool seen_ = false;
};

// The widget the Tab key moves to from `w`.
inline QWidget* NextTabStop(QWidget* w) {
    for (QWidget* next = w->nextInFocusChain(); next && next != w; next = next->nextInFocusChain())
        if ((next->focusPolicy() & Qt::TabFocus) && next->isVisible() && next->isEnabled()) return next;
    return nullptr;
}

// Logs in through the dialog as a user types; true when the session opened.
inline bool LogIn(TMainFrm* main, const QString& name, const QString& password) {
    OnDialog<TRegAdminDlg> dialog([&](TRegAdminDlg* dlg) {
        dlg->NameEdit()->setText(name);
        dlg->PaswEdit()->setText(password);
        QTest::mouseClick(dlg->OkBtn(), Qt::LeftButton);
        if (dlg->isVisible()) dlg->reject();
    });
    main->Action(TAction::acBeginSeance)->trigger();
    return dialog.Seen() && main->LoggedIn();
}

// Answers Yes to questions and OK to every other box.
inline QMessageBox::StandardButton YesToQuestions(const QString& text) {
    return text.endsWith(QLatin1Char('?')) ? QMessageBox::Yes : QMessageBox::NoButton;
}

// Ends the session, giving up what is unsaved.
inline void LogOut(TMainFrm* main) {
    if (!main->LoggedIn()) return;
    guitest::BoxWatcher boxes;
    boxes.Answer = [](const QString& text) {
        return text.endsWith(QStringLiteral("Продолжить работу?")) ? QMessageBox::No : QMessageBox::Yes;
    };
    main->Action(TAction::acEndSeance)->trigger();
}

}  // namespace admintest
