// Checksum, key, packing and whole frames, byte for byte.
#include "LinkFakes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

namespace {

TEST(FrameCrc, CheckValueAndKnownFrames) {
    const char* check = "123456789";
    EXPECT_EQ(FrameCrc(reinterpret_cast<const std::uint8_t*>(check), 9), 0xA1);
    const std::uint8_t close[] = {0x00, 0x05};
    EXPECT_EQ(FrameCrc(close, 2), 0x3F);
    const std::uint8_t reset[] = {0x00, 0x02};
    EXPECT_EQ(FrameCrc(reset, 2), 0xBC);
    // The table agrees with the bitwise definition on every single byte.
    for (int b = 0; b < 256; ++b) {
        const Bytes one{static_cast<std::uint8_t>(b)};
        EXPECT_EQ(FrameCrc(one.data(), 1), TestCrc(one, 0, 1)) << b;
    }
}

TEST(FrameKey, XorCyclesThroughFourKeyBytes) {
    const std::uint8_t key[4] = {0x01, 0x02, 0x04, 0x08};
    Bytes data{0, 0, 0, 0, 0, 0xFF};
    XorWithKey(data.data(), data.size(), key);
    EXPECT_EQ(data, (Bytes{0x01, 0x02, 0x04, 0x08, 0x01, 0xFD}));
    XorWithKey(data.data(), data.size(), key);
    EXPECT_EQ(data, (Bytes{0, 0, 0, 0, 0, 0xFF}));
}

TEST(FramePacking, VersionsThatPack) {
    for (int v : {4, 5, 8, 12, 20, 23, 24, 25, 27, 28, 30, 38, 40, 47}) EXPECT_FALSE(VersionUsesPacking(v)) << v;
    for (int v : {1, 2, 3, 6, 7, 21, 22, 26, 29, 31, 36, 37, 48, 49}) EXPECT_TRUE(VersionUsesPacking(v)) << v;
}

struct PackCase {
    const char* name;
    Bytes in;
    Bytes packed;  // empty: sent unpacked
};

TEST(FramePacking, Cases) {
    Bytes every(255);
    std::iota(every.begin(), every.end(), std::uint8_t{1});
    const PackCase cases[] = {
        {"four bytes never pack", {7, 7, 7, 7}, {}},
        {"five equal bytes", {7, 7, 7, 7, 7}, {0xFF, 0xFF, 5, 7}},
        {"run of three stays literal", {1, 1, 1, 2, 3, 4}, {}},
        {"escape avoids used values", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0xFE, 0xFE, 6, 0xFF}},
        {"runs and literals", {1, 2, 2, 2, 2, 2, 2, 3, 3, 3, 4}, {0xFF, 1, 0xFF, 6, 2, 3, 3, 3, 4}},
        {"every value 1..255 once", every, {}},
    };
    for (const auto& c : cases) {
        Bytes out(c.in.size());
        const int n = PackBytes(c.in, out);
        if (c.packed.empty()) {
            EXPECT_EQ(n, -1) << c.name;
        } else {
            ASSERT_EQ(n, static_cast<int>(c.packed.size())) << c.name;
            out.resize(static_cast<std::size_t>(n));
            EXPECT_EQ(out, c.packed) << c.name;
            Bytes back(255);
            const int m = UnpackBytes(out, back);
            ASSERT_EQ(m, static_cast<int>(c.in.size())) << c.name;
            back.resize(static_cast<std::size_t>(m));
            EXPECT_EQ(back, c.in) << c.name;
        }
    }
}

TEST(FramePacking, EscapeIsTheLargestFreeValue) {
    // Every value from 1 to 255 is taken, so only 0 is left for the escape.
    Bytes data;
    for (int v = 1; v <= 255; ++v) {
        data.push_back(static_cast<std::uint8_t>(v));
        if (v == 7) data.insert(data.end(), 5, 7);
    }
    Bytes out(data.size());
    const int n = PackBytes(data, out);
    ASSERT_EQ(n, 1 + 6 + 3 + 248);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(Bytes(out.begin() + 7, out.begin() + 10), (Bytes{0x00, 6, 7}));
}

TEST(FrameUnpacking, BadFramesAreRefusedWithinTheBuffer) {
    struct Case {
        const char* name;
        Bytes in;
    } cases[] = {
        {"empty", {}},
        {"escape at the end", {0xFF, 1, 2, 0xFF}},
        {"escape without value", {0xFF, 1, 0xFF, 4}},
        {"expands beyond 255", {0xFF, 0xFF, 200, 1, 0xFF, 100, 2}},
        {"literals beyond 255 after a run", {0xFF, 0xFF, 255, 1, 9}},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 300> out{};
        out.fill(0xAA);
        EXPECT_EQ(UnpackBytes(c.in, std::span<std::uint8_t>(out.data(), 255)), -1) << c.name;
        for (std::size_t i = 255; i < out.size(); ++i) ASSERT_EQ(out[i], 0xAA) << c.name;
    }
    // Exactly 255 is still a good frame.
    std::array<std::uint8_t, 255> out{};
    EXPECT_EQ(UnpackBytes(Bytes{0xFF, 0xFF, 255, 1}, out), 255);
}

TEST(FrameWhole, RequestFramesOnTheWire) {
    std::array<std::uint8_t, kFrameBufferSize> f{};
    const std::uint8_t zero[4] = {};
    f[1] = 0;
    f[2] = 5;
    ASSERT_EQ(FinishRequestFrame(f.data(), true, zero), 4u);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 4), (Bytes{0x7E, 0x00, 0x05, 0x3F}));

    // Five equal bytes with a key: packed first, then encoded, then checked.
    const std::uint8_t key[4] = {0x10, 0x20, 0x30, 0x40};
    f[1] = 5;
    f[2] = 9;
    std::memset(f.data() + 3, 7, 5);
    ASSERT_EQ(FinishRequestFrame(f.data(), true, key), 8u);
    const Bytes expected = RawFrame(0x89, {0xFF, 0xFF, 5, 7}, {0x10, 0x20, 0x30, 0x40});
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 8), expected);

    // The same request for a version that never packs.
    f[1] = 5;
    f[2] = 9;
    std::memset(f.data() + 3, 7, 5);
    ASSERT_EQ(FinishRequestFrame(f.data(), false, key), 9u);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 9), RawFrame(9, {7, 7, 7, 7, 7}, {0x10, 0x20, 0x30, 0x40}));
}

TEST(FrameWhole, ReplyIsDecodedThenUnpacked) {
    const std::array<std::uint8_t, 4> key{1, 2, 3, 4};
    Bytes raw = RawFrame(0x86, {0xFF, 0xFF, 10, 0x33, 0x44}, key);
    raw.resize(kFrameBufferSize);
    std::array<std::uint8_t, 255> work{};
    ASSERT_TRUE(OpenReplyFrame(raw.data(), true, key.data(), work));
    EXPECT_EQ(raw[1], 11);
    EXPECT_EQ(raw[2], 6);
    EXPECT_EQ(Bytes(raw.begin() + 3, raw.begin() + 14), (Bytes{0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x44}));

    // A version that does not pack keeps bit 7 and the data as they came.
    Bytes plain = RawFrame(0x86, {0xFF, 0xFF, 10, 0x33, 0x44}, key);
    plain.resize(kFrameBufferSize);
    ASSERT_TRUE(OpenReplyFrame(plain.data(), false, key.data(), work));
    EXPECT_EQ(plain[1], 5);
    EXPECT_EQ(plain[2], 0x86);
}

}  // namespace
