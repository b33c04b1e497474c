#pragma once
// The value-text convention of the parameter codec. It is fixed and independent of
// the machine's locale, so a value read on one workstation means the same on any
// other: dates day.month.year ("05.03.2024"), times hours:minutes:seconds
// ("7:05:00"), date-times the date and, unless it is midnight, a space and the time
// ("05.03.2024 7:05:00"), reals with a decimal comma ("123,45"), integers in decimal.
//
// Date-times are doubles counting days from 30.12.1899 with the time of day as the
// fraction: the form the value store keeps in DataValue.
//
// Nothing here throws; a text that does not convert yields std::nullopt or "".

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

using TDateTime = double;

namespace codec {

struct TCalendarDate {
    int Year = 0;
    int Month = 0;
    int Day = 0;
};

struct TDateTimeParts {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// Today's date as the codec sees it (types whose area bytes carry no year take the
// current one). The local calendar date unless a test has pinned another.
TCalendarDate Today();
TDateTime TodayDateTime();
// Replaces the source of today's date; an empty function restores the system clock.
void SetTodayProvider(std::function<TCalendarDate()> provider);

// Pins today's date for the lifetime of the guard (tests).
class ScopedToday {
public:
    ScopedToday(int year, int month, int day);
    ~ScopedToday();
    ScopedToday(const ScopedToday&) = delete;
    ScopedToday& operator=(const ScopedToday&) = delete;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12

// Calendar fields to a date-time; nullopt for fields that form no date (years 1..9999)
// or no time of day (hours 0..23).
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int millisecond = 0);
// Splits a date-time, rounded to the millisecond; nullopt outside years 1..9999 or for
// a value that is no number.
std::optional<TDateTimeParts> DecodeDateTime(TDateTime value);

// Value texts. Empty for a value outside years 1..9999.
std::string DateText(TDateTime value);      // "05.03.2024"
std::string TimeText(TDateTime value);      // "7:05:00" (time of day only)
std::string DateTimeText(TDateTime value);  // "05.03.2024 7:05:00", or "05.03.2024" at midnight

// Parsers of user and dictionary texts. Surrounding spaces are ignored.
// Date: d.m.yyyy, d.m.yy (00-49 -> 20yy, 50-99 -> 19yy) or d.m (this year).
std::optional<TDateTime> ParseDateText(std::string_view text);
// Time: h:m or h:m:s.
std::optional<TDateTime> ParseTimeText(std::string_view text);
// Date, time, or date and time separated by spaces or by "_" (the dictionary's form
// "1.01.2000_0:00:00").
std::optional<TDateTime> ParseDateTimeText(std::string_view text);

// Integer text: optional sign and decimal digits within 32 bits.
std::optional<std::int32_t> ParseIntegerText(std::string_view text);
// Real text: optional sign, digits with a decimal comma or point, optional exponent.
// Infinities, NaNs and values beyond the double range are refused.
std::optional<double> ParseRealText(std::string_view text);

// The shortest text that reads back as exactly `value` ("123,45", "0,1", "1E-20");
// fixed notation for decimal exponents -5..14, scientific beyond. NaN and the
// infinities give "".
std::string RealText(double value);
// The same for a single-precision value: the shortest text that reads back as the
// same float (a 4-byte real read from a meter shows as "0,1", not 0,100000001490116).
std::string RealTextOfFloat(float value);
// Fixed notation with `decimals` places after the comma after rounding to 15
// significant digits; scientific when the integer part needs more than 15 digits.
std::string FixedRealText(double value, int decimals);

}  // namespace codec

// Display helpers shared with the reports. All give "" for the date-time 0.
std::string FormatDateText(TDateTime value);      // "05.03.2024"
std::string FormatTimeText(TDateTime value);      // "07:05" (hours and minutes)
std::string FormatDateTimeText(TDateTime value);  // "05.03.2024 07:05"
std::string FormatDayMonthText(TDateTime value);  // "5 марта"

// Texts inside meter areas are in the OEM (DOS) Cyrillic code page, CP866; texts in
// memory are UTF-8 (the "ANSI" side of the conversion). Empty in, empty out.
std::string OemToAnsiText(std::string_view oem);
std::string AnsiToOemText(std::string_view text);
