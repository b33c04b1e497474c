// Users, rights, the user journal and the meter registry on a freshly checked database.
#include "admin/CounterRegistry.h"
#include "admin/User.h"
#include "admin/UserAdmin.h"
#include "db/DataBaseModule.h"
#include "db/PasswordHash.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

class AdminTest : public ::testing::Test {
protected:
    void SetUp() override {
        module = std::make_unique<TDataBaseModule>(home.Dir() + "Database");
        ASSERT_TRUE(module->CheckTables()) << module->LastError();
    }
    TDatabase& Db() { return module->Db(); }
    long long Count(const std::string& sql) {
        auto q = Db().Prepare(sql);
        return q.Step() ? q.Int64(0) : -1;
    }
    TempHome home;
    std::unique_ptr<TDataBaseModule> module;
};

TEST_F(AdminTest, SupervisorLoginWritesOneJournalRowClosedAtTheEnd) {
    TUser user(&Db());
    EXPECT_FALSE(user.CheckUser("Supervisor", "wrong"));
    EXPECT_FALSE(user.CheckUser("supervisor", "PiquantOwl73620")) << "names compare exactly";
    ASSERT_TRUE(user.CheckUser("Supervisor", "PiquantOwl73620"));
    EXPECT_EQ(user.UserID, 1);
    EXPECT_EQ(user.UserGroupID, 1);
    ASSERT_TRUE(user.BeginSeance());
    for (int r = 1; r <= 12; ++r) EXPECT_TRUE(user.HasAccess(r)) << r;
    EXPECT_EQ(Count("SELECT COUNT(*) FROM UserRegister WHERE EndTime IS NULL"), 1);
    user.EndSeance();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM UserRegister WHERE EndTime IS NOT NULL"), 1);
    EXPECT_EQ(user.UserName, "");
    EXPECT_EQ(user.UserDescription, "Неизвестный");
    EXPECT_FALSE(user.HasAccess(5));
}

TEST_F(AdminTest, BuiltInAdministratorHasEveryRightAndLeavesNoRow) {
    TUser user(&Db());
    user.SetAdministrator();
    ASSERT_TRUE(user.BeginSeance());
    const TGateUser gate = user.GateUser();
    EXPECT_TRUE(gate.BuiltInAdministrator);
    EXPECT_TRUE(ActionEnabled(TAction::acQuery, gate, {true}));
    user.EndSeance();
    EXPECT_EQ(user.UserName, "SYSDBA") << "the administrator keeps his name";
    EXPECT_EQ(Count("SELECT COUNT(*) FROM UserRegister"), 0);
}

TEST_F(AdminTest, NewUserGetsHisGroupsRightsOnlyAtCreation) {
    TUserEdit u{"Петров", "12345", "12345", 4, "Петров П.П."};
    auto added = AddUser(Db(), u, 1);
    ASSERT_TRUE(added.Ok) << added.Message;
    EXPECT_EQ(added.NewID, 2);
    // Changing the group afterwards does not reach him.
    auto rights = LoadGroupRights(Db(), 4);
    rights[9].Checked = true;  // right 10
    SaveGroupRights(Db(), 4, rights);

    TUser user(&Db());
    ASSERT_TRUE(user.CheckUser("Петров", "12345"));
    ASSERT_TRUE(user.BeginSeance());
    EXPECT_TRUE(user.HasAccess(12));
    EXPECT_FALSE(user.HasAccess(10));
    EXPECT_FALSE(user.HasAccess(8));
    EXPECT_NE(Count("SELECT COUNT(*) FROM Users WHERE UserPassword = '12345'"), 1) << "never stored as plain text";
}

TEST_F(AdminTest, AddUserRefusals) {
    struct Case {
        TUserEdit user;
        int creatorGroup;
        std::string message;
    };
    const Case cases[] = {
        {{"A", "12345678901234", "12345678901234", 1, ""}, 1, "Пароль должен состоять из 15 символов!"},
        {{"A", "abc", "abd", 4, ""}, 1, "Введенные пароли не совпадают! Введите в оба поля одинаковый пароль"},
        {{"A", "abc", "abc", 1, ""}, 2, "Недопустимая группа пользователей!"},
        {{"Supervisor", "abc", "abc", 4, ""}, 1, "Пользователь с таким именем уже существует!"},
        {{"A", "1234567890123456", "1234567890123456", 4, ""}, 1, "Пароль не может быть длиннее 15 символов!"},
        {{"SYSDBA", "abc", "abc", 4, ""}, 1, "Имя SYSDBA зарезервировано за встроенным администратором!"},
    };
    for (const auto& c : cases) {
        auto r = AddUser(Db(), c.user, c.creatorGroup);
        EXPECT_FALSE(r.Ok) << c.message;
        EXPECT_EQ(r.Message, c.message);
    }
    EXPECT_EQ(Count("SELECT COUNT(*) FROM Users"), 1);
}

TEST_F(AdminTest, GroupTwoSeesGroupsTwoAndWeaker) {
    ASSERT_TRUE(AddGroup(Db(), "Обходчики").Ok);
    const auto groups = GroupsForNewUser(Db(), 2);
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups.front().UserGroupID, 2);
    EXPECT_EQ(groups.back().UserGroupID, 5);
    EXPECT_EQ(GroupsForNewUser(Db(), 0).size(), 5u) << "the built-in administrator sees every group";
}

TEST_F(AdminTest, ProtectedUsersAndGroups) {
    EXPECT_EQ(DeleteUser(Db(), 1).Message, "Данного пользователя удалять запрещено!");
    EXPECT_EQ(UserRightsRefusal(1), "Права доступа данного пользователя менять запрещено!");
    for (int g = 1; g <= 4; ++g) EXPECT_EQ(DeleteGroup(Db(), g).Message, "Данную группу пользователей удалять запрещено!");
    EXPECT_EQ(GroupRightsRefusal(1), "Права доступа данной группы пользователей менять запрещено!");
    EXPECT_FALSE(GroupRightsRefusal(2));
    auto g = AddGroup(Db(), "Временные");
    ASSERT_TRUE(g.Ok);
    EXPECT_TRUE(DeleteGroup(Db(), g.NewID).Ok);
}

TEST_F(AdminTest, UserRightsDialogOffersOnlyTheGroupsRights) {
    auto added = AddUser(Db(), {"Опытный", "pw", "pw", 3, ""}, 1);
    ASSERT_TRUE(added.Ok);
    auto items = LoadUserRights(Db(), 3, added.NewID);
    ASSERT_EQ(items.size(), 12u);
    for (const auto& item : items) {
        EXPECT_EQ(item.Enabled, item.AccessType >= 8) << item.AccessType;
        EXPECT_EQ(item.Checked, item.AccessType >= 8) << item.AccessType;
    }
    items[0].Checked = true;   // right 1: not the group's, cannot be given
    items[7].Checked = false;  // right 8 taken away
    SaveUserRights(Db(), added.NewID, items);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM UserAccess WHERE UserID = 2"), 4);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM UserAccess WHERE UserID = 2 AND AccessType IN (1, 8)"), 0);
}

TEST_F(AdminTest, EditKeepsThePasswordWhenNoneIsTyped) {
    auto added = AddUser(Db(), {"Иванов", "old", "old", 4, ""}, 1);
    ASSERT_TRUE(added.Ok);
    ASSERT_TRUE(EditUser(Db(), added.NewID, {"Иванов", "", "", 4, "Иванов И.И."}).Ok);
    TUser user(&Db());
    EXPECT_TRUE(user.CheckUser("Иванов", "old"));
    EXPECT_EQ(user.UserDescription, "Иванов И.И.");
    ASSERT_TRUE(EditUser(Db(), added.NewID, {"Иванов", "new", "new", 4, ""}).Ok);
    EXPECT_FALSE(user.CheckUser("Иванов", "old"));
    EXPECT_TRUE(user.CheckUser("Иванов", "new"));
}

TEST_F(AdminTest, ClearingTheJournalKeepsTheOpenSession) {
    auto added = AddUser(Db(), {"Другой", "pw", "pw", 4, ""}, 1);
    ASSERT_TRUE(added.Ok);
    TUser other(&Db());
    ASSERT_TRUE(other.CheckUser("Другой", "pw"));
    ASSERT_TRUE(other.BeginSeance());
    other.EndSeance();
    TUser me(&Db());
    ASSERT_TRUE(me.CheckUser("Supervisor", "PiquantOwl73620"));
    ASSERT_TRUE(me.BeginSeance());
    EXPECT_EQ(ListJournal(Db()).size(), 2u);
    ASSERT_TRUE(ClearJournal(Db(), me).Ok);
    const auto rows = ListJournal(Db());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].UserName, "Supervisor");
    EXPECT_FALSE(rows[0].EndTime.has_value());
}

TEST(CounterNumbers, ParseAsTheDialogAccepts) {
    struct Case { const char* text; std::optional<std::int32_t> value; };
    const Case cases[] = {{"0", 0}, {"123456", 123456}, {"2147483647", 2147483647}, {"2147483648", std::nullopt},
                          {"999999999999", std::nullopt}, {"1234567890123", std::nullopt}, {"12a", std::nullopt},
                          {"", std::nullopt}, {"-5", std::nullopt}, {" 5", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(ParseCounterNumber(c.text), c.value) << c.text;
}

TEST_F(AdminTest, MeterAddEditDelete) {
    const auto versions = VersionsForNewCounter(Db());
    ASSERT_FALSE(versions.empty());
    const auto v = versions.front();
    TCounterEdit e{"7", "Подстанция 7", "123456", v.VersionInternalID, v.VersionID, "01.2020", "02.2024"};
    ASSERT_TRUE(AddCounter(Db(), e).Ok);
    EXPECT_TRUE(Db().TableExists("ParamValues7"));
    // An id that exists already: refused, and no second table or row.
    auto again = AddCounter(Db(), e);
    EXPECT_EQ(again.Message, "Ошибка при добавлении нового счетчика!");
    EXPECT_EQ(ListCounters(Db()).size(), 1u);

    TCounterEdit bad = e;
    bad.IdText = "7x";
    EXPECT_EQ(AddCounter(Db(), bad).Message, "Ошибка при вводе идентификатора!");
    bad = e;
    bad.ZNumberText = "";
    EXPECT_EQ(AddCounter(Db(), bad).Message, "Ошибка при вводе заводского номера!");

    // Editing a meter whose value table is missing makes an empty one.
    TTable(Db(), "ParamValues7").Drop();
    e.Name = "Подстанция 7А";
    ASSERT_TRUE(EditCounter(Db(), e).Ok);
    EXPECT_TRUE(Db().TableExists("ParamValues7"));
    EXPECT_EQ(FindCounter(Db(), 7)->CounterName, "Подстанция 7А");

    Db().Execute("INSERT INTO TaskCounter (CounterID, FileID, Readed) VALUES (7, 2, '1')");
    Db().Execute("INSERT INTO DiapIndex (CounterID, FileID, MinIndex) VALUES (7, 16, 5)");
    Db().Execute("INSERT INTO CounterPrograms (CDate, CTime, CounterID, FileID, Readed) VALUES ('2026-01-01', '10:00:00', 7, 2, '1')");
    ASSERT_TRUE(DeleteCounter(Db(), 7).Ok);
    EXPECT_FALSE(Db().TableExists("ParamValues7"));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM TaskCounter"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM DiapIndex"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM CounterPrograms"), 1) << "journal rows stay";
    EXPECT_FALSE(DeleteCounter(Db(), 7).Ok) << "a missing value table stops the deletion";
}

TEST(CopyParamsRules, RefusedForAnotherVersionOrTheSameMeter) {
    TCounterRow a{1, "A", 36}, b{2, "B", 36}, c{3, "C", 22};
    EXPECT_FALSE(CopyParamsRefusal(a, b));
    EXPECT_TRUE(CopyParamsRefusal(a, c)->starts_with("Версия счетчика"));
    EXPECT_TRUE(CopyParamsRefusal(a, a)->starts_with("ID счетчика"));
    EXPECT_EQ(CopyParamsQuestion(a, b),
              "Применить к счетчику B (ID = 2) параметры, скопированные со счетчика A (ID = 1)?");
}

}  // namespace

namespace {
TEST_F(AdminTest, ATableUserNamedSysdbaIsAnOrdinaryUser) {
    Db().Prepare("INSERT INTO Users (UserID, UserName, UserPassword, UserGroupID) VALUES (9, 'SYSDBA', :P, 4)")
        .BindText(":P", HashPassword("pw"))
        .Execute();
    Db().Execute("INSERT INTO UserAccess (AccessType, UserID) VALUES (12, 9)");
    TUser user(&Db());
    ASSERT_TRUE(user.CheckUser("SYSDBA", "pw"));
    ASSERT_TRUE(user.BeginSeance());
    EXPECT_FALSE(user.IsAdministrator());
    EXPECT_FALSE(user.HasAccess(8));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM UserRegister"), 1);
}
}  // namespace
