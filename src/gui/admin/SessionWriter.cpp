#include "admin/SessionWriter.h"

#include "db/DataBaseModule.h"
#include "db/ValueStore.h"
#include "shell/MainFrm.h"

#include <QApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <exception>

bool StartSessionWriter(TMainFrm* mainFrm, bool higherPriority, QString* error) {
    if (DataBaseModule == nullptr) return true;
    // Made here, on the user-interface thread; the writer thread only copies it.
    const QPointer<TMainFrm> guard(mainFrm);
    TWriterEvents events;
    events.StatusChanged = [guard](int) {
        // Posted through the application object, which outlives every window; the
        // window is looked at only on its own thread.
        QMetaObject::invokeMethod(
            qApp,
            [guard] {
                if (guard) guard->ApplicationEventsIdle();
            },
            Qt::QueuedConnection);
    };
    events.ValueFailed = [guard](const TStructToWrite& value, const std::string& message) {
        const QString text = QStringLiteral("Не удалось сохранить значение параметра %1 счетчика %2: %3")
                                 .arg(value.ParamID)
                                 .arg(value.CounterID)
                                 .arg(QString::fromStdString(message));
        QMetaObject::invokeMethod(
            qApp,
            [guard, text] {
                if (!guard) return;
                guard->StatusPanel(0)->setText(text);
                guard->StatusPanel(0)->setToolTip(text);
            },
            Qt::QueuedConnection);
    };
    try {
        StartWriteThread(DataBaseModule->FilePath(), std::move(events), higherPriority);
    } catch (const std::exception& e) {
        if (error) *error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

int StopSessionWriter() { return static_cast<int>(StopWriteThread(false)); }
