#include "Layout.h"

#include "db/Dictionary.h"
#include "shell/MeterVersion.h"
#include "shell/Text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace sim {

std::int32_t AreaDef::BlockLength(std::int32_t record) const {
    if (!Indexed) return PlainSize;
    if (Params.empty()) return FixedRecordLength;
    std::int32_t len = 2;
    for (const AreaParam* p : ParamsOf(record)) {
        if (p->Type == 4) len += (p->Mask == 1) ? 1 : 0;
        else len += p->Size;
    }
    return len;
}

std::vector<const AreaParam*> AreaDef::ParamsOf(std::int32_t record) const {
    std::vector<const AreaParam*> out;
    for (const auto& p : Params) {
        if (!Indexed) {
            out.push_back(&p);
            continue;
        }
        // A record parameter without an index range repeats in every record.
        const bool everywhere = p.MinIndex == 0 && p.MaxIndex == 0;
        if (everywhere || (record >= p.MinIndex && record <= p.MaxIndex)) out.push_back(&p);
    }
    return out;
}

namespace {

const char* kPasswordAreaName = "Пароли доступа";

// A few areas for version codes the dictionary does not describe, shaped like those
// of the common revisions: identification, transformation coefficients, tariffs,
// a contactor log, a load profile and the passwords.
void AddBuiltIn(Layout& layout) {
    auto plain = [&](int n, const char* name, int size, bool ro) {
        AreaDef a;
        a.Number = n;
        a.Name = name;
        a.PlainSize = size;
        a.ReadOnly = ro;
        layout.Areas[n] = a;
    };
    auto indexed = [&](int n, const char* name, int records, int recLen) {
        AreaDef a;
        a.Number = n;
        a.Name = name;
        a.Indexed = true;
        a.Records = records;
        a.FixedRecordLength = recLen;
        a.ReadOnly = true;
        layout.Areas[n] = a;
    };
    plain(1, "Коэффициенты калибровки", 41, true);
    plain(2, "Идентификационная область", 100, false);
    plain(3, "Коэффициенты трансформации", 27, false);
    plain(5, "Тарифы", 155, false);
    indexed(13, "Таблица включений/отключений контактора", 50, 7);
    indexed(16, "График нагрузки по точкам интеграции", 960, 12);
    AreaDef pw;
    pw.Number = 21;
    pw.Name = kPasswordAreaName;
    pw.PlainSize = 44;
    pw.Passwords = true;
    AreaParam p;
    p.ParamID = -1;
    p.Name = "Пароль доступа по записи";
    p.Type = 1;
    p.Offset = 0;
    p.Size = 2;
    pw.Params.push_back(p);
    layout.Areas[21] = pw;
}

AreaParam FromRow(const TParamRow& r) {
    AreaParam p;
    p.ParamID = r.ParamID;
    p.Name = r.ParamName;
    p.Type = r.ParamType;
    p.Offset = r.FileOffset;
    p.Size = r.InFileSize;
    p.Mask = r.Mask.value_or(0);
    p.MinValue = r.MinValue.value_or(0);
    p.MaxValue = r.MaxValue.value_or(0);
    p.MinIndex = r.MinIndex.value_or(0);
    p.MaxIndex = r.MaxIndex.value_or(0);
    p.Default = r.DefaultValue;
    return p;
}

}  // namespace

const AreaParam* WritePasswordParam(const AreaDef& area) {
    if (!area.Passwords) return nullptr;
    const AreaParam* first = nullptr;
    for (const auto& p : area.Params) {
        if (p.Type != 1 && p.Type != 3) continue;
        // The write password by name; else the first password element, which the
        // password session fills like all the others.
        if (p.Name.find("запис") != std::string::npos) return &p;
        if (!first && p.Name.find("Пароль") != std::string::npos) first = &p;
    }
    return first;
}

Layout BuildLayout(int version, const std::vector<CustomArea>& custom, std::string& warnings) {
    Layout layout;
    const TDictionarySeed& seed = DictionarySeed();
    std::map<std::int32_t, const TFileRow*> files;
    for (const auto& f : seed.Files) files[f.FileID] = &f;
    std::vector<const TFileRow*> accepted;
    for (const auto& fa : seed.FileAccepts) {
        if (fa.VersionID != version) continue;
        auto it = files.find(fa.FileID);
        if (it != files.end()) accepted.push_back(it->second);
    }
    if (!accepted.empty()) {
        layout.Source = "dictionary";
        std::map<std::int32_t, std::int32_t> areaOfFile;
        for (const TFileRow* f : accepted) {
            if (layout.Areas.count(f->FileInternalID)) {
                warnings += "area " + std::to_string(f->FileInternalID) + " is described twice (FileID " +
                            std::to_string(f->FileID) + " ignored)\n";
                continue;
            }
            AreaDef a;
            a.Number = f->FileInternalID;
            a.FileID = f->FileID;
            a.Name = f->FileName;
            a.Indexed = f->FileIndex;
            a.ReadOnly = f->ReadOnly;
            a.Passwords = f->FileName == kPasswordAreaName;
            if (a.Indexed) a.Records = f->FileSize;
            else a.PlainSize = f->FileSize;
            layout.Areas[a.Number] = a;
            areaOfFile[f->FileID] = a.Number;
        }
        for (const auto& row : seed.Params) {
            auto it = areaOfFile.find(row.FileID);
            if (it == areaOfFile.end()) continue;
            AreaDef& a = layout.Areas[it->second];
            AreaParam p = FromRow(row);
            a.Params.push_back(p);
            // Arrays in plain areas: one element per further index, side by side.
            if (!a.Indexed && row.IsFileIndex) {
                for (std::int32_t i = p.MinIndex + 1; i <= p.MaxIndex; ++i) {
                    AreaParam e = p;
                    e.Offset = p.Offset + p.Size * i;
                    a.Params.push_back(e);
                }
            }
        }
        for (auto& [n, a] : layout.Areas) {
            // Indexed areas without parameters still answer, with records of the
            // checksum only; oversize blocks cannot travel in one frame.
            if (a.Indexed && a.Params.empty()) a.FixedRecordLength = 2;
            if (!a.Indexed && (a.PlainSize < 2 || a.PlainSize > 255)) {
                warnings += "area " + std::to_string(n) + " has an unusable size " + std::to_string(a.PlainSize) + "\n";
                a.PlainSize = std::max(2, std::min(255, a.PlainSize));
            }
        }
    } else {
        layout.Source = "built-in";
        AddBuiltIn(layout);
    }
    for (const auto& c : custom) {
        AreaDef a;
        a.Number = c.Number;
        a.Name = "Область " + std::to_string(c.Number);
        a.Indexed = c.Records > 0;
        a.Records = c.Records;
        if (a.Indexed) a.FixedRecordLength = c.Length;
        else a.PlainSize = c.Length;
        layout.Areas[c.Number] = a;
    }
    return layout;
}

bool AreaLittleEndian(int version) { return IsLittleEndianVersion(version); }

namespace {
bool UsesXmodem(int v) {
    return (v >= 4 && v <= 20) || (v >= 23 && v <= 25) || v == 30 || (v >= 40 && v <= 47);
}
}  // namespace

std::uint16_t AreaChecksum(int version, const std::uint8_t* data, std::size_t n) {
    std::uint16_t c = 0;
    if (UsesXmodem(version)) {
        for (std::size_t i = 0; i < n; ++i) {
            c = static_cast<std::uint16_t>(c ^ (data[i] << 8));
            for (int k = 0; k < 8; ++k)
                c = (c & 0x8000) ? static_cast<std::uint16_t>((c << 1) ^ 0x1021) : static_cast<std::uint16_t>(c << 1);
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            c = static_cast<std::uint16_t>(c ^ (data[i] << 8));
            c = (c & 0x8000) ? static_cast<std::uint16_t>((c << 1) ^ 0x1021) : static_cast<std::uint16_t>(c << 1);
        }
    }
    return c;
}

void SealBlock(int version, Bytes& block) {
    if (block.size() < 2) return;
    const std::size_t n = block.size() - 2;
    const std::uint16_t c = AreaChecksum(version, block.data(), n);
    const auto hi = static_cast<std::uint8_t>(c >> 8), lo = static_cast<std::uint8_t>(c & 0xFF);
    if (AreaLittleEndian(version)) {
        block[n] = lo;
        block[n + 1] = hi;
    } else {
        block[n] = hi;
        block[n + 1] = lo;
    }
}

bool BlockSealed(int version, const Bytes& block) {
    if (block.size() < 2) return false;
    if ((version == 38 || version == 39) && !UsesXmodem(version)) return true;
    Bytes copy = block;
    SealBlock(version, copy);
    return copy == block;
}

Bytes Bcd(double value, int width) {
    const int digits = width == 6 ? 10 : 12;
    Bytes out(static_cast<std::size_t>(width), 0);
    if (value == 0 || !std::isfinite(value)) return out;
    std::uint8_t sign = 0;
    if (value < 0) {
        sign = 0x80;
        value = -value;
    }
    int n = 1;
    while (value >= 10) {
        value /= 10;
        ++n;
    }
    while (value < 1) {
        value *= 10;
        --n;
    }
    value += 1e-13;
    for (int i = 0; i < digits; ++i) {
        int d = static_cast<int>(value);
        if (d > 9) d = 9;
        value = (value - d) * 10;
        if (i % 2 == 0) out[static_cast<std::size_t>(i / 2)] = static_cast<std::uint8_t>(d << 4);
        else out[static_cast<std::size_t>(i / 2)] |= static_cast<std::uint8_t>(d);
    }
    out[static_cast<std::size_t>(digits / 2)] = static_cast<std::uint8_t>(sign | ((n + 64) & 0x7F));
    return out;
}

namespace {

std::uint32_t Mix(std::uint32_t h, std::uint32_t v) {
    h ^= v + 0x9E3779B9u + (h << 6) + (h >> 2);
    h *= 0x85EBCA6Bu;
    return h ^ (h >> 13);
}

void PutInt(Bytes& b, std::size_t at, int width, std::uint32_t v, bool le) {
    for (int i = 0; i < width; ++i) {
        const int shift = le ? 8 * i : 8 * (width - 1 - i);
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((v >> shift) & 0xFF);
    }
}

bool ParseInt(const std::string& s, long long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtoll(s.c_str(), &end, 10);
    return end && *end == '\0';
}

bool ParseReal(std::string s, double& out) {
    if (s.empty()) return false;
    for (auto& ch : s)
        if (ch == ',') ch = '.';
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}

// "d.mm.yyyy_h:mm:ss", "d.mm.yyyy" or "h:mm[:ss]" into broken-down fields.
bool ParseDateTime(const std::string& s, std::tm& tm) {
    tm = {};
    int d = 0, mo = 0, y = 0, h = 0, mi = 0, se = 0;
    if (std::sscanf(s.c_str(), "%d.%d.%d_%d:%d:%d", &d, &mo, &y, &h, &mi, &se) >= 3) {
        tm.tm_mday = d;
        tm.tm_mon = mo - 1;
        tm.tm_year = y - 1900;
        tm.tm_hour = h;
        tm.tm_min = mi;
        tm.tm_sec = se;
        return mo >= 1 && mo <= 12 && d >= 1 && d <= 31;
    }
    if (std::sscanf(s.c_str(), "%d:%d:%d", &h, &mi, &se) >= 2) {
        tm.tm_hour = h;
        tm.tm_min = mi;
        tm.tm_sec = se;
        return true;
    }
    return false;
}

std::uint32_t PackedDateTime(const std::tm& t) {
    const std::uint32_t y = static_cast<std::uint32_t>((t.tm_year + 1900) % 100);
    return (y << 25) | (static_cast<std::uint32_t>(t.tm_mon + 1) << 21) | (static_cast<std::uint32_t>(t.tm_mday) << 16) |
           (static_cast<std::uint32_t>(t.tm_hour) << 11) | (static_cast<std::uint32_t>(t.tm_min) << 5) |
           static_cast<std::uint32_t>(t.tm_sec / 2);
}

bool IsIdentifier(const std::string& name) { return name.find("Идентификатор счетчика") != std::string::npos; }

bool ParamIDIsShifted(std::int32_t id) {
    return (id >= 1 && id <= 12) || (id >= 318 && id <= 325) || (id >= 534 && id <= 545);
}

bool IsPassword(const AreaDef& area, const AreaParam& p) {
    return area.Passwords && (p.Type == 1 || p.Type == 3) && p.Name.find("Пароль") != std::string::npos;
}

void FillParam(Bytes& b, const AreaParam& p, const AreaDef& area, std::int32_t record, const FillContext& ctx) {
    const std::size_t limit = b.size() - 2;
    if (p.Offset < 0 || p.Size < 0 || static_cast<std::size_t>(p.Offset) >= limit) return;
    const std::size_t at = static_cast<std::size_t>(p.Offset);
    const bool le = AreaLittleEndian(ctx.Version);
    const bool fits = at + static_cast<std::size_t>(p.Size) <= limit;
    const std::uint32_t h = Mix(Mix(Mix(ctx.ZNumber, static_cast<std::uint32_t>(area.Number)), static_cast<std::uint32_t>(record)),
                                static_cast<std::uint32_t>(p.ParamID + 7 * p.Offset));
    long long iv = 0;
    const bool hasInt = ParseInt(p.Default, iv);
    auto byteValue = [&]() -> std::uint8_t { return static_cast<std::uint8_t>(hasInt ? iv : 0); };
    switch (p.Type) {
        case 1: {
            if (!fits || p.Size < 1 || p.Size > 4) return;
            long long v;
            if (IsIdentifier(p.Name)) v = ctx.InternalID;
            else if (IsPassword(area, p)) v = ctx.Password;  // every element holds it, as the PC writes them
            else if (hasInt && iv != 0) v = iv;
            else if (p.MinValue != 0 || p.MaxValue != 0)
                v = p.MaxValue >= p.MinValue ? p.MinValue + static_cast<long long>(h % static_cast<std::uint32_t>(p.MaxValue - p.MinValue + 1))
                                             : p.MinValue;
            else v = static_cast<long long>(h % 100);
            if (p.Size == 2 && ParamIDIsShifted(p.ParamID)) v += 0x4000;
            if (p.Size == 3) {
                std::uint32_t u = static_cast<std::uint32_t>(v < 0 ? -v : v) & 0x7FFFFF;
                if (v < 0) u |= 0x800000;
                PutInt(b, at, 3, u, false);
            } else {
                PutInt(b, at, p.Size, static_cast<std::uint32_t>(v), le);
            }
            return;
        }
        case 2: case 35: case 36: {
            if (!fits) return;
            double x = 0;
            if (!ParseReal(p.Default, x) || (x == 0 && area.ReadOnly)) x = (h % 1000000) / 100.0;
            if (p.Size == 4) {
                float f = static_cast<float>(x);
                std::uint32_t u;
                std::memcpy(&u, &f, 4);
                PutInt(b, at, 4, u, true);
            } else if (p.Size == 8) {
                std::uint64_t u;
                std::memcpy(&u, &x, 8);
                for (int i = 0; i < 8; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(u >> (8 * i));
            } else if (p.Size == 7 || p.Size == 6) {
                Bytes d = Bcd(x, p.Size);
                std::copy(d.begin(), d.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
            }
            return;
        }
        case 3: {
            std::string oem = text::Utf8ToOem(IsPassword(area, p) ? std::to_string(ctx.Password) : p.Default);
            for (std::size_t i = 0; i < static_cast<std::size_t>(p.Size) && at + i < limit; ++i)
                b[at + i] = i < oem.size() ? static_cast<std::uint8_t>(oem[i]) : 0;
            return;
        }
        case 4:
            if (p.Default == "1") b[at] = static_cast<std::uint8_t>(b[at] | p.Mask);
            return;
        case 5: {
            if (!fits || p.Size < 4) return;
            std::tm t{};
            if (area.Indexed || !ParseDateTime(p.Default, t) || t.tm_year < 100) {
                // History: one record a day back from a fixed day, so the data look alike every run.
                std::tm base{};
                base.tm_year = 124;
                base.tm_mon = 5;
                base.tm_mday = 15;
                base.tm_hour = 12;
                base.tm_min = 30;
                time_t s = timegm(&base) - static_cast<time_t>(record) * 86400;
                gmtime_r(&s, &t);
            }
            PutInt(b, at, 4, PackedDateTime(t), le);
            return;
        }
        case 11:
            if (fits && p.Size >= 2) PutInt(b, at, 2, (3u << 10) | (31u << 5) | 2u, le);
            return;
        case 15: {
            if (!fits || p.Size < 2) return;
            std::tm t{};
            std::uint32_t w = 0;
            if (ParseDateTime(p.Default, t)) w = static_cast<std::uint32_t>(t.tm_hour << 8 | t.tm_min);
            if (w == 0 && p.Name.find("кончание") != std::string::npos) w = 24u << 8;
            PutInt(b, at, 2, w, le);
            return;
        }
        case 16: {
            if (!fits || p.Size < 2) return;
            std::tm t{};
            std::uint32_t w = 0x0101;
            if (ParseDateTime(p.Default, t) && t.tm_mday > 0) w = static_cast<std::uint32_t>((t.tm_mon + 1) << 8 | t.tm_mday);
            PutInt(b, at, 2, w, le);
            return;
        }
        case 27: {
            if (!fits || p.Size < 4) return;
            double x = 0;
            ParseReal(p.Default, x);
            PutInt(b, at, 4, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::llround(x * 100))), le);
            return;
        }
        case 32:
            if (fits && p.Size >= 4) PutInt(b, at, 4, (20u << 24) | (24u << 16) | (1u << 8) | 1u, le);
            return;
        case 10: case 17: b[at] = static_cast<std::uint8_t>(b[at] | (byteValue() & 3)); return;
        case 18: if (byteValue()) b[at] |= 0x04; return;
        case 19: case 21: if (byteValue()) b[at] |= 0x02; return;
        case 22: b[at] = static_cast<std::uint8_t>(b[at] | ((byteValue() & 3) << 4)); return;
        case 25: b[at] = static_cast<std::uint8_t>(b[at] | ((byteValue() & 7) << 3)); return;
        case 26: {
            const auto v = byteValue();
            if (v == 1) b[at] = 0x03;
            else if (v == 2) b[at] = 0x01;
            else if (v == 3) b[at] |= 0x40;
            return;
        }
        case 28: if (byteValue()) b[at] |= 0x40; return;
        case 29: {
            const int m = p.Mask;
            if (m < 1 || m > 4) return;
            if (byteValue() == 1) b[at] = static_cast<std::uint8_t>(b[at] | (1 << (m - 1)));
            else if (byteValue() == 2) b[at] = static_cast<std::uint8_t>(b[at] | (1 << (m + 3)));
            return;
        }
        case 23:
            if (p.Mask == 15) b[at] = static_cast<std::uint8_t>(b[at] | (byteValue() & 15));
            else if (p.Mask == 240) b[at] = static_cast<std::uint8_t>(b[at] | ((byteValue() & 15) << 4));
            else b[at] = byteValue();
            return;
        case 6: case 7: case 8: case 9: case 12: case 13: case 14: case 20: case 30: case 31: case 34:
            b[at] = byteValue();
            return;
        default:
            return;  // 24 and 33 stay zero: no value yet
    }
}

}  // namespace

Bytes FillBlock(const AreaDef& area, std::int32_t record, const FillContext& ctx) {
    const std::int32_t len = area.BlockLength(record);
    Bytes b(static_cast<std::size_t>(std::max(2, len)), 0);
    if (area.Params.empty()) {
        // No parameters to go by: bytes that differ from block to block and run to run
        // only with the factory number.
        std::uint32_t h = Mix(Mix(ctx.ZNumber, static_cast<std::uint32_t>(area.Number)), static_cast<std::uint32_t>(record));
        for (std::size_t i = 0; i + 2 < b.size(); ++i) {
            h = Mix(h, static_cast<std::uint32_t>(i));
            b[i] = static_cast<std::uint8_t>(h >> 8);
        }
    } else {
        for (const AreaParam* p : area.ParamsOf(record)) FillParam(b, *p, area, record, ctx);
    }
    SealBlock(ctx.Version, b);
    return b;
}

PasswordSpot FindPasswordSpot(const Layout& layout) {
    PasswordSpot spot;
    for (const auto& [n, a] : layout.Areas) {
        const AreaParam* p = WritePasswordParam(a);
        if (!p) continue;
        spot.Area = n;
        spot.Record = a.Indexed ? p->MinIndex : 0;
        spot.Offset = p->Offset;
        spot.Size = p->Size;
        spot.Type = p->Type;
        return spot;
    }
    return spot;
}

std::optional<std::uint16_t> PasswordFromBlock(const PasswordSpot& spot, int version, const Bytes& block) {
    if (spot.Area < 0 || spot.Size <= 0) return std::nullopt;
    const std::size_t at = static_cast<std::size_t>(spot.Offset), n = static_cast<std::size_t>(spot.Size);
    if (block.size() < 2 || at + n > block.size() - 2) return std::nullopt;
    if (spot.Type == 3) {
        std::uint32_t v = 0;
        bool any = false;
        for (std::size_t i = 0; i < n; ++i) {
            const auto c = block[at + i];
            if (c == 0) continue;
            if (c < '0' || c > '9') return std::nullopt;
            v = (v * 10 + (c - '0')) & 0xFFFFFFu;
            any = true;
        }
        if (!any) return std::nullopt;
        return static_cast<std::uint16_t>(v & 0xFFFF);
    }
    if (n > 4) return std::nullopt;
    std::uint32_t v = 0;
    const bool le = AreaLittleEndian(version);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t shift = le ? 8 * i : 8 * (n - 1 - i);
        v |= static_cast<std::uint32_t>(block[at + i]) << shift;
    }
    return static_cast<std::uint16_t>(v & 0xFFFF);
}

void PasswordIntoBlock(const PasswordSpot& spot, int version, std::uint16_t password, Bytes& block) {
    if (spot.Size <= 0) return;
    const std::size_t at = static_cast<std::size_t>(spot.Offset), n = static_cast<std::size_t>(spot.Size);
    if (block.size() < 2 || at + n > block.size() - 2) return;
    if (spot.Type == 3) {
        std::string digits = std::to_string(password);
        for (std::size_t i = 0; i < n; ++i) block[at + i] = i < digits.size() ? static_cast<std::uint8_t>(digits[i]) : 0;
        return;
    }
    if (n > 4) return;
    PutInt(block, at, static_cast<int>(n), password, AreaLittleEndian(version));
}

}  // namespace sim
