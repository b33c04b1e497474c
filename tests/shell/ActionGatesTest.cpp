#include "shell/ActionGates.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using enum TAction;

// Rights of the four seeded groups and their members.
TGateUser Supervisor() { return TGateUser::WithRights(1, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}); }
TGateUser Administrator2() { return TGateUser::WithRights(7, 2, {6, 7, 8, 9, 10, 11, 12}); }
TGateUser Experienced() { return TGateUser::WithRights(8, 3, {8, 9, 10, 11, 12}); }
TGateUser Plain() { return TGateUser::WithRights(9, 4, {12}); }

TGateContext In(TChildKind kind, bool rows, bool pending = false) { return {true, kind, rows, pending}; }

const std::vector<TAction> kMeterJobs = {
    acTaskCounterFile, acSeance,         acInitSeance,     acGetPower,      acGetMomentPower,
    acGetOnlyPower,    acGetOnlyVoltage, acGetOnlyCurrent, acGetOnlyEnergy, acGetOnlyEnergy_1,
    acGetEnergyByMin,  acVector,         acOffContactor,   acOnOptoPort,    acOffOptoPort,
    acOnChannel1,      acOffChannel1,    acOnChannel2,     acOffChannel2,   acRelaxContactor,
    acSetCard};

TEST(ActionGates, TableNamesEveryActionOnceInOrder) {
    std::set<std::string> names;
    for (std::size_t i = 0; i < kActionCount; ++i) {
        const auto& row = ActionTable()[i];
        EXPECT_EQ(static_cast<std::size_t>(row.Action), i);
        EXPECT_TRUE(row.Name.starts_with("ac")) << row.Name;
        EXPECT_FALSE(row.Caption.empty()) << row.Name;
        EXPECT_TRUE(names.insert(std::string(row.Name)).second) << "duplicate " << row.Name;
        EXPECT_EQ(ActionByName(row.Name), row.Action);
    }
    EXPECT_FALSE(ActionByName("acNothing").has_value());
    EXPECT_EQ(ActionInfo(acEditCounter).Shortcut, "Ctrl+Enter");
    EXPECT_EQ(ActionInfo(acOffContactor).Caption, "В&ыключить...");
}

TEST(ActionGates, HintSplitsAtTheBar) {
    const auto hint = ActionInfo(acBeginSeance).Hint;
    EXPECT_EQ(HintToolTip(hint), "Начало сеанса");
    EXPECT_EQ(HintStatusText(hint), "Начало сеанса работы с программой");
    EXPECT_EQ(HintToolTip("Выход"), "Выход");
    EXPECT_EQ(HintStatusText("Выход"), "Выход");
}

// Every command has a rule for both session states, or none is needed.
TEST(ActionGates, EveryActionHasARuleInBothStates) {
    const TGateUser user = Supervisor();
    for (const auto& row : ActionTable()) {
        const bool idle = IdleGate(row.Action, user, In(TChildKind::None, false)).has_value();
        const bool switched = LoginGate(row.Action, user).has_value() && LogoutGate(row.Action).has_value();
        EXPECT_TRUE(IsNeverDisabled(row.Action) || idle || switched) << row.Name;
    }
}

TEST(ActionGates, LoggedOutKeepsTheStartStateAndNothingOfTheMeterList) {
    const TGateContext out{};
    for (const auto& row : ActionTable()) {
        const bool enabled = ActionEnabled(row.Action, TGateUser{}, out);
        if (IdleGate(row.Action, TGateUser{}, out).has_value())
            EXPECT_FALSE(enabled) << row.Name;
        else
            EXPECT_EQ(enabled, row.EnabledAtStart) << row.Name;
    }
    EXPECT_TRUE(ActionEnabled(acBeginSeance, {}, out));
    EXPECT_FALSE(ActionEnabled(acEndSeance, {}, out));
    // A stale child or stale rights never enable anything without a session.
    const TGateContext stale{false, TChildKind::Counters, true, false};
    for (TAction a : kMeterJobs) EXPECT_FALSE(ActionEnabled(a, TGateUser::Administrator(), stale));
}

TEST(ActionGates, NeverDisabledCommands) {
    for (TAction a : {acExit, acCascade, acTileHor, acTileVert, acCloseAll, acHelp, acAbout, acCheckUpdates,
                      acSetCurrency, acSetCorrectlyRange}) {
        EXPECT_TRUE(ActionEnabled(a, {}, {}));
        EXPECT_TRUE(ActionEnabled(a, Plain(), In(TChildKind::Counters, false)));
    }
}

// The gates evaluated once at login, per kind of user.
TEST(ActionGates, LoginGatesByUser) {
    struct Case {
        const char* who;
        TGateUser user;
        bool users, groups, resetRegister, versions, files, defaultParams;
    };
    const Case cases[] = {
        {"built-in administrator", TGateUser::Administrator(), true, true, true, true, true, true},
        {"Supervisor (user 1, group 1)", Supervisor(), true, true, true, true, false, true},
        {"group 2", Administrator2(), true, false, false, true, false, true},
        {"group 3", Experienced(), false, false, false, false, false, true},
        {"group 4", Plain(), false, false, false, false, false, false},
        {"another member of group 1", TGateUser::WithRights(5, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), true,
         true, false, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.who);
        const TGateContext none = In(TChildKind::None, false);
        EXPECT_EQ(ActionEnabled(acUsers, c.user, none), c.users);
        EXPECT_EQ(ActionEnabled(acUserGroups, c.user, none), c.groups);
        EXPECT_EQ(ActionEnabled(acResetRegister, c.user, none), c.resetRegister);
        EXPECT_EQ(ActionEnabled(acVersions, c.user, none), c.versions);
        EXPECT_EQ(ActionEnabled(acFiles, c.user, none), c.files);
        EXPECT_EQ(ActionEnabled(acQuery, c.user, none), c.files);
        EXPECT_EQ(ActionEnabled(acDefaultParams, c.user, none), c.defaultParams);
        for (TAction a : {acEndSeance, acPrint, acCounters, acResetSeance, acProgrammers, acSetup,
                          acParametrizationOptions})
            EXPECT_TRUE(ActionEnabled(a, c.user, none)) << ActionInfo(a).Name;
        EXPECT_FALSE(ActionEnabled(acBeginSeance, c.user, none));
    }
}

// The idle gates of the meter list, per right and table state.
TEST(ActionGates, MeterListGatesByRightsAndRows) {
    struct Case {
        const char* who;
        TGateUser user;
        bool rows;
        bool add, editDelete, jobs, channels;
    };
    const Case cases[] = {
        {"group 4 (right 12), rows", Plain(), true, false, false, true, true},
        {"right 10 only, rows", TGateUser::WithRights(3, 5, {10}), true, false, false, true, false},
        {"right 8 only, rows", TGateUser::WithRights(3, 5, {8}), true, true, true, true, true},
        {"no rights, rows", TGateUser::WithRights(3, 5, {}), true, false, false, false, false},
        {"right 8, empty list", TGateUser::WithRights(3, 5, {8}), false, true, false, false, false},
        {"Supervisor, empty list", Supervisor(), false, true, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.who);
        const TGateContext ctx = In(TChildKind::Counters, c.rows);
        EXPECT_EQ(ActionEnabled(acAddCounter, c.user, ctx), c.add);
        EXPECT_EQ(ActionEnabled(acEditCounter, c.user, ctx), c.editDelete);
        EXPECT_EQ(ActionEnabled(acDeleteCounter, c.user, ctx), c.editDelete);
        EXPECT_EQ(ActionEnabled(acCounterRegister, c.user, ctx), c.editDelete);
        EXPECT_EQ(CopyParametersEnabled(c.user, ctx), c.editDelete);
        for (TAction a : kMeterJobs) EXPECT_EQ(ActionEnabled(a, c.user, ctx), c.jobs) << ActionInfo(a).Name;
        EXPECT_EQ(ActionEnabled(acManageChannels, c.user, ctx), c.channels);
        // No right is asked of these while the meter list is active, rows or not.
        for (TAction a : {acGetZNumber, acGetCounterDateTime, acParametrization, acExportToVetrel, acWritePasswords})
            EXPECT_TRUE(ActionEnabled(a, c.user, ctx)) << ActionInfo(a).Name;
    }
}

TEST(ActionGates, MeterCommandsNeedTheMeterListActive) {
    for (TChildKind kind : {TChildKind::None, TChildKind::Other, TChildKind::Statistics, TChildKind::Programmers}) {
        const TGateContext ctx = In(kind, true);
        for (TAction a : kMeterJobs) EXPECT_FALSE(ActionEnabled(a, Supervisor(), ctx));
        for (TAction a : {acAddCounter, acEditCounter, acDeleteCounter, acCounterRegister, acManageChannels,
                          acGetZNumber, acGetCounterDateTime, acParametrization, acExportToVetrel, acWritePasswords,
                          acCounterParams, acStat, acPower})
            EXPECT_FALSE(ActionEnabled(a, Supervisor(), ctx)) << ActionInfo(a).Name;
        EXPECT_FALSE(CopyParametersEnabled(Supervisor(), ctx));
    }
}

TEST(ActionGates, ReportsWaitForTheWriter) {
    for (TAction a : {acCounterParams, acStat, acPower}) {
        EXPECT_TRUE(ActionEnabled(a, Plain(), In(TChildKind::Counters, true, false)));
        EXPECT_FALSE(ActionEnabled(a, Plain(), In(TChildKind::Counters, true, true)));
    }
}

TEST(ActionGates, ProgrammerListAndExport) {
    const TGateUser writer = TGateUser::WithRights(4, 5, {9});
    const TGateUser reader = TGateUser::WithRights(4, 5, {11});
    for (TAction a : {acTaskProgFile, acProgReadSeance, acProgWriteSeance}) {
        EXPECT_TRUE(ActionEnabled(a, writer, In(TChildKind::Programmers, true)));
        EXPECT_TRUE(ActionEnabled(a, reader, In(TChildKind::Programmers, true)));
        EXPECT_FALSE(ActionEnabled(a, reader, In(TChildKind::Programmers, false)));
        EXPECT_FALSE(ActionEnabled(a, Plain(), In(TChildKind::Programmers, true)));
        EXPECT_FALSE(ActionEnabled(a, writer, In(TChildKind::Counters, true)));
    }
    for (TChildKind kind : {TChildKind::CounterParams, TChildKind::Statistics, TChildKind::PowerTraffic})
        EXPECT_TRUE(ActionEnabled(acExportToExcel, Plain(), In(kind, false)));
    for (TChildKind kind : {TChildKind::None, TChildKind::Counters, TChildKind::Other})
        EXPECT_FALSE(ActionEnabled(acExportToExcel, Supervisor(), In(kind, true)));
}

// The window applies the gates as events: login, logout, idle cycles. Whatever the
// history, the state after the next idle cycle must be the one ActionEnabled gives.
TEST(ActionGates, WindowSequenceAgreesWithTheEffectiveState) {
    std::array<bool, kActionCount> state{};
    for (const auto& row : ActionTable()) state[static_cast<std::size_t>(row.Action)] = row.EnabledAtStart;
    auto apply = [&](auto gate) {
        for (const auto& row : ActionTable())
            if (auto v = gate(row.Action)) state[static_cast<std::size_t>(row.Action)] = *v;
    };
    auto check = [&](const TGateUser& u, const TGateContext& c, const char* step) {
        for (const auto& row : ActionTable())
            EXPECT_EQ(state[static_cast<std::size_t>(row.Action)], ActionEnabled(row.Action, u, c))
                << step << ": " << row.Name;
    };
    const TGateUser users[] = {TGateUser::Administrator(), Supervisor(), Administrator2(), Experienced(), Plain(),
                               TGateUser::WithRights(10, 6, {})};
    const TChildKind kinds[] = {TChildKind::None,         TChildKind::Other,         TChildKind::Counters,
                                TChildKind::Programmers,  TChildKind::CounterParams, TChildKind::Statistics,
                                TChildKind::PowerTraffic};
    const TGateContext out{};
    apply([&](TAction a) { return IdleGate(a, TGateUser{}, out); });
    check(TGateUser{}, out, "start");
    for (const auto& u : users) {
        apply([&](TAction a) { return LoginGate(a, u); });
        for (TChildKind kind : kinds)
            for (bool rows : {false, true})
                for (bool pending : {false, true}) {
                    const TGateContext c{true, kind, rows, pending};
                    apply([&](TAction a) { return IdleGate(a, u, c); });
                    check(u, c, "logged in");
                }
        apply([&](TAction a) { return LogoutGate(a); });
        apply([&](TAction a) { return IdleGate(a, TGateUser{}, out); });
        check(TGateUser{}, out, "logged out");
    }
}

}  // namespace
