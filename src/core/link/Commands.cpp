// Single meter commands: factory number, clock, currency, precision, control codes,
// optical port, channels; and the job skeleton that wraps them in a session.
#include "link/CounterSeance.h"
#include "link/LinkInternal.h"

#include "shell/JobContext.h"
#include "shell/Text.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace {

enum class TClockLayout { SecondFirst, WeekdayFirstLittleYear, WeekdayFirstBigYear };

TClockLayout ClockLayout(int version) {
    if (version == 4 || version == 5 || (version >= 8 && version <= 20) || version == 23 || version == 24 ||
        version == 25 || version == 30 || (version >= 40 && version <= 47))
        return TClockLayout::SecondFirst;
    if (version == 36 || version == 37 || version == 48 || version == 49) return TClockLayout::WeekdayFirstLittleYear;
    return TClockLayout::WeekdayFirstBigYear;
}

std::uint8_t Byte(int v) { return static_cast<std::uint8_t>(v & 0xFF); }

}  // namespace

std::array<std::uint8_t, 8> BuildDateTime(int version, const TMeterDateTime& dt) {
    switch (ClockLayout(version)) {
        case TClockLayout::SecondFirst:
            return {Byte(dt.Second), Byte(dt.Minute), Byte(dt.Hour), Byte(dt.Weekday),
                    Byte(dt.Day),    Byte(dt.Month),  Byte(dt.Year % 100), Byte(dt.Year / 100)};
        case TClockLayout::WeekdayFirstLittleYear:
            return {Byte(dt.Weekday), Byte(dt.Day),  Byte(dt.Month),  Byte(dt.Year),
                    Byte(dt.Year >> 8), Byte(dt.Hour), Byte(dt.Minute), Byte(dt.Second)};
        case TClockLayout::WeekdayFirstBigYear:
        default:
            return {Byte(dt.Weekday), Byte(dt.Day), Byte(dt.Month), Byte(dt.Year >> 8),
                    Byte(dt.Year),    Byte(dt.Hour), Byte(dt.Minute), Byte(dt.Second)};
    }
}

TMeterDateTime DecodeDateTime(int version, const std::uint8_t* r) {
    TMeterDateTime dt;
    switch (ClockLayout(version)) {
        case TClockLayout::SecondFirst:
            dt.Second = r[0]; dt.Minute = r[1]; dt.Hour = r[2]; dt.Weekday = r[3];
            dt.Day = r[4]; dt.Month = r[5]; dt.Year = r[7] * 100 + r[6];
            break;
        case TClockLayout::WeekdayFirstLittleYear:
            dt.Weekday = r[0]; dt.Day = r[1]; dt.Month = r[2]; dt.Year = r[3] | (r[4] << 8);
            dt.Hour = r[5]; dt.Minute = r[6]; dt.Second = r[7];
            break;
        case TClockLayout::WeekdayFirstBigYear:
            dt.Weekday = r[0]; dt.Day = r[1]; dt.Month = r[2]; dt.Year = (r[3] << 8) | r[4];
            dt.Hour = r[5]; dt.Minute = r[6]; dt.Second = r[7];
            break;
    }
    return dt;
}

std::string FormatMeterDateTime(const TMeterDateTime& dt) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2d.%.2d.%.4d %.2d:%.2d:%.2d", dt.Day, dt.Month, dt.Year, dt.Hour, dt.Minute,
                  dt.Second);
    return text;
}

TMeterDateTime LocalDateTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    TMeterDateTime dt;
    dt.Year = tm.tm_year + 1900;
    dt.Month = tm.tm_mon + 1;
    dt.Day = tm.tm_mday;
    dt.Hour = tm.tm_hour;
    dt.Minute = tm.tm_min;
    dt.Second = tm.tm_sec;
    dt.Weekday = (tm.tm_wday + 6) % 7;  // tm counts from Sunday, the meter from Monday
    return dt;
}

std::uint8_t ChannelFlags(const TChannelSettings& s) {
    switch (s.Mode) {
        case 0: {
            std::uint8_t flags = 0x07;
            for (int i = 0; i < 4; ++i)
                if (s.Switches[static_cast<std::size_t>(i)]) flags |= static_cast<std::uint8_t>(0x10 << i);
            return flags;
        }
        case 1: case 2: case 3: case 4: {
            const auto channel = static_cast<std::uint8_t>(s.Mode - 1);
            return s.Switches[channel] ? static_cast<std::uint8_t>(0x08 | channel) : channel;
        }
        default:
            return 0x00;
    }
}

std::string ControlStepText(TControlCode code) {
    switch (code) {
        case TControlCode::ContactorOff: return "Выключение контактора";
        case TControlCode::ContactorRelease: return "Освобождение контактора";
        case TControlCode::CardSupport: return "Установка поддержки карты";
        case TControlCode::Channel1On: return "Включение канала 1";
        case TControlCode::Channel1Off: return "Выключение канала 1";
        case TControlCode::Channel2On: return "Включение канала 2";
        case TControlCode::Channel2Off: return "Выключение канала 2";
    }
    return {};
}

std::array<std::uint8_t, 3> CurrencyBytes(const std::string& utf8Text) {
    const std::string ansi = text::Utf8ToAnsi(utf8Text);
    std::array<std::uint8_t, 3> out{};
    for (std::size_t i = 0; i < out.size() && i < ansi.size(); ++i) out[i] = static_cast<std::uint8_t>(ansi[i]);
    return out;
}

std::string CommandFailureText(const std::string& errorText) { return "Произошла ошибка : " + errorText; }

std::uint16_t PasswordFromText(const std::string& text) {
    long long value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return 0;
    return static_cast<std::uint16_t>(static_cast<unsigned long long>(value) & 0xFFFF);
}

// --- commands -----------------------------------------------------------------

bool TCounterSeance::ReadFactoryNumber() {
    if (UserCancelled) return true;
    TransportPurge();
    SessionKey = {};
    TExchange ex;
    ex.Command = 11;
    ex.Accept = [](const TCounterSeance& s) {
        return s.ReplyLength() == 4 && s.ReplyCommand() == 11 ? TReplyVerdict::Accept : TReplyVerdict::Reject;
    };
    ex.FirstByteTimeout = 6000;
    ex.Attempts = 1;
    ex.ShowAttempts = false;
    if (!ExchangeWithRetries(ex)) return false;
    const std::uint8_t* d = ReplyData();
    ZNumber = (std::uint32_t{d[0]} << 24) | (std::uint32_t{d[1]} << 16) | (std::uint32_t{d[2]} << 8) | d[3];
    return true;
}

bool TCounterSeance::ReadDateTime() {
    if (UserCancelled) return true;
    TransportPurge();
    TExchange ex;
    ex.Command = 7;
    ex.Accept = [](const TCounterSeance& s) {
        return s.ReplyLength() == 8 && s.ReplyCommand() == 7 ? TReplyVerdict::Accept : TReplyVerdict::Reject;
    };
    ex.FirstByteTimeout = 4000;
    ex.Attempts = 1;
    ex.ShowAttempts = false;
    if (!ExchangeWithRetries(ex)) return false;
    std::copy(ReplyData(), ReplyData() + 8, MeterDateTime.begin());
    return true;
}

namespace {
bool IsAcknowledgement(const TCounterSeance& s) { return s.ReplyLength() == 0 && s.ReplyCommand() == 0; }
}  // namespace

bool TCounterSeance::WriteDateTime(const TMeterDateTime& dt) {
    const auto record = BuildDateTime(VersionID, dt);
    return SimpleExchange(
        8, record.size(), [&record](std::uint8_t* data) { std::copy(record.begin(), record.end(), data); },
        IsAcknowledgement, ReplyDelay());
}

bool TCounterSeance::SetDateTime() {
    if (UserCancelled) return true;
    CurrentJob().SetStepText("Установка даты и времени в счетчике");
    if (!WriteDateTime(LocalDateTimeNow())) return false;
    linkdetail::AdvanceOverall();
    return true;
}

bool TCounterSeance::SetCurrency() {
    if (UserCancelled) return true;
    CurrentJob().SetStepText("Изменение вида валюты в счетчике");
    const auto bytes = CurrencyBytes(CurrencyCode);
    if (!SimpleExchange(
            18, bytes.size(), [&bytes](std::uint8_t* data) { std::copy(bytes.begin(), bytes.end(), data); },
            IsAcknowledgement, ReplyDelay()))
        return false;
    linkdetail::AdvanceOverall();
    return true;
}

bool TCounterSeance::SetPrecision() {
    if (UserCancelled) return true;
    CurrentJob().SetStepText("Изменение точности в счетчике");
    TExchange ex;
    ex.Command = 17;
    ex.Length = 1;
    ex.Build = [this](std::uint8_t* data) { data[0] = PrecisionCode; };
    ex.Accept = [](const TCounterSeance& s) {
        return IsAcknowledgement(s) ? TReplyVerdict::Accept : TReplyVerdict::Reject;
    };
    ex.FirstByteTimeout = ReplyDelay();
    ex.BeforeReceive = [this] {
        WriteComLog("Ожидаем прихода ответа со счетчика " + std::to_string(ReplyDelay()) + " мс");
    };
    if (!ExchangeWithRetries(ex)) return false;
    linkdetail::AdvanceOverall();
    return true;
}

bool TCounterSeance::SendControl(TControlCode code) {
    if (UserCancelled) return true;
    CurrentJob().SetStepText(ControlStepText(code));
    const auto byte = static_cast<std::uint8_t>(code);
    if (!SimpleExchange(14, 1, [byte](std::uint8_t* data) { data[0] = byte; }, IsAcknowledgement, ReplyDelay()))
        return false;
    linkdetail::AdvanceOverall();
    return true;
}

bool TCounterSeance::SetOptoPort(bool enable) {
    if (UserCancelled) return true;
    CurrentJob().SetStepText(enable ? "Разрешение оптопорта" : "Запрещение оптопорта");
    const std::uint8_t byte = enable ? 0 : 1;
    if (!SimpleExchange(16, 1, [byte](std::uint8_t* data) { data[0] = byte; }, IsAcknowledgement, ReplyDelay()))
        return false;
    linkdetail::AdvanceOverall();
    return true;
}

bool TCounterSeance::ManageChannels() {
    if (UserCancelled) return true;
    static const char* const kFirstLabels[] = {"Управление всеми каналами", "Управление 1-м каналом",
                                               "Управление 2-м каналом", "Управление 3-м каналом",
                                               "Управление 4-м каналом"};
    JobContext& job = CurrentJob();
    if (ChannelSettings.Mode <= 4) {
        job.SetStepText(kFirstLabels[ChannelSettings.Mode]);
        job.Pump();
    }
    job.SetStepText("Управление каналами");
    const std::uint8_t flags = ChannelFlags(ChannelSettings);
    if (!SimpleExchange(127, 1, [flags](std::uint8_t* data) { data[0] = flags; }, IsAcknowledgement, ReplyDelay()))
        return false;
    linkdetail::AdvanceOverall();
    return true;
}

// --- jobs ---------------------------------------------------------------------

bool TCounterSeance::RunCommandJob(const std::function<bool()>& commands, int overallMax) {
    TransportPurge();
    if (UserCancelled) return true;
    CurrentJob().SetOverall(0, overallMax);
    if (PrepareCommandJob && !PrepareCommandJob()) return false;
    if (!OpenSeance()) return false;
    if (!commands()) return false;
    CloseSeance();
    return true;
}

bool TCounterSeance::FactoryNumberJob() {
    TransportPurge();
    if (UserCancelled) return true;
    JobContext& job = CurrentJob();
    job.SetOverall(0, 1);
    job.SetStepText("Получение заводского номера (около 6 сек.)...");
    if (!ReadFactoryNumber()) return false;
    if (!UserCancelled) job.SetOverall(1, 1);
    return true;
}

bool TCounterSeance::ReadClockJob() {
    if (!RunCommandJob([this] { return ReadDateTime(); }, 1)) return false;
    if (!UserCancelled) MeterDateTimeText = FormatMeterDateTime(DecodeDateTime(VersionID, MeterDateTime.data()));
    return true;
}

bool TCounterSeance::CardSupportJob() {
    return RunCommandJob([this] { return SendControl(TControlCode::CardSupport) && SetDateTime(); });
}
