#pragma once
// Helpers of the parameter-model tests: hex byte strings, parameters built from a few
// columns of a Params row, the type catalogue of the dictionary seed.

#include "model/CounterParam.h"
#include "model/ParamTypes.h"
#include "shell/MeterVersion.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modeltest {

// Big-endian and little-endian meters (both CRC-16 and shift checksums appear below).
inline constexpr std::int32_t kBigEndianVersion = 4;
inline constexpr std::int32_t kLittleEndianVersion = 36;

// The catalogue of the dictionary seed, loaded once into ParamTypeList.
inline void EnsureParamTypes() {
    if (ParamTypeList.Count() == 0) ParamTypeList.LoadFromDictionarySeed();
}

inline std::vector<std::uint8_t> Hex(std::string_view s) {
    std::vector<std::uint8_t> out;
    int nibbles = 0, v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else continue;
        v = v * 16 + d;
        if (++nibbles == 2) {
            out.push_back(static_cast<std::uint8_t>(v));
            nibbles = v = 0;
        }
    }
    return out;
}

inline std::string HexOf(const std::uint8_t* p, std::size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

struct ParamLayout {
    int Type = 1;
    int Width = 1;
    int Offset = 3;
    std::optional<int> Mask;
    int MinValue = 0;
    int MaxValue = 0;
    int ParamID = 1000;
    std::string Name = "Параметр";
    std::string Default;
};

inline TParamRow RowOf(const ParamLayout& s) {
    TParamRow r;
    r.ParamID = s.ParamID;
    r.ParamName = s.Name;
    r.ParamType = s.Type;
    r.FileID = 1;
    r.FileOffset = s.Offset;
    r.InFileSize = s.Width;
    r.DefaultValue = s.Default;
    r.Mask = s.Mask;
    if (s.MinValue || s.MaxValue) {
        r.MinValue = s.MinValue;
        r.MaxValue = s.MaxValue;
    }
    return r;
}

inline TCounterParam MakeParam(const ParamLayout& s) {
    EnsureParamTypes();
    TCounterParam p(s.ParamID);
    p.LoadFromParamRow(RowOf(s));
    return p;
}

// Restores the process-wide codec state a test changes.
struct CodecStateGuard {
    std::int32_t version = CurrentVersion;
    bool whole = WholeValueMode;
    ~CodecStateGuard() {
        CurrentVersion = version;
        WholeValueMode = whole;
    }
};

}  // namespace modeltest
