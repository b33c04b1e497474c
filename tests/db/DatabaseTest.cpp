// The engine layer: the keyed file, statements with named parameters, transactions,
// tables, and the date texts of DATE and TIME columns.
#include "db/Database.h"
#include "db/DbDateTime.h"
#include "db/PasswordHash.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a shell command; its output (stdout and stderr) and exit status.
std::pair<std::string, int> Shell(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return {"", -1};
    std::array<char, 512> buf;
    while (fgets(buf.data(), static_cast<int>(buf.size()), p)) out += buf.data();
    const int status = pclose(p);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(Database, FileIsEncryptedWithTheMasterPassword) {
    TempHome home;
    const std::string path = home.File("Olmar.db");
    {
        TDatabase db(path);
        db.Execute("CREATE TABLE Probe (Name VARCHAR(20)); INSERT INTO Probe VALUES ('Норвел-9')");
    }
    const std::string bytes = ReadFile(path);
    EXPECT_EQ(bytes.find("SQLite format 3"), std::string::npos);
    EXPECT_EQ(bytes.find("Probe"), std::string::npos) << "the catalogue must not be readable either";

    const auto plain = Shell("sqlite3 '" + path + "' 'SELECT Name FROM Probe'");
    EXPECT_NE(plain.second, 0) << plain.first;
    EXPECT_EQ(plain.first.find("Норвел-9"), std::string::npos);

    const auto keyed = Shell("sqlcipher '" + path + "' \"PRAGMA key='KVLantern'; SELECT Name FROM Probe;\"");
    EXPECT_EQ(keyed.second, 0) << keyed.first;
    EXPECT_NE(keyed.first.find("Норвел-9"), std::string::npos) << keyed.first;
}

TEST(Database, FileThatTheKeyDoesNotOpenIsReportedAndLeftAlone) {
    TempHome home;
    struct Case {
        const char* what;
        std::string content;
    };
    // A database under another key, and a file that is no database at all.
    const std::string foreign = home.File("foreign.db");
    { TDatabase other(foreign, "another key"); other.Execute("CREATE TABLE T (A INTEGER)"); }
    const Case cases[] = {
        {"another key", ReadFile(foreign)},
        {"text file", std::string("Это не база данных\n") + std::string(4096, 'x')},
    };
    for (const auto& c : cases) {
        const std::string path = home.File("case.db");
        { std::ofstream(path, std::ios::binary | std::ios::trunc) << c.content; }
        try {
            TDatabase db(path);
            ADD_FAILURE() << c.what << ": opened";
        } catch (const TDatabaseError& e) {
            EXPECT_NE(std::string(e.what()).find("Файл оставлен без изменений"), std::string::npos) << e.what();
        }
        EXPECT_EQ(ReadFile(path), c.content) << c.what << ": the file must not be touched";
    }
}

TEST(Database, NamedParametersAreCheckedAndTyped) {
    TempHome home;
    TDatabase db(home.File("t.db"));
    db.Execute("CREATE TABLE T (I INTEGER, R REAL, S VARCHAR(50), D DATE, H TIME, B BLOB, N INTEGER)");
    TStatement ins = db.Prepare("INSERT INTO T VALUES (:I, :R, :S, :D, :H, :B, :N)");
    const std::uint8_t bytes[] = {0, 1, 0xFF};
    const TDateTime moment = EncodeDate(2024, 2, 29) + EncodeTime(13, 5, 9);
    ins.BindInt(":I", -5).BindFloat(":R", 2.5).BindText(":S", "Ольмар ' \"; DROP TABLE T")
        .BindDate(":D", moment).BindTime(":H", moment).BindBlob(":B", bytes).BindNull(":N");
    EXPECT_EQ(ins.Execute(), 1);

    TStatement sel = db.Prepare("SELECT * FROM T");
    ASSERT_TRUE(sel.Step());
    EXPECT_EQ(sel.Int("i"), -5) << "field names are case-insensitive";
    EXPECT_DOUBLE_EQ(sel.Float("R"), 2.5);
    EXPECT_EQ(sel.Text("S"), "Ольмар ' \"; DROP TABLE T");
    EXPECT_EQ(sel.Text("D"), "2024-02-29");
    EXPECT_EQ(sel.Text("H"), "13:05:09");
    EXPECT_DOUBLE_EQ(sel.Date("D"), EncodeDate(2024, 2, 29));
    EXPECT_NEAR(sel.Time("H"), EncodeTime(13, 5, 9), 1e-9);
    EXPECT_EQ(sel.Blob("B"), (TBlob{0, 1, 0xFF}));
    EXPECT_TRUE(sel.IsNull("N"));
    EXPECT_EQ(sel.Int("N"), 0);
    EXPECT_FALSE(sel.Step());
    EXPECT_THROW(sel.Column("Missing"), TDatabaseError);

    // A misspelt or forgotten parameter is an error, never a silent NULL.
    TStatement q = db.Prepare("SELECT * FROM T WHERE I = :I AND S = :S");
    EXPECT_THROW(q.BindInt(":Id", 1), TDatabaseError);
    q.BindInt(":I", -5);
    EXPECT_THROW(q.Step(), TDatabaseError);
    // Binary values are limited to the column size; an empty one stays a value.
    const std::vector<std::uint8_t> big(kMaxBlobSize + 1, 7);
    EXPECT_THROW(ins.BindBlob(":B", big), TDatabaseError);
    TStatement e = db.Prepare("SELECT typeof(:B), length(:B)");
    e.BindBlob(":B", std::span<const std::uint8_t>{});
    ASSERT_TRUE(e.Step());
    EXPECT_EQ(e.Text(0), "blob");
    EXPECT_EQ(e.Int(1), 0);
    // One statement per Prepare: a second one would otherwise be silently skipped.
    EXPECT_THROW(db.Prepare("DELETE FROM T; DROP TABLE T"), TDatabaseError);
    EXPECT_TRUE(db.TableExists("T"));
}

TEST(Database, TransactionsCommitOnlyWhenTold) {
    TempHome home;
    TDatabase db(home.File("t.db"));
    db.Execute("CREATE TABLE T (A INTEGER)");
    auto count = [&] {
        TStatement s = db.Prepare("SELECT count(*) FROM T");
        s.Step();
        return s.Int(0);
    };
    {
        TTransaction tx(db);
        db.Execute("INSERT INTO T VALUES (1)");
    }
    EXPECT_EQ(count(), 0) << "no Commit: rolled back";
    try {
        TTransaction tx(db, TTransaction::Mode::Exclusive);
        db.Execute("INSERT INTO T VALUES (1)");
        {
            TTransaction inner(db);  // a savepoint
            db.Execute("INSERT INTO T VALUES (2)");
        }
        EXPECT_EQ(count(), 1) << "the inner guard undid only its own row";
        {
            TTransaction inner(db);
            db.Execute("INSERT INTO T VALUES (3)");
            inner.Commit();
        }
        tx.Commit();
    } catch (const TDatabaseError& e) {
        FAIL() << e.what();
    }
    EXPECT_EQ(count(), 2);
    EXPECT_FALSE(db.InTransaction());
}

TEST(Database, TablesAreLookedUpInTheCatalogue) {
    TempHome home;
    TDatabase db(home.File("t.db"));
    db.Execute("CREATE TABLE Pv (ParamID INTEGER, ParamIndex INTEGER, X INTEGER, PRIMARY KEY (ParamID, ParamIndex))");
    TTable t(db, "Pv");
    EXPECT_TRUE(t.Exists());
    EXPECT_TRUE(db.TableExists("pv"));
    EXPECT_EQ(t.IndexFieldCount(), 2);
    EXPECT_TRUE(t.HasField("paramindex"));
    EXPECT_FALSE(t.HasField("DataValue"));
    t.RenameTo("Other");
    EXPECT_FALSE(db.TableExists("Pv"));
    EXPECT_EQ(TTable(db, "Other").RecordCount(), 0);
    t.Drop();
    EXPECT_FALSE(db.TableExists("Other"));
    EXPECT_THROW(TTable(db, "x; DROP TABLE y"), TDatabaseError);
}

TEST(DbDateTime, TextsRoundTrip) {
    struct Case {
        int y, mo, d, h, mi, s;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {1899, 12, 30, 0, 0, 0, "1899-12-30", "00:00:00"},
        {2000, 2, 29, 23, 59, 59, "2000-02-29", "23:59:59"},
        {2024, 12, 31, 12, 0, 1, "2024-12-31", "12:00:01"},
        {1970, 1, 1, 0, 0, 30, "1970-01-01", "00:00:30"},
    };
    for (const auto& c : cases) {
        const TDateTime v = EncodeDate(c.y, c.mo, c.d) + EncodeTime(c.h, c.mi, c.s);
        EXPECT_EQ(SqlDateText(v), c.date);
        EXPECT_EQ(SqlTimeText(v), c.time);
        EXPECT_NEAR(*ParseSqlDateTime(SqlDateTimeText(v)), v, 1e-9) << c.date;
        EXPECT_DOUBLE_EQ(*ParseSqlDate(c.date), EncodeDate(c.y, c.mo, c.d));
    }
    // Half a second before midnight rounds into the next day, never to "24:00:00".
    const TDateTime late = EncodeDate(2024, 3, 1) - 0.4 / 86400.0;
    EXPECT_EQ(SqlDateTimeText(late), "2024-03-01 00:00:00");
    for (const char* bad : {"2024-02-30", "2023-02-29", "2024-13-01", "24-01-01", "2024-01-01x", ""})
        EXPECT_FALSE(ParseSqlDate(bad)) << bad;
    for (const char* bad : {"24:00:00", "12:60:00", "12:00", "1:00:00", ""}) EXPECT_FALSE(ParseSqlTime(bad)) << bad;
}

TEST(PasswordHash, SaltedAndVerified) {
    const std::string a = HashPassword("PiquantOwl73620", 1000);
    const std::string b = HashPassword("PiquantOwl73620", 1000);
    EXPECT_NE(a, b) << "every hash has its own salt";
    EXPECT_EQ(a.find("PiquantOwl73620"), std::string::npos);
    EXPECT_TRUE(IsPasswordHash(a));
    EXPECT_TRUE(VerifyPassword("PiquantOwl73620", a));
    EXPECT_FALSE(VerifyPassword("PiquantOwl7362", a));
    EXPECT_FALSE(VerifyPassword("piquantowl73620", a));
    // Plain text and malformed values never match, not even themselves.
    for (const char* stored : {"PiquantOwl73620", "", "pbkdf2-sha256$0$00$00", "pbkdf2-sha256$1000$zz$00",
                               "pbkdf2-sha256$99999999999$00$00", "pbkdf2-sha256$1000$00"}) {
        EXPECT_FALSE(IsPasswordHash(stored)) << stored;
        EXPECT_FALSE(VerifyPassword(stored, stored)) << stored;
    }
}

}  // namespace
