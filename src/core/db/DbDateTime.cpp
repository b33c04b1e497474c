#include "db/DbDateTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {
using namespace std::chrono;

// Day 0 of the date-time scale.
constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};

// Whole seconds of a date-time, rounded, so that 23:59:59.9996 becomes the next day
// rather than a time text of "24:00:00".
long long TotalSeconds(TDateTime value) { return std::llround(value * 86400.0); }

void Split(TDateTime value, year_month_day& ymd, int& hour, int& minute, int& second) {
    long long s = TotalSeconds(value);
    long long dayCount = s / 86400;
    long long rest = s % 86400;
    if (rest < 0) {
        rest += 86400;
        --dayCount;
    }
    ymd = year_month_day{kEpoch + std::chrono::days{dayCount}};
    hour = static_cast<int>(rest / 3600);
    minute = static_cast<int>(rest / 60 % 60);
    second = static_cast<int>(rest % 60);
}

bool Digits(std::string_view text, size_t pos, size_t count, int& out) {
    if (pos + count > text.size()) return false;
    int v = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

std::optional<TDateTime> ParseDatePart(std::string_view text) {
    int y = 0, m = 0, d = 0;
    if (text.size() < 10 || !Digits(text, 0, 4, y) || text[4] != '-' || !Digits(text, 5, 2, m) || text[7] != '-' ||
        !Digits(text, 8, 2, d))
        return std::nullopt;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok()) return std::nullopt;
    return EncodeDate(y, m, d);
}

std::optional<TDateTime> ParseTimePart(std::string_view text) {
    int h = 0, mi = 0, s = 0;
    if (text.size() != 8 || !Digits(text, 0, 2, h) || text[2] != ':' || !Digits(text, 3, 2, mi) || text[5] != ':' ||
        !Digits(text, 6, 2, s))
        return std::nullopt;
    if (h > 23 || mi > 59 || s > 59) return std::nullopt;
    return EncodeTime(h, mi, s);
}
}  // namespace

TDateTime EncodeDate(int y, int m, int d) {
    const sys_days day{year{y} / month{static_cast<unsigned>(m)} / d};
    return static_cast<double>((day - kEpoch).count());
}

TDateTime EncodeTime(int hour, int minute, int second) {
    return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

TDateTime NowDateTime() {
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           (tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + static_cast<double>(ms) / 1000.0) / 86400.0;
}

TDateTime TodayDate() { return DateOf(NowDateTime()); }

TDateTime DateOf(TDateTime value) {
    year_month_day ymd;
    int h, mi, s;
    Split(value, ymd, h, mi, s);
    return static_cast<double>((sys_days{ymd} - kEpoch).count());
}

std::string SqlDateText(TDateTime value) {
    year_month_day ymd;
    int h, mi, s;
    Split(value, ymd, h, mi, s);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()));
    return buf;
}

std::string SqlTimeText(TDateTime value) {
    year_month_day ymd;
    int h, mi, s;
    Split(value, ymd, h, mi, s);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, s);
    return buf;
}

std::string SqlDateTimeText(TDateTime value) { return SqlDateText(value) + " " + SqlTimeText(value); }

std::optional<TDateTime> ParseSqlDate(std::string_view text) {
    if (text.size() == 10) return ParseDatePart(text);
    return ParseSqlDateTime(text);
}

std::optional<TDateTime> ParseSqlTime(std::string_view text) { return ParseTimePart(text); }

std::optional<TDateTime> ParseSqlDateTime(std::string_view text) {
    if (text.size() != 19 || (text[10] != ' ' && text[10] != 'T')) return std::nullopt;
    const auto d = ParseDatePart(text.substr(0, 10));
    const auto t = ParseTimePart(text.substr(11));
    if (!d || !t) return std::nullopt;
    return *d + *t;
}
