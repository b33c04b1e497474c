#include "admin/UserAdmin.h"

#include "admin/User.h"
#include "db/PasswordHash.h"

namespace {

constexpr const char* kPasswordsDiffer = "Введенные пароли не совпадают! Введите в оба поля одинаковый пароль";

std::size_t Utf8Length(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::optional<TAdminResult> CheckUserTexts(const TUserEdit& user, bool passwordRequired) {
    if (user.Name.empty() || Utf8Length(user.Name) > kUserNameMax)
        return TAdminResult::Failure("Имя пользователя должно содержать от 1 до 50 символов!",
                                     TAdminResult::Field::Name);
    if (user.Name == TUser::kBuiltInName)
        return TAdminResult::Failure("Имя SYSDBA зарезервировано за встроенным администратором!",
                                     TAdminResult::Field::Name);
    if (passwordRequired && user.Password.empty())
        return TAdminResult::Failure("Введите пароль!", TAdminResult::Field::Password);
    if (user.Password != user.Confirmation)
        return TAdminResult::Failure(kPasswordsDiffer, TAdminResult::Field::Password);
    if (Utf8Length(user.Password) > kUserPasswordMax)
        return TAdminResult::Failure("Пароль не может быть длиннее 15 символов!", TAdminResult::Field::Password);
    if (Utf8Length(user.Description) > kUserDescriptionMax)
        return TAdminResult::Failure("ФИО пользователя не может быть длиннее 15 символов!");
    return std::nullopt;
}

bool NameTaken(TDatabase& db, const std::string& name, std::int32_t exceptID) {
    auto q = db.Prepare("SELECT COUNT(*) FROM Users WHERE UserName = :UserName AND UserID <> :UserID");
    q.BindText(":UserName", name).BindInt(":UserID", exceptID);
    return q.Step() && q.Int(0) > 0;
}

std::vector<TRightItem> AllRights(TDatabase& db) {
    std::vector<TRightItem> items;
    auto q = db.Prepare("SELECT AccessType, AccessName FROM AccessTypes ORDER BY AccessType");
    while (q.Step()) items.push_back({q.Int(0), q.Text(1), false, false});
    return items;
}

void Tick(std::vector<TRightItem>& items, std::int32_t accessType, bool enable, bool check) {
    if (accessType < 1 || static_cast<std::size_t>(accessType) > items.size()) return;
    auto& item = items[static_cast<std::size_t>(accessType - 1)];
    if (enable) item.Enabled = true;
    if (check) item.Checked = true;
}

// `table` and `ownerColumn` are the program's own names (GroupAccess/UserGroupID,
// UserAccess/UserID), never text from a user.
void SaveRights(TDatabase& db, const std::string& table, const std::string& ownerColumn, std::int32_t owner,
                const std::vector<TRightItem>& items) {
    const std::string insert =
        "INSERT OR IGNORE INTO " + table + " (AccessType, " + ownerColumn + ") VALUES (:AccessType, :Owner)";
    const std::string remove = "DELETE FROM " + table + " WHERE (AccessType = :AccessType) AND (" + ownerColumn + " = :Owner)";
    for (const auto& item : items) {
        if (!item.Enabled) continue;
        try {
            db.Prepare(item.Checked ? insert : remove).BindInt(":AccessType", item.AccessType).BindInt(":Owner", owner).Execute();
        } catch (const TDatabaseError&) {
            // One line failing does not stop the others.
        }
    }
}

}  // namespace

std::vector<TUserListRow> ListUsers(TDatabase& db) {
    std::vector<TUserListRow> rows;
    auto q = db.Prepare(
        "SELECT Users.UserID, Users.UserName, Users.UserGroupID, UserGroups.UserGroupName, Users.UserDescription "
        "FROM Users LEFT JOIN UserGroups ON UserGroups.UserGroupID = Users.UserGroupID ORDER BY Users.UserID");
    while (q.Step()) rows.push_back({q.Int(0), q.Text(1), q.Int(2), q.Text(3), q.Text(4)});
    return rows;
}

std::vector<TGroupRow> ListGroups(TDatabase& db) {
    std::vector<TGroupRow> rows;
    auto q = db.Prepare("SELECT UserGroupID, UserGroupName FROM UserGroups ORDER BY UserGroupID");
    while (q.Step()) rows.push_back({q.Int(0), q.Text(1)});
    return rows;
}

std::vector<TGroupRow> GroupsForNewUser(TDatabase& db, std::int32_t ownGroupID) {
    std::vector<TGroupRow> rows;
    auto q = db.Prepare(
        "SELECT UserGroupID, UserGroupName FROM UserGroups WHERE UserGroups.UserGroupID >= :UserGroupID "
        "ORDER BY UserGroupID");
    q.BindInt(":UserGroupID", ownGroupID);
    while (q.Step()) rows.push_back({q.Int(0), q.Text(1)});
    return rows;
}

TAdminResult AddUser(TDatabase& db, const TUserEdit& user, std::int32_t creatorGroupID) {
    if (auto refused = CheckUserTexts(user, true)) return *refused;
    try {
        bool allowed = false;
        for (const auto& g : GroupsForNewUser(db, creatorGroupID)) allowed = allowed || g.UserGroupID == user.UserGroupID;
        if (!allowed) return TAdminResult::Failure("Недопустимая группа пользователей!");
        if (user.UserGroupID == 1 && Utf8Length(user.Password) < kUserPasswordMax)
            return TAdminResult::Failure("Пароль должен состоять из " + std::to_string(kUserPasswordMax) + " символов!",
                                         TAdminResult::Field::Password);
        if (NameTaken(db, user.Name, 0))
            return TAdminResult::Failure("Пользователь с таким именем уже существует!", TAdminResult::Field::Name);
        TTransaction tx(db);
        std::int32_t id = 1;
        {
            auto q = db.Prepare("SELECT MAX(UserID) FROM Users");
            if (q.Step() && !q.IsNull(0)) id = q.Int(0) + 1;
        }
        db.Prepare(
              "INSERT INTO Users (UserID, UserName, UserPassword, UserGroupID, UserDescription) "
              "VALUES (:UserID, :UserName, :Password, :UserGroupID, :UserDescription)")
            .BindInt(":UserID", id)
            .BindText(":UserName", user.Name)
            .BindText(":Password", HashPassword(user.Password))
            .BindInt(":UserGroupID", user.UserGroupID)
            .BindText(":UserDescription", user.Description)
            .Execute();
        db.Prepare(
              "INSERT INTO UserAccess (AccessType, UserID) "
              "SELECT AccessType, :UserID FROM GroupAccess WHERE GroupAccess.UserGroupID = :UserGroupID")
            .BindInt(":UserID", id)
            .BindInt(":UserGroupID", user.UserGroupID)
            .Execute();
        tx.Commit();
        return TAdminResult::Success(id);
    } catch (const std::exception&) {
        return TAdminResult::Failure("Ошибка при добавлении нового пользователя!");
    }
}

TAdminResult EditUser(TDatabase& db, std::int32_t userID, const TUserEdit& user) {
    if (auto refused = CheckUserTexts(user, false)) return *refused;
    try {
        if (NameTaken(db, user.Name, userID))
            return TAdminResult::Failure("Пользователь с таким именем уже существует!", TAdminResult::Field::Name);
        if (user.Password.empty()) {
            db.Prepare("UPDATE Users SET UserName = :UserName, UserDescription = :UserDescription WHERE UserID = :UserID")
                .BindText(":UserName", user.Name)
                .BindText(":UserDescription", user.Description)
                .BindInt(":UserID", userID)
                .Execute();
        } else {
            db.Prepare(
                  "UPDATE Users SET UserName = :UserName, UserPassword = :Password, UserDescription = :UserDescription "
                  "WHERE UserID = :UserID")
                .BindText(":UserName", user.Name)
                .BindText(":Password", HashPassword(user.Password))
                .BindText(":UserDescription", user.Description)
                .BindInt(":UserID", userID)
                .Execute();
        }
        return TAdminResult::Success(userID);
    } catch (const std::exception&) {
        return TAdminResult::Failure("Ошибка при изменении данных о пользователе!");
    }
}

TAdminResult DeleteUser(TDatabase& db, std::int32_t userID) {
    if (userID == 1) return TAdminResult::Failure("Данного пользователя удалять запрещено!");
    try {
        TTransaction tx(db);
        db.Prepare("DELETE FROM UserAccess WHERE UserID = :UserID").BindInt(":UserID", userID).Execute();
        db.Prepare("DELETE FROM Users WHERE UserID = :UserID").BindInt(":UserID", userID).Execute();
        tx.Commit();
        return TAdminResult::Success();
    } catch (const std::exception&) {
        return TAdminResult::Failure("Ошибка при удалении пользователя!");
    }
}

std::optional<std::string> UserRightsRefusal(std::int32_t userID) {
    if (userID == 1) return "Права доступа данного пользователя менять запрещено!";
    return std::nullopt;
}

TAdminResult AddGroup(TDatabase& db, const std::string& name) {
    if (name.empty() || Utf8Length(name) > kGroupNameMax)
        return TAdminResult::Failure("Имя группы должно содержать от 1 до 50 символов!", TAdminResult::Field::Name);
    try {
        TTransaction tx(db);
        std::int32_t id = 1;
        {
            auto q = db.Prepare("SELECT MAX(UserGroupID) FROM UserGroups");
            if (q.Step() && !q.IsNull(0)) id = q.Int(0) + 1;
        }
        db.Prepare("INSERT INTO UserGroups (UserGroupID, UserGroupName) VALUES (:UserGroupID, :UserGroupName)")
            .BindInt(":UserGroupID", id)
            .BindText(":UserGroupName", name)
            .Execute();
        tx.Commit();
        return TAdminResult::Success(id);
    } catch (const std::exception&) {
        return TAdminResult::Failure("Ошибка при добавлении новой группы пользователей!");
    }
}

TAdminResult EditGroup(TDatabase& db, std::int32_t groupID, const std::string& name) {
    if (name.empty() || Utf8Length(name) > kGroupNameMax)
        return TAdminResult::Failure("Имя группы должно содержать от 1 до 50 символов!", TAdminResult::Field::Name);
    try {
        db.Prepare("UPDATE UserGroups SET UserGroupName = :UserGroupName WHERE UserGroupID = :UserGroupID")
            .BindText(":UserGroupName", name)
            .BindInt(":UserGroupID", groupID)
            .Execute();
        return TAdminResult::Success(groupID);
    } catch (const std::exception&) {
        return TAdminResult::Failure("Ошибка при изменении данных о группе пользователей!");
    }
}

TAdminResult DeleteGroup(TDatabase& db, std::int32_t groupID) {
    if (groupID <= 4) return TAdminResult::Failure("Данную группу пользователей удалять запрещено!");
    try {
        TTransaction tx(db);
        db.Prepare("DELETE FROM GroupAccess WHERE UserGroupID = :UserGroupID").BindInt(":UserGroupID", groupID).Execute();
        db.Prepare("DELETE FROM UserGroups WHERE UserGroupID = :UserGroupID").BindInt(":UserGroupID", groupID).Execute();
        tx.Commit();
        return TAdminResult::Success();
    } catch (const std::exception&) {
        return TAdminResult::Failure("Ошибка при удалении группы пользователей!");
    }
}

std::optional<std::string> GroupRightsRefusal(std::int32_t groupID) {
    if (groupID == 1) return "Права доступа данной группы пользователей менять запрещено!";
    return std::nullopt;
}

std::vector<TRightItem> LoadGroupRights(TDatabase& db, std::int32_t groupID) {
    auto items = AllRights(db);
    for (auto& item : items) item.Enabled = true;
    auto q = db.Prepare("SELECT AccessType FROM GroupAccess WHERE GroupAccess.UserGroupID = :GroupID");
    q.BindInt(":GroupID", groupID);
    while (q.Step()) Tick(items, q.Int(0), false, true);
    return items;
}

std::vector<TRightItem> LoadUserRights(TDatabase& db, std::int32_t groupID, std::int32_t userID) {
    auto items = AllRights(db);
    auto g = db.Prepare("SELECT AccessType FROM GroupAccess WHERE GroupAccess.UserGroupID = :GroupID");
    g.BindInt(":GroupID", groupID);
    while (g.Step()) Tick(items, g.Int(0), true, false);
    auto u = db.Prepare("SELECT AccessType FROM UserAccess WHERE UserAccess.UserID = :UserID");
    u.BindInt(":UserID", userID);
    while (u.Step()) Tick(items, u.Int(0), false, true);
    return items;
}

void SaveGroupRights(TDatabase& db, std::int32_t groupID, const std::vector<TRightItem>& items) {
    SaveRights(db, "GroupAccess", "UserGroupID", groupID, items);
}

void SaveUserRights(TDatabase& db, std::int32_t userID, const std::vector<TRightItem>& items) {
    SaveRights(db, "UserAccess", "UserID", userID, items);
}

std::vector<TJournalRow> ListJournal(TDatabase& db, std::optional<std::int32_t> userID) {
    std::vector<TJournalRow> rows;
    std::string sql =
        "SELECT Users.UserName, UserRegister.BeginDate, UserRegister.BeginTime, UserRegister.EndTime "
        "FROM UserRegister, Users WHERE (UserRegister.UserID = Users.UserID)";
    if (userID) sql += " AND (Users.UserID = :UserID)";
    sql += " ORDER BY UserRegister.BeginDate, UserRegister.BeginTime";
    auto q = db.Prepare(sql);
    if (userID) q.BindInt(":UserID", *userID);
    while (q.Step()) {
        TJournalRow r{q.Text(0), q.Date(1), q.Time(2), std::nullopt};
        if (!q.IsNull(3)) r.EndTime = q.Time(3);
        rows.push_back(std::move(r));
    }
    return rows;
}

TAdminResult ClearJournal(TDatabase& db, const TUser& current) {
    try {
        db.Prepare("DELETE FROM UserRegister WHERE (UserRegister.UserID <> :UserID) OR (UserRegister.BeginDate <> :BeginDate)")
            .BindInt(":UserID", current.UserID)
            .BindDate(":BeginDate", current.BeginDateTime)
            .Execute();
        return TAdminResult::Success();
    } catch (const std::exception&) {
        return TAdminResult::Failure("Ошибка при очистке журнала работы пользователей!");
    }
}

std::string DeleteUserQuestion(const std::string& name) { return "Вы желаете удалить пользователя «" + name + "»?"; }
std::string DeleteGroupQuestion(const std::string& name) {
    return "Вы желаете удалить группу пользователей «" + name + "»?";
}
