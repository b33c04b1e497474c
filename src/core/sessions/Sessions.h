#pragma once
// Meter sessions: the whole task of one meter moved between the meter and the
// database. The read session reads every area of the read list and queues its values
// to the background writer; the write session writes the areas of the write list,
// encoded from the values stored for them; the jobs chain these with opening,
// clock setting, closing and the journal.
//
// Jobs run inside a JobContext (the progress dialog, olmar-cli, a test): they report
// steps and bars there and ask their questions through CurrentJob().AskText/Confirm.
// A job returns true also when the user cancelled (callers test UserCancelled); a
// failure leaves the Russian reason in the link's ErrorText. Nothing here throws to
// its caller, and nothing opens a window.
//
// The values to write are kept apart from the values read: an area in both lists is
// two objects, so reading never replaces what the engineer set for writing. After a
// successful write, the values written are stored for the meter.

#include "db/Database.h"
#include "model/CounterFile.h"
#include "sessions/Task.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TCounterSeance;
class JobContext;

// Prompt captions; the desktop program shows dialogs with them, olmar-cli answers
// them from its options (keyed by caption).
inline constexpr const char* kWritePasswordCaption = "Текущий пароль на запись";
inline constexpr const char* kWritePasswordPrompt = "Введите пароль";
inline constexpr const char* kIdentifierCaption = "Введите текущий идентификатор счетчика";
inline constexpr const char* kIdentifierPrompt = "Текущий идентификатор";

// Messages of the three session commands.
inline constexpr const char* kSessionSucceededText = "Сеанс прошел успешно!";
inline constexpr const char* kSessionCancelledText = "Сеанс был прерван пользователем!";
inline constexpr const char* kInternalErrorText = "Внутренняя ошибка";
inline constexpr const char* kInitRefusedText =
    "Инициализационный сеанс имеет право проводить только пользователь из группы Супервизоры";
inline constexpr const char* kInitQuestionText =
    "Идентификационная область должна быть включена в Файле задания на запись. Продолжить выполнение?";
inline constexpr const char* kPasswordQuestionText =
    "Только область \"Пароли доступа\" должна быть включена в Файле задания на запись. Продолжить выполнение?";
inline constexpr const char* kPasswordMismatchText = "Новый пароль не совпадает с подтверждением";

// The message after a session job: "Сеанс прошел успешно!", "Сеанс был прерван
// пользователем!" or "Произошла ошибка : " + errorText.
std::string SessionResultText(bool jobResult, bool cancelled, const std::string& errorText);

using TCounterFiles = std::vector<std::unique_ptr<TCounterFile>>;

// The session object of the meter jobs: the selected meter lives in the link
// (CounterID, CounterName, ZNumber, VersionID of TCounterSeance); the area lists and
// the working values of a read live here, until the next job.
class TMeterSession {
public:
    TMeterSession(TCounterSeance& seance, TDatabase& db);

    TCounterSeance& Seance;
    TDatabase& Db;

    TCounterFiles ReadList;   // areas to read, in FileInternalID order
    TCounterFiles WriteList;  // areas to write, same order; never shared with ReadList

    // Working values of the last read (service area).
    std::int16_t YearBase = 0;
    std::uint16_t ProfilePointer = 0;
    std::uint16_t ProfileSize = 0;
    std::uint8_t CardRecordCount = 0;
    std::uint8_t CardRecordPointer = 0;

    // Steps (each true on success).
    // Builds both lists from the meter's task rows; false after an engine error.
    bool LoadTask();
    // InternalID from the meter's stored identifier parameter (0 without one).
    bool LoadStoredCredentials();
    // The newest stored value of every parameter of the write list.
    bool LoadWriteValues();
    // Reads the service area and every area of the read list, queueing the values.
    bool ReadSession();
    // Writes every area of the write list (the password area only in PasswordChangeMode).
    bool WriteSession();
    // An area read and then written: its parameters without a stored value take the
    // value just read, so that only what the engineer stored differs from the meter.
    void TakeUnstoredFromRead();
    // Queues the values of the areas written, dated today (after a successful write).
    bool StoreWrittenValues();
    // The clock step after writing: skipped for versions 27, 28, 38, 39 and without SetTime.
    bool SetClockAfterWrite();
    // Journals the lists (CounterPrograms).
    bool WriteJournal();

    // Jobs: true on success and when cancelled.
    // Open, read the read task, close, journal (nothing is written).
    bool ReadJob();
    bool SeanceJob();
    bool InitSeanceJob();
    bool PasswordJob();

    // Number of areas in the lists; the job's overall bar maximum (+3).
    int OverallMaximum() const;

private:
    bool CommonStart();
    bool Fail(const std::string& text);
    void Step(const std::string& text);
    void Advance();
    void Log(const std::string& line) const;
    bool QueueArea(TCounterFile& area, std::int32_t record, TDateTime when, bool logValues);
    bool ReadArea(TCounterFile& area);
    bool ReadRecord(TCounterFile& area, std::int32_t record, const std::string& label);
    bool ReadServiceArea();
    bool ReadPlain(TCounterFile& area);
    bool ReadProfileRing(TCounterFile& area);
    bool ReadCardTable(TCounterFile& area);
    bool ReadIndexed(TCounterFile& area);
    bool WriteArea(TCounterFile& area);
    bool WaitForWriter();

    // Areas actually read and written by the last job, for the journal.
    std::vector<TJournalArea> readDone_;
    std::vector<TJournalArea> writtenDone_;
};

// The session object on the program's meter session (CounterSeance) and database
// connection (DataBaseModule->Db()); rebuilt when either was replaced. Both must exist.
TMeterSession& MeterSession();

// Sets the link's hook that loads the selected meter's task and identifier before a
// single command job opens its session (start-up calls it once).
void InstallSessionHooks(TCounterSeance& seance);

// Removes the stored values of the meter's write-password parameter. False when the
// meter or its table is missing or the engine refused.
bool DeleteStoredPasswords(TDatabase& db, std::int32_t counterID);

// Waits (pumping the job) until the background writer has stored everything queued;
// false when it failed to store a value meanwhile or no writer runs.
bool WaitForStoredValues(JobContext& job);

// The core of the password dialog ("Пароли доступа").
class TPasswordAreas {
public:
    // The meter's password areas with their stored values (loaded ones marked).
    // False after an engine error (the list is then empty).
    bool Load(TDatabase& db, const TCounterStat& counter);
    // OK of the dialog: the mismatch text when newPassword differs from confirmation
    // (nothing queued), else sets every parameter of the areas to newPassword and
    // queues it for the meter dated today. An error text also when a value cannot be
    // taken or queued.
    std::optional<std::string> Apply(const std::string& newPassword, const std::string& confirmation);

    TCounterFiles Areas;
    std::int32_t CounterID = 0;
};

// Loads the parameter type catalogue from the database once (the seed when the
// tables are empty); parameters need it before they are created.
void EnsureParamTypes(TDatabase& db);

// The identifier of the meter as LoadStoredCredentials finds it for `version`.
bool IsIdentifierParam(std::int32_t version, std::int32_t paramID, std::int32_t* priority = nullptr);
