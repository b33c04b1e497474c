#pragma once
// The main window's commands and the rules that enable them: who is logged in,
// with which rights, which child window is active and whether it holds rows.
// Pure decisions without a window, so the desktop program and olmar-cli gate
// their commands by the same table.

#include <array>
#include <bitset>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string_view>

// The twelve access types of a user; numbers are fixed, commands test them by number.
inline constexpr int kAccessTypeCount = 12;

// Every command of the main window, in the order of its action table.
enum class TAction : int {
    acBeginSeance,
    acEndSeance,
    acPrint,
    acExit,
    acUsers,
    acUserGroups,
    acVersions,
    acFiles,
    acDefaultParams,
    acCounters,
    acAddCounter,
    acEditCounter,
    acDeleteCounter,
    acStat,
    acPower,
    acTaskCounterFile,
    acCounterRegister,
    acSeance,
    acGetZNumber,
    acTaskProgFile,
    acProgrammers,
    acProgWriteSeance,
    acProgReadSeance,
    acSetup,
    acCascade,
    acTileHor,
    acTileVert,
    acCloseAll,
    acHelp,
    acResetRegister,
    acResetSeance,
    acGetPower,
    acGetMomentPower,
    acGetOnlyPower,
    acGetOnlyVoltage,
    acGetOnlyCurrent,
    acGetOnlyEnergy,
    acGetOnlyEnergy_1,
    acGetEnergyByMin,
    acQuery,
    acVector,
    acInitSeance,
    acOffContactor,
    acRelaxContactor,
    acSetCard,
    acManageChannels,
    acOnChannel1,
    acOffChannel1,
    acOnChannel2,
    acOffChannel2,
    acOnOptoPort,
    acOffOptoPort,
    acCounterParams,
    acGetCounterDateTime,
    acAbout,
    acExportToExcel,
    acParametrization,
    acExportToVetrel,
    acParametrizationOptions,
    acWritePasswords,
    acSetCurrency,
    acCheckUpdates,
    acSetCorrectlyRange,
    Count
};

inline constexpr std::size_t kActionCount = static_cast<std::size_t>(TAction::Count);

// One row of the action table. Texts are UTF-8; the shortcut is in the portable
// text form ("Ctrl+Ins", "F2"), empty when the command has none. A hint with a '|'
// is a tool tip before it and a status-bar text after it.
struct TActionInfo {
    TAction Action;
    std::string_view Name;
    std::string_view Caption;
    std::string_view Shortcut;
    std::string_view Hint;
    bool EnabledAtStart;
};

const TActionInfo& ActionInfo(TAction action);
const std::array<TActionInfo, kActionCount>& ActionTable();
// The action with that object name ("acSeance"); nullopt for an unknown name.
std::optional<TAction> ActionByName(std::string_view name);

// Tool tip and status text of a hint ("a|b" -> "a", "b"; "a" -> "a", "a").
std::string_view HintToolTip(std::string_view hint);
std::string_view HintStatusText(std::string_view hint);

// The logged-in user as the gates see him.
struct TGateUser {
    std::bitset<kAccessTypeCount> Rights;  // bit n-1 stands for access type n
    int UserID = 0;
    int UserGroupID = 0;
    // The built-in administrator "SYSDBA" of the command line: user 0, group 0, every right.
    bool BuiltInAdministrator = false;

    bool HasAccess(int accessType) const {
        return accessType >= 1 && accessType <= kAccessTypeCount &&
               Rights.test(static_cast<std::size_t>(accessType - 1));
    }
    void Grant(int accessType) {
        if (accessType >= 1 && accessType <= kAccessTypeCount) Rights.set(static_cast<std::size_t>(accessType - 1));
    }

    static TGateUser Administrator();
    // A table user holding the given rights.
    static TGateUser WithRights(int userId, int groupId, std::initializer_list<int> rights);
};

// The kind of child window that is active in the main window.
enum class TChildKind {
    None,           // no child window
    Other,          // a window no gate asks about
    Counters,       // the meter list (TCountersFrm)
    Programmers,    // the programmer list (TProgramersFrm)
    CounterParams,  // the meter parameter editor (TCounterParamDlg)
    Statistics,     // the statistics report (TStatisticsFrm)
    PowerTraffic,   // the load profile report (TPowerTrafficFrm)
};

// What the idle cycle looks at besides the user.
struct TGateContext {
    bool LoggedIn = false;
    TChildKind ActiveChild = TChildKind::None;
    bool HasRows = false;        // the active child's table holds at least one record
    bool WriterPending = false;  // the background value writer still has queued records
};

// Commands that stay enabled in every state (window commands, help, exit, ...).
bool IsNeverDisabled(TAction action);

// The state a command gets when a session opens (EnableAfterLogin); nullopt when
// the login leaves it alone.
std::optional<bool> LoginGate(TAction action, const TGateUser& user);
// The state a command gets when the session closes (DisableAfterLogout).
std::optional<bool> LogoutGate(TAction action);
// The state the idle cycle gives a command; nullopt when the idle cycle leaves it
// alone. Nothing that depends on a child window is enabled while logged out.
std::optional<bool> IdleGate(TAction action, const TGateUser& user, const TGateContext& context);

// The meter list's button "Копировать параметры", gated by the idle cycle as well.
bool CopyParametersEnabled(const TGateUser& user, const TGateContext& context);

// The enabled state a command has once the last login or logout and the next idle
// cycle have run: the one answer for a caller without the window's history.
bool ActionEnabled(TAction action, const TGateUser& user, const TGateContext& context);
