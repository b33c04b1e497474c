#pragma once
// The multi-document main window: menus, tool bars, window tabs, status bar and
// every command of the program as an action.
#include "shell/ActionGates.h"

#include <QMainWindow>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;
class TBtnPageControl;
class TCountersFrm;
class TTabForm;
struct TCounterRow;

// How a meter job ended, as the user was told.
enum class TJobOutcome {
    NotStarted,  // refused before the dialog (no port, no meter list, a check or dialog said no)
    Succeeded,
    Cancelled,
    Failed,
};

// A command that talks to a meter: checks, the job for the progress dialog and
// the messages of its outcome.
struct TMeterJob {
    // The job, run inside the progress dialog; reports through CurrentJob().
    std::function<bool()> Job;
    // False for the commands that need no selected meter (the factory number).
    bool NeedsMeterList = true;
    // The command's own checks and dialogs after the port check; false stops quietly
    // (the check shows its own refusal).
    std::function<bool()> Prepare;
    // Text of the information box after a good run; no box when not set.
    std::function<QString()> SuccessText;
    // Text of the error box after a failed run (after the dialog's "Произошла ошибка").
    std::function<QString()> FailureText;
};

class TMainFrm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainFrm(QWidget* parent = nullptr);
    ~TMainFrm() override;

    QMdiArea* MdiArea() const { return mdi_; }
    TBtnPageControl* PageControl() const { return pageControl_; }
    QAction* Action(TAction action) const { return actions_.at(static_cast<std::size_t>(action)); }
    QLabel* StatusPanel(int index) const { return panels_.at(static_cast<std::size_t>(index)); }
    QMenu* SysPopupMenu() const { return sysPopupMenu_; }
    QToolBar* CounterOperations() const { return counterBar_; }

    // The session switch of the login and logout commands: stores the flag and the
    // user's gates, then enables or disables the commands.
    void SetLoggedIn(bool flag, const TGateUser& user = TGateUser(), const QString& userName = QString());
    bool LoggedIn() const { return loggedIn_; }
    const TGateUser& SessionUser() const { return user_; }
    void EnableAfterLogin();
    void DisableAfterLogout();
    // Text of status panel 1 while the meter list is not active (session information).
    void SetSessionText(const QString& text);

    // Records still queued in the background value writer; none while it is not set.
    std::function<std::size_t()> PendingRecords;

    // Closes every child window; false when one refused to close.
    bool CloseAllChildren();
    // Brings to the front a child of that class with that caption (any caption when
    // empty); false when there is none.
    bool ActivateChild(const QString& className, const QString& caption = QString());
    TTabForm* ActiveChild() const;
    QList<TTabForm*> Children() const;

    // Runs a meter command: port check, meter list check, the command's checks, the
    // job in the progress dialog, the message of its outcome.
    TJobOutcome RunMeterJob(const TMeterJob& job);
    // "Произошла ошибка : " followed by the link's error text.
    static QString JobErrorText(const std::string& errorText);

    // The meter list when it is the active child window, else null.
    TCountersFrm* ActiveCountersFrm() const;

public slots:
    // The enabling rules of the idle cycle; cheap, runs whenever the loop goes idle.
    void ApplicationEventsIdle();

    // One handler per command. Those of windows and jobs still to come are empty.
    void acBeginSeanceExecute();
    void acEndSeanceExecute();
    void acPrintExecute();
    void acExitExecute();
    void acUsersExecute();
    void acUserGroupsExecute();
    void acVersionsExecute();
    void acFilesExecute();
    void acDefaultParamsExecute();
    void acCountersExecute();
    void acAddCounterExecute();
    void acEditCounterExecute();
    void acDeleteCounterExecute();
    void acStatExecute();
    void acPowerExecute();
    void acTaskCounterFileExecute();
    void acCounterRegisterExecute();
    void acSeanceExecute();
    void acGetZNumberExecute();
    void acTaskProgFileExecute();
    void acProgrammersExecute();
    void acProgWriteSeanceExecute();
    void acProgReadSeanceExecute();
    void acSetupExecute();
    void acCascadeExecute();
    void acTileHorExecute();
    void acTileVertExecute();
    void acCloseAllExecute();
    void acHelpExecute();
    void acResetRegisterExecute();
    void acResetSeanceExecute();
    void acGetPowerExecute();
    void acGetMomentPowerExecute();
    void acGetOnlyPowerExecute();
    void acGetOnlyVoltageExecute();
    void acGetOnlyCurrentExecute();
    void acGetOnlyEnergyExecute();
    void acGetOnlyEnergy_1Execute();
    void acGetEnergyByMinExecute();
    void acQueryExecute();
    void acVectorExecute();
    void acInitSeanceExecute();
    void acOffContactorExecute();
    void acRelaxContactorExecute();
    void acSetCardExecute();
    void acManageChannelsExecute();
    void acOnChannel1Execute();
    void acOffChannel1Execute();
    void acOnChannel2Execute();
    void acOffChannel2Execute();
    void acOnOptoPortExecute();
    void acOffOptoPortExecute();
    void acCounterParamsExecute();
    void acGetCounterDateTimeExecute();
    void acAboutExecute();
    void acExportToExcelExecute();
    void acParametrizationExecute();
    void acExportToVetrelExecute();
    void acParametrizationOptionsExecute();
    void acWritePasswordsExecute();
    void acSetCurrencyExecute();
    void acCheckUpdatesExecute();
    void acSetCorrectlyRangeExecute();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void CreateTabRow();
    TGateContext GateContext() const;
    void ApplyGate(TAction action, std::optional<bool> state);
    void SubWindowActivated(QMdiSubWindow* sub);
    void BtnPageControlChange(int index);
    void BtnPageControlContextMenu(int index, const QPoint& globalPos);
    void SysPopupMenuPopup();
    void RestoreWinItemClick();
    void MinimizeWinItemClick();
    void CloseWinItemClick();
    void Tile(Qt::Orientation orientation);
    TTabForm* SelectedTabForm() const;
    bool CloseChild(TTabForm* form);

    // Meter commands on the selected meter of the meter list: `prepare` makes the
    // command's own checks and dialogs (false stops), then the meter is copied into
    // the session object and the job runs.
    TJobOutcome RunSelectedMeterJob(TMeterJob job, std::function<bool(const TCounterRow&)> prepare = {});
    // A meter command or measurement: its version check, `prepare` (its dialogs),
    // its job and its messages.
    TJobOutcome RunMeterCommand(TAction action, std::function<bool(const TCounterRow&)> prepare = {});
    // "&Сеанс...", "&Инициализационный сеанс..." and "Запись области паролей...".
    TJobOutcome RunSessionCommand(std::function<bool()> sessionJob);
    // The meter list after a meter was added or edited: read again, move to the meter.
    void CounterStored(std::int32_t counterID);

    QMdiArea* mdi_ = nullptr;
    TBtnPageControl* pageControl_ = nullptr;
    QToolBar* btnCoolBar_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QToolBar* counterBar_ = nullptr;
    QMenu* sysPopupMenu_ = nullptr;
    QAction* restoreWinItem_ = nullptr;
    QAction* minimizeWinItem_ = nullptr;
    QAction* closeWinItem_ = nullptr;
    std::array<QAction*, kActionCount> actions_{};
    std::array<QLabel*, 4> panels_{};
    QLabel* sessionIcon_ = nullptr;
    QTimer* idleTimer_ = nullptr;
    QString sessionText_;
    QString userName_;
    TGateUser user_;
    bool loggedIn_ = false;
    bool syncingTabs_ = false;
};
