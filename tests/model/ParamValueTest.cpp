// TCounterParam apart from the area: loading from a Params row with its default,
// getters and setters with ranges and enumerations, the DataValue form.
#include "ModelTestSupport.h"

#include "db/ValueStore.h"
#include "model/CounterParam.h"

#include <gtest/gtest.h>

using namespace modeltest;

namespace {

ParamLayout Int(int width, int minValue = 0, int maxValue = 0, int paramId = 1000) {
    return {.Type = 1, .Width = width, .MinValue = minValue, .MaxValue = maxValue, .ParamID = paramId};
}
ParamLayout Typed(int type, int width, std::optional<int> mask = std::nullopt) {
    return {.Type = type, .Width = width, .Mask = mask};
}
ParamLayout WithDefault(int type, int width, const char* def) { return {.Type = type, .Width = width, .Default = def}; }

TEST(ParamLoading, DefaultValuesFollowTheType) {
    codec::ScopedToday today(2024, 6, 15);
    struct {
        ParamLayout layout;
        const char* value;
    } cases[] = {
        {WithDefault(2, 7, "1"), "1"},
        {WithDefault(2, 7, "0.5"), "0,5"},
        {WithDefault(2, 7, "abc"), ""},
        {WithDefault(5, 4, "1.01.2000_0:00:00"), "01.01.2000"},
        {WithDefault(11, 2, "1.05.2000_2:00:00"), "01.05.2000 2:00:00"},
        {WithDefault(6, 1, "15"), "15"},
        {WithDefault(7, 1, "03"), "3"},
        {WithDefault(7, 1, "x"), ""},
        {WithDefault(15, 2, "23:00:00"), "23:00:00"},
        {WithDefault(15, 2, "0:00"), "0:00:00"},
        {WithDefault(16, 2, "1.05.2000"), "01.05.2000"},
        {WithDefault(1, 4, "0"), "0"},
        {WithDefault(3, 6, "РУБ."), "РУБ."},
        {WithDefault(24, 2, "1.01.2000_00:00:00"), "1.01.2000_00:00:00"},
        {WithDefault(20, 1, "5"), "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout.Default);
        EXPECT_EQ(MakeParam(c.layout).Value, c.value);
    }
}

TEST(ParamLoading, DefinitionColumns) {
    EnsureParamTypes();
    TParamRow row = RowOf({.Type = 23, .Width = 1, .Offset = 17, .Mask = 240, .ParamID = 77, .Name = "Тариф"});
    row.IsReadOnly = true;
    row.IsFileIndex = true;
    row.MinIndex = 2;
    row.MaxIndex = 5;
    row.MaxDaySave = 45;
    TCounterParam p(77);
    p.LoadFromParamRow(row);
    EXPECT_EQ(p.ParamName, "Тариф");
    EXPECT_EQ(p.TypeNumber(), 23);
    EXPECT_EQ(p.FileOffset, 17);
    EXPECT_EQ(p.Mask, 240);
    EXPECT_TRUE(p.IsReadOnly);
    EXPECT_TRUE(p.IsFileIndex);
    EXPECT_EQ(p.ParamIndex, 2) << "an index outside the range falls back to MinIndex";
    EXPECT_EQ(p.MaxDaySave, 45);

    row.Mask.reset();
    row.ParamType = 99;
    TCounterParam q(78);
    q.LoadFromParamRow(row);
    EXPECT_EQ(q.Mask, 0) << "a null mask reads as 0";
    EXPECT_EQ(q.ParamType, ParamTypeList.First()) << "an unknown type falls back to the first";

    q.SetIndex(4);
    EXPECT_EQ(q.ParamIndex, 4);
    q.SetIndex(6);
    EXPECT_EQ(q.ParamIndex, 2);
}

TEST(ParamLoading, CopyFromLeavesYearBaseAndMarked) {
    TCounterParam a = MakeParam({.Type = 5, .Width = 4, .Offset = 9, .ParamID = 22, .Name = "Дата"});
    a.Value = "01.01.2000";
    a.YearBase = 1900;
    a.Marked = true;
    TCounterParam b(0);
    b.CopyFrom(a);
    EXPECT_EQ(b.ParamID, 22);
    EXPECT_EQ(b.Value, "01.01.2000");
    EXPECT_EQ(b.FileOffset, 9);
    EXPECT_EQ(b.ParamType, a.ParamType);
    EXPECT_EQ(b.YearBase, 0);
    EXPECT_FALSE(b.Marked);
}

TEST(ParamSetters, RangesAndFieldWidths) {
    struct {
        const char* label;
        ParamLayout layout;
        std::int64_t value;
        bool taken;
    } ints[] = {
        {"in range", Int(1, 0, 100), 100, true},
        {"above range", Int(1, 0, 100), 101, false},
        {"below range", Int(1, 0, 100), -1, false},
        {"unsigned byte", Int(1), 255, true},
        {"wider than a byte", Int(1), 256, false},
        {"negative in unsigned byte", Int(1), -1, false},
        {"signed byte range wider than the field", Int(1, -200, 200), 200, false},
        {"signed byte", Int(1, -200, 200), -128, true},
        {"unsigned word", Int(2), 65535, true},
        {"beyond word", Int(2), 65536, false},
        {"identifier word", Int(2, 0, 0, 5), -16384, true},
        {"identifier beyond", Int(2, 0, 0, 5), 0xC000, false},
        {"three bytes", Int(3), 0xFFFFFF, true},
        {"beyond three bytes", Int(3), 0x1000000, false},
        {"dword lowest", Int(4), INT32_MIN, true},
        {"beyond dword", Int(4), 1LL << 32, false},
        {"not an integer type", Typed(2, 7), 5, false},
    };
    for (const auto& c : ints) {
        SCOPED_TRACE(c.label);
        TCounterParam p = MakeParam(c.layout);
        p.Value = "old";
        EXPECT_EQ(p.SetAsInteger(c.value), c.taken);
        EXPECT_EQ(p.Value, c.taken ? std::to_string(c.value) : "old");
    }

    struct {
        const char* label;
        ParamLayout layout;
        double value;
        bool taken;
    } reals[] = {
        {"in range", {.Type = 2, .Width = 7, .MinValue = 0, .MaxValue = 1000}, 999.5, true},
        {"above range", {.Type = 2, .Width = 7, .MinValue = 0, .MaxValue = 1000}, 1000.5, false},
        {"beyond the BCD exponent", Typed(2, 7), 1e70, false},
        {"below the BCD exponent", Typed(2, 6), 1e-70, false},
        {"beyond a single", Typed(36, 4), 1e39, false},
        {"double", Typed(35, 8), 1e300, true},
        {"price", Typed(27, 4), 21474836.47, true},
        {"price beyond 32 bits", Typed(27, 4), 21474836.48, false},
        {"not a number", Typed(2, 8), std::numeric_limits<double>::quiet_NaN(), false},
        {"not a real type", Int(4), 1, false},
    };
    for (const auto& c : reals) {
        SCOPED_TRACE(c.label);
        TCounterParam p = MakeParam(c.layout);
        p.Value = "old";
        EXPECT_EQ(p.SetAsFloat(c.value), c.taken);
        if (!c.taken) {
            EXPECT_EQ(p.Value, "old");
        }
    }
}

TEST(ParamSetters, TextsByType) {
    codec::ScopedToday today(2024, 6, 15);
    struct {
        const char* label;
        ParamLayout layout;
        std::string_view text;
        const char* value;  // nullptr: refused, Value unchanged
    } cases[] = {
        {"integer", Int(2), " 42 ", "42"},
        {"integer out of range", Int(1, 0, 100), "255", nullptr},
        {"integer not a number", Int(2), "12a", nullptr},
        {"real with comma", Typed(2, 7), "1,25", "1,25"},
        {"real with point", Typed(35, 8), "1.25", "1,25"},
        {"real 36", Typed(36, 4), "-3", "-3"},
        {"real not a number", Typed(2, 7), "x", nullptr},
        {"price", Typed(27, 4), "12,345", "12,345"},
        {"boolean one", Typed(4, 1, 1), "1", "1"},
        {"boolean yes", Typed(4, 1, 1), "Да", "1"},
        {"boolean other", Typed(4, 1, 1), "x", "0"},
        {"date-time dictionary form", Typed(5, 4), "15.06.2024_10:30:00", "15.06.2024 10:30:00"},
        {"date-time typed", Typed(5, 4), "15.06.2024 10:30", "15.06.2024 10:30:00"},
        {"date-time garbage", Typed(5, 4), "вчера", nullptr},
        {"transition date", Typed(11, 2), "31.03.2024_2:00:00", "31.03.2024 2:00:00"},
        {"time", Typed(15, 2), "7:05", "7:05:00"},
        {"time invalid", Typed(15, 2), "7:65", nullptr},
        {"day and month", Typed(16, 2), "05.03.2024 10:00", "05.03.2024"},
        {"profile time keeps its time", Typed(24, 2), "17.05.2024 10:15", "17.05.2024 10:15:00"},
        {"century date", Typed(32, 4), "15.06.2024", "15.06.2024"},
        {"century date garbage", Typed(32, 4), "завтра", nullptr},
        {"text", Typed(3, 6), "РУБ.", "РУБ."},
        {"text exactly the width", Typed(3, 4), "ABCD", "ABCD"},
        {"text longer than the field", Typed(3, 4), "ABCDE", nullptr},
        {"text outside the meter's code page", Typed(3, 8), "5 €", nullptr},
        {"text with a zero", Typed(3, 8), std::string_view("A\0B", 3), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TCounterParam p = MakeParam(c.layout);
        p.Value = "old";
        EXPECT_EQ(p.SetAsText(std::string(c.text)), c.value != nullptr);
        EXPECT_EQ(p.Value, c.value ? c.value : "old");
    }
}

TEST(ParamSetters, DateTimeSetter) {
    TCounterParam dt = MakeParam(Typed(5, 4));
    ASSERT_TRUE(dt.SetAsDateTime(0));
    EXPECT_EQ(dt.Value, "30.12.1899 0:00:00");
    ASSERT_TRUE(dt.SetAsDateTime(36526.5));
    EXPECT_EQ(dt.Value, "01.01.2000 12:00:00");
    EXPECT_FALSE(dt.SetAsDateTime(1e300));

    TCounterParam time = MakeParam(Typed(15, 2));
    ASSERT_TRUE(time.SetAsDateTime(36526.75));
    EXPECT_EQ(time.Value, "18:00:00");

    TCounterParam holiday = MakeParam(Typed(16, 2));
    ASSERT_TRUE(holiday.SetAsDateTime(36526));
    EXPECT_EQ(holiday.Value, "01.01.2000");
    ASSERT_TRUE(holiday.SetAsDateTime(0));  // no date
    EXPECT_EQ(holiday.Value, "");

    TCounterParam number = MakeParam(Int(4));
    number.Value = "5";
    EXPECT_FALSE(number.SetAsDateTime(36526));
    EXPECT_EQ(number.Value, "5");
}

TEST(ParamSetters, RefusedValuesNeverReachTheArea) {
    TCounterParam p = MakeParam(Int(1, 0, 100));
    ASSERT_TRUE(p.SetAsInteger(42));
    EXPECT_FALSE(p.SetAsInteger(255));
    EXPECT_FALSE(p.SetAsText("255"));
    EXPECT_FALSE(p.SetAsFloat(255));
    const std::uint8_t stored[] = {0xFF};
    p.LoadValueFromField(stored);
    TAreaImage image{};
    p.EncodeToArea(image, kBigEndianVersion);
    EXPECT_EQ(image[3], 42);
}

TEST(ParamEnumerations, MembershipGettersSettersAndNames) {
    TCounterParam p = MakeParam(Typed(6, 1));  // 1, 3, 5, 10, 15, 30, 60 minutes
    EXPECT_EQ(p.GetAsInteger(), 1) << "no value: the first entry";
    EXPECT_EQ(p.GetDisplayText(), "1 минута");

    EXPECT_TRUE(p.SetAsInteger(30));
    EXPECT_EQ(p.Value, "30");
    EXPECT_EQ(p.GetDisplayText(), "30 минут");
    EXPECT_FALSE(p.SetAsInteger(2));
    EXPECT_EQ(p.Value, "30");
    EXPECT_TRUE(p.SetAsFloat(15.0));
    EXPECT_EQ(p.Value, "15");
    EXPECT_FALSE(p.SetAsFloat(15.5));
    EXPECT_TRUE(p.SetAsDateTime(5));
    EXPECT_EQ(p.Value, "5");
    EXPECT_TRUE(p.SetAsText("60 минут"));
    EXPECT_EQ(p.Value, "60");
    EXPECT_FALSE(p.SetAsText("60")) << "texts are names, not numbers";
    EXPECT_FALSE(p.SetAsText("2 минуты"));
    EXPECT_EQ(p.Value, "60");
    EXPECT_EQ(p.GetAsFloat(), 60);
    EXPECT_TRUE(p.GetAsBoolean());

    p.Value = "3,0";
    EXPECT_EQ(p.GetAsInteger(), 3) << "compared as numbers";
    EXPECT_EQ(p.GetDisplayText(), "3 минуты");
    p.Value = "7";
    EXPECT_EQ(p.GetAsInteger(), 1);
    EXPECT_EQ(p.GetDisplayText(), "1 минута");

    TCounterParam permission = MakeParam(Typed(9, 1));  // 0 allowed, 1 forbidden
    EXPECT_TRUE(permission.SetAsBoolean(true));
    EXPECT_EQ(permission.GetDisplayText(), "Запрещено");
    EXPECT_TRUE(permission.GetAsBoolean());
}

TEST(ParamGetters, NonEnumerationTypes) {
    TCounterParam real = MakeParam(Typed(2, 7));
    real.Value = "2,5";
    EXPECT_EQ(real.GetAsFloat(), 2.5);
    EXPECT_EQ(real.GetAsInteger(), 0);
    EXPECT_FALSE(real.GetAsBoolean());

    TCounterParam integer = MakeParam(Int(4));
    integer.Value = "12";
    EXPECT_EQ(integer.GetAsInteger(), 12);
    EXPECT_EQ(integer.GetAsFloat(), 0);
    integer.Value = "junk";
    EXPECT_EQ(integer.GetAsInteger(), 0);
    EXPECT_EQ(integer.GetDisplayText(), "");
    integer.Value = "";
    EXPECT_EQ(integer.GetDisplayText(), "") << "no value shows as nothing";

    TCounterParam flag = MakeParam(Typed(4, 1, 1));
    flag.Value = "1";
    EXPECT_TRUE(flag.GetAsBoolean());
    EXPECT_EQ(flag.GetDisplayText(), "Да");

    TCounterParam when = MakeParam(Typed(5, 4));
    when.Value = "01.01.2000 12:00:00";
    EXPECT_EQ(when.GetAsDateTime(), 36526.5);
    when.Value = "30.12.1899";
    EXPECT_EQ(when.GetDisplayText(), "") << "the date 0 is no date";
}

struct BlobCase {
    const char* label;
    ParamLayout layout;
    const char* value;
    const char* blob;
    const char* loaded = nullptr;  // value after loading the blob back, when not `value`
};

TEST(ParamDataValue, SavesAndLoadsEveryForm) {
    const BlobCase cases[] = {
        {"int1", Int(1), "200", "C8"},
        {"int1 signed", Int(1, -100, 100), "-1", "FF"},
        {"int2 little-endian whatever the meter", Int(2), "1000", "E8 03"},
        {"identifier without its offset", Int(2, 0, 0, 5), "100", "64 00"},
        {"int3 signed", Int(3, -1000, 1000), "-5", "FB FF FF"},
        {"int4", Int(4), "-1", "FF FF FF FF"},
        {"int no value", Int(4), "", "", ""},
        {"real", Typed(2, 7), "123,45", "CD CC CC CC CC DC 5E 40"},
        {"price", Typed(27, 4), "1,5", "00 00 00 00 00 00 F8 3F"},
        {"power is stored but not read back", Typed(33, 3), "16", "00 00 00 00 00 00 30 40", ""},
        {"text in the ANSI code page", Typed(3, 8), "РУБ.", "D0 D3 C1 2E"},
        {"boolean", Typed(4, 1, 1), "1", "01"},
        {"boolean off", Typed(4, 1, 2), "0", "00"},
        {"date-time", Typed(5, 4), "01.01.2000 12:00:00", "00 00 00 00 D0 D5 E1 40"},
        {"date-time no value", Typed(5, 4), "", "", ""},
        {"time", Typed(15, 2), "12:00:00", "00 00 00 00 00 00 E0 3F"},
        {"day and month", Typed(16, 2), "01.01.2000", "00 00 00 00 C0 D5 E1 40"},
        {"century date", Typed(32, 4), "01.01.2000", "00 00 00 00 C0 D5 E1 40"},
        {"enumeration", Typed(6, 1), "15", "0F"},
        {"enumeration 30", Typed(30, 1), "200", "C8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TCounterParam p = MakeParam(c.layout);
        p.Value = c.value;
        const TDataValue blob = p.SaveValueToField();
        EXPECT_EQ(HexOf(blob.data(), blob.size()), HexOf(Hex(c.blob).data(), Hex(c.blob).size()));

        TValueRecord record;
        p.ValueToRecord(record);
        EXPECT_EQ(record.Length, static_cast<std::int32_t>(blob.size()));

        TCounterParam q = MakeParam(c.layout);
        q.LoadValueFromField(blob);
        EXPECT_EQ(q.Value, c.loaded ? c.loaded : c.value);
    }
}

TEST(ParamDataValue, ShortOrEmptyFieldsLeaveTheValue) {
    for (const ParamLayout& s : {Int(4), Typed(2, 8), Typed(5, 4), Typed(15, 2), Typed(6, 1)}) {
        TCounterParam p = MakeParam(s);
        p.Value = "keep";
        const std::uint8_t three[] = {1, 2, 3};
        p.LoadValueFromField(std::span<const std::uint8_t>(three, s.Type == 6 ? 0 : 3));
        EXPECT_EQ(p.Value, "keep") << s.Type;
    }
}

TEST(ParamDataValue, LongTextsAreCutToTheField) {
    TCounterParam p = MakeParam(Typed(3, 80));
    std::string sixty, fifty;
    for (int i = 0; i < 60; ++i) sixty += "Ж";
    for (int i = 0; i < 50; ++i) fifty += "Ж";
    p.Value = sixty;
    const TDataValue blob = p.SaveValueToField();
    EXPECT_EQ(blob.size(), kDataValueMaxBytes);
    TValueRecord record;
    p.ValueToRecord(record);
    EXPECT_EQ(record.Length, 50);
    EXPECT_EQ(BlobAsText(blob), fifty);
}

TEST(ParamDataValue, BlobReaders) {
    const auto two = Hex("34 12"), four = Hex("FF FF FF FF"), five = Hex("01 02 03 04 05");
    const auto real = Hex("00 00 00 00 D0 D5 E1 40"), text = Hex("D0 D3 C1 2E");
    EXPECT_EQ(BlobAsInteger(two), 0x1234);
    EXPECT_EQ(BlobAsInteger(four), 4294967295LL);
    EXPECT_EQ(BlobAsInteger(five), 0);
    EXPECT_EQ(BlobAsInteger({}), 0);
    EXPECT_EQ(BlobAsFloat(real), 36526.5);
    EXPECT_EQ(BlobAsDateTime(real), 36526.5);
    EXPECT_EQ(BlobAsFloat(five), 0);
    EXPECT_EQ(BlobAsText(text), "РУБ.");
    EXPECT_EQ(BlobAsText({}), "");
}

TEST(ParamDataValue, QueueingWithoutAWriterFails) {
    TCounterParam p = MakeParam(Int(4));
    p.Value = "5";
    EXPECT_FALSE(p.QueueValue(1, 0, false));
}

}  // namespace
