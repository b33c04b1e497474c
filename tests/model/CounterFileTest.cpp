// TCounterFile: checksums, array and record expansion, block lengths, whole blocks
// decoded and encoded, a dictionary edited into an inconsistent state, and every
// area of the dictionary seed in every version that has it.
#include "ModelTestSupport.h"

#include "db/Dictionary.h"
#include "model/CounterFile.h"
#include "shell/MeterVersion.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

using namespace modeltest;

namespace {

TFileRow PlainArea(int size, const char* name = "Область") {
    return {.FileID = 500, .FileName = name, .FileInternalID = 9, .FileSize = size, .FileIndex = false};
}
TFileRow IndexedArea(int records, const char* name = "Журнал") {
    return {.FileID = 501, .FileName = name, .FileInternalID = 10, .FileSize = records, .FileIndex = true};
}
TParamRow Row(int id, int type, int offset, int width, std::optional<int> mask = std::nullopt) {
    TParamRow r = RowOf({.Type = type, .Width = width, .Offset = offset, .Mask = mask, .ParamID = id,
                         .Name = "Параметр " + std::to_string(id)});
    return r;
}
TParamRow Ranged(TParamRow r, int minIndex, int maxIndex) {
    r.IsFileIndex = true;
    r.MinIndex = minIndex;
    r.MaxIndex = maxIndex;
    return r;
}

std::vector<TParamRow> SeedParamsOf(std::int32_t fileId) {
    std::vector<TParamRow> rows;
    for (const TParamRow* r : DictionaryParamsOfFile(fileId)) rows.push_back(*r);
    return rows;
}

TEST(AreaChecksums, KnownValues) {
    const std::string check = "123456789";
    const std::span<const std::uint8_t> digits(reinterpret_cast<const std::uint8_t*>(check.data()), check.size());
    EXPECT_EQ(Crc16Xmodem(digits), 0x31C3);
    const std::uint8_t b80[] = {0x80}, b0001[] = {0x00, 0x01};
    EXPECT_EQ(ShiftChecksum(b80), 0x1021);
    EXPECT_EQ(ShiftChecksum(b0001), 0x0200);
    EXPECT_EQ(ShiftChecksum({}), 0);
    EXPECT_EQ(Crc16Xmodem({}), 0);

    std::set<int> crc;
    for (int v = 0; v < 60; ++v)
        if (UsesCrc16Checksum(v)) crc.insert(v);
    EXPECT_EQ(crc, (std::set<int>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 23, 24, 25, 30, 40, 41,
                                  42, 43, 44, 45, 46, 47}));
    EXPECT_EQ(AreaChecksum(digits, 4), 0x31C3);
    EXPECT_EQ(AreaChecksum(b80, 1), 0x1021);
}

TEST(CounterFile, IdentificationAreaOfVersion1) {
    EnsureParamTypes();
    const TFileRow* file = FindDictionaryFile(2);
    ASSERT_NE(file, nullptr);
    auto area = BuildCounterFile(*file, SeedParamsOf(2));
    EXPECT_TRUE(area->LoadErrors.empty());
    EXPECT_EQ(area->FileSize, 100);

    // "Код организации": one array row, twenty elements at offsets 52 to 71.
    std::vector<int> offsets;
    for (const auto& p : area->Params)
        if (p.ParamID == 26) offsets.push_back(p.FileOffset);
    ASSERT_EQ(offsets.size(), 20u);
    EXPECT_EQ(offsets.front(), 52);
    EXPECT_EQ(offsets.back(), 71);
    EXPECT_EQ(area->FindParam(26, 19)->FileOffset, 71);

    TAreaImage image{};
    ASSERT_EQ(area->EncodeArea(0, image, 1), 100) << area->ErrorText;
    const std::uint16_t c = ShiftChecksum(std::span(image.data(), 98));
    EXPECT_EQ(image[98], c >> 8) << "high byte first";
    EXPECT_EQ(image[99], c & 0xFF);
    EXPECT_EQ(area->DecodeArea(0, image, 1), 100);

    image[99] ^= 1;
    EXPECT_EQ(area->DecodeArea(0, image, 1), -1);
    EXPECT_FALSE(area->ErrorText.empty());
    image[99] ^= 1;
    image[10] ^= 0x40;
    EXPECT_EQ(area->DecodeArea(0, image, 1), -1);
}

TEST(CounterFile, ChecksumByteOrderAndUncheckedVersions) {
    EnsureParamTypes();
    const TParamRow rows[] = {Row(1001, 1, 0, 2), Row(1002, 1, 2, 1)};
    auto area = BuildCounterFile(PlainArea(5), rows);
    ASSERT_TRUE(area->Params[0].SetAsInteger(0x1234));
    ASSERT_TRUE(area->Params[1].SetAsInteger(0x56));

    TAreaImage image{};
    ASSERT_EQ(area->EncodeArea(0, image, 36), 5);
    EXPECT_EQ(HexOf(image.data(), 3), "34 12 56");
    const std::uint16_t shift = ShiftChecksum(std::span(image.data(), 3));
    EXPECT_EQ(image[3], shift & 0xFF) << "version 36: low byte first";
    EXPECT_EQ(image[4], shift >> 8);

    image = {};
    ASSERT_EQ(area->EncodeArea(0, image, 4), 5);
    EXPECT_EQ(HexOf(image.data(), 3), "12 34 56");
    const std::uint16_t crc = Crc16Xmodem(std::span(image.data(), 3));
    EXPECT_EQ(image[3], crc >> 8);
    EXPECT_EQ(image[4], crc & 0xFF);

    for (int version : {37, 38, 39}) {
        image = {};
        ASSERT_EQ(area->EncodeArea(0, image, version), 5);
        image[4] ^= 0xFF;
        const bool accepted = version == 38 || version == 39;
        EXPECT_EQ(area->DecodeArea(0, image, version), accepted ? 5 : -1) << version;
    }
}

TEST(CounterFile, YearBaseReachesPackedDatesBeforeDecoding) {
    EnsureParamTypes();
    const TParamRow rows[] = {Row(1001, 5, 0, 4)};
    auto area = BuildCounterFile(PlainArea(6), rows);
    ASSERT_TRUE(area->Params[0].SetAsText("15.06.2024 10:30:20"));
    TAreaImage image{};
    ASSERT_EQ(area->EncodeArea(0, image, 2), 6);
    area->Params[0].Value.clear();
    area->YearBase = 1900;
    ASSERT_EQ(area->DecodeArea(0, image, 2), 6);
    EXPECT_EQ(area->Params[0].YearBase, 1900);
    EXPECT_EQ(area->Params[0].Value, "15.06.2024 10:30:20");
}

TEST(CounterFile, RecordsAreRecordMajorWithTheirOwnLengths) {
    EnsureParamTypes();
    const TParamRow rows[] = {
        Ranged(Row(1001, 4, 3, 1, 1), 0, 1),  // records 0 and 1: two booleans sharing a byte
        Ranged(Row(1002, 4, 3, 0, 2), 0, 1),
        Ranged(Row(1003, 1, 0, 2), 0, 3),     // every record
        Row(1004, 1, 2, 1),                   // no range: every record
    };
    auto area = BuildCounterFile(IndexedArea(4), rows);
    ASSERT_TRUE(area->LoadErrors.empty()) << area->LoadErrors.front();
    EXPECT_EQ(area->RecordCount, 4);
    EXPECT_EQ(area->FileSize, 0);
    ASSERT_EQ(area->Params.size(), 4u + 4 + 2 + 2);
    // Record 0 in ParamID order, then record 1, ...
    EXPECT_EQ(area->Params[0].ParamID, 1001);
    EXPECT_EQ(area->Params[3].ParamID, 1004);
    EXPECT_EQ(area->Params[4].ParamIndex, 1);
    EXPECT_EQ(area->Params[8].ParamID, 1003);
    EXPECT_EQ(area->Params[8].ParamIndex, 2);

    EXPECT_EQ(area->BlockLength(0), 2 + 1 + 1 + 2) << "booleans with masks 1 and 2 count one byte";
    EXPECT_EQ(area->BlockLength(3), 2 + 1 + 2);
    EXPECT_EQ(area->BlockLength(4), -1);
    EXPECT_EQ(area->BlockParams(2).size(), 2u);

    for (auto* p : area->BlockParams(2)) ASSERT_TRUE(p->SetAsInteger(p->ParamID == 1003 ? 700 : 9));
    TAreaImage image{};
    ASSERT_EQ(area->EncodeArea(2, image, 4), 5);
    EXPECT_EQ(HexOf(image.data(), 3), "02 BC 09");

    for (auto& p : area->Params) p.Value = "x";
    ASSERT_EQ(area->DecodeArea(2, image, 4), 5);
    for (const auto& p : area->Params) EXPECT_EQ(p.Value == "x", p.ParamIndex != 2) << p.ParamID << "/" << p.ParamIndex;
    EXPECT_EQ(area->FindParam(1003, 2)->Value, "700");
    EXPECT_EQ(area->DecodeArea(7, image, 4), -1);
}

TEST(CounterFile, LargeRingKeepsOneObjectPerRecordAndParameter) {
    EnsureParamTypes();
    const TParamRow rows[] = {Ranged(Row(2312, 24, 0, 2), 0, 17519), Ranged(Row(2313, 1, 2, 3), 0, 17519)};
    auto area = BuildCounterFile(IndexedArea(17520), rows);
    ASSERT_EQ(area->Params.size(), 35040u);
    EXPECT_EQ(area->Params[2 * 9000 + 1].ParamID, 2313);
    EXPECT_EQ(area->Params[2 * 9000 + 1].ParamIndex, 9000);
    EXPECT_EQ(area->FindParam(2313, 17519), &area->Params.back());
    EXPECT_EQ(area->BlockLength(17519), 7);
}

TEST(CounterFile, ParametersOutsideTheAreaAreLeftOutWithAnError) {
    EnsureParamTypes();
    {
        const TParamRow rows[] = {Row(1001, 1, 0, 4), Row(1002, 1, 4, 4), Row(1003, 2, -1, 8)};
        // 6 data bytes: the second integer would cover the checksum.
        auto area = BuildCounterFile(PlainArea(8), rows);
        ASSERT_EQ(area->Params.size(), 1u);
        ASSERT_EQ(area->LoadErrors.size(), 2u);
        EXPECT_NE(area->LoadErrors[0].find("1002"), std::string::npos) << area->LoadErrors[0];
        EXPECT_NE(area->LoadErrors[0].find("не помещается"), std::string::npos);
    }
    {
        // An array whose last elements would run past the block: they are cut.
        TParamRow array = Ranged(Row(1001, 1, 2, 1), 0, 65535);
        auto area = BuildCounterFile(PlainArea(12), std::span(&array, 1));
        EXPECT_EQ(area->Params.size(), 8u);
        EXPECT_EQ(area->Params.back().FileOffset, 9);
        EXPECT_EQ(area->LoadErrors.size(), 1u);
    }
    {
        // An indexed record whose parameter lies past the record's length.
        const TParamRow rows[] = {Row(1001, 1, 0, 2), Row(1002, 1, 40, 2)};
        auto area = BuildCounterFile(IndexedArea(3), rows);
        EXPECT_EQ(area->Params.size(), 3u);
        EXPECT_EQ(area->LoadErrors.size(), 1u);
        EXPECT_EQ(area->BlockLength(0), 4);
    }
    {
        // Huge offsets and widths from an edited dictionary.
        const TParamRow rows[] = {Row(1001, 3, 2000000000, 2000000000), Row(1002, 3, 0, -5)};
        auto area = BuildCounterFile(PlainArea(20), rows);
        EXPECT_TRUE(area->Params.empty());
        EXPECT_EQ(area->LoadErrors.size(), 2u);
    }
}

TEST(CounterFile, BlockLengthsOutsideTwoTo255AreErrors) {
    EnsureParamTypes();
    for (int size : {0, 1, 256, 100000}) {
        SCOPED_TRACE(size);
        const TParamRow rows[] = {Row(1001, 1, 0, 1)};
        auto area = BuildCounterFile(PlainArea(size), rows);
        EXPECT_FALSE(area->LoadErrors.empty());
        TAreaImage image{};
        EXPECT_EQ(area->DecodeArea(0, image, 4), -1);
        EXPECT_EQ(area->EncodeArea(0, image, 4), -1);
        EXPECT_FALSE(area->ErrorText.empty());
    }
    for (int records : {0, -1, kMaxRecordCount + 1}) {
        SCOPED_TRACE(records);
        const TParamRow rows[] = {Row(1001, 1, 0, 1)};
        auto area = BuildCounterFile(IndexedArea(records), rows);
        EXPECT_FALSE(area->LoadErrors.empty());
        EXPECT_LE(area->Params.size(), 1u);
        TAreaImage image{};
        EXPECT_EQ(area->DecodeArea(0, image, 4), -1);
    }
    {
        // A record of more than 253 data bytes cannot travel.
        std::vector<TParamRow> rows;
        for (int i = 0; i < 70; ++i) rows.push_back(Row(1000 + i, 1, 4 * i, 4));
        auto area = BuildCounterFile(IndexedArea(2), rows);
        EXPECT_FALSE(area->LoadErrors.empty());
        EXPECT_LE(area->BlockLength(0), kMaxBlockLength);
    }
}

TEST(CounterFile, BlocksThatCannotBeEncodedWholeAreRefused) {
    EnsureParamTypes();
    const TParamRow rows[] = {Row(1001, 1, 0, 2), Row(1002, 1, 2, 2)};
    {
        auto area = BuildCounterFile(PlainArea(6), rows);
        area->Params[0].Value = "1";
        area->Params[1].Value = "no number";
        TAreaImage image{};
        EXPECT_EQ(area->EncodeArea(0, image, 4), -1);
        EXPECT_NE(area->ErrorText.find("1002"), std::string::npos) << area->ErrorText;
    }
    {
        // Parameters that do not tile the area would land misaligned in the meter.
        const TParamRow gap[] = {Row(1001, 1, 0, 2), Row(1002, 1, 4, 2)};
        auto area = BuildCounterFile(PlainArea(8), gap);
        for (auto& p : area->Params) p.Value = "1";
        TAreaImage image{};
        EXPECT_EQ(area->EncodeArea(0, image, 4), -1);
        EXPECT_NE(area->ErrorText.find("1002"), std::string::npos) << area->ErrorText;
    }
    {
        auto area = BuildCounterFile(PlainArea(8), rows);
        for (auto& p : area->Params) p.Value = "1";
        TAreaImage image{};
        EXPECT_EQ(area->EncodeArea(0, image, 4), -1);
        EXPECT_NE(area->ErrorText.find("не совпадает"), std::string::npos) << area->ErrorText;
    }
}

// ---- every area of the dictionary ----

// A value the parameter's type, field and range accept, chosen by `rng`.
void FillValid(TCounterParam& p, std::mt19937& rng) {
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int t = p.TypeNumber();
    const bool ranged = p.MinValue != 0 || p.MaxValue != 0;
    if (p.IsEnumType()) {
        const TParamType& type = *p.ParamType;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const int v = type.EnumValues[static_cast<std::size_t>(pick(0, type.EnumCount - 1))];
            if (t == 26 && v == 3) continue;  // written as a command bit, read back as a state bit
            if (p.SetAsInteger(v)) return;
        }
        return;
    }
    for (int attempt = 0; attempt < 200; ++attempt) {
        bool ok = false;
        switch (t) {
            case 1: {
                const int bits = std::clamp(p.InFileSize, 1, 4) * 8 - 1;
                const std::int64_t top = bits >= 31 ? INT32_MAX : (1LL << bits) - 1;
                const std::int64_t v = ranged ? pick(p.MinValue, p.MaxValue)
                                              : std::uniform_int_distribution<std::int64_t>(0, top)(rng);
                ok = p.SetAsInteger(v);
                break;
            }
            case 2: case 35: case 36: {
                double x;
                if (ranged)
                    x = pick(p.MinValue, p.MaxValue);
                else if (p.InFileSize == 4)
                    x = pick(-40000, 40000) / 4.0;
                else if (p.InFileSize == 8)
                    x = std::uniform_real_distribution<double>(-1e6, 1e6)(rng);
                else
                    x = pick(-999999999, 999999999) / std::pow(10.0, pick(0, 9));
                ok = p.SetAsFloat(x);
                break;
            }
            case 27: ok = p.SetAsFloat(pick(-10000000, 10000000) / 100.0); break;
            case 3: {
                static const std::vector<std::string> letters = {"А", "б", "В", "ж", "Я", "1", "7", " ", "a", "Z",
                                                                 ".", "№", "-"};
                std::string s;
                const int n = pick(1, std::max(1, p.InFileSize));
                for (int i = 0; i < n; ++i) s += letters[static_cast<std::size_t>(pick(0, 12))];
                ok = p.SetAsText(s);
                break;
            }
            case 4: ok = p.SetAsBoolean(pick(0, 1) == 1); break;
            case 5:
                ok = p.SetAsDateTime(*codec::TryEncodeDate(pick(1951, 2049), pick(1, 12), pick(1, 28)) +
                                     *codec::TryEncodeTime(pick(0, 23), pick(0, 59), 2 * pick(0, 29)));
                break;
            case 11:
                ok = p.SetAsDateTime(*codec::TryEncodeDate(2024, pick(1, 12), pick(1, 28)) +
                                     *codec::TryEncodeTime(pick(0, 23), 0, 0));
                break;
            case 15: ok = p.SetAsDateTime(*codec::TryEncodeTime(pick(0, 23), pick(0, 59), 0)); break;
            case 16: ok = p.SetAsDateTime(*codec::TryEncodeDate(2024, pick(1, 12), pick(1, 28))); break;
            case 24:
                ok = p.SetAsDateTime(*codec::TryEncodeDate(2024, pick(1, 6), pick(1, 28)) +
                                     *codec::TryEncodeTime(pick(0, 23), 15 * pick(1, 3), 0));
                break;
            case 32: ok = p.SetAsDateTime(*codec::TryEncodeDate(pick(2000, 2099), pick(1, 12), pick(1, 28))); break;
            case 33: p.Value = "0"; ok = true; break;  // never written; zero bytes read as 0
            default: return;
        }
        if (ok) return;
    }
    ADD_FAILURE() << "no valid value found for parameter " << p.ParamID << " of type " << t;
}

TEST(DictionaryAreas, EveryAreaOfEveryVersionEncodesAndDecodesToTheSameBytes) {
    EnsureParamTypes();
    const TDictionarySeed& seed = DictionarySeed();
    if (seed.Params.empty()) GTEST_SKIP() << "the dictionary seed has no parameters yet";
    CodecStateGuard state;
    WholeValueMode = false;
    codec::ScopedToday today(2024, 6, 15);

    std::set<int> versions;
    for (const auto& a : seed.FileAccepts) versions.insert(a.VersionID);
    ASSERT_FALSE(versions.empty());

    // One written and one read object per area, shared by the versions that have it.
    // Rings are cut to 300 records: every record has the same layout.
    struct Pair {
        std::unique_ptr<TCounterFile> source, target;
        std::vector<int> records;
    };
    std::map<int, Pair> areas;
    int blocks = 0;
    for (int version : versions) {
        for (int fileId : DictionaryFilesOfVersion(version)) {
            SCOPED_TRACE("version " + std::to_string(version) + ", area " + std::to_string(fileId));
            auto [it, fresh] = areas.try_emplace(fileId);
            Pair& pair = it->second;
            if (fresh) {
                TFileRow file = *FindDictionaryFile(fileId);
                if (file.FileIndex) file.FileSize = std::min(file.FileSize, 300);
                const auto rows = SeedParamsOf(fileId);
                pair.source = BuildCounterFile(file, rows);
                pair.target = BuildCounterFile(file, rows);
                for (const auto& e : pair.source->LoadErrors) ADD_FAILURE() << e;
                EXPECT_FALSE(pair.source->Params.empty()) << file.FileName;
                pair.records = {0};
                if (file.FileIndex && file.FileSize > 1) pair.records = {0, 1, file.FileSize - 1};
                std::mt19937 rng(static_cast<unsigned>(fileId));
                for (auto& p : pair.source->Params) FillValid(p, rng);
            }
            for (int record : pair.records) {
                SCOPED_TRACE("record " + std::to_string(record));
                TAreaImage written{};
                const int length = pair.source->EncodeArea(record, written, version);
                ASSERT_GT(length, 2) << pair.source->ErrorText;
                if (fileId == 21) {
                    // Version 1 passwords: never read; 22 passwords and the checksum.
                    EXPECT_EQ(length, 46);
                    continue;
                }
                if (!pair.source->FileIndex) {
                    EXPECT_EQ(length, pair.source->FileSize);
                }

                for (auto* p : pair.target->BlockParams(record)) p->Value.clear();
                ASSERT_EQ(pair.target->DecodeArea(record, written, version), length) << pair.target->ErrorText;
                const auto sent = pair.source->BlockParams(record);
                const auto read = pair.target->BlockParams(record);
                ASSERT_EQ(sent.size(), read.size());
                for (std::size_t i = 0; i < sent.size(); ++i)
                    EXPECT_EQ(read[i]->Value, sent[i]->Value)
                        << "parameter " << sent[i]->ParamID << " \"" << sent[i]->ParamName << "\" of type "
                        << sent[i]->TypeNumber();

                TAreaImage again{};
                ASSERT_EQ(pair.target->EncodeArea(record, again, version), length) << pair.target->ErrorText;
                EXPECT_EQ(HexOf(again.data(), static_cast<std::size_t>(length)),
                          HexOf(written.data(), static_cast<std::size_t>(length)));

                written[static_cast<std::size_t>(length) - 1] ^= 0x5A;
                const bool unchecked = version == 38 || version == 39;
                EXPECT_EQ(pair.target->DecodeArea(record, written, version), unchecked ? length : -1);
                ++blocks;
            }
        }
    }
    EXPECT_GT(blocks, 700);
}

}  // namespace
