// user: the users window without the window: list the users, add one with the rules
// of the add-user dialog.
#include "Cli.h"

#include "admin/User.h"
#include "admin/UserAdmin.h"
#include "db/DataBaseModule.h"
#include "shell/Globals.h"

#include <iostream>

namespace {
using namespace cli;

const char* const kHelp =
    "olmar-cli --user NAME --password TEXT user list\n"
    "olmar-cli --user NAME --password TEXT user add --name TEXT --password TEXT --group N [--description TEXT]\n"
    "  list  prints UserID, UserName, UserGroupID, UserGroupName, UserDescription, tab-separated,\n"
    "        after a header line (needs right 5 or 6, as the users window).\n"
    "  add   adds a user with the rights of his group and prints the new UserID (needs right 5).\n"
    "        The group must be the logged-in user's own or a weaker one (a greater number);\n"
    "        a password of group 1 has exactly 15 characters; name up to 50, password and\n"
    "        description up to 15 characters. The group's rights are copied at creation.";

int List(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acUsers); rc != kOk) return rc;
    if (!ctx.Args.empty()) return Fail(cli::kUsage, "Лишний параметр: " + ctx.Args.front());
    std::cout << "UserID\tUserName\tUserGroupID\tUserGroupName\tUserDescription\n";
    for (const auto& u : ListUsers(DataBaseModule->Db()))
        std::cout << u.UserID << "\t" << u.UserName << "\t" << u.UserGroupID << "\t" << u.UserGroupName << "\t"
                  << u.UserDescription << "\n";
    return kOk;
}

int Add(Context& ctx) {
    if (int rc = Authorize(ctx, TAction::acUsers); rc != kOk) return rc;
    // The users window's add button asks for right 5 itself.
    if (!User->HasAccess(5))
        return Fail(kRefused, "Недостаточно прав для добавления пользователей (пользователь " + User->UserName + ")");
    TUserEdit edit;
    const auto name = TakeOption(ctx.Args, "--name");
    const auto password = TakeOption(ctx.Args, "--password");
    const auto group = TakeOption(ctx.Args, "--group");
    if (auto d = TakeOption(ctx.Args, "--description")) edit.Description = *d;
    if (!ctx.Args.empty()) return Fail(cli::kUsage, "Лишний параметр: " + ctx.Args.front());
    if (!name || !password || !group)
        return Fail(cli::kUsage, "Нужны --name, --password и --group (olmar-cli user --help)");
    if (group->empty() || group->size() > 9 || group->find_first_not_of("0123456789") != std::string::npos)
        return Fail(cli::kUsage, "--group: нужен номер группы пользователей, а не «" + *group + "»");
    // The built-in administrator's name belongs to no table user.
    if (*name == kAdministratorName) return Fail(kFailed, "Имя «" + *name + "» зарезервировано для администратора!");
    edit.Name = *name;
    edit.Password = *password;
    edit.Confirmation = *password;
    edit.UserGroupID = std::stoi(*group);
    const TAdminResult result = AddUser(DataBaseModule->Db(), edit, User->UserGroupID);
    if (!result.Ok) return Fail(kFailed, result.Message);
    std::cout << result.NewID << "\n";
    return kOk;
}

int Run(Context& ctx) {
    if (ctx.Args.empty()) return Fail(cli::kUsage, std::string("Использование:\n") + kHelp);
    const std::string sub = ctx.Args.front();
    ctx.Args.erase(ctx.Args.begin());
    if (sub == "list") return List(ctx);
    if (sub == "add") return Add(ctx);
    return Fail(cli::kUsage, "Неизвестная команда user " + sub + " (olmar-cli user --help)");
}
}  // namespace

OLMAR_CLI_COMMAND({"user", "list users or add one (user list, user add)", kHelp, false, true, Run});
