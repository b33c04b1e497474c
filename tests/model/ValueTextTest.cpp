// The fixed value-text convention: reals with a decimal comma, Russian dates and
// times, parsers of typed and dictionary texts, display helpers.
#include "model/ValueText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace codec;

namespace {

TEST(ValueText, RealTextIsTheShortestExactForm) {
    struct {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {123.45, "123,45"},
        {0.1, "0,1"},
        {-0.5, "-0,5"},
        {1e-5, "0,00001"},
        {1e-6, "1E-6"},
        {123456789012345, "123456789012345"},
        {1e15, "1E15"},
        {1.5e300, "1,5E300"},
        {1.0 / 3, "0,3333333333333333"},
        {0.1 + 0.2, "0,30000000000000004"},
    };
    for (const auto& c : cases) EXPECT_EQ(RealText(c.value), c.text) << c.value;
    EXPECT_EQ(RealText(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(RealText(std::numeric_limits<double>::infinity()), "");
    EXPECT_EQ(RealTextOfFloat(0.1f), "0,1");
    EXPECT_EQ(RealTextOfFloat(16777216.0f), "16777216");
}

TEST(ValueText, RealTextReadsBackExactly) {
    std::mt19937_64 rng(20240615);
    std::uniform_int_distribution<std::uint64_t> bits;
    int checked = 0;
    while (checked < 20000) {
        const std::uint64_t b = bits(rng);
        double x;
        std::memcpy(&x, &b, sizeof x);
        if (!std::isfinite(x)) continue;
        ++checked;
        const auto back = ParseRealText(RealText(x));
        ASSERT_TRUE(back.has_value()) << RealText(x);
        ASSERT_EQ(*back, x == 0 ? 0.0 : x) << RealText(x);
    }
}

TEST(ValueText, ParseRealTextTakesCommaOrPointAndRefusesTheRest) {
    struct {
        const char* text;
        double value;
    } good[] = {{"1,5", 1.5}, {"1.5", 1.5}, {" -2 ", -2}, {"+3", 3}, {"1e3", 1000}, {"1E-3", 0.001},
                {",5", 0.5},  {"5,", 5},     {"-0", 0},    {"1,5E+2", 150}};
    for (const auto& c : good) {
        const auto v = ParseRealText(c.text);
        ASSERT_TRUE(v.has_value()) << c.text;
        EXPECT_EQ(*v, c.value) << c.text;
    }
    for (const char* bad : {"", " ", "abc", "1,2,3", "inf", "nan", "0x10", "1e", "1 000", "1e400", "--1", "1,5 ₽", ","})
        EXPECT_FALSE(ParseRealText(bad).has_value()) << bad;
}

TEST(ValueText, FixedRealTextRoundsToFifteenDigits) {
    EXPECT_EQ(FixedRealText(2.5, 2), "2,50");
    EXPECT_EQ(FixedRealText(-0.00001, 4), "0,0000");
    EXPECT_EQ(FixedRealText(123456789012.3456, 4), "123456789012,3460");
    EXPECT_EQ(FixedRealText(0.125, 2), "0,13");
    EXPECT_EQ(FixedRealText(1e20, 4), "1E20");
}

TEST(ValueText, ParseIntegerText) {
    EXPECT_EQ(ParseIntegerText("42"), 42);
    EXPECT_EQ(ParseIntegerText(" -7 "), -7);
    EXPECT_EQ(ParseIntegerText("+5"), 5);
    EXPECT_EQ(ParseIntegerText("2147483647"), 2147483647);
    EXPECT_EQ(ParseIntegerText("-2147483648"), INT32_MIN);
    for (const char* bad : {"2147483648", "", "-", "1.0", "12a", "1 2", "99999999999999"})
        EXPECT_FALSE(ParseIntegerText(bad).has_value()) << bad;
}

TEST(ValueText, DatesAndTimes) {
    ScopedToday today(2024, 6, 15);
    EXPECT_EQ(ParseDateText("1.01.2000"), 36526);
    EXPECT_EQ(ParseDateText("30.12.1899"), 0);
    EXPECT_EQ(ParseDateText("5.3.24"), TryEncodeDate(2024, 3, 5));
    EXPECT_EQ(ParseDateText("5.3.99"), TryEncodeDate(1999, 3, 5));
    EXPECT_EQ(ParseDateText("5.3"), TryEncodeDate(2024, 3, 5));
    EXPECT_EQ(ParseDateText("29.02.2024"), TryEncodeDate(2024, 2, 29));
    for (const char* bad : {"29.02.2023", "31.04.2024", "1.13.2000", "0.01.2000", "1-01-2000", "1.01.2000.1", "", "1.01.20000"})
        EXPECT_FALSE(ParseDateText(bad).has_value()) << bad;

    EXPECT_EQ(ParseTimeText("0:00:00"), 0);
    EXPECT_EQ(ParseTimeText("12:00"), 0.5);
    EXPECT_EQ(ParseTimeText("7:05"), TryEncodeTime(7, 5, 0));
    for (const char* bad : {"24:00", "7:60", "7", "7:05:60", "a:b"}) EXPECT_FALSE(ParseTimeText(bad).has_value()) << bad;

    EXPECT_EQ(ParseDateTimeText("1.01.2000_0:00:00"), 36526);
    EXPECT_EQ(ParseDateTimeText("01.01.2000 12:00:00"), 36526.5);
    EXPECT_EQ(ParseDateTimeText("12:00"), 0.5);
    EXPECT_EQ(ParseDateTimeText("01.01.2000"), 36526);
    EXPECT_FALSE(ParseDateTimeText("01.01.2000 25:00").has_value());
    EXPECT_FALSE(ParseDateTimeText("").has_value());
    // Before the epoch the time of day counts as a positive fraction after the day.
    EXPECT_EQ(DateTimeText(*ParseDateTimeText("01.01.1899 6:00:00")), "01.01.1899 6:00:00");

    EXPECT_EQ(DateTimeText(36526), "01.01.2000");
    EXPECT_EQ(DateTimeText(36526.5), "01.01.2000 12:00:00");
    EXPECT_EQ(DateTimeText(0), "30.12.1899");
    EXPECT_EQ(DateTimeText(36526 + 86399.9996 / 86400), "02.01.2000");  // rounds, never 24:00:00
    EXPECT_EQ(DateTimeText(1e300), "");
    EXPECT_EQ(DateTimeText(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(DateText(36526.75), "01.01.2000");
    EXPECT_EQ(TimeText(36526.75), "18:00:00");
}

TEST(ValueText, DisplayHelpers) {
    const TDateTime t = *TryEncodeDate(2023, 3, 5) + *TryEncodeTime(7, 5, 9);
    EXPECT_EQ(FormatDateText(t), "05.03.2023");
    EXPECT_EQ(FormatTimeText(t), "07:05");
    EXPECT_EQ(FormatDateTimeText(t), "05.03.2023 07:05");
    EXPECT_EQ(FormatDayMonthText(t), "5 марта");
    EXPECT_EQ(FormatDayMonthText(*TryEncodeDate(2023, 12, 31)), "31 декабря");
    for (auto f : {FormatDateText, FormatDateTimeText, FormatDayMonthText}) EXPECT_EQ(f(0), "");
    EXPECT_EQ(FormatTimeText(0), "00:00");
}

TEST(ValueText, OemConversion) {
    EXPECT_EQ(AnsiToOemText("Пароль №1"), "\x8F\xA0\xE0\xAE\xAB\xEC \xFC" "1");
    EXPECT_EQ(OemToAnsiText("\x8F\xA0\xE0\xAE\xAB\xEC \xFC" "1"), "Пароль №1");
    EXPECT_EQ(AnsiToOemText(""), "");
    EXPECT_EQ(OemToAnsiText(""), "");
}

TEST(ValueText, TodayCanBePinned) {
    {
        ScopedToday today(2001, 2, 3);
        EXPECT_EQ(Today().Year, 2001);
        EXPECT_EQ(TodayDateTime(), TryEncodeDate(2001, 2, 3));
    }
    EXPECT_GE(Today().Year, 2024);
}

TEST(ValueText, IndependentOfTheMachineLocale) {
    const char* chosen = nullptr;
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_ALL, name)) {
            chosen = name;
            break;
        }
    if (!chosen) GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(RealText(1.5), "1,5");
    EXPECT_EQ(ParseRealText("1.5"), 1.5);
    EXPECT_EQ(FixedRealText(1.5, 2), "1,50");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
