#pragma once
// Command line of metersim.

#include "Faults.h"
#include "Layout.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Options {
    int Version = 2;
    bool VersionGiven = false;
    std::uint32_t ZNumber = 12345678;
    bool ZNumberGiven = false;
    std::uint32_t InternalID = 0;
    bool InternalIDGiven = false;
    std::uint16_t Password = 0;
    bool PasswordGiven = false;
    std::optional<std::int64_t> ClockOffset;
    int ReportedVersion = -1;          // -1: the played version
    std::uint8_t Flags = 0x02;         // open reply byte 7
    int OpenReplyLength = 8;
    bool AnyInternalID = false;
    std::optional<std::array<std::uint8_t, 4>> Key;
    std::uint64_t Seed = 1;
    int Baud = 0;                      // 0: as fast as the pty goes
    int ReplyDelayMs = 0;
    int GapTimeoutMs = 1000;
    bool PackReplies = true;
    bool AllowReadOnlyWrites = false;
    std::vector<Fault> Faults;
    std::vector<CustomArea> Areas;
    std::string StatePath;
    std::string LinkPath;
    bool StdinControl = false;
    bool Log = false;
    bool Help = false;
    bool ListAreas = false;
};

// Parses argv; false with `error` set on a bad command line.
bool ParseOptions(int argc, char** argv, Options& o, std::string& error);
std::string HelpText();

}  // namespace sim
