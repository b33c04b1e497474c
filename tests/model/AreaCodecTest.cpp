// Area codec of the 36 parameter types: known bytes decode to the expected value and
// display text and encode back to the same bytes, in both byte orders.
#include "ModelTestSupport.h"

#include "model/CounterParam.h"
#include "model/ValueText.h"
#include "shell/MeterVersion.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace modeltest;

namespace {

struct AreaCase {
    const char* Label;
    ParamLayout Layout;
    const char* Bytes;    // the field as a big-endian meter holds it
    const char* Value;    // expected value text after decoding
    const char* Display;  // expected display text
    const char* Encoded = nullptr;  // bytes written back, when not the same (big-endian form)
    bool WholeValue = false;
    int YearBase = 0;
};

ParamLayout Int(int width, int minValue = 0, int maxValue = 0, int paramId = 1000) {
    return {.Type = 1, .Width = width, .MinValue = minValue, .MaxValue = maxValue, .ParamID = paramId};
}
ParamLayout Typed(int type, int width, std::optional<int> mask = std::nullopt) {
    return {.Type = type, .Width = width, .Mask = mask};
}
ParamLayout Named(int type, int width, const char* name) { return {.Type = type, .Width = width, .Name = name}; }

// Types whose field is one 16- or 32-bit word in the meter's byte order.
bool IsVersionOrdered(const ParamLayout& s) {
    switch (s.Type) {
        case 1: return s.Width == 2 || s.Width == 4;
        case 5: case 11: case 15: case 16: case 24: case 27: case 32: return true;
        default: return false;
    }
}

std::vector<std::uint8_t> InOrder(const ParamLayout& s, std::vector<std::uint8_t> bytes, bool littleEndian) {
    if (littleEndian && IsVersionOrdered(s)) std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

const AreaCase kCases[] = {
    // Integers of 1 to 4 bytes.
    {"int1 unsigned", Int(1), "FF", "255", "255"},
    {"int1 signed", Int(1, -100, 100), "FF", "-1", "-1"},
    {"int1 signed lowest", Int(1, -128, 127), "80", "-128", "-128"},
    {"int2 unsigned 1000", Int(2), "03 E8", "1000", "1000"},
    {"int2 signed", Int(2, -1000, 1000), "FF FE", "-2", "-2"},
    {"int2 unsigned top", Int(2), "FF FE", "65534", "65534"},
    {"int2 identifier +0x4000", Int(2, 0, 0, 5), "40 64", "100", "100"},
    {"int2 identifier below 0x4000", Int(2, 0, 0, 320), "3F FF", "-1", "-1"},
    {"int2 identifier range end", Int(2, 0, 0, 545), "00 00", "-16384", "-16384"},
    {"int3 most significant first", Int(3), "12 34 56", "1193046", "1193046"},
    {"int3 signed", Int(3, -1000, 1000), "FF FF FB", "-5", "-5"},
    {"int4", Int(4), "12 34 56 78", "305419896", "305419896"},
    {"int4 negative", Int(4), "FF FF FF FF", "-1", "-1"},
    // Reals: IEEE little-endian whatever the version, and BCD with an exponent byte.
    {"real4", Typed(2, 4), "CD CC CC 3D", "0,1", "0,1000"},
    {"real4 type 36 negative", Typed(36, 4), "00 00 20 C0", "-2,5", "-2,5000"},
    {"real8 type 35", Typed(35, 8), "CD CC CC CC CC DC 5E 40", "123,45", "123,4500"},
    {"real8 large", Typed(2, 8), "40 8C B5 78 1D AF 15 44", "1E20", "1E20"},
    {"real8 tiny", Typed(2, 8), "59 F3 F8 C2 1F 6E A5 01", "1E-300", "0,0000"},
    {"real8 negative", Typed(2, 8), "FC A9 F1 D2 4D 62 50 BF", "-0,001", "-0,0010"},
    {"bcd7 123.45", Typed(2, 7), "12 34 50 00 00 00 43", "123,45", "123,4500"},
    {"bcd7 -0.05", Typed(2, 7), "50 00 00 00 00 00 BF", "-0,05", "-0,0500"},
    {"bcd7 zero", Typed(2, 7), "00 00 00 00 00 00 41", "0", "0,0000"},
    {"bcd7 all bytes zero", Typed(2, 7), "00 00 00 00 00 00 00", "0", "0,0000", "00 00 00 00 00 00 41"},
    {"bcd7 large", Typed(2, 7), "12 34 56 78 90 12 73", "1,23456789012E50", "1,23456789012E50"},
    {"bcd7 tiny", Typed(2, 7), "10 00 00 00 00 00 05", "1E-60", "0,0000"},
    {"bcd7 twelve digits", Typed(2, 7), "98 76 54 32 10 98 46", "987654,321098", "987654,3211"},
    {"bcd6 123.45", Typed(2, 6), "12 34 50 00 00 43", "123,45", "123,4500"},
    {"bcd6 negative large", Typed(2, 6), "99 99 99 99 99 CA", "-9999999999", "-9999999999,0000"},
    // OEM strings; zero bytes are padding wherever they stand.
    {"oem text", Typed(3, 8), "90 93 81 2E 00 00 00 00", "РУБ.", "РУБ."},
    {"oem embedded zeros", Typed(3, 8), "41 00 42 00 43 00 00 00", "ABC", "ABC", "41 42 43 00 00 00 00 00"},
    {"oem full width", Typed(3, 4), "8F A5 E0 AC", "Перм", "Перм"},
    // Booleans by mask.
    {"bool mask 4 set", Typed(4, 1, 4), "04", "1", "Да"},
    {"bool mask 4 clear", Typed(4, 1, 4), "03", "0", "Нет", "00"},
    {"bool two-bit mask partly set", Typed(4, 1, 6), "02", "0", "Нет", "00"},
    // Packed date-times with the century base.
    {"datetime 2024", Typed(5, 4), "30 CF 53 CA", "15.06.2024 10:30:20", "15.06.2024 в 10:30"},
    {"datetime 2024 base 1900", Typed(5, 4), "30 CF 53 CA", "15.06.2024 10:30:20", "15.06.2024 в 10:30", nullptr,
     false, 1900},
    {"datetime 1999", Typed(5, 4), "C7 9F BF 7D", "31.12.1999 23:59:58", "31.12.1999 в 23:59"},
    {"datetime midnight", Typed(5, 4), "00 21 00 00", "01.01.2000", "01.01.2000 в 00:00"},
    {"datetime invalid month", Typed(5, 4), "01 A1 00 00", "30.12.1899", "", "00 00 00 00"},
    // Month/day/hour words: the year is today's (pinned to 15.06.2024 below).
    {"transition date", Typed(11, 2), "0F E2", "31.03.2024 2:00:00", "31 марта в 02:00"},
    {"transition date empty", Typed(11, 2), "00 00", "", ""},
    {"transition date month 13", Typed(11, 2), "34 21", "", "", "00 00"},
    {"time", Typed(15, 2), "07 05", "7:05:00", "07:05"},
    {"time end of zone at 24", Named(15, 2, "Окончание временной зоны 1"), "18 00", "0:00:00", "00:00"},
    {"time 24 in a start", Named(15, 2, "Начало временной зоны 1"), "18 00", "0:00:00", "00:00", "00 00"},
    {"day and month", Typed(16, 2), "0C 1F", "31.12.2024", "31 декабря"},
    {"day and month invalid", Typed(16, 2), "0D 01", "", "", "00 00"},
    {"profile time", Typed(24, 2), "58 A9", "17.05.2024 10:15:00", ""},
    {"profile time last year", Typed(24, 2), "CF DF", "31.12.2023 23:45:00", ""},
    {"century date", Typed(32, 4), "14 18 06 0F", "15.06.2024", ""},
    {"century date invalid", Typed(32, 4), "14 18 02 1E", "", "", "00 00 00 00"},
    // Prices.
    {"price in hundredths", Typed(27, 4), "00 00 30 39", "123,45", "123,45"},
    {"price negative", Typed(27, 4), "FF FF FF 6A", "-1,5", "-1,50"},
    {"price whole", Typed(27, 4), "00 00 30 39", "12345", "12345,00", nullptr, true},
    // Decimal power: read only, nothing is written.
    {"power", Typed(33, 3), "8A 00 10", "16", "", "00 00 00"},
    {"power with exponent", Typed(33, 3), "85 01 2C", "65,836", "", "00 00 00"},
    // Enumerations.
    {"enum integration period", Typed(6, 1), "0F", "15", "15 минут"},
    {"enum phase", Typed(7, 1), "03", "3", "Все фазы"},
    {"enum gain", Typed(8, 1), "02", "2", "Усиление 1024"},
    {"enum permission", Typed(9, 1), "01", "1", "Запрещено"},
    {"enum digits bits 0-1", Typed(10, 1), "02", "2", "2 разряда"},
    {"enum day type", Typed(12, 1), "01", "1", "Выходной"},
    {"enum season", Typed(13, 1), "04", "4", "Сезон E"},
    {"enum tariff 14", Typed(14, 1), "13", "19", "Тариф №19"},
    {"enum divider bits 0-1", Typed(17, 1), "01", "1", "Делитель 8"},
    {"enum mode bit 2", Typed(18, 1), "04", "1", "Режим реактивной"},
    {"enum transition bit 1", Typed(19, 1), "02", "1", "Переход автом. (Евро-2)"},
    {"enum tariff 20", Typed(20, 1), "47", "71", "Тариф №72"},
    {"enum correction bit 1", Typed(21, 1), "00", "0", "-0,5 с"},
    {"enum integration bits 4-5", Typed(22, 1), "30", "3", "60 минут"},
    {"enum tariff high nibble", Typed(23, 1, 240), "50", "5", "Тариф №6"},
    {"enum tariff low nibble", Typed(23, 1, 15), "07", "7", "Тариф №8"},
    {"enum range bits 3-5", Typed(25, 1), "10", "2", "Отображать в МВт*ч"},
    {"enum state on", Typed(26, 1), "00", "0", "Включен"},
    {"enum state forced on", Typed(26, 1), "03", "1", "Принудительно включен"},
    {"enum state forced off", Typed(26, 1), "01", "2", "Принудительно отключен"},
    {"enum state off reads bit 2, writes bit 6", Typed(26, 1), "04", "3", "Отключен по прев-ю или вручную", "40"},
    {"enum display bit 6", Typed(28, 1), "40", "1", "Отображать полную энергию"},
    {"enum channel 2 by command", Typed(29, 1, 2), "20", "2", "По команде"},
    {"enum channel 2 by keyboard", Typed(29, 1, 2), "02", "1", "С клавиатуры "},
    {"enum channel 2 both bits", Typed(29, 1, 2), "22", "2", "По команде", "20"},
    {"enum control by tariff", Typed(30, 1), "81", "129", "При действии тарифа №1"},
    {"enum control by zone", Typed(30, 1), "10", "16", "По временной зоне 16"},
    {"enum control 31", Typed(31, 1), "08", "8", "При действии тарифа №8"},
    {"enum baud rate", Typed(34, 1), "07", "7", "115200"},
    {"enum outside entries", Typed(6, 1), "02", "", "1 минута", "01"},
};

class AreaCodec : public ::testing::TestWithParam<AreaCase> {
protected:
    CodecStateGuard state;
    codec::ScopedToday today{2024, 6, 15};
};

TEST_P(AreaCodec, DecodesAndEncodesInBothByteOrders) {
    const AreaCase& c = GetParam();
    for (const std::int32_t version : {kBigEndianVersion, kLittleEndianVersion}) {
        SCOPED_TRACE(version);
        WholeValueMode = c.WholeValue;
        const bool le = IsLittleEndianVersion(version);
        const auto field = InOrder(c.Layout, Hex(c.Bytes), le);
        const auto expected = InOrder(c.Layout, Hex(c.Encoded ? c.Encoded : c.Bytes), le);

        TAreaImage image{};
        std::copy(field.begin(), field.end(), image.begin() + c.Layout.Offset);
        TCounterParam p = MakeParam(c.Layout);
        p.YearBase = static_cast<std::uint16_t>(c.YearBase);
        p.DecodeFromArea(image, version);
        EXPECT_EQ(p.Value, c.Value);
        EXPECT_EQ(p.GetDisplayText(), c.Display);

        TAreaImage out{};
        const auto written = p.TryEncodeToArea(out, version);
        ASSERT_TRUE(written.has_value());
        EXPECT_EQ(*written, c.Layout.Type == 4 ? (c.Layout.Mask == 1 ? 1 : 0) : c.Layout.Width);
        EXPECT_EQ(HexOf(out.data() + c.Layout.Offset, expected.size()), HexOf(expected.data(), expected.size()));
        // Nothing outside the field is touched.
        std::fill(out.begin() + c.Layout.Offset, out.begin() + c.Layout.Offset + static_cast<long>(expected.size()), 0);
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0; }));
    }
}

INSTANTIATE_TEST_SUITE_P(TypeFamilies, AreaCodec, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<AreaCase>& info) {
                             std::string name;
                             for (char ch : std::string(info.param.Label)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name + "_" + std::to_string(info.index);
                         });

TEST(AreaCodecEdges, IntegerWordFollowsTheVersionByteOrder) {
    CodecStateGuard state;
    TCounterParam p = MakeParam(Int(2));
    ASSERT_TRUE(p.SetAsInteger(1000));
    TAreaImage image{};
    CurrentVersion = 36;
    p.EncodeToArea(image);
    EXPECT_EQ(HexOf(&image[3], 2), "E8 03");
    image = {};
    CurrentVersion = 4;
    p.EncodeToArea(image);
    EXPECT_EQ(HexOf(&image[3], 2), "03 E8");
}

TEST(AreaCodecEdges, ByteOutsideTheRangeKeepsTheOldValue) {
    TCounterParam p = MakeParam(Int(1, 0, 100));
    p.Value = "42";
    TAreaImage image{};
    image[3] = 0xFF;
    p.DecodeFromArea(image, kBigEndianVersion);
    EXPECT_EQ(p.Value, "42");
    image[3] = 0x64;
    p.DecodeFromArea(image, kBigEndianVersion);
    EXPECT_EQ(p.Value, "100");
}

TEST(AreaCodecEdges, BooleansSharingAByteCountItOnce) {
    TCounterParam a = MakeParam(Typed(4, 1, 1)), b = MakeParam(Typed(4, 1, 2)), c = MakeParam(Typed(4, 1, 4));
    TAreaImage image{};
    image[3] = 0x05;
    for (TCounterParam* p : {&a, &b, &c}) p->DecodeFromArea(image, kBigEndianVersion);
    EXPECT_EQ(a.Value + b.Value + c.Value, "101");

    ASSERT_TRUE(b.SetAsBoolean(true));
    ASSERT_TRUE(c.SetAsBoolean(false));
    TAreaImage out{};
    int length = 0;
    for (TCounterParam* p : {&a, &b, &c}) length += p->EncodeToArea(out, kBigEndianVersion);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(out[3], 0x03);
}

TEST(AreaCodecEdges, ProfileTimeIsWrittenAsItsQuarterCode) {
    codec::ScopedToday today(2024, 6, 15);
    TCounterParam p = MakeParam(Typed(24, 2));
    struct {
        const char* typed;
        int code;
        const char* readBack;
    } cases[] = {{"17.05.2024 10:00", 1, "17.05.2024 10:15:00"},
                 {"17.05.2024 10:16", 2, "17.05.2024 10:30:00"},
                 {"17.05.2024 10:45", 3, "17.05.2024 10:45:00"},
                 {"17.05.2024 10:50", 0, "17.05.2024 10:00:00"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ASSERT_TRUE(p.SetAsText(c.typed));
        TAreaImage image{};
        p.EncodeToArea(image, kBigEndianVersion);
        EXPECT_EQ(image[4] & 3, c.code);
        TCounterParam q = MakeParam(Typed(24, 2));
        q.DecodeFromArea(image, kBigEndianVersion);
        EXPECT_EQ(q.Value, c.readBack);
    }
}

TEST(AreaCodecEdges, TransitionDateOfFebruary29TakesTheLastLeapYear) {
    codec::ScopedToday today(2025, 3, 1);
    TCounterParam p = MakeParam(Typed(11, 2));
    TAreaImage image{};
    image[3] = 0x0B;  // month 2, day 29, hour 5
    image[4] = 0xA5;
    p.DecodeFromArea(image, kBigEndianVersion);
    EXPECT_EQ(p.Value, "29.02.2024 5:00:00");
}

TEST(AreaCodecEdges, DateOfParam776FallsBackToTheCenturyLayout) {
    TCounterParam p = MakeParam({.Type = 5, .Width = 4, .ParamID = 776});
    TAreaImage image{};
    const auto bytes = Hex("14 18 06 0F");  // no valid packed date, a valid century date
    std::copy(bytes.begin(), bytes.end(), image.begin() + 3);
    p.DecodeFromArea(image, kBigEndianVersion);
    EXPECT_EQ(p.Value, "15.06.2024");
}

TEST(AreaCodecEdges, FieldsOutsideTheImageAreNeitherReadNorWritten) {
    for (const ParamLayout& s : {ParamLayout{.Type = 1, .Width = 4, .Offset = 1023}, ParamLayout{.Type = 3, .Width = 10, .Offset = 1020},
                               ParamLayout{.Type = 2, .Width = 8, .Offset = -1}, ParamLayout{.Type = 5, .Width = 4, .Offset = 1022}}) {
        SCOPED_TRACE(s.Type);
        TCounterParam p = MakeParam(s);
        p.Value = "7";
        TAreaImage image;
        image.fill(0xAA);
        p.DecodeFromArea(image, kBigEndianVersion);
        EXPECT_EQ(p.Value, "7");
        EXPECT_FALSE(p.TryEncodeToArea(image, kBigEndianVersion).has_value());
        EXPECT_EQ(p.EncodeToArea(image, kBigEndianVersion), 0);
        EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xAA; }));
    }
}

TEST(AreaCodecEdges, ValuesThatCannotBeWrittenAreFailuresNotZeros) {
    struct {
        ParamLayout layout;
        const char* value;
    } cases[] = {
        {Int(2), ""},                       // no value
        {Int(2), "12a"},                    // no number
        {Int(1), "300"},                    // wider than the field
        {Int(2, 0, 0, 5), "50000"},         // identifier beyond the offset range
        {Typed(2, 7), "1E70"},              // exponent beyond the exponent byte
        {Typed(2, 4), "1E39"},              // beyond a single
        {Typed(27, 4), "30000000"},         // hundredths beyond 32 bits
        {Typed(5, 4), "31.02.2024"},        // no date
        {Typed(15, 2), "25:00"},            // no time
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        TCounterParam p = MakeParam(c.layout);
        p.Value = c.value;
        TAreaImage image{};
        EXPECT_FALSE(p.TryEncodeToArea(image, kBigEndianVersion).has_value());
        EXPECT_EQ(p.EncodeToArea(image, kBigEndianVersion), 0);
    }
}

TEST(AreaCodecEdges, EmptyDatesWriteNothingButKeepTheirWidth) {
    for (int type : {5, 11, 16, 24, 32}) {
        SCOPED_TRACE(type);
        TCounterParam p = MakeParam(Typed(type, type == 5 || type == 32 ? 4 : 2));
        for (const char* value : {"", "30.12.1899"}) {
            p.Value = value;
            TAreaImage image{};
            EXPECT_EQ(p.EncodeToArea(image, kBigEndianVersion), p.InFileSize);
            EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0; }));
        }
    }
}

TEST(AreaCodecEdges, UnknownTypeNumbersAreNeitherDecodedNorEncoded) {
    for (int type : {0, 37, 99}) {
        TCounterParam p = MakeParam(Typed(type, 2));
        p.ParamType = nullptr;  // no catalogue entry
        p.Value = "5";
        TAreaImage image{};
        image[3] = 0x12;
        p.DecodeFromArea(image, kBigEndianVersion);
        EXPECT_EQ(p.Value, "5");
        TAreaImage out{};
        EXPECT_EQ(p.EncodeToArea(out, kBigEndianVersion), 2);
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0; }));
    }
}

}  // namespace
