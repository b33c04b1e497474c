#pragma once
// State of the open meter session that the codec reads, and the byte order of a
// version code. Shared by the link, the codec and the simulator.

#include <cstdint>

// Version code of the meter whose session is open (set by OpenSeance).
extern std::int32_t CurrentVersion;
// Prices are whole numbers in the meter (set by OpenSeance from the meter's flags).
extern bool WholeValueMode;

// Multi-byte integers and area checksums are least significant byte first for these
// version codes, most significant byte first for all others.
constexpr bool IsLittleEndianVersion(std::int32_t version) {
    switch (version) {
        case 16: case 36: case 37: case 38: case 39: case 42: case 43: case 48: case 49:
            return true;
        default:
            return false;
    }
}
