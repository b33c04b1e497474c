#pragma once
// Faults injected into the meter's replies, chosen on the command line or on the
// control channel, reproducible with the seed.
//
//   KIND[=ARG][@WHEN][/CMD]
//
// WHEN picks replies by number (1 is the first reply; with /CMD only the replies to
// that request command are counted): "all" (the default), "K", "K-M", "K-" (K and
// every later one), "pX" (each reply with probability X), or a comma list of these.

#include "Wire.h"

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sim {

enum class FaultKind { Noise, BadCrc, Lost, Deaf, Error, Split, Delay, Pace, Truncate, WrongCommand };

struct FaultRange {
    std::uint64_t From = 1;
    std::uint64_t To = UINT64_MAX;
    double Probability = -1;  // >= 0: a draw decides instead of the number
};

struct Fault {
    FaultKind Kind = FaultKind::Lost;
    int Arg = 0;           // noise bytes, error code, pause ms, baud, bytes kept, command
    int Parts = 2;         // split: number of pieces
    std::vector<FaultRange> When;  // empty: every reply
    int Command = -1;      // only replies to this request command; -1: any
    std::uint64_t Base = 0;        // replies counted before the fault was added
    std::uint64_t BaseForCommand = 0;
    std::string Text;      // as given, for the log
};

// Parses one fault; on error returns nullopt and sets `error`.
std::optional<Fault> ParseFault(const std::string& faultText, std::string& error);

// What the faults make of one reply.
struct FaultPlan {
    bool Deaf = false;       // request ignored: nothing done, nothing sent
    bool Lost = false;       // done, reply not sent
    int ErrorCode = -1;      // >= 0: refuse with this error instead
    int WrongCommand = -1;   // >= 0: reply with this command code instead
    int NoiseBytes = 0;
    bool BadCrc = false;
    int SplitPauseMs = -1;
    int SplitParts = 2;
    int DelayMs = 0;
    int PaceBaud = 0;
    int TruncateTo = -1;
    std::vector<std::string> Applied;
};

class FaultSet {
public:
    explicit FaultSet(std::uint64_t seed) : rng_(seed ^ 0x5EEDFA017ULL) {}
    void Add(Fault f);  // numbering of a fault added later starts at the next reply
    void Clear() { faults_.clear(); }
    bool Empty() const { return faults_.empty(); }
    // Called once for every request the meter would answer, in order.
    FaultPlan Next(int requestCommand);
    std::uint64_t Replies() const { return replies_; }
    std::mt19937_64& Rng() { return rng_; }

private:
    std::vector<Fault> faults_;
    std::uint64_t replies_ = 0;
    std::uint64_t perCommand_[256] = {};
    std::mt19937_64 rng_;
};

// Help text for the fault syntax (used by --help).
const char* FaultHelp();

}  // namespace sim
