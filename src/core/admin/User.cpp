#include "admin/User.h"

#include "db/PasswordHash.h"

TUser* User = nullptr;

TUser::~TUser() {
    if (IsSeanceOpen) {
        try {
            EndSeance();
        } catch (...) {
        }
    }
}

void TUser::Reset() {
    UserName.clear();
    UserID = 0;
    UserGroupID = 0;
    UserDescription = kUnknownDescription;
    BeginDateTime = 0;
    EndDateTime = 0;
    Accesses.clear();
    IsSeanceOpen = false;
    builtInAdministrator_ = false;
}

bool TUser::CheckUser(const std::string& userName, const std::string& password) {
    UserID = 0;
    builtInAdministrator_ = false;
    if (!db_) return false;
    try {
        auto q = db_->Prepare(
            "SELECT UserID, UserGroupID, UserDescription, UserPassword FROM Users WHERE Users.UserName = :UserName");
        q.BindText(":UserName", userName);
        // Names are unique in practice; take the first row whose password matches.
        while (q.Step()) {
            if (!VerifyPassword(password, q.Text("UserPassword"))) continue;
            UserName = userName;
            UserID = q.Int("UserID");
            UserGroupID = q.Int("UserGroupID");
            UserDescription = q.Text("UserDescription");
            return true;
        }
    } catch (const TDatabaseError& e) {
        LastError = e.what();
    }
    return false;
}

void TUser::SetAdministrator() {
    Reset();
    UserName = kBuiltInName;
    builtInAdministrator_ = true;
}

bool TUser::BeginSeance() {
    ClearAccess();
    if (IsAdministrator()) {
        for (int i = 1; i <= kAccessTypeCount; ++i) Accesses.push_back({i, {}});
        IsSeanceOpen = true;
        return true;
    }
    if (!db_) return false;
    try {
        TTransaction tx(*db_);
        BeginDateTime = NowDateTime();
        db_->Prepare("INSERT INTO UserRegister (UserID, BeginDate, BeginTime) VALUES (:UserID, :BeginDate, :BeginTime)")
            .BindInt(":UserID", UserID)
            .BindDate(":BeginDate", BeginDateTime)
            .BindTime(":BeginTime", BeginDateTime)
            .Execute();
        auto q = db_->Prepare(
            "SELECT UserAccess.AccessType, AccessTypes.AccessName FROM UserAccess "
            "LEFT JOIN AccessTypes ON AccessTypes.AccessType = UserAccess.AccessType "
            "WHERE UserAccess.UserID = :UserID ORDER BY UserAccess.AccessType");
        q.BindInt(":UserID", UserID);
        std::vector<TAccessType> rights;
        while (q.Step()) rights.push_back({q.Int(0), q.Text(1)});
        tx.Commit();
        Accesses = std::move(rights);
        IsSeanceOpen = true;
        return true;
    } catch (const TDatabaseError& e) {
        LastError = e.what();
        Accesses.clear();
        IsSeanceOpen = false;
        return false;
    }
}

void TUser::EndSeance() {
    if (IsAdministrator()) {
        IsSeanceOpen = false;
        return;
    }
    if (db_ && IsSeanceOpen) {
        try {
            EndDateTime = NowDateTime();
            db_->Prepare(
                   "UPDATE UserRegister SET EndTime = :EndTime WHERE (UserID = :UserID) AND (BeginDate = :BeginDate) "
                   "AND (BeginTime = :BeginTime)")
                .BindTime(":EndTime", EndDateTime)
                .BindInt(":UserID", UserID)
                .BindDate(":BeginDate", BeginDateTime)
                .BindTime(":BeginTime", BeginDateTime)
                .Execute();
        } catch (const TDatabaseError& e) {
            LastError = e.what();
        }
    }
    Reset();
}

bool TUser::HasAccess(int accessType) const {
    for (const auto& a : Accesses)
        if (a.AccessType == accessType) return true;
    return false;
}

TGateUser TUser::GateUser() const {
    TGateUser g;
    g.UserID = UserID;
    g.UserGroupID = UserGroupID;
    g.BuiltInAdministrator = IsAdministrator();
    for (const auto& a : Accesses) g.Grant(a.AccessType);
    return g;
}

std::string SessionOpenText(const TUser& user) {
    return "Сеанс открыт (" + user.UserName + "-" + user.UserDescription + ")";
}
