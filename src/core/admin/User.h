#pragma once
// The logged-in user, his rights and his work journal (UserRegister).

#include "db/Database.h"
#include "shell/ActionGates.h"

#include <cstdint>
#include <string>
#include <vector>

// One right of the logged-in user.
struct TAccessType {
    std::int32_t AccessType = 0;
    std::string AccessName;
};

class TUser {
public:
    // Works on `db`, the connection of the user-interface thread.
    explicit TUser(TDatabase* db = nullptr) : db_(db) {}
    // An open session is ended first, as at shutdown.
    ~TUser();
    TUser(const TUser&) = delete;
    TUser& operator=(const TUser&) = delete;

    void SetDatabase(TDatabase* db) { db_ = db; }

    // Looks the user up by name and checks the password against its stored hash.
    // Any database error gives false.
    bool CheckUser(const std::string& userName, const std::string& password);
    // Opens the work session: a journal row and the user's own rights. The built-in
    // administrator gets all twelve rights and writes nothing. False (and the
    // session stays closed) when the database refused.
    bool BeginSeance();
    // Closes the session: the journal row gets its end time and the object is
    // emptied; for the built-in administrator only IsSeanceOpen is cleared.
    void EndSeance();
    bool HasAccess(int accessType) const;
    void ClearAccess() { Accesses.clear(); }

    // Logs in as the built-in administrator of the command line.
    void SetAdministrator();
    // Decided by how the session was opened, never by the name: a table user called
    // "SYSDBA" is an ordinary user.
    bool IsAdministrator() const { return builtInAdministrator_; }

    // The user as the command gates see him.
    TGateUser GateUser() const;

    std::vector<TAccessType> Accesses;
    std::int32_t UserID = 0;
    std::string UserName;
    std::int32_t UserGroupID = 0;
    std::string UserDescription = kUnknownDescription;
    TDateTime BeginDateTime = 0;
    TDateTime EndDateTime = 0;
    bool IsSeanceOpen = false;
    // Text of the last database failure (for the log and olmar-cli).
    std::string LastError;

    static constexpr const char* kBuiltInName = "SYSDBA";
    static constexpr const char* kUnknownDescription = "Неизвестный";

private:
    void Reset();
    TDatabase* db_;
    bool builtInAdministrator_ = false;
};

// The single user object; null before start-up creates it.
extern TUser* User;

// "Сеанс открыт (" + name + "-" + description + ")", the status-bar text after a login.
std::string SessionOpenText(const TUser& user);
