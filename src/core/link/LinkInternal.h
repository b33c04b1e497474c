#pragma once
// Helpers shared by the files of the meter link; not part of its interface.
#include "shell/JobContext.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace linkdetail {

// " 7E 00 05 3F": a blank and two upper-case hex digits per byte.
std::string HexList(const std::uint8_t* bytes, std::size_t n);

// Moves the job's overall bar on by one.
inline void AdvanceOverall() {
    JobContext& job = CurrentJob();
    job.SetOverall(job.Overall() + 1, job.OverallMax());
}

// The step text without the attempt suffix an earlier exchange appended to it.
std::string WithoutAttemptSuffix(const std::string& text);

// Reply time-out of the configuration (6000 ms without one).
std::uint16_t ConfiguredDelay();
bool LoggingOn();

}  // namespace linkdetail
