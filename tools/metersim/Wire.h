#pragma once
// The meter's end of the wire: frame checksum, session-key XOR, run-length packing,
// and a byte-stream reader that picks request frames out of whatever arrives.
// Written from the meter's point of view and kept apart from the PC's link code, so
// that each side checks the other.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kStartByte = 0x7E;
constexpr std::uint8_t kPackedBit = 0x80;

// CRC-8, Dallas/Maxim 1-Wire polynomial, reflected, init 0, no final XOR.
std::uint8_t Crc8(const std::uint8_t* data, std::size_t n);
inline std::uint8_t Crc8(const Bytes& b) { return Crc8(b.data(), b.size()); }

// XOR byte i with key[i mod 4].
void XorWithKey(Bytes& data, const std::uint8_t key[4]);

// Run-length packing as the meter does it for its replies. Returns the packed form
// only when it is strictly shorter than the input (and the input has at least five
// bytes); otherwise std::nullopt and the data travel as they are.
std::optional<Bytes> Pack(const Bytes& data);

// Expands packed request data (escape byte first). Refuses what would not fit one
// frame (more than 255 bytes), an escape without its count and value, and a count
// below 4 or a zero count: a packer never produces those.
std::optional<Bytes> Unpack(const Bytes& data);

// Version codes whose frames are never packed.
bool VersionPacks(int version);

// A complete frame as it travels: start, L, command, data, checksum.
Bytes BuildFrame(std::uint8_t command, const Bytes& wireData);

struct RawFrame {
    std::uint8_t Command = 0;  // as received, packed bit included
    Bytes Data;                // as received (still encoded and packed)
    Bytes Wire;                // every byte of the frame
    std::int64_t FirstByteUs = 0;
};

// Collects request frames from a byte stream. A frame whose checksum is wrong is
// dropped and the hunt starts again at the byte after its start byte, so a stray
// 0x7E in noise cannot swallow a good frame behind it. A frame left incomplete for
// longer than the gap time-out is dropped too.
class FrameReader {
public:
    explicit FrameReader(int gapTimeoutMs = 1000) : gapTimeoutMs_(gapTimeoutMs) {}
    void Feed(const std::uint8_t* data, std::size_t n, std::int64_t nowUs);
    // Next good frame, if one is complete.
    std::optional<RawFrame> Next();
    // Gives up the start byte of a partial frame that has waited too long, so that the
    // hunt resumes behind it; call Next() again afterwards. True when it dropped one.
    bool Expire(std::int64_t nowUs);
    std::size_t BadFrames() const { return badFrames_; }
    std::size_t SkippedBytes() const { return skipped_; }
    bool Pending() const { return !buf_.empty(); }

private:
    struct Timed { std::uint8_t b; std::int64_t us; };
    std::vector<Timed> buf_;
    int gapTimeoutMs_;
    std::int64_t lastByteUs_ = 0;
    std::size_t badFrames_ = 0;
    std::size_t skipped_ = 0;
};

std::string Hex(const std::uint8_t* data, std::size_t n);
inline std::string Hex(const Bytes& b) { return Hex(b.data(), b.size()); }
// Parses "7E 00 05" or "7e0005" (blanks optional). nullopt on bad text.
std::optional<Bytes> ParseHex(const std::string& text);

}  // namespace sim
