#pragma once
// Time-outs and waits are measured on the monotonic clock: the time of day jumps
// and a 32-bit tick count wraps after 49 days.
#include <chrono>
#include <cstdint>

using MonoClock = std::chrono::steady_clock;

inline std::int64_t MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(MonoClock::now().time_since_epoch()).count();
}
