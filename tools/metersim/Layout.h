#pragma once
// Where the simulated meter's areas come from: the dictionary rows of the played
// version code, a small built-in set for codes the dictionary does not describe, and
// areas added on the command line. Also the area checksums of each version and a
// deterministic, plausible filling of every block.

#include "Wire.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct AreaParam {
    std::int32_t ParamID = 0;
    std::string Name;
    std::int32_t Type = 0;
    std::int32_t Offset = 0;
    std::int32_t Size = 0;
    std::int32_t Mask = 0;
    std::int32_t MinValue = 0;
    std::int32_t MaxValue = 0;
    std::int32_t MinIndex = 0;
    std::int32_t MaxIndex = 0;
    std::string Default;
};

struct AreaDef {
    std::int32_t Number = 0;       // the area number on the wire
    std::int32_t FileID = 0;       // 0 for built-in and custom areas
    std::string Name;
    bool Indexed = false;
    std::int32_t Records = 0;      // indexed: number of records
    std::int32_t PlainSize = 0;    // plain: block length, checksum included
    std::int32_t FixedRecordLength = 0;  // indexed areas without parameters: record length
    bool ReadOnly = false;
    bool Passwords = false;        // "Пароли доступа": never read by the PC, always writable
    std::vector<AreaParam> Params; // plain: every element; indexed: the parameters of a record
    // Block length of record r (plain areas: the whole area), checksum included.
    std::int32_t BlockLength(std::int32_t record) const;
    // The parameters that lie in record r (plain areas: all).
    std::vector<const AreaParam*> ParamsOf(std::int32_t record) const;
};

// An area given with --area: N:LEN (plain) or N:LEN:RECORDS (indexed).
struct CustomArea {
    std::int32_t Number = 0;
    std::int32_t Length = 0;
    std::int32_t Records = 0;
};

struct Layout {
    std::map<std::int32_t, AreaDef> Areas;
    std::string Source;  // "dictionary", "built-in"
    const AreaDef* Find(std::int32_t number) const {
        auto it = Areas.find(number);
        return it == Areas.end() ? nullptr : &it->second;
    }
};

Layout BuildLayout(int version, const std::vector<CustomArea>& custom, std::string& warnings);

// Area checksum of a version: CRC-16/XMODEM or the one-shift-per-byte sum.
std::uint16_t AreaChecksum(int version, const std::uint8_t* data, std::size_t n);
// Puts the checksum of bytes 0..L-3 into bytes L-2, L-1 in the version's byte order.
void SealBlock(int version, Bytes& block);
// True when the last two bytes hold the right checksum (versions 38 and 39 accept any).
bool BlockSealed(int version, const Bytes& block);
// Byte order of multi-byte integers and checksums inside areas.
bool AreaLittleEndian(int version);

struct FillContext {
    int Version = 0;
    std::uint32_t ZNumber = 0;
    std::uint32_t InternalID = 0;
    std::uint16_t Password = 0;
};

// Deterministic content of a block, sealed with a valid checksum.
Bytes FillBlock(const AreaDef& area, std::int32_t record, const FillContext& ctx);

// Where the write password lies inside the password area, when the layout knows it.
struct PasswordSpot {
    std::int32_t Area = -1;
    std::int32_t Record = 0;   // indexed password areas: the record that holds it
    std::int32_t Offset = 0;
    std::int32_t Size = 0;
    std::int32_t Type = 1;     // 1 integer, 3 text of digits
};
PasswordSpot FindPasswordSpot(const Layout& layout);
const AreaParam* WritePasswordParam(const AreaDef& area);
// Reads the password from a block written into the password area (nullopt: not there).
std::optional<std::uint16_t> PasswordFromBlock(const PasswordSpot& spot, int version, const Bytes& block);
// Puts the password into a block of the password area (filling and state loading).
void PasswordIntoBlock(const PasswordSpot& spot, int version, std::uint16_t password, Bytes& block);

// Encoders shared with the measurement replies.
Bytes Bcd(double value, int width);  // width 7 (12 digits) or 6 (10 digits)

}  // namespace sim
