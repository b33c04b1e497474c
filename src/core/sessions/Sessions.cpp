#include "sessions/Sessions.h"

#include "db/DataBaseModule.h"
#include "db/DictionaryQueries.h"
#include "db/ValueStore.h"
#include "link/ComPort.h"
#include "link/CounterSeance.h"
#include "model/ValueText.h"
#include "shell/Configuration.h"
#include "shell/Globals.h"
#include "shell/JobContext.h"
#include "shell/MeterVersion.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

namespace {

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

std::string HexBytes(const std::uint8_t* data, int n) {
    std::string s;
    char buf[8];
    for (int i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, " %.2x", data[i]);
        s += buf;
    }
    return s;
}

bool IsPasswordArea(const TCounterFile& area) { return area.FileName == kPasswordAreaName; }

// Parameters whose value is the moment a load-profile record was taken.
bool IsMeasurementTimeParam(std::int32_t id) {
    switch (id) {
        case 302: case 529: case 639: case 760: case 1070: case 1394: case 1506:
        case 1806: case 1825: case 2147: case 2240: case 2312: case 2320: case 2383:
            return true;
        default:
            return false;
    }
}

bool IsCardVersion(int v) {
    return InRange(v, 4, 15) || InRange(v, 17, 20) || InRange(v, 23, 25) || v == 30 || v == 40 || v == 41 ||
           InRange(v, 44, 47);
}

// Params.* first, so that its FileID and FileIndex are the ones found by name; the
// area's own columns under names of their own.
constexpr const char* kAreaColumns =
    "SELECT Params.*, Files.FileName AS AreaName, Files.FileSize AS AreaSize, Files.FileIndex AS AreaIndexed, "
    "Files.ReadOnly AS AreaReadOnly, Files.FileInternalID AS AreaInternalID, Files.StatReset AS AreaStatReset, "
    "Files.FileID AS AreaFileID, ParamTypes.ParamTypeName, ParamTypes.IsEnum";

TFileRow AreaRow(const TStatement& q) {
    TFileRow r;
    r.FileID = q.Int("AreaFileID");
    r.FileName = q.Text("AreaName");
    r.FileInternalID = q.Int("AreaInternalID");
    r.FileSize = q.Int("AreaSize");
    r.FileIndex = q.Text("AreaIndexed") == "1";
    r.ReadOnly = q.Text("AreaReadOnly") == "1";
    const std::string reset = q.Text("AreaStatReset");
    r.StatReset = reset.size() == 1 && reset[0] >= '0' && reset[0] <= '9' ? reset[0] - '0' : 0;
    return r;
}

}  // namespace

std::string SessionResultText(bool jobResult, bool cancelled, const std::string& errorText) {
    if (cancelled) return kSessionCancelledText;
    if (jobResult) return kSessionSucceededText;
    return "Произошла ошибка : " + errorText;
}

bool IsIdentifierParam(std::int32_t v, std::int32_t id, std::int32_t* priority) {
    int p = 0;
    bool hit = false;
    if (v == 1) hit = id == 24;
    else if (v == 2 || v == 3) hit = id == 345;
    else if (v == 16) {
        hit = id == 602 || id == 2385;
        p = id == 2385 ? 1 : 0;
    } else if (InRange(v, 4, 15) || InRange(v, 17, 20) || InRange(v, 23, 25) || v == 30 || v == 40 || v == 41 ||
               InRange(v, 44, 47))
        hit = id == 602;
    else if (v == 22 || InRange(v, 33, 35)) hit = id == 1159;
    else if (v == 36 || v == 37 || v == 48 || v == 49) hit = id == 1548;
    else if (v == 27 || v == 28) hit = id == 1375;
    else if (v == 38 || v == 39) hit = id == 2071;
    else if (v == 42 || v == 43) hit = id == 2099;
    if (priority) *priority = p;
    return hit;
}

void EnsureParamTypes(TDatabase& db) {
    if (ParamTypeList.Count() > 0) return;
    std::vector<TParamTypeRow> types;
    std::vector<TEnumParamTypeRow> enums;
    try {
        TStatement t = db.Prepare("SELECT ParamType, ParamTypeName, IsEnum FROM ParamTypes ORDER BY ParamType");
        while (t.Step()) types.push_back({t.Int(0), t.Text(1), t.Text(2) == "1"});
        TStatement e = db.Prepare("SELECT * FROM EnumParamTypes ORDER BY ParamType, EnumIndex");
        while (e.Step()) enums.push_back(ReadEnumRow(e));
    } catch (const TDatabaseError&) {
        types.clear();
    }
    if (types.empty()) ParamTypeList.LoadFromDictionarySeed();
    else ParamTypeList.Load(types, enums);
}

// ---------------------------------------------------------------- the session object

TMeterSession::TMeterSession(TCounterSeance& seance, TDatabase& db) : Seance(seance), Db(db) {}

TMeterSession& MeterSession() {
    static std::unique_ptr<TMeterSession> session;
    TDatabase& db = DataBaseModule->Db();
    if (!session || &session->Seance != CounterSeance || &session->Db != &db)
        session = std::make_unique<TMeterSession>(*CounterSeance, db);
    return *session;
}

bool TMeterSession::Fail(const std::string& text) {
    Seance.ErrorText = text;
    return false;
}

void TMeterSession::Step(const std::string& text) { CurrentJob().SetStepText(text); }

void TMeterSession::Advance() {
    JobContext& job = CurrentJob();
    job.SetOverall(job.Overall() + 1, job.OverallMax());
}

void TMeterSession::Log(const std::string& line) const { Seance.WriteLog(line); }

int TMeterSession::OverallMaximum() const { return static_cast<int>(ReadList.size() + WriteList.size()) + 3; }

// ---------------------------------------------------------------- loading

bool TMeterSession::LoadTask() {
    ReadList.clear();
    WriteList.clear();
    try {
        EnsureParamTypes(Db);
        TStatement q = Db.Prepare(std::string(kAreaColumns) +
                                  ", TaskCounter.Readed AS TaskReaded, TaskCounter.Writed AS TaskWrited "
                                  "FROM Files, Params, ParamTypes, TaskCounter "
                                  "WHERE (TaskCounter.FileID = Files.FileID) AND (Files.FileID = Params.FileID) "
                                  "AND (Params.ParamType = ParamTypes.ParamType) AND (TaskCounter.CounterID = :CounterID) "
                                  "AND ((TaskCounter.Readed = '1') OR (TaskCounter.Writed = '1')) "
                                  "ORDER BY Files.FileInternalID, Files.FileID, Params.ParamID");
        q.BindInt(":CounterID", Seance.CounterID);
        std::unique_ptr<TCounterFile> area;
        bool readed = false, writed = false;
        auto finish = [&] {
            if (!area) return;
            if (area->FileIndex) area->ExpandRecords();
            if (!area->Params.empty()) {
                const bool neverRead = Seance.VersionID == 1 && area->FileID == 21;
                if (writed) WriteList.push_back(std::make_unique<TCounterFile>(*area));
                if (readed && !neverRead) ReadList.push_back(std::move(area));
            }
            area.reset();
        };
        while (q.Step()) {
            const TFileRow file = AreaRow(q);
            if (!area || area->FileID != file.FileID) {
                finish();
                area = std::make_unique<TCounterFile>(file.FileID);
                area->LoadFromFileRow(file);
                readed = q.Text("TaskReaded") == "1";
                writed = q.Text("TaskWrited") == "1";
            }
            area->AddParamRow(ReadParamRow(q));
        }
        finish();
        return true;
    } catch (const TDatabaseError& e) {
        ReadList.clear();
        WriteList.clear();
        return Fail(std::string("Не удалось загрузить задание счетчика: ") + e.what());
    }
}

bool TMeterSession::LoadStoredCredentials() {
    Seance.InternalID = 0;
    try {
        const std::string table = ValueTableName(Seance.CounterID);
        if (!Db.TableExists(table)) return Fail("Нет таблицы значений счетчика " + table);
        TStatement q = Db.Prepare(
            "SELECT ParamValues.DataValue, ParamValues.ParamID, ParamValues.ParamIndex FROM " + QuoteIdentifier(table) +
            " ParamValues WHERE ParamValues.ParamID IN (24, 316, 345, 532, 596, 602, 641, 1159, 1080, 1375, 1513, "
            "1548, 2014, 2298, 2071, 2098, 2099, 2162, 2242, 2269, 2281, 2294, 2295, 2296, 2297, 2385, 2293) "
            "ORDER BY ParamValues.ParamID, ParamValues.ParamIndex, ParamValues.ChangeDateTime");
        int best = -1;
        while (q.Step()) {
            int priority = 0;
            if (!IsIdentifierParam(Seance.VersionID, q.Int(1), &priority) || priority < best) continue;
            const TBlob blob = q.Blob(0);
            Seance.InternalID = static_cast<std::uint32_t>(BlobAsInteger(blob));
            best = priority;
        }
        return true;
    } catch (const TDatabaseError& e) {
        return Fail(std::string("Не удалось загрузить идентификатор счетчика: ") + e.what());
    }
}

bool TMeterSession::LoadWriteValues() {
    if (WriteList.empty()) return true;
    try {
        const std::string table = ValueTableName(Seance.CounterID);
        if (!Db.TableExists(table)) return Fail("Нет таблицы значений счетчика " + table);
        // Oldest day first, so that the newest stored value of each parameter wins.
        TStatement q = Db.Prepare(
            "SELECT ParamValues.DataValue, ParamValues.ParamID, ParamValues.ParamIndex FROM " + QuoteIdentifier(table) +
            " ParamValues, TaskCounter, Params WHERE (TaskCounter.CounterID = :CounterID) AND "
            "(TaskCounter.FileID = Params.FileID) AND (TaskCounter.Writed = '1') AND (Params.ParamID = ParamValues.ParamID) "
            "ORDER BY ParamValues.ParamID, ParamValues.ParamIndex, ParamValues.ChangeDateTime");
        q.BindInt(":CounterID", Seance.CounterID);
        while (q.Step()) {
            const std::int32_t id = q.Int(1);
            const std::int64_t index = q.Int64(2);
            if (index < 0 || index > 0xFFFF) continue;
            for (auto& area : WriteList) {
                if (TCounterParam* p = area->FindParam(id, static_cast<std::uint16_t>(index))) {
                    p->Marked = true;
                    p->LoadValueFromField(q.Blob(0));
                    break;
                }
            }
        }
        return true;
    } catch (const TDatabaseError& e) {
        return Fail(std::string("Не удалось загрузить значения для записи: ") + e.what());
    }
}

// ---------------------------------------------------------------- read session

bool TMeterSession::QueueArea(TCounterFile& area, std::int32_t record, TDateTime when, bool logValues) {
    for (TCounterParam* p : area.BlockParams(record)) {
        if (!p->QueueValue(Seance.CounterID, when, true))
            return Fail("Значения не сохранены: запись в базу данных не запущена");
        if (logValues)
            Log("\t\tСохранение параметра " + p->ParamName + " с индексом: " + std::to_string(p->ParamIndex) +
                ", значение: " + p->Value);
    }
    return true;
}

bool TMeterSession::ReadRecord(TCounterFile& area, std::int32_t record, const std::string& label) {
    Step(label);
    TAreaImage image{};
    const int n = Seance.ReadBlock(area.FileInternalID, record, image.data());
    Log("\t\tСчитано " + std::to_string(n) + " байт:" + (n > 0 ? HexBytes(image.data(), n) : std::string()));
    if (n < 0) return UserCancelled.load();  // a cancelled exchange is no failure
    if (UserCancelled) return true;
    area.YearBase = YearBase;
    if (area.DecodeArea(record, image, Seance.VersionID) < 0) return Fail(kInternalErrorText);
    return true;
}

bool TMeterSession::ReadServiceArea() {
    Step("Прием служебной области");
    YearBase = 0;
    ProfilePointer = 0;
    ProfileSize = 0;
    CardRecordCount = 0;
    CardRecordPointer = 0;
    const int v = Seance.VersionID;
    std::vector<std::uint8_t> b(kFrameBufferSize, 0);
    auto read = [&](int area) {
        std::fill(b.begin(), b.end(), 0);
        const int n = Seance.ReadBlock(area, 0, b.data());
        Log("\t\tСчитано " + std::to_string(n) + " байт:" + (n > 0 ? HexBytes(b.data(), n) : std::string()));
        return n >= 0;
    };
    auto be = [&](int i) { return static_cast<std::uint16_t>(b[static_cast<std::size_t>(i)] * 256 + b[static_cast<std::size_t>(i) + 1]); };
    auto le = [&](int i) { return static_cast<std::uint16_t>(b[static_cast<std::size_t>(i)] + b[static_cast<std::size_t>(i) + 1] * 256); };
    if (v == 1) {
        ProfileSize = 960;
        if (read(6)) YearBase = static_cast<std::int16_t>(be(0));
        if (read(11)) { ProfilePointer = be(8); ProfileSize = be(10); }
    } else if (v == 2 || v == 3) {
        ProfileSize = 2160;
        if (read(7)) YearBase = static_cast<std::int16_t>(be(0));
        if (read(12)) { ProfilePointer = be(2); ProfileSize = be(4); }
    } else if (InRange(v, 4, 13) || v == 30 || v == 40 || v == 41 || v == 44 || InRange(v, 14, 15) ||
               InRange(v, 17, 20) || InRange(v, 23, 25) || InRange(v, 45, 47)) {
        const bool first = InRange(v, 4, 13) || v == 30 || v == 40 || v == 41 || v == 44;
        ProfileSize = first ? (v == 44 ? 3000 : 720) : (InRange(v, 45, 47) ? 3000 : 610);
        if (first) CardRecordCount = 8;
        YearBase = 1900;
        if (read(10)) {
            ProfileSize = be(0);
            ProfilePointer = be(2);
            CardRecordCount = b[4];
            CardRecordPointer = b[5];
        }
    } else if (v == 22 || v == 33 || v == 34 || v == 35) {
        ProfileSize = (v == 34 || v == 35) ? 7200 : 3840;
        if (read(5)) YearBase = static_cast<std::int16_t>(be(0));
        if (read(10)) { ProfilePointer = be(2); ProfileSize = be(4); }
    } else if (v == 36 || v == 37 || v == 48 || v == 49) {
        ProfileSize = 17520;
        if (read(6)) YearBase = static_cast<std::int16_t>(le(0));
        if (read(11)) { ProfilePointer = le(2); ProfileSize = le(4); }
    } else if (v == 42 || v == 43) {
        ProfileSize = 3000;
        if (read(8)) { ProfilePointer = le(2); ProfileSize = le(0); }
    } else if (v == 16) {
        ProfileSize = 3000;
        if (read(10)) { ProfilePointer = le(2); ProfileSize = le(0); }
    }
    // A failed service read keeps the defaults; its error text is not the session's.
    Seance.ErrorText.clear();
    return true;
}

bool TMeterSession::ReadPlain(TCounterFile& area) {
    if (!ReadRecord(area, 0, "Чтение файла : " + area.FileName + " из счетчика")) return false;
    if (UserCancelled) return true;
    return QueueArea(area, 0, codec::TodayDateTime(), true);
}

bool TMeterSession::WaitForWriter() { return WaitForStoredValues(CurrentJob()); }

bool TMeterSession::ReadProfileRing(TCounterFile& area) {
    const std::int32_t count = area.RecordCount;
    const std::int32_t n = ProfilePointer;
    // Every index the meter or the table gives is checked before use: a bad one would
    // otherwise read past the ring or never reach the end.
    if (count <= 0 || n >= count || ProfileSize > count) return Fail(kInternalErrorText);
    const auto row = ReadDiapIndex(Db, Seance.CounterID, area.FileInternalID);
    std::int32_t o = 0;
    if (row) {
        if (row->MinIndex < 0 || row->MinIndex >= count) return Fail(kInternalErrorText);
        o = row->MinIndex;
    } else {
        o = (n + 1) % count;
    }
    auto wrap = [count](std::int64_t x) { return static_cast<std::int32_t>(((x % count) + count) % count); };
    std::int32_t s = o, e = n;
    const auto once = TakeLoadProfileRange(Seance.CounterID);
    if (once) {
        s = wrap(static_cast<std::int64_t>(once->FromLast ? o : n) + once->StartOffset);
        e = wrap(static_cast<std::int64_t>(once->ToLast ? o : n) + once->EndOffset);
    }
    if (ProfileSize != count) {
        if (n < s) s = 0;
        if (n < e) e = n;
    }
    const long long failedBefore = WriteThread ? WriteThread->FailedCount() : 0;
    bool ok = true;
    std::int32_t y = s;
    TDateTime changeDate = codec::TodayDateTime();
    while (y != e) {
        if (UserCancelled) break;
        const std::string label = "Чтение файла : " + area.FileName + " (Индекс " + std::to_string(y) + " из " +
                                  std::to_string(ProfileSize) + ") из счетчика";
        if (!ReadRecord(area, y, label)) {
            ok = false;
            break;
        }
        if (UserCancelled) break;
        for (TCounterParam* p : area.BlockParams(y)) {
            Step("Сохранение параметра " + p->ParamName + " с индексом " + std::to_string(p->ParamIndex));
            if (IsMeasurementTimeParam(p->ParamID) && !p->Value.empty()) changeDate = p->GetAsDateTime();
            if (!p->QueueValue(Seance.CounterID, changeDate, true)) {
                Fail("Значения не сохранены: запись в базу данных не запущена");
                ok = false;
                break;
            }
        }
        if (!ok) break;
        y = y + 1 == count ? 0 : y + 1;
        if (UserCancelled) break;
    }
    // The next session goes on after the last record read, but only once the records
    // before it are stored: a crash or a discarded queue must not skip them for good.
    // A one-time range leaves the regular position alone.
    if (!once && y != s) {
        const std::string keepError = Seance.ErrorText;
        if (!WaitForWriter() || (WriteThread && WriteThread->FailedCount() != failedBefore)) {
            std::string why = WriteThread ? WriteThread->LastError() : std::string();
            return Fail("Значения графика нагрузки не сохранены" + (why.empty() ? std::string() : ": " + why));
        }
        try {
            WriteDiapIndex(Db, Seance.CounterID, area.FileInternalID, {y, row ? row->MaxIndex : 0});
        } catch (const TDatabaseError& err) {
            return Fail(err.what());
        }
        Seance.ErrorText = keepError;
    }
    return ok;
}

bool TMeterSession::ReadCardTable(TCounterFile& area) {
    const std::int32_t count = area.RecordCount;
    const std::int32_t filled = CardRecordCount;
    if (count <= 0 || filled > count) return Fail(kInternalErrorText);
    const TDateTime today = codec::TodayDateTime();
    if (filled == count) {
        if (CardRecordPointer >= count) return Fail(kInternalErrorText);
        std::int32_t r = CardRecordPointer;
        for (std::int32_t i = 0; i < count; ++i) {
            if (UserCancelled) return true;
            const std::string label = "Чтение файла : " + area.FileName + " (Индекс " + std::to_string(i) + " (" +
                                      std::to_string(r) + ") из " + std::to_string(filled) + ") из счетчика";
            if (!ReadRecord(area, r, label)) return false;
            if (UserCancelled) return true;
            if (!QueueArea(area, r, today, false)) return false;
            r = r == 0 ? count - 1 : r - 1;
        }
        return true;
    }
    for (std::int32_t i = 0; i < filled; ++i) {
        if (UserCancelled) return true;
        const std::string label = "Чтение файла : " + area.FileName + " (Индекс " + std::to_string(i) + " из " +
                                  std::to_string(filled) + ") из счетчика";
        if (!ReadRecord(area, i, label)) return false;
        if (UserCancelled) return true;
        if (!QueueArea(area, i, today, false)) return false;
    }
    return true;
}

bool TMeterSession::ReadIndexed(TCounterFile& area) {
    const std::int32_t count = area.RecordCount;
    std::int32_t from = 0, to = count;
    if (const auto row = ReadDiapIndex(Db, Seance.CounterID, area.FileInternalID)) {
        if (row->MinIndex < 0 || row->MaxIndex > count || row->MinIndex > row->MaxIndex) return Fail(kInternalErrorText);
        from = row->MinIndex;
        to = row->MaxIndex;
    }
    const TDateTime today = codec::TodayDateTime();
    for (std::int32_t i = from; i < to; ++i) {
        if (UserCancelled) return true;
        const std::string label = "Чтение файла : " + area.FileName + " (Индекс " + std::to_string(i) + " из " +
                                  std::to_string(count) + ") из счетчика";
        if (!ReadRecord(area, i, label)) return false;
        if (UserCancelled) return true;
        if (!QueueArea(area, i, today, false)) return false;
    }
    return true;
}

bool TMeterSession::ReadSession() {
    readDone_.clear();
    try {
        if (!Db.TableExists("DiapIndex")) return Fail("Не удалось открыть таблицу DiapIndex");
        Log("Таблица DiapIndex открыта успешно");
        const std::string table = ValueTableName(Seance.CounterID);
        if (!Db.TableExists(table)) return Fail("Не удалось открыть таблицу " + table);
        Log("Таблица " + table + " открыта успешно");

        ReadServiceArea();
        if (UserCancelled) return true;
        Log("Чтение из счетчика " + std::to_string(ReadList.size()) + " областей");
        bool ok = true;
        for (auto& holder : ReadList) {
            TCounterFile& area = *holder;
            area.YearBase = YearBase;
            if (IsPasswordArea(area)) continue;
            Log("\tЧтение области " + area.FileName + ", FileInternalID=" + std::to_string(area.FileInternalID));
            if (!area.FileIndex) {
                if (!ReadPlain(area)) return false;
            } else if (area.StatReset == 2) {
                // A ring that fails stops only itself; the other areas are still read.
                if (!ReadProfileRing(area)) ok = false;
            } else if (IsCardVersion(Seance.VersionID) && (area.FileInternalID == 17 || area.FileInternalID == 18)) {
                if (!ReadCardTable(area)) return false;
            } else {
                if (!ReadIndexed(area)) return false;
            }
            if (UserCancelled) return true;
            readDone_.push_back({area.FileID, area.FileName});
            Advance();
        }
        return ok;
    } catch (const std::exception& e) {
        return Fail(std::string(kInternalErrorText) + ": " + e.what());
    }
}

// ---------------------------------------------------------------- write session

bool TMeterSession::WriteArea(TCounterFile& area) {
    const std::int32_t records = area.FileIndex ? area.RecordCount : 1;
    area.YearBase = YearBase;
    for (std::int32_t r = 0; r < records; ++r) {
        if (UserCancelled) return true;
        TAreaImage image{};
        const std::int32_t n = area.EncodeArea(r, image, Seance.VersionID);
        Log("\t\tПодготовлено к записи " + std::to_string(n) + " байт:" + (n > 0 ? HexBytes(image.data(), n) : std::string()));
        if (n < 0) return Fail(area.ErrorText.empty() ? std::string(kInternalErrorText) : kInternalErrorText + (": " + area.ErrorText));
        Step(area.FileIndex ? "Запись файла : " + area.FileName + " (Индекс " + std::to_string(r) + " из " +
                                  std::to_string(area.RecordCount) + ") в счетчик"
                            : "Запись файла : " + area.FileName + " в счетчик");
        if (Seance.WriteBlock(area.FileInternalID, static_cast<std::size_t>(n), image.data(), r) < 0)
            return UserCancelled.load();
    }
    return true;
}

bool TMeterSession::WriteSession() {
    writtenDone_.clear();
    try {
        Log("Запись в счетчик " + std::to_string(WriteList.size()) + " областей");
        for (auto& holder : WriteList) {
            TCounterFile& area = *holder;
            if (IsPasswordArea(area) && !PasswordChangeMode) continue;
            Log("\tЗапись области " + area.FileName + ", FileInternalID=" + std::to_string(area.FileInternalID));
            if (!WriteArea(area)) return false;
            if (UserCancelled) return true;
            writtenDone_.push_back({area.FileID, area.FileName});
            Advance();
        }
        return true;
    } catch (const std::exception& e) {
        return Fail(std::string(kInternalErrorText) + ": " + e.what());
    }
}

bool TMeterSession::StoreWrittenValues() {
    const TDateTime today = codec::TodayDateTime();
    for (auto& holder : WriteList) {
        TCounterFile& area = *holder;
        if (IsPasswordArea(area)) continue;  // the password dialog stored those
        bool written = false;
        for (const auto& w : writtenDone_) written = written || w.FileID == area.FileID;
        if (!written) continue;
        for (const TCounterParam& p : area.Params) {
            if (p.IsReadOnly) continue;
            if (!p.QueueValue(Seance.CounterID, today, true))
                return Fail("Значения не сохранены: запись в базу данных не запущена");
        }
    }
    return true;
}

void TMeterSession::TakeUnstoredFromRead() {
    for (auto& w : WriteList)
        for (auto& r : ReadList) {
            if (r->FileID != w->FileID) continue;
            for (TCounterParam& p : w->Params) {
                if (p.Marked) continue;
                if (const TCounterParam* got = r->FindParam(p.ParamID, p.ParamIndex)) p.Value = got->Value;
            }
        }
}

bool TMeterSession::SetClockAfterWrite() {
    if (WriteList.empty() || UserCancelled) return true;
    const int v = Seance.VersionID;
    if (v == 27 || v == 28 || v == 38 || v == 39) return true;
    if (!Configuration || !Configuration->SetTime) return true;
    return Seance.SetDateTime();
}

bool TMeterSession::WriteJournal() {
    return ::WriteJournal(Db, Seance.CounterID, readDone_, writtenDone_, NowDateTime());
}

// ---------------------------------------------------------------- jobs

bool TMeterSession::CommonStart() {
    Seance.ResetAllSessions();
    if (Seance.Transport) Seance.Transport->Purge();
    else if (Seance.Port) Seance.Port->Purge();
    readDone_.clear();
    writtenDone_.clear();
    if (UserCancelled) return false;
    Step("Загрузка данных из БД...");
    return true;
}

bool TMeterSession::ReadJob() {
    try {
        if (!CommonStart()) return true;
        if (!LoadTask() || !LoadStoredCredentials()) return false;
        WriteList.clear();  // a read session writes nothing
        if (UserCancelled) return true;
        CurrentJob().SetOverall(0, OverallMaximum());
        if (!Seance.OpenSeance()) return UserCancelled.load();
        if (UserCancelled) return true;
        if (!ReadSession()) return UserCancelled.load();
        if (UserCancelled) return true;
        Seance.CloseSeance();
        WriteJournal();
        return true;
    } catch (const std::exception& e) {
        return Fail(std::string(kInternalErrorText) + ": " + e.what());
    }
}

bool TMeterSession::SeanceJob() {
    try {
        if (!CommonStart()) return true;
        if (!LoadTask() || !LoadStoredCredentials() || !LoadWriteValues()) return false;
        if (UserCancelled) return true;
        CurrentJob().SetOverall(0, OverallMaximum());
        if (!Seance.OpenSeance()) return UserCancelled.load();
        if (UserCancelled) return true;
        if (!ReadSession()) return UserCancelled.load();
        if (UserCancelled) return true;
        TakeUnstoredFromRead();
        if (!WriteList.empty()) {
            if (auto text = CurrentJob().AskText(kWritePasswordCaption, kWritePasswordPrompt, true))
                WritePassword = PasswordBytes(PasswordFromText(*text));
            if (!WriteSession()) return UserCancelled.load();
            if (UserCancelled) return true;
            if (!StoreWrittenValues()) return false;
        }
        if (!SetClockAfterWrite()) return false;
        if (UserCancelled) return true;
        Seance.CloseSeance();
        WriteJournal();
        DeleteStoredPasswords(Db, Seance.CounterID);
        return true;
    } catch (const std::exception& e) {
        return Fail(std::string(kInternalErrorText) + ": " + e.what());
    }
}

bool TMeterSession::InitSeanceJob() {
    try {
        Log("*******************ИНИЦИАЛИЗАЦИОННЫЙ СЕАНС**************");
        if (!CommonStart()) return true;
        Seance.InternalID = 0;
        const auto typed = CurrentJob().AskText(kIdentifierCaption, kIdentifierPrompt, false);
        if (!typed) {
            // Declining the prompt cancels the job: a meter is never written with an
            // identifier nobody typed.
            UserCancelled = true;
            return true;
        }
        std::uint64_t id = 0;
        bool digits = !typed->empty() && typed->size() <= 10;
        for (char c : *typed) {
            if (c < '0' || c > '9') digits = false;
            else id = id * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (!digits || id > 0xFFFFFFFFull) return Fail("Неверный идентификатор счетчика: \"" + *typed + "\"");
        Seance.InternalID = static_cast<std::uint32_t>(id);
        if (!LoadTask() || !LoadWriteValues()) return false;
        if (UserCancelled) return true;
        CurrentJob().SetOverall(0, OverallMaximum());
        if (!Seance.OpenSeance()) return UserCancelled.load();
        if (UserCancelled) return true;
        if (!WriteSession()) return UserCancelled.load();
        if (UserCancelled) return true;
        if (!StoreWrittenValues()) return false;
        if (!SetClockAfterWrite()) return false;
        if (UserCancelled) return true;
        Seance.CloseSeance();
        WriteJournal();
        return true;
    } catch (const std::exception& e) {
        return Fail(std::string(kInternalErrorText) + ": " + e.what());
    }
}

namespace {
// The password mode is on only while the password job runs, also when it fails.
struct PasswordModeGuard {
    PasswordModeGuard() { PasswordChangeMode = true; }
    ~PasswordModeGuard() { PasswordChangeMode = false; }
};
}  // namespace

bool TMeterSession::PasswordJob() {
    try {
        Log("*******************ЗАПИСЬ ПАРОЛЕЙ**************");
        if (!CommonStart()) return true;
        // The password dialog queued the new password: it must be stored before it is loaded.
        if (!WaitForStoredValues(CurrentJob())) return Fail("Значения не сохранены в базе данных");
        if (!LoadTask() || !LoadStoredCredentials() || !LoadWriteValues()) return false;
        if (UserCancelled) return true;
        CurrentJob().SetOverall(0, OverallMaximum());
        if (!Seance.OpenSeance()) return UserCancelled.load();
        if (UserCancelled) return true;
        PasswordModeGuard mode;
        PasswordUseCount = 0;
        if (!WriteSession()) return UserCancelled.load();
        if (UserCancelled) return true;
        if (!StoreWrittenValues()) return false;
        Seance.CloseSeance();
        WriteJournal();
        return true;
    } catch (const std::exception& e) {
        return Fail(std::string(kInternalErrorText) + ": " + e.what());
    }
}

// ---------------------------------------------------------------- helpers

bool WaitForStoredValues(JobContext& job) {
    if (!WriteThread) return PendingCount() == 0;
    const long long failedBefore = WriteThread->FailedCount();
    while (!WriteThread->WaitUntilEmpty(std::chrono::milliseconds(50))) {
        job.Pump();
        if (!WriteThread) return false;
    }
    return WriteThread->FailedCount() == failedBefore;
}

bool DeleteStoredPasswords(TDatabase& db, std::int32_t counterID) {
    try {
        const std::string table = ValueTableName(counterID);
        if (!db.TableExists(table)) return false;
        TStatement q = db.Prepare(
            "SELECT DISTINCT Params.ParamID FROM Files, FileAccepts, Params, ParamTypes, Counters "
            "WHERE (Counters.CounterID = :CounterID) AND (FileAccepts.VersionID = Counters.VersionID) "
            "AND (FileAccepts.FileID = Files.FileID) AND (Files.FileID = Params.FileID) "
            "AND (Params.ParamType = ParamTypes.ParamType) AND (Files.StatReset = '1') "
            "AND (Files.FileName = :FileName) ORDER BY Params.ParamID");
        q.BindInt(":CounterID", counterID).BindText(":FileName", kPasswordAreaName);
        std::vector<std::int32_t> ids;
        while (q.Step()) ids.push_back(q.Int(0));
        TTransaction tx(db);
        TStatement del = db.Prepare("DELETE FROM " + QuoteIdentifier(table) + " WHERE ParamID = :ParamID");
        for (std::int32_t id : ids) {
            del.Reset();
            del.BindInt(":ParamID", id);
            del.Execute();
        }
        tx.Commit();
        return true;
    } catch (const TDatabaseError&) {
        return false;
    }
}

bool TPasswordAreas::Load(TDatabase& db, const TCounterStat& counter) {
    Areas.clear();
    CounterID = counter.CounterID;
    try {
        EnsureParamTypes(db);
        TStatement q = db.Prepare(std::string(kAreaColumns) +
                                  " FROM Files, FileAccepts, Params, ParamTypes "
                                  "WHERE (FileAccepts.VersionID = :VersionID) AND (FileAccepts.FileID = Files.FileID) "
                                  "AND (Files.FileID = Params.FileID) AND (Params.ParamType = ParamTypes.ParamType) "
                                  "AND (Files.StatReset = '1') AND (Files.FileName = :FileName) "
                                  "ORDER BY Files.FileInternalID, Files.FileID, Params.ParamID");
        q.BindInt(":VersionID", counter.VersionID).BindText(":FileName", kPasswordAreaName);
        std::unique_ptr<TCounterFile> area;
        auto finish = [&] {
            if (!area) return;
            if (area->FileIndex) area->ExpandRecords();
            if (!area->Params.empty()) Areas.push_back(std::move(area));
            area.reset();
        };
        while (q.Step()) {
            const TFileRow file = AreaRow(q);
            if (!area || area->FileID != file.FileID) {
                finish();
                area = std::make_unique<TCounterFile>(file.FileID);
                area->LoadFromFileRow(file);
            }
            area->AddParamRow(ReadParamRow(q));
        }
        finish();
        const std::string table = ValueTableName(counter.CounterID);
        if (!db.TableExists(table)) return true;
        TStatement v = db.Prepare("SELECT DataValue, ParamID, ParamIndex FROM " + QuoteIdentifier(table) +
                                  " ORDER BY ParamID, ParamIndex, ChangeDateTime");
        while (v.Step()) {
            const std::int64_t index = v.Int64(2);
            if (index < 0 || index > 0xFFFF) continue;
            for (auto& a : Areas)
                if (TCounterParam* p = a->FindParam(v.Int(1), static_cast<std::uint16_t>(index))) {
                    p->LoadValueFromField(v.Blob(0));
                    p->Marked = true;
                    break;
                }
        }
        return true;
    } catch (const TDatabaseError&) {
        Areas.clear();
        return false;
    }
}

std::optional<std::string> TPasswordAreas::Apply(const std::string& newPassword, const std::string& confirmation) {
    if (newPassword != confirmation) return std::string(kPasswordMismatchText);
    if (newPassword.empty() || newPassword.size() > 9 ||
        !std::all_of(newPassword.begin(), newPassword.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::string("Пароль должен состоять из цифр");
    if (Areas.empty()) return std::string("У счетчика нет области \"Пароли доступа\"");
    const std::string value = std::to_string(PasswordFromText(newPassword));
    for (auto& a : Areas)
        for (TCounterParam& p : a->Params)
            if (!p.SetAsText(value)) return "Пароль не подходит для параметра " + p.ParamName;
    const TDateTime today = codec::TodayDateTime();
    for (auto& a : Areas)
        for (const TCounterParam& p : a->Params)
            if (!p.QueueValue(CounterID, today, true)) return std::string("Значения не сохранены: запись в базу данных не запущена");
    return std::nullopt;
}

void InstallSessionHooks(TCounterSeance& seance) {
    seance.PrepareCommandJob = [] {
        // No meter selected (the factory number job): nothing to load.
        if (!DataBaseModule || !CounterSeance || CounterSeance->CounterID == 0) return true;
        TMeterSession& s = MeterSession();
        return s.LoadTask() && s.LoadStoredCredentials();
    };
}
