#pragma once
// Date-times as the rest of the program holds them (a double counting days from
// 30.12.1899, the time of day as the fraction) and their text forms in the database:
// DATE columns hold 'YYYY-MM-DD', TIME columns 'HH:MM:SS', full moments
// 'YYYY-MM-DD HH:MM:SS'. Text of this fixed form sorts and compares like the moment.

#include <optional>
#include <string>
#include <string_view>

using TDateTime = double;

// Day number and time fraction from calendar fields. Out-of-range fields are the
// caller's mistake; the functions below never produce them.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second);

// Local wall-clock time now; today at midnight.
TDateTime NowDateTime();
TDateTime TodayDate();

// The day (time of day dropped).
TDateTime DateOf(TDateTime value);

// 'YYYY-MM-DD' of the day of `value`.
std::string SqlDateText(TDateTime value);
// 'HH:MM:SS' of the time of day of `value`, rounded to the nearest second.
std::string SqlTimeText(TDateTime value);
// 'YYYY-MM-DD HH:MM:SS'.
std::string SqlDateTimeText(TDateTime value);

// Parse the three forms back. A date-time text also parses as a date (its time
// is kept); nullopt for anything malformed or out of range.
std::optional<TDateTime> ParseSqlDate(std::string_view text);
std::optional<TDateTime> ParseSqlTime(std::string_view text);
std::optional<TDateTime> ParseSqlDateTime(std::string_view text);
