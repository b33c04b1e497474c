// The dictionary through the area codec: every area of every version loads without a
// rejected parameter, its defaults encode into a block of the length the dictionary
// gives, and the block decodes back into the same bytes.

#include "db/Dictionary.h"
#include "model/CounterFile.h"
#include "model/ParamTypes.h"
#include "shell/MeterVersion.h"

#include <gtest/gtest.h>

#include <set>

namespace {

class DictionaryCodecTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (ParamTypeList.Count() == 0) ParamTypeList.LoadFromDictionarySeed();
        savedVersion_ = CurrentVersion;
    }
    void TearDown() override { CurrentVersion = savedVersion_; }

private:
    std::int32_t savedVersion_ = 0;
};

std::vector<TParamRow> RowsOf(std::int32_t fileId) {
    std::vector<TParamRow> rows;
    for (const TParamRow* p : DictionaryParamsOfFile(fileId)) rows.push_back(*p);
    return rows;
}

}  // namespace

TEST_F(DictionaryCodecTest, DefaultsEncodeAndDecodeInEveryArea) {
    std::set<std::int32_t> versions;
    for (const auto& a : DictionarySeed().FileAccepts) versions.insert(a.VersionID);
    int blocks = 0;
    for (std::int32_t version : versions) {
        CurrentVersion = version;
        for (std::int32_t fileId : DictionaryFilesOfVersion(version)) {
            if (fileId == 21) continue;  // given with more passwords than its block holds
            const auto rows = RowsOf(fileId);
            if (rows.empty()) continue;
            SCOPED_TRACE("version " + std::to_string(version) + ", FileID " + std::to_string(fileId));
            TCounterFile area;
            area.LoadFromRows(*FindDictionaryFile(fileId), rows);
            EXPECT_TRUE(area.LoadErrors.empty()) << area.LoadErrors.front();
            for (const TCounterParam* p : area.BlockParams(0)) {
                const std::string& def = FindDictionaryParam(p->ParamID)->DefaultValue;
                EXPECT_EQ(p->Value.empty(), def.empty()) << "ParamID " << p->ParamID << " default '" << def << "'";
            }

            const std::int32_t records = area.FileIndex ? area.RecordCount : 1;
            for (std::int32_t record : {0, records - 1}) {
                TAreaImage first{};
                const std::int32_t length = area.EncodeArea(record, first, version);
                ASSERT_EQ(length, DictionaryBlockLength(fileId)) << area.ErrorText;
                ASSERT_EQ(area.DecodeArea(record, first, version), length) << area.ErrorText;
                TAreaImage second{};
                ASSERT_EQ(area.EncodeArea(record, second, version), length) << area.ErrorText;
                EXPECT_EQ(first, second);
                ++blocks;
            }
        }
    }
    EXPECT_GT(blocks, 1000);
}
