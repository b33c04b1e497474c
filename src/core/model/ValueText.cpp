#include "model/ValueText.h"

#include "shell/Text.h"

#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <locale.h>

namespace codec {
namespace {

constexpr std::int64_t kMsPerDay = 86400000;

// Proleptic Gregorian day count (days from 1970-01-01), after H. Hinnant.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

const std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);
// Day numbers of 01.01.0001 and 31.12.9999 on the date-time scale.
const std::int64_t kFirstDay = DaysFromCivil(1, 1, 1) - kEpochDays;
const std::int64_t kLastDay = DaysFromCivil(9999, 12, 31) - kEpochDays;

std::function<TCalendarDate()>& TodayProvider() {
    static std::function<TCalendarDate()> provider;
    return provider;
}

TCalendarDate SystemToday() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Unsigned decimal field of 1..maxDigits digits.
bool Field(std::string_view s, size_t maxDigits, int& out) {
    if (s.empty() || s.size() > maxDigits) return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

// Splits at every `sep`; false when there are more than `maxParts` parts.
template <size_t N>
bool Split(std::string_view s, char sep, std::array<std::string_view, N>& parts, size_t& count) {
    count = 0;
    while (true) {
        if (count == N) return false;
        const size_t pos = s.find(sep);
        parts[count++] = s.substr(0, pos);
        if (pos == std::string_view::npos) return true;
        s.remove_prefix(pos + 1);
    }
}

// A date-time from a day number and a time of day; negative days carry the time as
// its absolute value, as the date-time scale has always done.
TDateTime Combine(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// Digits and decimal exponent of the shortest representation, from to_chars'
// scientific form "d.ddde+XX".
template <typename T>
std::string LayOut(T value) {
    if (!std::isfinite(value)) return {};
    if (value == 0) return "0";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    if (res.ec != std::errc{}) return {};
    const std::string_view s(buf, static_cast<size_t>(res.ptr - buf));
    const bool negative = s.front() == '-';
    const size_t ePos = s.find('e');
    if (ePos == std::string_view::npos) return {};
    std::string digits;
    for (char c : s.substr(0, ePos))
        if (c >= '0' && c <= '9') digits += c;
    int exponent = 0;
    std::string_view es = s.substr(ePos + 1);
    const bool negExp = !es.empty() && es.front() == '-';
    if (!es.empty() && (es.front() == '-' || es.front() == '+')) es.remove_prefix(1);
    for (char c : es) exponent = exponent * 10 + (c - '0');
    if (negExp) exponent = -exponent;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= -5 && exponent < 15) {
        if (exponent >= 0) {
            const size_t intLen = static_cast<size_t>(exponent) + 1;
            if (digits.size() <= intLen) {
                out += digits + std::string(intLen - digits.size(), '0');
            } else {
                out += digits.substr(0, intLen) + "," + digits.substr(intLen);
            }
        } else {
            out += "0," + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1) out += "," + digits.substr(1);
        out += "E" + std::to_string(exponent);
    }
    return out;
}

}  // namespace

TCalendarDate Today() {
    const auto& provider = TodayProvider();
    return provider ? provider() : SystemToday();
}

TDateTime TodayDateTime() {
    const TCalendarDate d = Today();
    return TryEncodeDate(d.Year, d.Month, d.Day).value_or(0);
}

void SetTodayProvider(std::function<TCalendarDate()> provider) { TodayProvider() = std::move(provider); }

ScopedToday::ScopedToday(int year, int month, int day) {
    SetTodayProvider([=] { return TCalendarDate{year, month, day}; });
}

ScopedToday::~ScopedToday() { SetTodayProvider({}); }

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::optional<TDateTime> TryEncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    return static_cast<TDateTime>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                                  kEpochDays);
}

std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int millisecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999)
        return std::nullopt;
    const std::int64_t ms = ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    return static_cast<TDateTime>(ms) / static_cast<TDateTime>(kMsPerDay);
}

std::optional<TDateTimeParts> DecodeDateTime(TDateTime value) {
    if (!std::isfinite(value) || value <= static_cast<double>(kFirstDay - 1) ||
        value >= static_cast<double>(kLastDay + 1))
        return std::nullopt;
    std::int64_t days = static_cast<std::int64_t>(std::trunc(value));
    std::int64_t ms = std::llround(std::fabs(value - static_cast<double>(days)) * static_cast<double>(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        days += value < 0 ? -1 : 1;
    }
    if (days < kFirstDay || days > kLastDay) return std::nullopt;
    TDateTimeParts p;
    CivilFromDays(days + kEpochDays, p.Year, p.Month, p.Day);
    p.Hour = static_cast<int>(ms / 3600000);
    p.Minute = static_cast<int>(ms / 60000 % 60);
    p.Second = static_cast<int>(ms / 1000 % 60);
    p.Millisecond = static_cast<int>(ms % 1000);
    return p;
}

std::string DateText(TDateTime value) {
    const auto p = DecodeDateTime(value);
    if (!p) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", p->Day, p->Month, p->Year);
    return buf;
}

std::string TimeText(TDateTime value) {
    const auto p = DecodeDateTime(value);
    if (!p) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", p->Hour, p->Minute, p->Second);
    return buf;
}

std::string DateTimeText(TDateTime value) {
    const auto p = DecodeDateTime(value);
    if (!p) return {};
    char buf[48];
    if (p->Hour == 0 && p->Minute == 0 && p->Second == 0)
        std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", p->Day, p->Month, p->Year);
    else
        std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %d:%02d:%02d", p->Day, p->Month, p->Year, p->Hour, p->Minute,
                      p->Second);
    return buf;
}

std::optional<TDateTime> ParseDateText(std::string_view text) {
    std::array<std::string_view, 3> parts;
    size_t n = 0;
    if (!Split(Trim(text), '.', parts, n) || n < 2) return std::nullopt;
    int day = 0, month = 0, year = 0;
    if (!Field(parts[0], 2, day) || !Field(parts[1], 2, month)) return std::nullopt;
    if (n == 3) {
        if (!Field(parts[2], 4, year)) return std::nullopt;
        if (parts[2].size() <= 2) year += year < 50 ? 2000 : 1900;
    } else {
        year = Today().Year;
    }
    return TryEncodeDate(year, month, day);
}

std::optional<TDateTime> ParseTimeText(std::string_view text) {
    std::array<std::string_view, 3> parts;
    size_t n = 0;
    if (!Split(Trim(text), ':', parts, n) || n < 2) return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    if (!Field(parts[0], 2, hour) || !Field(parts[1], 2, minute)) return std::nullopt;
    if (n == 3 && !Field(parts[2], 2, second)) return std::nullopt;
    return TryEncodeTime(hour, minute, second);
}

std::optional<TDateTime> ParseDateTimeText(std::string_view text) {
    text = Trim(text);
    const size_t sep = text.find_first_of(" _");
    if (sep == std::string_view::npos) {
        if (text.find(':') != std::string_view::npos) return ParseTimeText(text);
        return ParseDateText(text);
    }
    const auto date = ParseDateText(text.substr(0, sep));
    const auto time = ParseTimeText(text.substr(sep + 1));
    if (!date || !time) return std::nullopt;
    return Combine(*date, *time);
}

std::optional<std::int32_t> ParseIntegerText(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 11) return std::nullopt;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

std::optional<double> ParseRealText(std::string_view text) {
    text = Trim(text);
    // Check the grammar ourselves: strtod alone would take "inf", "nan", hex and
    // the machine's own decimal separator.
    std::string plain;
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') plain += '-';
        ++i;
    }
    size_t mantissaDigits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            plain += c;
            ++mantissaDigits;
        } else if ((c == ',' || c == '.') && !point) {
            plain += '.';
            point = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
        size_t expDigits = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++expDigits) plain += text[i];
        if (expDigits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    const double v = strtod_l(plain.c_str(), nullptr, CLocale());
    if (!std::isfinite(v)) return std::nullopt;
    return v == 0 ? 0.0 : v;  // no negative zero
}

std::string RealText(double value) { return LayOut(value); }

std::string RealTextOfFloat(float value) { return LayOut(value); }

std::string FixedRealText(double value, int decimals) {
    if (!std::isfinite(value) || decimals < 0 || decimals > 20) return {};
    // Round to 15 significant digits first, as a 15-digit display does, then to the
    // places after the comma, half away from zero, on the decimal digits themselves.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    if (res.ec != std::errc{}) return {};
    const std::string_view s(buf, static_cast<size_t>(res.ptr - buf));
    const bool negative = s.front() == '-';
    const size_t ePos = s.find('e');
    std::string digits;
    for (char c : s.substr(0, ePos))
        if (c >= '0' && c <= '9') digits += c;
    int exponent = 0;
    std::string_view es = s.substr(ePos + 1);
    if (es.front() == '+') es.remove_prefix(1);
    if (std::from_chars(es.data(), es.data() + es.size(), exponent).ec != std::errc{}) return {};
    if (exponent >= 15) {
        double rounded = 0;
        if (std::from_chars(buf, res.ptr, rounded).ec != std::errc{}) return {};
        return RealText(rounded);
    }
    const int last = exponent + decimals;  // index of the last digit kept
    const int n = static_cast<int>(digits.size());
    std::string kept;
    if (last >= n - 1) {
        kept = digits + std::string(static_cast<size_t>(last - (n - 1)), '0');
    } else if (last >= 0) {
        kept = digits.substr(0, static_cast<size_t>(last) + 1);
        if (digits[static_cast<size_t>(last) + 1] >= '5') {
            int i = last;
            for (; i >= 0 && kept[static_cast<size_t>(i)] == '9'; --i) kept[static_cast<size_t>(i)] = '0';
            if (i >= 0)
                ++kept[static_cast<size_t>(i)];
            else
                kept.insert(kept.begin(), '1');
        }
    } else {
        kept = last == -1 && digits[0] >= '5' ? "1" : "0";
    }
    if (kept.size() < static_cast<size_t>(decimals) + 1)
        kept.insert(0, static_cast<size_t>(decimals) + 1 - kept.size(), '0');
    const size_t intLen = kept.size() - static_cast<size_t>(decimals);
    std::string out = kept.substr(0, intLen);
    out.erase(0, std::min(out.find_first_not_of('0'), out.size() - 1));
    if (decimals > 0) out += "," + kept.substr(intLen);
    if (negative && kept.find_first_not_of('0') != std::string::npos) out.insert(out.begin(), '-');
    return out;
}

}  // namespace codec

std::string FormatDateText(TDateTime value) {
    if (value == 0) return {};
    const auto p = codec::DecodeDateTime(value);
    if (!p) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2d%s%.2d%s%.4d", p->Day, ".", p->Month, ".", p->Year);
    return buf;
}

std::string FormatTimeText(TDateTime value) {
    const auto p = codec::DecodeDateTime(value);
    if (!p) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.2d%s%.2d", p->Hour, ":", p->Minute);
    return buf;
}

std::string FormatDateTimeText(TDateTime value) {
    if (value == 0) return {};
    const std::string date = FormatDateText(value);
    if (date.empty()) return {};
    return date + " " + FormatTimeText(value);
}

std::string FormatDayMonthText(TDateTime value) {
    static constexpr const char* kMonths[] = {"января", "февраля", "марта",    "апреля",  "мая",    "июня",
                                              "июля",   "августа", "сентября", "октября", "ноября", "декабря"};
    if (value == 0) return {};
    const auto p = codec::DecodeDateTime(value);
    if (!p) return {};
    return std::to_string(p->Day) + " " + kMonths[p->Month - 1];
}

std::string OemToAnsiText(std::string_view oem) {
    if (oem.empty()) return {};
    return text::OemToUtf8(oem);
}

std::string AnsiToOemText(std::string_view utf8) {
    if (utf8.empty()) return {};
    return text::Utf8ToOem(utf8);
}
