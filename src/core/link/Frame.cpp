// Frame pieces that need no port: checksum, session key, packing.
#include "link/CounterSeance.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::array<std::uint8_t, 256> MakeCrcTable() {
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        std::uint8_t crc = static_cast<std::uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint8_t>((crc >> 1) ^ 0x8C) : static_cast<std::uint8_t>(crc >> 1);
        table[static_cast<std::size_t>(i)] = crc;
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

std::uint8_t FrameCrc(const std::uint8_t* data, std::size_t n) {
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) crc = kCrcTable[crc ^ data[i]];
    return crc;
}

void XorWithKey(std::uint8_t* data, std::size_t n, const std::uint8_t key[4]) {
    for (std::size_t i = 0; i < n; ++i) data[i] ^= key[i % 4];
}

bool VersionUsesPacking(int version) {
    switch (version) {
        case 4: case 5:
        case 23: case 24: case 25: case 27: case 28: case 30:
            return false;
        default:
            if (version >= 8 && version <= 20) return false;
            if (version >= 38 && version <= 47) return false;
            return true;
    }
}

int PackBytes(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    const std::size_t n = in.size();
    if (n < 5) return -1;
    bool present[256] = {};
    for (std::uint8_t b : in) present[b] = true;
    int escape = 0xFF;
    while (escape >= 0 && present[escape]) --escape;
    if (escape < 0) return -1;
    const auto esc = static_cast<std::uint8_t>(escape);

    // Gives up as soon as the output can no longer be shorter than the input.
    const std::size_t limit = std::min(n - 1, out.size());
    std::size_t len = 0;
    auto room = [&](std::size_t add) { return len + add <= limit; };
    if (!room(1)) return -1;
    out[len++] = esc;
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t v = in[i];
        std::size_t r = 1;
        while (i + r < n && in[i + r] == v && r < 255) ++r;
        if (r > 3) {
            if (!room(3)) return -1;
            out[len++] = esc;
            out[len++] = static_cast<std::uint8_t>(r);
            out[len++] = v;
        } else {
            if (!room(r)) return -1;
            for (std::size_t k = 0; k < r; ++k) out[len++] = v;
        }
        i += r;
    }
    return static_cast<int>(len);
}

int UnpackBytes(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    if (in.empty()) return -1;
    const std::size_t cap = std::min(out.size(), kMaxFrameData);
    const std::uint8_t esc = in[0];
    std::size_t len = 0;
    std::size_t i = 1;
    while (i < in.size()) {
        const std::uint8_t b = in[i];
        if (b == esc) {
            if (i + 2 >= in.size()) return -1;  // escape without count and value
            const std::size_t count = in[i + 1];
            const std::uint8_t value = in[i + 2];
            if (len + count > cap) return -1;
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(len), count, value);
            len += count;
            i += 3;
        } else {
            if (len + 1 > cap) return -1;
            out[len++] = b;
            ++i;
        }
    }
    return static_cast<int>(len);
}

std::size_t FinishRequestFrame(std::uint8_t* frame, bool packing, const std::uint8_t key[4]) {
    frame[0] = kFrameStart;
    std::size_t length = frame[1];
    if (packing) {
        std::array<std::uint8_t, kMaxFrameData> packed{};
        const int k = PackBytes({frame + 3, length}, packed);
        if (k > 0) {
            std::memcpy(frame + 3, packed.data(), static_cast<std::size_t>(k));
            length = static_cast<std::size_t>(k);
            frame[1] = static_cast<std::uint8_t>(length);
            frame[2] |= 0x80;
        }
    }
    XorWithKey(frame + 3, length, key);
    frame[3 + length] = FrameCrc(frame + 1, length + 2);
    return length + 4;
}

bool OpenReplyFrame(std::uint8_t* frame, bool packing, const std::uint8_t key[4], std::span<std::uint8_t> work) {
    const std::size_t length = frame[1];
    XorWithKey(frame + 3, length, key);
    if (packing && (frame[2] & 0x80)) {
        const int k = UnpackBytes({frame + 3, length}, work);
        if (k < 0) return false;
        std::memcpy(frame + 3, work.data(), static_cast<std::size_t>(k));
        frame[1] = static_cast<std::uint8_t>(k);
        frame[2] &= 0x7F;
    }
    return true;
}
