// The dictionary seed: row counts, the rows the description fixes, keys and area layouts.

#include "db/Dictionary.h"

#include <gtest/gtest.h>

TEST(DictionaryTest, RowCounts) {
    const TDictionarySeed& s = DictionarySeed();
    EXPECT_EQ(s.Versions.size(), 328u);
    EXPECT_EQ(s.Files.size(), 225u);
    EXPECT_EQ(s.FileAccepts.size(), 779u);
    EXPECT_EQ(s.ParamTypes.size(), 36u);
    EXPECT_EQ(s.EnumParamTypes.size(), 260u);
    EXPECT_EQ(s.Params.size(), 2364u);
}
