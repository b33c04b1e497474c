#include "Wire.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace sim {

namespace {
// Table of the reflected polynomial 0x8C, built bit by bit.
std::array<std::uint8_t, 256> MakeCrcTable() {
    std::array<std::uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        std::uint8_t c = static_cast<std::uint8_t>(i);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<std::uint8_t>((c >> 1) ^ 0x8C) : static_cast<std::uint8_t>(c >> 1);
        t[static_cast<std::size_t>(i)] = c;
    }
    return t;
}
}  // namespace

std::uint8_t Crc8(const std::uint8_t* data, std::size_t n) {
    static const auto table = MakeCrcTable();
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) crc = table[crc ^ data[i]];
    return crc;
}

void XorWithKey(Bytes& data, const std::uint8_t key[4]) {
    for (std::size_t i = 0; i < data.size(); ++i) data[i] ^= key[i % 4];
}

bool VersionPacks(int v) {
    if (v == 4 || v == 5 || v == 23 || v == 24 || v == 25 || v == 27 || v == 28 || v == 30) return false;
    if (v >= 8 && v <= 20) return false;
    if (v >= 38 && v <= 47) return false;
    return true;
}

std::optional<Bytes> Pack(const Bytes& data) {
    const std::size_t n = data.size();
    if (n < 5) return std::nullopt;
    std::array<bool, 256> seen{};
    for (auto b : data) seen[b] = true;
    int esc = 0xFF;
    while (esc >= 0 && seen[static_cast<std::size_t>(esc)]) --esc;
    if (esc < 0) return std::nullopt;  // cannot happen below 256 bytes
    Bytes out;
    out.push_back(static_cast<std::uint8_t>(esc));
    std::size_t i = 0;
    while (i < n) {
        std::size_t r = 1;
        while (i + r < n && data[i + r] == data[i] && r < 255) ++r;
        if (r > 3) {
            out.push_back(static_cast<std::uint8_t>(esc));
            out.push_back(static_cast<std::uint8_t>(r));
            out.push_back(data[i]);
        } else {
            out.insert(out.end(), r, data[i]);
        }
        i += r;
        if (out.size() >= n) return std::nullopt;
    }
    if (out.size() >= n) return std::nullopt;
    return out;
}

std::optional<Bytes> Unpack(const Bytes& data) {
    if (data.empty()) return std::nullopt;
    const std::uint8_t esc = data[0];
    Bytes out;
    for (std::size_t i = 1; i < data.size(); ++i) {
        if (data[i] != esc) {
            out.push_back(data[i]);
        } else {
            if (i + 2 >= data.size()) return std::nullopt;
            const std::size_t count = data[i + 1];
            if (count < 4) return std::nullopt;
            out.insert(out.end(), count, data[i + 2]);
            i += 2;
        }
        if (out.size() > 255) return std::nullopt;
    }
    return out;
}

Bytes BuildFrame(std::uint8_t command, const Bytes& wireData) {
    Bytes f;
    f.reserve(wireData.size() + 4);
    f.push_back(kStartByte);
    f.push_back(static_cast<std::uint8_t>(wireData.size()));
    f.push_back(command);
    f.insert(f.end(), wireData.begin(), wireData.end());
    f.push_back(Crc8(f.data() + 1, f.size() - 1));
    return f;
}

void FrameReader::Feed(const std::uint8_t* data, std::size_t n, std::int64_t nowUs) {
    for (std::size_t i = 0; i < n; ++i) buf_.push_back({data[i], nowUs});
    if (n) lastByteUs_ = nowUs;
}

std::optional<RawFrame> FrameReader::Next() {
    for (;;) {
        std::size_t s = 0;
        while (s < buf_.size() && buf_[s].b != kStartByte) ++s;
        skipped_ += s;
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(s));
        if (buf_.size() < 2) return std::nullopt;
        const std::size_t len = buf_[1].b;
        const std::size_t total = len + 4;
        if (buf_.size() < total) return std::nullopt;
        Bytes wire;
        wire.reserve(total);
        for (std::size_t i = 0; i < total; ++i) wire.push_back(buf_[i].b);
        if (Crc8(wire.data() + 1, total - 2) != wire[total - 1]) {
            ++badFrames_;
            buf_.erase(buf_.begin());  // resume the hunt right after this start byte
            continue;
        }
        RawFrame f;
        f.Command = wire[2];
        f.Data.assign(wire.begin() + 3, wire.begin() + 3 + static_cast<std::ptrdiff_t>(len));
        f.FirstByteUs = buf_[0].us;
        f.Wire = std::move(wire);
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(total));
        return f;
    }
}

bool FrameReader::Expire(std::int64_t nowUs) {
    if (buf_.empty() || nowUs - lastByteUs_ < std::int64_t{gapTimeoutMs_} * 1000) return false;
    // Give up this start byte only: a good frame may sit behind a stray 0x7E.
    ++skipped_;
    buf_.erase(buf_.begin());
    return true;
}

std::string Hex(const std::uint8_t* data, std::size_t n) {
    std::string s;
    s.reserve(n * 3);
    char tmp[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(tmp, sizeof tmp, "%02X", data[i]);
        if (i) s += ' ';
        s += tmp;
    }
    return s;
}

std::optional<Bytes> ParseHex(const std::string& text) {
    Bytes out;
    int hi = -1;
    for (char ch : text) {
        if (ch == ' ' || ch == '\t') continue;
        int v;
        if (ch >= '0' && ch <= '9') v = ch - '0';
        else if (ch >= 'a' && ch <= 'f') v = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F') v = ch - 'A' + 10;
        else return std::nullopt;
        if (hi < 0) hi = v;
        else {
            out.push_back(static_cast<std::uint8_t>(hi * 16 + v));
            hi = -1;
        }
    }
    if (hi >= 0) return std::nullopt;
    return out;
}

}  // namespace sim
