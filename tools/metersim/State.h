#pragma once
// The meter's memory and switches, and the readable text file that keeps them
// between runs (--state FILE).
//
// File form, one item per line, '#' starts a comment:
//   version 36
//   znumber 12345678
//   internal-id 0
//   password 0                 write password, 0-65535
//   clock-offset -3600         meter clock minus the host's local time, seconds
//   clock-record 06 05 03 E7 07 0E 07 09   the last date-time record the PC set
//   currency 52 55 42          three bytes of command 18
//   precision 44               "D" kopecks, "S" hundredths of kopecks
//   contactor on|off           switched off by "0", back on by "F"
//   card-support on|off
//   channel1 on|off, channel2 on|off
//   opto-port enabled|disabled
//   channel-flags 07           the last byte of command 127
//   area N HEX...              a plain area, checksum included
//   record N I HEX...          record I of indexed area N (only records that differ
//                              from the generated content are kept)

#include "Layout.h"
#include "Wire.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace sim {

struct MeterState {
    int Version = 2;
    std::uint32_t ZNumber = 12345678;
    std::uint32_t InternalID = 0;
    std::uint16_t Password = 0;
    std::int64_t ClockOffset = 0;
    Bytes ClockRecord;
    Bytes Currency{'R', 'U', 'B'};
    std::uint8_t Precision = 'D';
    bool ContactorOn = true;
    bool CardSupport = false;
    bool Channel1On = false;
    bool Channel2On = false;
    bool OptoPortEnabled = true;
    std::uint8_t ChannelFlags = 0x07;
    std::map<std::int32_t, Bytes> Plain;
    std::map<std::pair<std::int32_t, std::int32_t>, Bytes> Records;
};

// Which identity items the state file set (the command line wins over the file only
// for items given there).
struct LoadedItems {
    bool Version = false, ZNumber = false, InternalID = false, Password = false;
};

// Reads a state file. Unknown or bad lines are reported in `warnings` and skipped;
// false only when the file cannot be read at all.
bool LoadState(const std::string& path, MeterState& state, LoadedItems& items, std::string& warnings);
// Writes to a temporary file beside `path`, flushes it to disk and renames it over
// `path`, so a reader never sees half a file. False (with `error`) on failure.
bool SaveState(const std::string& path, const MeterState& state, const Layout& layout, std::string& error);
std::string StateText(const MeterState& state, const Layout& layout);

}  // namespace sim
