#pragma once
// The meter's command handling: sessions, the single commands, area reads and
// writes, measurements. Works on decoded, unpacked request data; the frame level
// (main.cpp) does the wire.

#include "Layout.h"
#include "Options.h"
#include "State.h"
#include "Wire.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <random>
#include <string>

namespace sim {

enum ErrorCode : std::uint8_t {
    kErrGeneral = 0,
    kErrArea = 1,
    kErrEeprom = 2,
    kErrParameter = 3,
    kErrBlockCrc = 4,
    kErrAccess = 5,
};

struct Outcome {
    bool Reply = false;       // false: the meter stays silent
    std::uint8_t Command = 0;
    Bytes Data;
    bool PlainKey = false;    // reply travels unencoded (open session, factory number)
    bool Changed = false;     // memory or switches changed: save the state
    std::string Note;         // for the log
};

class Meter {
public:
    Meter(const Options& options, const Layout& layout, MeterState& state);

    Outcome Handle(std::uint8_t command, const Bytes& data);
    Outcome Refuse(std::uint8_t code, const std::string& why) const;
    void ResetSessions();

    bool SessionOpen() const { return open_; }
    const std::uint8_t* Key() const { return key_; }
    int Version() const { return state_.Version; }

    // The block as the meter holds it (generated when never written).
    Bytes Block(const AreaDef& area, std::int32_t record) const;
    FillContext Fill() const;
    const PasswordSpot& Spot() const { return spot_; }

private:
    Outcome Open(const Bytes& d);
    Outcome Read(const Bytes& d);
    Outcome Write(const Bytes& d);
    Outcome ReadClock();
    Outcome SetClock(const Bytes& d);
    Outcome Control(std::uint8_t code);
    Outcome Ack(const std::string& note, bool changed) const;

    const Options& opt_;
    const Layout& layout_;
    MeterState& state_;
    PasswordSpot spot_;
    bool open_ = false;
    std::uint8_t key_[4] = {0, 0, 0, 0};
    std::mt19937_64 keyRng_;
};

// Date-time record of commands 7 and 8 in the layout of the version.
Bytes ClockRecord(int version, const std::tm& t);
// Parses a record; false when a field is out of range.
bool ParseClockRecord(int version, const Bytes& r, std::tm& t, std::string& why);

// Measurement replies (commands 13 to 18 without data, 20 with the interval);
// nullopt for versions that have no such reply.
std::optional<Bytes> MeasurementReply(int version, int command, int interval);

}  // namespace sim
