// The session object, its lifetime and the three session commands.
#include "link/CounterSeance.h"
#include "link/LinkInternal.h"

#include "link/ComPort.h"
#include "shell/JobContext.h"
#include "shell/MeterVersion.h"

#include <cstdio>
#include <exception>

TCounterSeance* CounterSeance = nullptr;

std::array<std::uint8_t, 2> WritePassword{};
std::array<std::uint8_t, 2> NewWritePassword{};
bool PasswordChangeMode = false;
std::int32_t PasswordUseCount = 0;

TCounterSeance::TCounterSeance(std::int32_t counterId, std::string counterName, std::uint32_t zNumber)
    : CounterID(counterId), CounterName(std::move(counterName)), ZNumber(zNumber) {}

TCounterSeance::~TCounterSeance() = default;

void TCounterSeance::ResetAllSessions() { SendFrame(2, 0); }

namespace {

void PutBigEndian32(std::uint8_t* out, std::uint32_t v) {
    out[0] = static_cast<std::uint8_t>(v >> 24);
    out[1] = static_cast<std::uint8_t>(v >> 16);
    out[2] = static_cast<std::uint8_t>(v >> 8);
    out[3] = static_cast<std::uint8_t>(v);
}

bool VersionAccepted(std::uint8_t declared, std::uint8_t actual) {
    if (declared == 4) return actual == 4 || actual == 6;
    if (declared == 5) return actual == 5 || actual == 7;
    return actual == declared;
}

bool VersionHasWholeValueFlag(std::uint8_t version) {
    switch (version) {
        case 23: case 24: case 25: case 30: case 44: case 45: case 46: case 47: return true;
        default: return false;
    }
}

// Reply data of the open command: version, four key bytes, two unused, flags.
constexpr std::size_t kOpenReplyMinimum = 5;

}  // namespace

bool TCounterSeance::OpenSeance() {
    try {
        CurrentVersion = VersionID;
        if (UserCancelled) return true;
        JobContext& job = CurrentJob();
        job.SetStepText("Завершение всех открытых сеансов связи");
        job.Pump();
        std::array<std::uint8_t, 8> request{};
        PutBigEndian32(request.data(), ZNumber);
        PutBigEndian32(request.data() + 4, InternalID);
        SessionKey = {};
        char line[200];
        std::snprintf(line, sizeof line,
                      "\r\nОткрытие сеанса со счетчиком: ID = %d, Version = %d, ZNumber=%u, InternalID = %u",
                      static_cast<int>(CounterID), static_cast<int>(VersionID), ZNumber, InternalID);
        WriteLog(line);
        if (UserCancelled) return true;
        job.SetStepText("Установление сеанса связи");
        job.Pump();

        TExchange ex;
        ex.Command = 3;
        ex.Length = request.size();
        ex.Build = [this, &request](std::uint8_t* data) {
            std::copy(request.begin(), request.end(), data);
            SessionKey = {};
        };
        ex.Accept = [](const TCounterSeance& s) {
            return s.ReplyCommand() == 4 ? TReplyVerdict::Accept : TReplyVerdict::Reject;
        };
        ex.FirstByteTimeout = ReplyDelay();
        if (!ExchangeWithRetries(ex)) return false;

        if (UserCancelled) return true;
        linkdetail::AdvanceOverall();

        const std::size_t length = ReplyLength();
        const std::uint8_t* data = ReplyData();
        // A reply too short to carry the key opens nothing: the meter would not
        // understand requests encoded with a key it did not hand out.
        if (length < kOpenReplyMinimum) {
            SessionKey = {};
            if (length >= 1 && !VersionAccepted(VersionID, data[0])) {
                std::snprintf(line, sizeof line,
                              "Несовпадение заявленной и действительной версий! Текущая версия счетчика - %d",
                              static_cast<int>(data[0]));
                ErrorText = line;
            } else {
                ErrorText = "Неполный ответ счетчика при открытии сеанса";
            }
            return false;
        }
        if (!VersionAccepted(VersionID, data[0])) {
            std::snprintf(line, sizeof line,
                          "Несовпадение заявленной и действительной версий! Текущая версия счетчика - %d",
                          static_cast<int>(data[0]));
            ErrorText = line;
            return false;
        }
        if (VersionHasWholeValueFlag(VersionID)) WholeValueMode = length > 7 && (data[7] & 0x02) == 0;
        std::copy(data + 1, data + 5, SessionKey.begin());

        if (UserCancelled) return true;
        linkdetail::AdvanceOverall();
        WriteLog("Сеанс открыт");
        return true;
    } catch (const std::exception&) {
        ErrorText = "Ошибка";
        return false;
    }
}

void TCounterSeance::CloseSeance() {
    if (UserCancelled) return;
    JobContext& job = CurrentJob();
    job.SetStepText("Завершение сеанса связи");
    job.Pump();
    TExchange ex;
    ex.Command = 5;
    ex.Accept = [](const TCounterSeance& s) {
        return s.ReplyLength() == 0 && s.ReplyCommand() == 5 ? TReplyVerdict::Accept : TReplyVerdict::Reject;
    };
    ex.FirstByteTimeout = ReplyDelay();
    (void)ExchangeWithRetries(ex);
    if (UserCancelled) return;
    linkdetail::AdvanceOverall();
    WriteLog("Сеанс закрыт");
}
