#include "Meter.h"

#include <cstdio>

namespace sim {

namespace {

bool PasswordLowFirst(int v) { return v == 36 || v == 37 || v == 38 || v == 39 || v == 48 || v == 49; }

enum class ClockLayout { SecondFirst, LittleYear, BigYear };

ClockLayout LayoutOf(int v) {
    if (v == 4 || v == 5 || (v >= 8 && v <= 20) || v == 23 || v == 24 || v == 25 || v == 30 || (v >= 40 && v <= 47))
        return ClockLayout::SecondFirst;
    if (v == 36 || v == 37 || v == 48 || v == 49) return ClockLayout::LittleYear;
    return ClockLayout::BigYear;
}

int MondayFirst(const std::tm& t) { return (t.tm_wday + 6) % 7; }

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysIn(int y, int m) {
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : d[m - 1];
}

// Local time of day as seconds of a calendar without zones, so the offset survives
// daylight-saving changes unchanged.
std::int64_t LocalNowSeconds() {
    const time_t now = time(nullptr);
    std::tm lt{};
    localtime_r(&now, &lt);
    return static_cast<std::int64_t>(timegm(&lt));
}

}  // namespace

Bytes ClockRecord(int version, const std::tm& t) {
    const int y = t.tm_year + 1900;
    const auto b = [](int v) { return static_cast<std::uint8_t>(v & 0xFF); };
    switch (LayoutOf(version)) {
        case ClockLayout::SecondFirst:
            return {b(t.tm_sec), b(t.tm_min), b(t.tm_hour), b(MondayFirst(t)), b(t.tm_mday), b(t.tm_mon + 1), b(y % 100), b(y / 100)};
        case ClockLayout::LittleYear:
            return {b(MondayFirst(t)), b(t.tm_mday), b(t.tm_mon + 1), b(y), b(y >> 8), b(t.tm_hour), b(t.tm_min), b(t.tm_sec)};
        case ClockLayout::BigYear:
        default:
            return {b(MondayFirst(t)), b(t.tm_mday), b(t.tm_mon + 1), b(y >> 8), b(y), b(t.tm_hour), b(t.tm_min), b(t.tm_sec)};
    }
}

bool ParseClockRecord(int version, const Bytes& r, std::tm& t, std::string& why) {
    if (r.size() != 8) {
        why = "date-time record of " + std::to_string(r.size()) + " bytes";
        return false;
    }
    int sec, min, hour, wd, day, mon, year;
    switch (LayoutOf(version)) {
        case ClockLayout::SecondFirst:
            sec = r[0]; min = r[1]; hour = r[2]; wd = r[3]; day = r[4]; mon = r[5]; year = r[7] * 100 + r[6];
            if (r[6] > 99) { why = "year in century above 99"; return false; }
            break;
        case ClockLayout::LittleYear:
            wd = r[0]; day = r[1]; mon = r[2]; year = r[3] | (r[4] << 8); hour = r[5]; min = r[6]; sec = r[7];
            break;
        case ClockLayout::BigYear:
        default:
            wd = r[0]; day = r[1]; mon = r[2]; year = (r[3] << 8) | r[4]; hour = r[5]; min = r[6]; sec = r[7];
            break;
    }
    if (year < 1970 || year > 2099) { why = "year " + std::to_string(year); return false; }
    if (mon < 1 || mon > 12) { why = "month " + std::to_string(mon); return false; }
    if (day < 1 || day > DaysIn(year, mon)) { why = "day " + std::to_string(day); return false; }
    if (hour > 23 || min > 59 || sec > 59) { why = "time of day"; return false; }
    if (wd > 6) { why = "weekday " + std::to_string(wd); return false; }
    t = {};
    t.tm_year = year - 1900;
    t.tm_mon = mon - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = min;
    t.tm_sec = sec;
    const time_t s = timegm(&t);
    gmtime_r(&s, &t);  // fills the weekday
    if (MondayFirst(t) != wd) why = "weekday " + std::to_string(wd) + " does not match the date (" + std::to_string(MondayFirst(t)) + ")";
    return true;
}

Meter::Meter(const Options& options, const Layout& layout, MeterState& state)
    : opt_(options), layout_(layout), state_(state), keyRng_(options.Seed * 0x9E3779B97F4A7C15ULL + 0x4B4559) {
    spot_ = FindPasswordSpot(layout_);
    const FillContext ctx = Fill();
    for (const auto& [n, a] : layout_.Areas)
        if (!a.Indexed && !state_.Plain.count(n)) state_.Plain[n] = FillBlock(a, 0, ctx);
    // The password the meter checks and the one its password area holds stay one.
    if (spot_.Area >= 0) {
        const AreaDef* a = layout_.Find(spot_.Area);
        if (a) {
            Bytes b = Block(*a, spot_.Record);
            auto held = PasswordFromBlock(spot_, state_.Version, b);
            if (!held || *held != state_.Password) {
                PasswordIntoBlock(spot_, state_.Version, state_.Password, b);
                SealBlock(state_.Version, b);
                if (a->Indexed) state_.Records[{a->Number, spot_.Record}] = b;
                else state_.Plain[a->Number] = b;
            }
        }
    }
}

FillContext Meter::Fill() const {
    FillContext c;
    c.Version = state_.Version;
    c.ZNumber = state_.ZNumber;
    c.InternalID = state_.InternalID;
    c.Password = state_.Password;
    return c;
}

Bytes Meter::Block(const AreaDef& area, std::int32_t record) const {
    if (!area.Indexed) {
        auto it = state_.Plain.find(area.Number);
        if (it != state_.Plain.end()) return it->second;
        return FillBlock(area, 0, Fill());
    }
    auto it = state_.Records.find({area.Number, record});
    if (it != state_.Records.end()) return it->second;
    return FillBlock(area, record, Fill());
}

void Meter::ResetSessions() {
    open_ = false;
    std::fill(std::begin(key_), std::end(key_), 0);
}

Outcome Meter::Refuse(std::uint8_t code, const std::string& why) const {
    Outcome o;
    o.Reply = true;
    o.Command = 1;
    o.Data = {code};
    o.Note = "error " + std::to_string(code) + ": " + why;
    return o;
}

Outcome Meter::Ack(const std::string& note, bool changed) const {
    Outcome o;
    o.Reply = true;
    o.Command = 0;
    o.Note = note;
    o.Changed = changed;
    return o;
}

Outcome Meter::Handle(std::uint8_t cmd, const Bytes& d) {
    switch (cmd) {
        case 3: return Open(d);
        case 5: {
            Outcome o;
            o.Reply = true;
            o.Command = 5;
            o.Note = open_ ? "session closed" : "close without a session";
            ResetSessions();
            return o;
        }
        case 11: {
            if (!d.empty()) return Refuse(kErrParameter, "factory number request with data");
            Outcome o;
            o.Reply = true;
            o.Command = 11;
            o.PlainKey = true;
            const auto z = state_.ZNumber;
            o.Data = {static_cast<std::uint8_t>(z >> 24), static_cast<std::uint8_t>(z >> 16), static_cast<std::uint8_t>(z >> 8),
                      static_cast<std::uint8_t>(z)};
            o.Note = "factory number " + std::to_string(z);
            return o;
        }
        default: break;
    }
    if (!open_) return Refuse(kErrAccess, "command " + std::to_string(cmd) + " outside a session");
    switch (cmd) {
        case 6: return Read(d);
        case 9: return Write(d);
        case 7:
            if (!d.empty()) return Refuse(kErrParameter, "clock read with data");
            return ReadClock();
        case 8: return SetClock(d);
        case 14:
            if (d.size() == 1) return Control(d[0]);
            break;
        case 16:
            if (d.size() == 1) {
                if (d[0] > 1) return Refuse(kErrParameter, "optical port code " + std::to_string(d[0]));
                const bool en = d[0] == 0;
                const bool changed = en != state_.OptoPortEnabled;
                state_.OptoPortEnabled = en;
                return Ack(en ? "optical port enabled" : "optical port disabled", changed);
            }
            break;
        case 17:
            if (d.size() == 1) {
                if (d[0] != 'D' && d[0] != 'S') return Refuse(kErrParameter, "precision code " + std::to_string(d[0]));
                const bool changed = state_.Precision != d[0];
                state_.Precision = d[0];
                return Ack(d[0] == 'D' ? "precision: kopecks" : "precision: hundredths of kopecks", changed);
            }
            break;
        case 18:
            if (d.size() == 3) {
                const bool changed = state_.Currency != d;
                state_.Currency = d;
                return Ack("currency " + Hex(d), changed);
            }
            break;
        case 127:
            if (d.size() != 1) return Refuse(kErrParameter, "channel flags of " + std::to_string(d.size()) + " bytes");
            {
                const bool changed = state_.ChannelFlags != d[0];
                state_.ChannelFlags = d[0];
                return Ack("channel flags " + Hex(d), changed);
            }
        case 20:
            if (d.size() == 1) {
                auto r = MeasurementReply(state_.Version, 20, d[0]);
                if (!r) return Refuse(kErrGeneral, "no per-minute totals in version " + std::to_string(state_.Version));
                Outcome o;
                o.Reply = true;
                o.Command = 20;
                o.Data = *r;
                o.Note = "per-minute totals";
                return o;
            }
            return Refuse(kErrParameter, "per-minute totals need the interval byte");
        default: break;
    }
    if (cmd >= 13 && cmd <= 18) {
        if (!d.empty()) return Refuse(kErrParameter, "command " + std::to_string(cmd) + " with " + std::to_string(d.size()) + " data bytes");
        auto r = MeasurementReply(state_.Version, cmd, 0);
        if (!r) return Refuse(kErrGeneral, "no measurement " + std::to_string(cmd) + " in version " + std::to_string(state_.Version));
        Outcome o;
        o.Reply = true;
        o.Command = cmd;
        o.Data = *r;
        o.Note = "measurement " + std::to_string(cmd);
        return o;
    }
    return Refuse(kErrGeneral, "unknown command " + std::to_string(cmd));
}

Outcome Meter::Open(const Bytes& d) {
    if (d.size() != 8) {
        Outcome o = Refuse(kErrParameter, "open request of " + std::to_string(d.size()) + " bytes");
        o.PlainKey = true;
        return o;
    }
    const std::uint32_t z = (std::uint32_t{d[0]} << 24) | (std::uint32_t{d[1]} << 16) | (std::uint32_t{d[2]} << 8) | d[3];
    const std::uint32_t id = (std::uint32_t{d[4]} << 24) | (std::uint32_t{d[5]} << 16) | (std::uint32_t{d[6]} << 8) | d[7];
    if (z != state_.ZNumber) {
        Outcome o;
        o.Note = "open for factory number " + std::to_string(z) + ", not this meter: no answer";
        return o;
    }
    if (id != state_.InternalID && !opt_.AnyInternalID) {
        ResetSessions();
        Outcome o = Refuse(kErrAccess, "wrong identifier " + std::to_string(id));
        o.PlainKey = true;
        return o;
    }
    if (opt_.Key) {
        for (int i = 0; i < 4; ++i) key_[i] = (*opt_.Key)[static_cast<std::size_t>(i)];
    } else {
        do {
            const std::uint64_t r = keyRng_();
            for (int i = 0; i < 4; ++i) key_[i] = static_cast<std::uint8_t>(r >> (8 * i));
        } while (key_[0] == 0 && key_[1] == 0 && key_[2] == 0 && key_[3] == 0);
    }
    open_ = true;
    Outcome o;
    o.Reply = true;
    o.Command = 4;
    o.PlainKey = true;
    const int reported = opt_.ReportedVersion >= 0 ? opt_.ReportedVersion : state_.Version;
    o.Data = {static_cast<std::uint8_t>(reported), key_[0], key_[1], key_[2], key_[3], 0, 0, opt_.Flags};
    o.Data.resize(static_cast<std::size_t>(opt_.OpenReplyLength), 0);
    o.Note = "session open, key " + Hex(key_, 4);
    return o;
}

Outcome Meter::Read(const Bytes& d) {
    if (d.size() != 3) return Refuse(kErrParameter, "read request of " + std::to_string(d.size()) + " bytes");
    const int area = d[0];
    const int index = (d[1] << 8) | d[2];
    const AreaDef* a = layout_.Find(area);
    if (!a) return Refuse(kErrArea, "no area " + std::to_string(area) + " in version " + std::to_string(state_.Version));
    if (!a->Indexed && index != 0) return Refuse(kErrParameter, "record " + std::to_string(index) + " of plain area " + std::to_string(area));
    if (a->Indexed && index >= a->Records)
        return Refuse(kErrParameter, "record " + std::to_string(index) + " beyond the " + std::to_string(a->Records) + " of area " + std::to_string(area));
    Bytes b = Block(*a, index);
    if (b.size() > 255) return Refuse(kErrEeprom, "block of area " + std::to_string(area) + " longer than a frame");
    Outcome o;
    o.Reply = true;
    o.Command = 6;
    o.Data = std::move(b);
    o.Note = "read area " + std::to_string(area) + (a->Indexed ? " record " + std::to_string(index) : std::string()) + ", " +
             std::to_string(o.Data.size()) + " bytes";
    return o;
}

Outcome Meter::Write(const Bytes& d) {
    if (d.size() < 5) return Refuse(kErrParameter, "write request of " + std::to_string(d.size()) + " bytes");
    const int area = d[0];
    const int index = (d[1] << 8) | d[2];
    const AreaDef* a = layout_.Find(area);
    if (!a) return Refuse(kErrArea, "no area " + std::to_string(area) + " in version " + std::to_string(state_.Version));
    if (!a->Indexed && index != 0) return Refuse(kErrParameter, "record " + std::to_string(index) + " of plain area " + std::to_string(area));
    if (a->Indexed && index >= a->Records) return Refuse(kErrParameter, "record " + std::to_string(index) + " beyond the area");
    const int v = state_.Version;
    const std::uint16_t word = PasswordLowFirst(v) ? static_cast<std::uint16_t>(d[3] | (d[4] << 8))
                                                   : static_cast<std::uint16_t>((d[3] << 8) | d[4]);
    if (word != state_.Password) return Refuse(kErrAccess, "wrong write password " + std::to_string(word) + " (bytes " + Hex(d.data() + 3, 2) + ")");
    if (a->ReadOnly && !a->Passwords && !opt_.AllowReadOnlyWrites) return Refuse(kErrAccess, "area " + std::to_string(area) + " is read-only");
    Bytes block(d.begin() + 5, d.end());
    const auto want = static_cast<std::size_t>(a->BlockLength(index));
    if (block.size() != want)
        return Refuse(kErrParameter, "block of " + std::to_string(block.size()) + " bytes for area " + std::to_string(area) + " of " + std::to_string(want));
    if (!BlockSealed(v, block)) return Refuse(kErrBlockCrc, "block checksum wrong");
    std::string note = "wrote area " + std::to_string(area) + (a->Indexed ? " record " + std::to_string(index) : std::string());
    if (area == spot_.Area && index == spot_.Record) {
        if (auto p = PasswordFromBlock(spot_, v, block); p && *p != state_.Password) {
            note += ", write password " + std::to_string(state_.Password) + " -> " + std::to_string(*p);
            state_.Password = *p;
        }
    }
    if (a->Indexed) state_.Records[{area, index}] = std::move(block);
    else state_.Plain[area] = std::move(block);
    return Ack(note, true);
}

Outcome Meter::ReadClock() {
    const std::int64_t s = LocalNowSeconds() + state_.ClockOffset;
    const time_t t = static_cast<time_t>(s);
    std::tm tm{};
    gmtime_r(&t, &tm);
    Outcome o;
    o.Reply = true;
    o.Command = 7;
    o.Data = ClockRecord(state_.Version, tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "clock %02d.%02d.%04d %02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour,
                  tm.tm_min, tm.tm_sec);
    o.Note = buf;
    return o;
}

Outcome Meter::SetClock(const Bytes& d) {
    std::tm t{};
    std::string why;
    if (!ParseClockRecord(state_.Version, d, t, why)) return Refuse(kErrParameter, "bad date-time record " + Hex(d) + ": " + why);
    state_.ClockOffset = static_cast<std::int64_t>(timegm(&t)) - LocalNowSeconds();
    state_.ClockRecord = d;
    char buf[64];
    std::snprintf(buf, sizeof buf, "clock set to %02d.%02d.%04d %02d:%02d:%02d", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900, t.tm_hour,
                  t.tm_min, t.tm_sec);
    std::string note = buf;
    if (!why.empty()) note += " (warning: " + why + ")";
    return Ack(note, true);
}

Outcome Meter::Control(std::uint8_t code) {
    bool* target = nullptr;
    bool value = false;
    const char* what = "";
    switch (code) {
        case '0': target = &state_.ContactorOn; value = false; what = "contactor off"; break;
        case 'F': target = &state_.ContactorOn; value = true; what = "contactor released"; break;
        case 'D': target = &state_.CardSupport; value = true; what = "card support on"; break;
        case 'A': target = &state_.Channel1On; value = true; what = "channel 1 on"; break;
        case 'a': target = &state_.Channel1On; value = false; what = "channel 1 off"; break;
        case 'B': target = &state_.Channel2On; value = true; what = "channel 2 on"; break;
        case 'b': target = &state_.Channel2On; value = false; what = "channel 2 off"; break;
        default: return Refuse(kErrParameter, "control code " + Hex(&code, 1));
    }
    const bool changed = *target != value;
    *target = value;
    return Ack(what, changed);
}

}  // namespace sim
