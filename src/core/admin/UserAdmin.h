#pragma once
// What the users, groups, rights and journal windows do to the tables, without the
// windows: the desktop program's dialogs and olmar-cli call the same operations.
// Failures come back as results with the user's Russian text, never as exceptions.

#include "db/Database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TUser;

struct TAdminResult {
    bool Ok = true;
    std::string Message;  // error text on failure
    // Which field the dialog should focus after a refusal.
    enum class Field { None, Name, Password } Focus = Field::None;
    std::int32_t NewID = 0;  // key of a row added

    static TAdminResult Success(std::int32_t id = 0) { return {true, {}, Field::None, id}; }
    static TAdminResult Failure(std::string text, Field focus = Field::None) {
        return {false, std::move(text), focus, 0};
    }
};

// Longest texts the dialogs accept.
inline constexpr std::size_t kUserNameMax = 50;
inline constexpr std::size_t kUserPasswordMax = 15;
inline constexpr std::size_t kUserDescriptionMax = 15;
inline constexpr std::size_t kGroupNameMax = 50;

struct TUserListRow {
    std::int32_t UserID = 0;
    std::string UserName;
    std::int32_t UserGroupID = 0;
    std::string UserGroupName;
    std::string UserDescription;
};

struct TGroupRow {
    std::int32_t UserGroupID = 0;
    std::string UserGroupName;
};

struct TUserEdit {
    std::string Name;
    std::string Password;
    std::string Confirmation;
    std::int32_t UserGroupID = 0;
    std::string Description;
};

std::vector<TUserListRow> ListUsers(TDatabase& db);
std::vector<TGroupRow> ListGroups(TDatabase& db);
// Groups a user of `ownGroupID` may give to new users: his own and weaker ones
// (the built-in administrator, group 0, sees all). The last is the default.
std::vector<TGroupRow> GroupsForNewUser(TDatabase& db, std::int32_t ownGroupID);

// Adds a user with the rights of his group. `creatorGroupID` is the logged-in
// user's group: only groups from GroupsForNewUser may be given.
TAdminResult AddUser(TDatabase& db, const TUserEdit& user, std::int32_t creatorGroupID);
// Changes name, password and full name. An empty password with an empty
// confirmation keeps the stored one (passwords are stored as hashes, so the dialog
// cannot show the old one).
TAdminResult EditUser(TDatabase& db, std::int32_t userID, const TUserEdit& user);
TAdminResult DeleteUser(TDatabase& db, std::int32_t userID);
// Refusal text for changing the rights of this user (user 1), or nullopt.
std::optional<std::string> UserRightsRefusal(std::int32_t userID);

TAdminResult AddGroup(TDatabase& db, const std::string& name);
TAdminResult EditGroup(TDatabase& db, std::int32_t groupID, const std::string& name);
TAdminResult DeleteGroup(TDatabase& db, std::int32_t groupID);
std::optional<std::string> GroupRightsRefusal(std::int32_t groupID);

// One line of the rights dialog: access type n is line n-1.
struct TRightItem {
    std::int32_t AccessType = 0;
    std::string AccessName;
    bool Enabled = false;  // may be ticked or cleared
    bool Checked = false;
};
std::vector<TRightItem> LoadGroupRights(TDatabase& db, std::int32_t groupID);
// A user may hold only rights of his group: the others are not enabled.
std::vector<TRightItem> LoadUserRights(TDatabase& db, std::int32_t groupID, std::int32_t userID);
// Writes ticked and cleared enabled lines; a line that fails is skipped.
void SaveGroupRights(TDatabase& db, std::int32_t groupID, const std::vector<TRightItem>& items);
void SaveUserRights(TDatabase& db, std::int32_t userID, const std::vector<TRightItem>& items);

struct TJournalRow {
    std::string UserName;
    TDateTime BeginDate = 0;
    TDateTime BeginTime = 0;
    std::optional<TDateTime> EndTime;  // empty while the session is open
};
// The user journal, all users or one (rows of deleted users never show).
std::vector<TJournalRow> ListJournal(TDatabase& db, std::optional<std::int32_t> userID = std::nullopt);
// Clears the journal except the current session's day of the current user.
TAdminResult ClearJournal(TDatabase& db, const TUser& current);

// Texts of the questions the windows ask.
std::string DeleteUserQuestion(const std::string& name);
std::string DeleteGroupQuestion(const std::string& name);
