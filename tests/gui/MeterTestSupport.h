#pragma once
// The meter windows under test: a temporary home with a checked database, the value
// writer running as after a login, and helpers that act on modal dialogs.
#include "GuiTestSupport.h"

#include "admin/CounterRegistry.h"
#include "admin/CountersFrm.h"
#include "db/DataBaseModule.h"
#include "db/ValueStore.h"
#include "shell/Globals.h"
#include "support/TempHome.h"

#include <QElapsedTimer>
#include <QTest>
#include <memory>
#include <stdexcept>

namespace guitest {

// A program home with Database/Olmar.db checked and seeded, made the program's
// database module, with the value writer running.
class MeterHome {
public:
    MeterHome() {
        qputenv("OLMAR_HOME", QByteArray::fromStdString(home.Dir()));
        DatabaseFolder = home.Dir() + "Database";
        module = std::make_unique<TDataBaseModule>(DatabaseFolder);
        if (!module->CheckTables()) throw std::runtime_error(module->LastError());
        DataBaseModule = module.get();
        StartWriteThread(module->FilePath());
    }
    ~MeterHome() {
        StopWriteThread(true);
        DataBaseModule = nullptr;
    }
    TDatabase& Db() { return module->Db(); }

    // Registers a meter of the first visible revision with version code `versionID`.
    void AddMeter(int id, const std::string& name, int versionID, std::int64_t zNumber) {
        for (const TVersionChoice& v : VersionsForNewCounter(Db())) {
            if (v.VersionID != versionID) continue;
            TCounterEdit e{std::to_string(id), name, std::to_string(zNumber), v.VersionInternalID, v.VersionID,
                           "01.2024", "02.2024"};
            const TAdminResult r = AddCounter(Db(), e);
            if (!r.Ok) throw std::runtime_error(r.Message);
            return;
        }
        throw std::runtime_error("no visible revision of version " + std::to_string(versionID));
    }

    long long Count(const std::string& sql) {
        auto q = Db().Prepare(sql);
        return q.Step() ? q.Int64(0) : -1;
    }

    TempHome home;
    std::unique_ptr<TDataBaseModule> module;
};

// The supervisor of the seed data: every right, group 1.
inline TGateUser Supervisor() { return TGateUser::WithRights(1, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}); }

// Types `text` key by key into `widget`, any alphabet (QTest::keyClicks takes ASCII only).
inline void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// The visible modal dialog of class D, or null.
template <class D>
D* OpenDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<D*>(w); d && d->isVisible()) return d;
    return nullptr;
}

// Acts on the next dialog of class D once it is on screen (polling, as a user waits
// for it to appear). `done` reports whether it was seen at all.
template <class D>
void WhenOpen(std::function<void(D*)> act, bool* done = nullptr, int timeoutMs = 10000) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act = std::move(act), done, timeoutMs] {
        D* d = OpenDialog<D>();
        if (!d && clock->elapsed() < timeoutMs) return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (d) {
            if (done) *done = true;
            act(d);
        }
    });
    timer->start();
}

}  // namespace guitest
