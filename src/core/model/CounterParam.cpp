#include "model/CounterParam.h"

#include "db/ValueStore.h"
#include "shell/MeterVersion.h"
#include "shell/Text.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using codec::DateText;
using codec::DateTimeText;
using codec::ParseDateTimeText;
using codec::ParseIntegerText;
using codec::ParseRealText;
using codec::RealText;
using codec::TimeText;

bool IsRealType(std::int32_t t) { return t == 2 || t == 35 || t == 36; }
bool IsFloatType(std::int32_t t) { return IsRealType(t) || t == 27; }
bool IsDateTimeType(std::int32_t t) {
    return t == 5 || t == 11 || t == 15 || t == 16 || t == 24 || t == 32;
}
// Types whose value sits in bits of the single byte at FileOffset.
bool IsByteType(std::int32_t t) {
    switch (t) {
        case 4: case 6: case 7: case 8: case 9: case 10: case 12: case 13: case 14: case 17: case 18:
        case 19: case 20: case 21: case 22: case 23: case 25: case 26: case 28: case 29: case 30: case 31:
        case 34:
            return true;
        default:
            return false;
    }
}

std::uint16_t Word(const TAreaImage& img, std::size_t o, bool littleEndian) {
    return littleEndian ? static_cast<std::uint16_t>(img[o] | img[o + 1] << 8)
                        : static_cast<std::uint16_t>(img[o] << 8 | img[o + 1]);
}

std::uint32_t DWord(const TAreaImage& img, std::size_t o, bool littleEndian) {
    std::uint32_t d = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint32_t b = img[o + i];
        d |= littleEndian ? b << (8 * i) : b << (8 * (3 - i));
    }
    return d;
}

void PutWord(TAreaImage& img, std::size_t o, std::uint16_t w, bool littleEndian) {
    img[o + (littleEndian ? 0 : 1)] = static_cast<std::uint8_t>(w & 0xFF);
    img[o + (littleEndian ? 1 : 0)] = static_cast<std::uint8_t>(w >> 8);
}

void PutDWord(TAreaImage& img, std::size_t o, std::uint32_t d, bool littleEndian) {
    for (std::size_t i = 0; i < 4; ++i) {
        const auto b = static_cast<std::uint8_t>(d >> (8 * i));
        img[o + (littleEndian ? i : 3 - i)] = b;
    }
}

// Little-endian IEEE forms, whatever the machine.
std::uint64_t LittleEndian64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

double DoubleFromLittleEndian(const std::uint8_t* p) {
    const std::uint64_t bits = LittleEndian64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

float FloatFromLittleEndian(const std::uint8_t* p) {
    const std::uint32_t bits =
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void PutDoubleLittleEndian(std::uint8_t* p, double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

void PutFloatLittleEndian(std::uint8_t* p, float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// The exact decimal mantissa × 10^exponent as the nearest double.
double DecimalValue(std::uint64_t mantissa, int exponent, bool negative) {
    if (mantissa == 0) return 0;
    const std::string text = (negative ? "-" : "") + std::to_string(mantissa) + "e" + std::to_string(exponent);
    return ParseRealText(text).value_or(0);
}

// BCD real of 6 (10 digits) or 7 (12 digits) bytes: digits high nibble first, then
// the exponent byte (bit 7 the sign, value = 0.d1d2... × 10^((e AND 0x7F) - 64)).
double DecodeBcd(const std::uint8_t* p, int width) {
    const int digitBytes = width == 7 ? 6 : 5;
    if (std::all_of(p, p + width, [](std::uint8_t b) { return b == 0; })) return 0;
    std::uint64_t d = 0;
    for (int i = 0; i < digitBytes; ++i) d = (d * 10 + (p[i] >> 4)) * 10 + (p[i] & 0x0F);
    const std::uint8_t e = p[digitBytes];
    const int exponent = (e & 0x7F) - (width == 7 ? 76 : 74);
    return DecimalValue(d, exponent, (e & 0x80) != 0);
}

// The digits come from the correctly rounded decimal form of x; nullopt when the
// exponent does not fit the 7 bits of the exponent byte.
bool EncodeBcd(double x, int width, std::uint8_t* out) {
    if (!std::isfinite(x)) return false;
    const int digitCount = width == 7 ? 12 : 10;
    const std::uint8_t sign = x < 0 ? 0x80 : 0x00;
    const double a = std::fabs(x);
    std::string digits(static_cast<std::size_t>(digitCount), '0');
    int n = 1;
    if (a != 0) {
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, digitCount - 1);
        if (res.ec != std::errc{}) return false;
        const std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
        const std::size_t ePos = s.find('e');
        if (ePos == std::string_view::npos) return false;
        std::size_t k = 0;
        for (char c : s.substr(0, ePos))
            if (c >= '0' && c <= '9' && k < digits.size()) digits[k++] = c;
        int exp10 = 0;
        std::string_view es = s.substr(ePos + 1);
        if (std::from_chars(es.data() + (es.front() == '+' ? 1 : 0), es.data() + es.size(), exp10).ec != std::errc{})
            return false;
        n = exp10 + 1;
        if (n < -64 || n > 63) return false;
    }
    for (int i = 0; i < digitCount / 2; ++i)
        out[i] = static_cast<std::uint8_t>((digits[2 * i] - '0') << 4 | (digits[2 * i + 1] - '0'));
    out[digitCount / 2] = static_cast<std::uint8_t>(sign | (n + 64));
    return true;
}

// Texts that survive the trip into the meter's code page and back.
bool FitsOemText(const std::string& s, std::int32_t width) {
    if (s.find('\0') != std::string::npos) return false;
    const std::string oem = AnsiToOemText(s);
    if (OemToAnsiText(oem) != s) return false;
    return width <= 0 || oem.size() <= static_cast<std::size_t>(width);
}

std::optional<codec::TDateTimeParts> Parts(TDateTime x) { return codec::DecodeDateTime(x); }

// A date of the current year, or of the previous one when it is no date this year
// (29 February).
std::optional<TDateTime> DateInYear(int year, int month, int day) {
    if (auto d = codec::TryEncodeDate(year, month, day)) return d;
    return codec::TryEncodeDate(year - 1, month, day);
}

TDateTime TimeOfDay(TDateTime x) {
    const double t = std::fabs(x - std::trunc(x));
    return t;
}

}  // namespace

TCounterParam::TCounterParam(std::int32_t paramId) : ParamID(paramId), ParamType(ParamTypeList.First()) {}

void TCounterParam::CopyFrom(const TCounterParam& s) {
    ParamIndex = s.ParamIndex;
    Value = s.Value;
    ParamID = s.ParamID;
    ParamName = s.ParamName;
    ParamType = s.ParamType;
    FileID = s.FileID;
    FileOffset = s.FileOffset;
    InFileSize = s.InFileSize;
    IsReadOnly = s.IsReadOnly;
    IsFileIndex = s.IsFileIndex;
    MinValue = s.MinValue;
    MaxValue = s.MaxValue;
    MinIndex = s.MinIndex;
    MaxIndex = s.MaxIndex;
    Mask = s.Mask;
    MaxDaySave = s.MaxDaySave;
}

void TCounterParam::LoadFromParamRow(const TParamRow& row) {
    ParamName = row.ParamName;
    const TParamType* t = ParamTypeList.Find(row.ParamType);
    ParamType = t ? t : ParamTypeList.First();
    FileID = row.FileID;
    FileOffset = row.FileOffset;
    InFileSize = row.InFileSize;
    IsReadOnly = row.IsReadOnly;
    IsFileIndex = row.IsFileIndex;
    MinValue = row.MinValue.value_or(0);
    MaxValue = row.MaxValue.value_or(0);
    MinIndex = row.MinIndex.value_or(0);
    MaxIndex = row.MaxIndex.value_or(0);
    if (ParamIndex < MinIndex || ParamIndex > MaxIndex || ParamIndex > 255)
        ParamIndex = static_cast<std::uint16_t>(std::clamp(MinIndex, 0, 0xFFFF));
    Mask = static_cast<std::uint8_t>(row.Mask.value_or(0) & 0xFF);
    MaxDaySave = row.MaxDaySave;

    // The default value, brought into the value-text convention where the type has one.
    const std::string& d = row.DefaultValue;
    switch (TypeNumber()) {
        case 2:
            if (auto x = ParseRealText(d)) Value = RealText(*x);
            break;
        case 5: case 11:
            if (auto x = ParseDateTimeText(d)) Value = DateTimeText(*x);
            break;
        case 6: case 7: case 8: case 9: case 10: case 12: case 13: case 14: case 17: case 18: case 19:
            if (auto n = ParseIntegerText(d)) Value = std::to_string(*n);
            break;
        case 15:
            if (auto x = ParseDateTimeText(d)) Value = TimeText(TimeOfDay(*x));
            break;
        case 16:
            if (auto x = codec::ParseDateText(d)) Value = DateText(*x);
            break;
        default:
            Value = d;
            break;
    }
}

void TCounterParam::SetIndex(std::uint16_t index) {
    if (MinIndex <= index && index <= MaxIndex)
        ParamIndex = index;
    else
        ParamIndex = static_cast<std::uint16_t>(std::clamp(MinIndex, 0, 0xFFFF));
}

// ---- enumerations and ranges ----

std::optional<std::int64_t> TCounterParam::EnumMember() const {
    if (!ParamType) return std::nullopt;
    // Compared as numbers, so "3" and "3,0" both equal the entry 3.
    const auto x = ParseRealText(Value);
    if (!x || *x != std::trunc(*x) || std::fabs(*x) > 2147483647.0) return std::nullopt;
    const auto n = static_cast<std::int64_t>(*x);
    if (ParamType->EnumPosition(n) < 0) return std::nullopt;
    return n;
}

std::int64_t TCounterParam::EnumValueOrFirst() const {
    if (auto n = EnumMember()) return *n;
    if (ParamType && ParamType->EnumCount > 0 && !ParamType->EnumValues.empty()) return ParamType->EnumValues[0];
    return 0;
}

bool TCounterParam::InRange(double x) const {
    return (MinValue == 0 && MaxValue == 0) || (MinValue <= x && x <= MaxValue);
}

bool TCounterParam::UsesIdentifierOffset() const {
    // These identifiers are kept in the meter with 0x4000 added.
    return (ParamID >= 1 && ParamID <= 12) || (ParamID >= 318 && ParamID <= 325) || (ParamID >= 534 && ParamID <= 545);
}

// Only values that read back unchanged from the field's width may be set: anything
// else would reach the meter truncated.
bool TCounterParam::IntegerFitsField(std::int64_t n) const {
    const bool isSigned = MinValue < 0;
    switch (InFileSize) {
        case 1: return isSigned ? (n >= -128 && n <= 127) : (n >= 0 && n <= 255);
        case 2:
            if (UsesIdentifierOffset()) return n >= -0x4000 && n <= 0xBFFF;
            return isSigned ? (n >= -32768 && n <= 32767) : (n >= 0 && n <= 65535);
        case 3: return isSigned ? (n >= -0x800000 && n <= 0x7FFFFF) : (n >= 0 && n <= 0xFFFFFF);
        default: return n >= INT32_MIN && n <= INT32_MAX;
    }
}

bool TCounterParam::RealFitsField(double x) const {
    if (!std::isfinite(x)) return false;
    const std::int32_t t = TypeNumber();
    if (t == 27) {
        const double scaled = std::nearbyint(WholeValueMode ? x : x * 100.0);
        return scaled >= INT32_MIN && scaled <= INT32_MAX;
    }
    if (!IsRealType(t)) return true;
    switch (InFileSize) {
        case 4: return std::fabs(x) <= FLT_MAX;
        case 6: case 7: {
            std::uint8_t scratch[8];
            return EncodeBcd(x, InFileSize, scratch);
        }
        default: return true;
    }
}

// ---- getters ----

std::int32_t TCounterParam::GetAsInteger() const {
    if (IsEnumType()) return static_cast<std::int32_t>(EnumValueOrFirst());
    if (TypeNumber() == 1) return ParseIntegerText(Value).value_or(0);
    return 0;
}

double TCounterParam::GetAsFloat() const {
    if (IsEnumType()) return static_cast<double>(EnumValueOrFirst());
    if (IsFloatType(TypeNumber())) return ParseRealText(Value).value_or(0);
    return 0;
}

TDateTime TCounterParam::GetAsDateTime() const {
    if (IsEnumType()) return static_cast<double>(EnumValueOrFirst());
    return ParseDateTimeText(Value).value_or(0);
}

bool TCounterParam::GetAsBoolean() const {
    if (IsEnumType()) return EnumValueOrFirst() != 0;
    return TypeNumber() == 4 && Value == "1";
}

std::string TCounterParam::GetDisplayText() const {
    const std::int32_t t = TypeNumber();
    if (IsEnumType()) {
        if (!ParamType || ParamType->EnumCount <= 0 || ParamType->EnumNames.empty()) return {};
        const auto member = EnumMember();
        const int pos = member ? ParamType->EnumPosition(*member) : 0;
        return pos >= 0 && static_cast<std::size_t>(pos) < ParamType->EnumNames.size() ? ParamType->EnumNames[pos]
                                                                                        : std::string{};
    }
    // No value shows as nothing, not as a zero the meter never held.
    if (Value.empty()) return {};
    switch (t) {
        case 1: {
            const auto n = ParseIntegerText(Value);
            return n ? std::to_string(*n) : std::string{};
        }
        case 2: case 35: case 36: case 27: {
            const auto x = ParseRealText(Value);
            return x ? codec::FixedRealText(*x, t == 27 ? 2 : 4) : std::string{};
        }
        case 3: return Value;
        case 4: return Value == "1" ? "Да" : "Нет";
        case 5: case 11: {
            const auto x = ParseDateTimeText(Value);
            if (!x || *x == 0) return {};
            const std::string date = t == 5 ? FormatDateText(*x) : FormatDayMonthText(*x);
            return date.empty() ? std::string{} : date + " в " + FormatTimeText(*x);
        }
        case 15: {
            const auto x = ParseDateTimeText(Value);
            return x ? FormatTimeText(TimeOfDay(*x)) : std::string{};
        }
        case 16: {
            const auto x = ParseDateTimeText(Value);
            return x ? FormatDayMonthText(*x) : std::string{};
        }
        default: return {};
    }
}

// ---- setters ----

bool TCounterParam::SetAsInteger(std::int64_t n) {
    if (IsEnumType()) {
        if (!ParamType || ParamType->EnumPosition(n) < 0) return false;
        Value = std::to_string(n);
        return true;
    }
    if (TypeNumber() != 1 || !InRange(static_cast<double>(n)) || !IntegerFitsField(n)) return false;
    Value = std::to_string(n);
    return true;
}

bool TCounterParam::SetAsFloat(double x) {
    if (IsEnumType()) {
        if (!std::isfinite(x) || x != std::trunc(x) || std::fabs(x) > 2147483647.0) return false;
        return SetAsInteger(static_cast<std::int64_t>(x));
    }
    if (!IsFloatType(TypeNumber()) || !std::isfinite(x) || !InRange(x) || !RealFitsField(x)) return false;
    Value = RealText(x);
    return true;
}

bool TCounterParam::SetAsDateTime(TDateTime x) {
    if (IsEnumType()) return SetAsFloat(x);
    const std::int32_t t = TypeNumber();
    if (!IsDateTimeType(t) || !InRange(x) || !codec::DecodeDateTime(x)) return false;
    switch (t) {
        case 15: Value = TimeText(TimeOfDay(x)); break;
        case 16: case 32: Value = x == 0 ? std::string{} : DateText(x); break;
        default:
            Value = DateTimeText(x);
            if (x == 0) Value += " 0:00:00";
            break;
    }
    return true;
}

bool TCounterParam::SetAsBoolean(bool b) {
    if (IsEnumType()) return SetAsInteger(b ? 1 : 0);
    if (TypeNumber() != 4) return false;
    Value = b ? "1" : "0";
    return true;
}

bool TCounterParam::SetAsText(const std::string& s) {
    if (IsEnumType()) {
        if (!ParamType) return false;
        for (std::size_t i = 0; i < ParamType->EnumNames.size() && i < ParamType->EnumValues.size(); ++i)
            if (ParamType->EnumNames[i] == s) {
                Value = std::to_string(ParamType->EnumValues[i]);
                return true;
            }
        return false;
    }
    const std::int32_t t = TypeNumber();
    switch (t) {
        case 1: {
            const auto n = ParseIntegerText(s);
            return n && SetAsInteger(*n);
        }
        case 2: case 27: case 35: case 36: {
            const auto x = ParseRealText(s);
            return x && SetAsFloat(*x);
        }
        case 4:
            Value = (s == "1" || s == "Да") ? "1" : "0";
            return true;
        case 5: case 11: case 15: case 24: {
            const auto x = ParseDateTimeText(s);
            return x && SetAsDateTime(*x);
        }
        case 16: case 32: {
            const auto x = ParseDateTimeText(s);
            return x && SetAsDateTime(std::trunc(*x));
        }
        case 3:
            if (!FitsOemText(s, InFileSize)) return false;
            Value = s;
            return true;
        case 33: {
            const auto x = ParseRealText(s);
            if (!x) return false;
            Value = RealText(*x);
            return true;
        }
        default:
            Value = s;
            return true;
    }
}

// ---- area codec ----

std::int32_t TCounterParam::AreaSpan() const {
    const std::int32_t t = TypeNumber();
    if (t == 1) return InFileSize >= 1 && InFileSize <= 4 ? InFileSize : 0;
    if (IsRealType(t)) return InFileSize == 4 || InFileSize == 6 || InFileSize == 7 || InFileSize == 8 ? InFileSize : 0;
    if (t == 3) return std::max(InFileSize, 0);
    if (t == 5 || t == 27 || t == 32) return 4;
    if (t == 11 || t == 15 || t == 16 || t == 24) return 2;
    if (t == 33) return 3;
    if (IsByteType(t)) return 1;
    return 0;
}

std::int32_t TCounterParam::BlockContribution() const {
    if (TypeNumber() == 4) return Mask == 1 ? 1 : 0;
    return InFileSize;
}

void TCounterParam::DecodeFromArea(const TAreaImage& image) { DecodeFromArea(image, CurrentVersion); }

void TCounterParam::DecodeFromArea(const TAreaImage& img, std::int32_t version) {
    const std::int32_t t = TypeNumber();
    const std::int32_t span = AreaSpan();
    if (FileOffset < 0 || static_cast<std::int64_t>(FileOffset) + span > static_cast<std::int64_t>(img.size())) return;
    const auto o = static_cast<std::size_t>(FileOffset);
    const bool le = IsLittleEndianVersion(version);
    const std::uint8_t b = img[o < img.size() ? o : 0];

    switch (t) {
        case 1:
            switch (InFileSize) {
                case 1: SetAsInteger((b & 0x80) && MinValue < 0 ? b - 256 : b); break;
                case 2: {
                    const std::uint16_t w = Word(img, o, le);
                    if (UsesIdentifierOffset())
                        SetAsInteger(static_cast<std::int64_t>(w) - 0x4000);
                    else
                        SetAsInteger(MinValue < 0 ? static_cast<std::int16_t>(w) : w);
                    break;
                }
                case 3: {
                    // Most significant byte first in every version.
                    std::int64_t n = img[o] << 16 | img[o + 1] << 8 | img[o + 2];
                    // Signed like the 1- and 2-byte fields: the writer stores negatives in
                    // 24-bit two's complement.
                    if (MinValue < 0 && (n & 0x800000)) n -= 0x1000000;
                    SetAsInteger(n);
                    break;
                }
                case 4: SetAsInteger(static_cast<std::int32_t>(DWord(img, o, le))); break;
                default: break;
            }
            break;
        case 2: case 35: case 36:
            switch (InFileSize) {
                case 4: {
                    const float f = FloatFromLittleEndian(&img[o]);
                    if (std::isfinite(f)) Value = codec::RealTextOfFloat(f);
                    break;
                }
                case 8: {
                    const double d = DoubleFromLittleEndian(&img[o]);
                    if (std::isfinite(d)) Value = RealText(d);
                    break;
                }
                case 6: case 7: Value = RealText(DecodeBcd(&img[o], InFileSize)); break;
                default: break;
            }
            break;
        case 3: {
            // A zero byte is padding wherever it stands, not a terminator.
            std::string oem;
            for (std::int32_t i = 0; i < InFileSize; ++i)
                if (img[o + i] != 0) oem += static_cast<char>(img[o + i]);
            Value = OemToAnsiText(oem);
            break;
        }
        case 4: Value = (b & Mask) == Mask ? "1" : "0"; break;
        case 5: {
            const std::uint32_t d = DWord(img, o, le);
            const int y = static_cast<int>(d >> 25);
            int year = y < 50 ? YearBase + y + 100 : YearBase + y;
            if (year < 1900) year += 1900;
            const auto date = codec::TryEncodeDate(year, static_cast<int>(d >> 21 & 15), static_cast<int>(d >> 16 & 31));
            const auto time = codec::TryEncodeTime(static_cast<int>(d >> 11 & 31), static_cast<int>(d >> 5 & 63),
                                                   static_cast<int>(d & 31) * 2);
            if (date && time) {
                Value = DateTimeText(*date + *time);
            } else if (ParamID == 776) {
                // This one date is kept in the century/year/month/day layout by some meters.
                const int fullYear = static_cast<int>(d >> 24) * 100 + static_cast<int>(d >> 16 & 0xFF);
                const auto alt = codec::TryEncodeDate(fullYear, static_cast<int>(d >> 8 & 0xFF), static_cast<int>(d & 0xFF));
                Value = alt ? DateText(*alt) : std::string{};
            } else {
                Value = DateTimeText(0);
            }
            break;
        }
        case 10: case 17: SetAsInteger(b & 3); break;
        case 18: SetAsInteger(b >> 2 & 1); break;
        case 19: case 21: SetAsInteger(b >> 1 & 1); break;
        case 22: SetAsInteger(b >> 4 & 3); break;
        case 25: SetAsInteger(b >> 3 & 7); break;
        case 11: {
            const std::uint16_t w = Word(img, o, le);
            const int month = w >> 10, day = w >> 5 & 31, hour = w & 31;
            if (month == 0 || w >= 0x3400 || day == 0) {
                Value.clear();
                break;
            }
            const auto date = DateInYear(codec::Today().Year, month, day);
            const auto time = codec::TryEncodeTime(hour, 0, 0);
            if (date && time) Value = DateTimeText(*date + *time);
            break;
        }
        case 15: {
            const std::uint16_t w = Word(img, o, le);
            int hour = w >> 8;
            if (hour == 24) hour = 0;
            Value = TimeText(codec::TryEncodeTime(hour, w & 0xFF, 0).value_or(0));
            break;
        }
        case 16: {
            const std::uint16_t w = Word(img, o, le);
            const int month = w >> 8, day = w & 0xFF;
            if (month == 0 || month >= 13 || day == 0 || day >= 32) {
                Value.clear();
                break;
            }
            const auto date = DateInYear(codec::Today().Year, month, day);
            if (date) Value = *date == 0 ? std::string{} : DateText(*date);
            break;
        }
        case 23:
            if (Mask == 15)
                SetAsInteger(b & 0x0F);
            else if (Mask == 240)
                SetAsInteger(b >> 4);
            else
                SetAsInteger(b);
            break;
        case 24: {
            const std::uint16_t w = Word(img, o, le);
            const int month = w >> 12, day = w >> 7 & 31, hour = w >> 2 & 31, minute = (w & 3) * 15;
            if (month == 0 || month >= 13 || (w & 0xF80) == 0) {
                Value.clear();
                break;
            }
            const codec::TCalendarDate today = codec::Today();
            int year = today.Month < month ? today.Year - 1 : today.Year;
            if (year < 1899) year = 1899;
            const auto date = DateInYear(year, month, day);
            const auto time = codec::TryEncodeTime(hour, minute, 0);
            if (date && time) Value = DateTimeText(*date < 0 ? *date - *time : *date + *time);
            break;
        }
        case 26:
            if (b & 4)
                SetAsInteger(3);
            else if (!(b & 1))
                SetAsInteger(0);
            else if (b & 2)
                SetAsInteger(1);
            else
                SetAsInteger(2);
            break;
        case 27: {
            const auto d = static_cast<std::int32_t>(DWord(img, o, le));
            SetAsFloat(WholeValueMode ? static_cast<double>(d) : static_cast<double>(d) / 100.0);
            break;
        }
        case 28: SetAsInteger(b >> 6 & 1); break;
        case 29:
            if (Mask >= 1 && Mask <= 4) {
                const bool low = b >> (Mask - 1) & 1;
                const bool high = b >> (Mask + 3) & 1;
                SetAsInteger(high ? 2 : low ? 1 : 0);
            }
            break;
        case 32: {
            const std::uint32_t d = DWord(img, o, le);
            const int year = static_cast<int>(d >> 24) * 100 + static_cast<int>(d >> 16 & 0xFF);
            const auto date = codec::TryEncodeDate(year, static_cast<int>(d >> 8 & 0xFF), static_cast<int>(d & 0xFF));
            Value = date && *date != 0 ? DateText(*date) : std::string{};
            break;
        }
        case 33: {
            const std::uint8_t b0 = img[o], b1 = img[o + 1], b2 = img[o + 2];
            const std::uint64_t mantissa = static_cast<std::uint64_t>(b0 & 1) << 16 | b1 << 8 | b2;
            Value = RealText(DecimalValue(mantissa, (b0 >> 1) - 69, false));
            break;
        }
        case 6: case 7: case 8: case 9: case 12: case 13: case 14: case 20: case 30: case 31: case 34:
            SetAsInteger(b);
            break;
        default: break;  // no such type: nothing to read
    }
}

std::int32_t TCounterParam::EncodeToArea(TAreaImage& image) const { return EncodeToArea(image, CurrentVersion); }

std::int32_t TCounterParam::EncodeToArea(TAreaImage& image, std::int32_t version) const {
    return TryEncodeToArea(image, version).value_or(0);
}

std::optional<std::int32_t> TCounterParam::TryEncodeToArea(TAreaImage& img, std::int32_t version) const {
    const std::int32_t t = TypeNumber();
    const std::int32_t span = AreaSpan();
    if (FileOffset < 0 || static_cast<std::int64_t>(FileOffset) + span > static_cast<std::int64_t>(img.size()))
        return std::nullopt;
    const auto o = static_cast<std::size_t>(FileOffset);
    const bool le = IsLittleEndianVersion(version);
    const std::int32_t width = InFileSize;
    std::uint8_t& b = img[o < img.size() ? o : 0];

    // Date types without a value, or with the date 0, leave their bytes as they are.
    std::optional<TDateTime> when;
    if (IsDateTimeType(t) && !Value.empty()) {
        when = ParseDateTimeText(Value);
        if (!when) return std::nullopt;
    }
    const bool writeDate = when && *when != 0;

    switch (t) {
        case 1: {
            const auto n = ParseIntegerText(Value);
            if (!n || !IntegerFitsField(*n)) return std::nullopt;
            switch (width) {
                case 1: b = static_cast<std::uint8_t>(*n); break;
                case 2: PutWord(img, o, static_cast<std::uint16_t>(UsesIdentifierOffset() ? *n + 0x4000 : *n), le); break;
                case 3:
                    img[o] = static_cast<std::uint8_t>(*n >> 16 | (*n < 0 ? 0x80 : 0));
                    img[o + 1] = static_cast<std::uint8_t>(*n >> 8);
                    img[o + 2] = static_cast<std::uint8_t>(*n);
                    break;
                case 4: PutDWord(img, o, static_cast<std::uint32_t>(*n), le); break;
                default: break;
            }
            return width;
        }
        case 2: case 35: case 36: {
            const auto x = ParseRealText(Value);
            if (!x) return std::nullopt;
            switch (width) {
                case 4: {
                    if (std::fabs(*x) > FLT_MAX) return std::nullopt;
                    PutFloatLittleEndian(&img[o], static_cast<float>(*x));
                    break;
                }
                case 8: PutDoubleLittleEndian(&img[o], *x); break;
                case 6: case 7:
                    if (!EncodeBcd(*x, width, &img[o])) return std::nullopt;
                    break;
                default: break;
            }
            return width;
        }
        case 3: {
            const std::string oem = AnsiToOemText(Value);
            for (std::int32_t i = 0; i < width; ++i)
                img[o + i] = static_cast<std::size_t>(i) < oem.size() ? static_cast<std::uint8_t>(oem[i]) : 0;
            return width;
        }
        case 4:
            if (GetAsBoolean())
                b |= Mask;
            else
                b &= static_cast<std::uint8_t>(~Mask);
            return Mask == 1 ? 1 : 0;
        case 5:
            if (writeDate) {
                const auto p = Parts(*when);
                if (!p) return std::nullopt;
                const std::uint32_t d = static_cast<std::uint32_t>(p->Year % 100) << 25 |
                                        static_cast<std::uint32_t>(p->Month) << 21 |
                                        static_cast<std::uint32_t>(p->Day) << 16 |
                                        static_cast<std::uint32_t>(p->Hour) << 11 |
                                        static_cast<std::uint32_t>(p->Minute) << 5 |
                                        static_cast<std::uint32_t>(p->Second / 2);
                PutDWord(img, o, d, le);
            }
            return width;
        case 10: {
            const std::int32_t v = GetAsInteger();
            b &= 0xFC;
            if (v >= 1 && v <= 3) b |= static_cast<std::uint8_t>(v);
            return width;
        }
        case 11:
            if (writeDate) {
                const auto p = Parts(*when);
                if (!p) return std::nullopt;
                PutWord(img, o, static_cast<std::uint16_t>(p->Month * 1024 + p->Day * 32 + p->Hour), le);
            }
            return width;
        case 15:
            if (when) {
                const auto p = Parts(TimeOfDay(*when));
                if (!p) return std::nullopt;
                int hour = p->Hour;
                // An interval that ends at midnight ends at hour 24 in the meter.
                if (hour == 0 && p->Minute == 0 && ParamName.find("кончание") != std::string::npos) hour = 24;
                PutWord(img, o, static_cast<std::uint16_t>(hour * 256 + p->Minute), le);
            }
            return width;
        case 16:
            if (writeDate) {
                const auto p = Parts(*when);
                if (!p) return std::nullopt;
                PutWord(img, o, static_cast<std::uint16_t>(p->Month * 256 + p->Day), le);
            }
            return width;
        case 17:
            b = static_cast<std::uint8_t>((b & 0xFC) | (GetAsInteger() & 3));
            return width;
        case 18:
            b = static_cast<std::uint8_t>((b & ~0x04) | (GetAsInteger() == 1 ? 0x04 : 0));
            return width;
        case 19: case 21:
            b = static_cast<std::uint8_t>((b & ~0x02) | (GetAsInteger() == 1 ? 0x02 : 0));
            return width;
        case 22: {
            const std::int32_t v = GetAsInteger();
            b &= 0xCF;
            if (v >= 1 && v <= 3) b |= static_cast<std::uint8_t>(v << 4);
            return width;
        }
        case 25:
            b = static_cast<std::uint8_t>((b & 0xC7) | (GetAsInteger() & 7) << 3);
            return width;
        case 23: {
            // The nibbles are not cleared: the image starts zero-filled and two tariffs
            // share the byte.
            const std::int32_t v = GetAsInteger();
            if (Mask == 15)
                b |= static_cast<std::uint8_t>(v & 0x0F);
            else if (Mask == 240)
                b |= static_cast<std::uint8_t>((v & 0x0F) << 4);
            else
                b = static_cast<std::uint8_t>(v);
            return width;
        }
        case 24:
            if (writeDate) {
                const auto p = Parts(*when);
                if (!p) return std::nullopt;
                const int code = p->Minute <= 15 ? 1 : p->Minute <= 30 ? 2 : p->Minute <= 45 ? 3 : 0;
                PutWord(img, o, static_cast<std::uint16_t>(p->Month << 12 | p->Day << 7 | p->Hour << 2 | code), le);
            }
            return width;
        case 26:
            switch (GetAsInteger()) {
                case 0: b = 0x00; break;
                case 1: b = 0x03; break;
                case 2: b = 0x01; break;
                case 3: b |= 0x40; break;  // the command to switch off, not the state bit it reads back as
                default: break;
            }
            return width;
        case 27: {
            const auto x = ParseRealText(Value);
            if (!x) return std::nullopt;
            const double scaled = std::nearbyint(WholeValueMode ? *x : *x * 100.0);  // half to even
            if (!(scaled >= INT32_MIN && scaled <= INT32_MAX)) return std::nullopt;
            PutDWord(img, o, static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled)), le);
            return width;
        }
        case 28:
            b = static_cast<std::uint8_t>((b & ~0x40) | (GetAsInteger() == 1 ? 0x40 : 0));
            return width;
        case 29:
            if (Mask >= 1 && Mask <= 4) {
                const auto low = static_cast<std::uint8_t>(1u << (Mask - 1));
                const auto high = static_cast<std::uint8_t>(1u << (Mask + 3));
                switch (GetAsInteger()) {
                    case 0: b &= static_cast<std::uint8_t>(~(low | high)); break;
                    case 1: b = static_cast<std::uint8_t>((b & ~high) | low); break;
                    case 2: b = static_cast<std::uint8_t>((b & ~low) | high); break;
                    default: break;
                }
            }
            return width;
        case 32:
            if (writeDate) {
                const auto p = Parts(*when);
                if (!p) return std::nullopt;
                const std::uint32_t d = static_cast<std::uint32_t>(p->Year / 100) << 24 |
                                        static_cast<std::uint32_t>(p->Year % 100) << 16 |
                                        static_cast<std::uint32_t>(p->Month) << 8 | static_cast<std::uint32_t>(p->Day);
                PutDWord(img, o, d, le);
            }
            return width;
        case 33: return width;  // read only in the meter
        case 6: case 7: case 8: case 9: case 12: case 13: case 14: case 20: case 30: case 31: case 34:
            b = static_cast<std::uint8_t>(GetAsInteger());
            return width;
        default: return width;  // no such type: nothing to write
    }
}

// ---- DataValue ----

TDataValue TCounterParam::SaveValueToField() const {
    TDataValue out;
    const std::int32_t t = TypeNumber();
    auto putDouble = [&out](double x) {
        out.resize(8);
        PutDoubleLittleEndian(out.data(), x);
    };
    switch (t) {
        case 1: {
            const auto n = ParseIntegerText(Value);
            if (n && InFileSize >= 1 && InFileSize <= 4)
                for (std::int32_t i = 0; i < InFileSize; ++i)
                    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(*n) >> (8 * i)));
            return out;
        }
        case 2: case 27: case 33: case 35: case 36:
            if (const auto x = ParseRealText(Value)) putDouble(*x);
            return out;
        case 3: {
            const std::string ansi = text::Utf8ToAnsi(Value);
            out.assign(ansi.begin(), ansi.begin() + static_cast<std::ptrdiff_t>(std::min(ansi.size(), kDataValueMaxBytes)));
            return out;
        }
        case 4: out.push_back(GetAsBoolean() ? 1 : 0); return out;
        case 5: case 11: case 15: case 16: case 24: case 32:
            if (const auto x = ParseDateTimeText(Value)) putDouble(*x);
            return out;
        default:
            if (IsEnumType()) out.push_back(static_cast<std::uint8_t>(GetAsInteger()));
            return out;
    }
}

void TCounterParam::ValueToRecord(TValueRecord& record) const {
    const TDataValue v = SaveValueToField();
    record = TValueRecord::From(v.data(), v.size());
}

void TCounterParam::LoadValueFromField(std::span<const std::uint8_t> field) {
    const std::size_t n = std::min(field.size(), kDataValueMaxBytes);
    const std::uint8_t* p = field.data();
    const std::int32_t t = TypeNumber();
    switch (t) {
        case 1: {
            const bool isSigned = MinValue < 0;
            switch (InFileSize) {
                case 1:
                    if (n >= 1) SetAsInteger((p[0] & 0x80) && isSigned ? p[0] - 256 : p[0]);
                    break;
                case 2:
                    if (n >= 2) {
                        const auto w = static_cast<std::uint16_t>(p[0] | p[1] << 8);
                        SetAsInteger(isSigned ? static_cast<std::int16_t>(w) : w);
                    }
                    break;
                case 3:
                    if (n >= 3) {
                        std::int64_t v = p[0] | p[1] << 8 | p[2] << 16;
                        if (isSigned && (v & 0x800000)) v -= 0x1000000;
                        SetAsInteger(v);
                    }
                    break;
                case 4:
                    if (n >= 4)
                        SetAsInteger(static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | p[1] << 8 | p[2] << 16 |
                                                               static_cast<std::uint32_t>(p[3]) << 24));
                    break;
                default: break;
            }
            return;
        }
        case 2: case 27: case 35: case 36:
            if (n >= 8) SetAsFloat(DoubleFromLittleEndian(p));
            return;
        case 3: {
            std::string ansi;
            for (std::size_t i = 0; i < n; ++i)
                if (p[i] != 0) ansi += static_cast<char>(p[i]);
            Value = text::AnsiToUtf8(ansi);
            return;
        }
        case 4: Value = n >= 1 && p[0] == 1 ? "1" : "0"; return;
        case 5: case 11: case 24: case 32:
            if (n >= 8) {
                const double x = DoubleFromLittleEndian(p);
                if (codec::DecodeDateTime(x)) Value = DateTimeText(x);
            }
            return;
        case 15:
            if (n >= 8) {
                const double x = DoubleFromLittleEndian(p);
                if (codec::DecodeDateTime(x)) Value = TimeText(TimeOfDay(x));
            }
            return;
        case 16:
            if (n >= 8) {
                const double x = DoubleFromLittleEndian(p);
                if (x == 0)
                    Value.clear();
                else if (codec::DecodeDateTime(x))
                    Value = DateText(x);
            }
            return;
        case 33: return;  // its history is not read back
        default:
            if (IsEnumType() && n >= 1) SetAsInteger(p[0]);
            return;
    }
}

bool TCounterParam::QueueValue(std::int32_t counterId, TDateTime dateTime, bool useDateTime) const {
    TStructToWrite v;
    v.ParamID = ParamID;
    v.ParamIndex = ParamIndex;
    v.ChangeDateTime = useDateTime ? dateTime : codec::TodayDateTime();
    ValueToRecord(v.Value);
    v.MaxDaySave = MaxDaySave;
    v.CounterID = counterId;
    return ::QueueValue(v);
}

// ---- readers of stored blobs ----

std::int64_t BlobAsInteger(std::span<const std::uint8_t> blob) {
    const std::size_t n = std::min(blob.size(), kDataValueMaxBytes);
    if (n < 1 || n > 4) return 0;
    std::int64_t v = 0;
    for (std::size_t i = n; i-- > 0;) v = v << 8 | blob[i];
    return v;
}

double BlobAsFloat(std::span<const std::uint8_t> blob) {
    if (std::min(blob.size(), kDataValueMaxBytes) != 8) return 0;
    const double d = DoubleFromLittleEndian(blob.data());
    return std::isfinite(d) ? d : 0;
}

TDateTime BlobAsDateTime(std::span<const std::uint8_t> blob) { return BlobAsFloat(blob); }

std::string BlobAsText(std::span<const std::uint8_t> blob) {
    const std::size_t n = std::min(blob.size(), kDataValueMaxBytes);
    if (n == 0) return {};
    return text::AnsiToUtf8(std::string_view(reinterpret_cast<const char*>(blob.data()), n));
}
