// The dictionary seed: row counts, the rows the description fixes, keys, and the layout
// rules over every area of every version (fits, no overlap except shared masked bytes,
// the block/record length the codec computes, enumerations, defaults, what readers expect).

#include "db/Dictionary.h"
#include "shell/Configuration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const TDictionarySeed& Seed() { return DictionarySeed(); }

// Areas that FileAccepts names for versions 38 and 39 without a Files row (the 225 rows are
// kept as given); the parameters of 160 are laid out like those of its sibling area 120.
const std::set<std::int32_t> kAreasWithoutRow = {157, 160};

// "1-5, 7-10" -> {1..5, 7..10}
std::vector<std::int32_t> Ranges(const std::string& list) {
    std::vector<std::int32_t> out;
    std::stringstream ss(list);
    std::string item;
    while (std::getline(ss, item, ',')) {
        const auto dash = item.find('-');
        const int from = std::stoi(item.substr(0, dash));
        const int to = dash == std::string::npos ? from : std::stoi(item.substr(dash + 1));
        for (int v = from; v <= to; ++v) out.push_back(v);
    }
    return out;
}

std::size_t CodePoints(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

bool ParseInt(const std::string& s, long long& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtoll(s.c_str(), &end, 10);
    return *end == '\0';
}

bool ParseReal(const std::string& s, double& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return *end == '\0' && std::isfinite(v);
}

bool ValidDate(const std::string& s) {
    int d = 0, m = 0, y = 0;
    char tail = 0;
    if (std::sscanf(s.c_str(), "%d.%d.%d%c", &d, &m, &y, &tail) != 3) return false;
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return y >= 1900 && y < 2100 && m >= 1 && m <= 12 && d >= 1 && d <= days[m - 1];
}

bool ValidTime(const std::string& s) {
    int h = 0, mi = 0, se = 0;
    char tail = 0;
    const int n = std::sscanf(s.c_str(), "%d:%d:%d%c", &h, &mi, &se, &tail);
    return (n == 2 || n == 3) && h >= 0 && h < 24 && mi >= 0 && mi < 60 && se >= 0 && se < 60;
}

bool ValidDateTime(const std::string& s) {
    const auto us = s.find('_');
    return us != std::string::npos && ValidDate(s.substr(0, us)) && ValidTime(s.substr(us + 1));
}

// Bits of the byte at FileOffset that a bit-field parameter uses; 0 for whole-byte types.
int BitsOf(const TParamRow& p) {
    const int mask = p.Mask.value_or(0);
    switch (p.ParamType) {
        case 4: return mask;
        case 10: case 17: return 0x03;
        case 18: return 0x04;
        case 19: case 21: return 0x02;
        case 22: return 0x30;
        case 25: return 0x38;
        case 26: return 0x47;
        case 28: return 0x40;
        case 23: return mask == 15 || mask == 240 ? mask : 0xFF;
        case 29: return mask >= 1 && mask <= 4 ? (1 << (mask - 1)) | (1 << (mask + 3)) : 0;
        default: return 0;
    }
}
bool IsBitField(const TParamRow& p) {
    static const std::set<int> types = {4, 10, 17, 18, 19, 21, 22, 23, 25, 26, 28, 29};
    return types.count(p.ParamType) > 0;
}
// What the codec counts into the block length for one parameter (element).
int Contribution(const TParamRow& p) { return p.ParamType == 4 ? (p.Mask.value_or(0) == 1 ? 1 : 0) : p.InFileSize; }

struct TElement {
    const TParamRow* Param;
    int Offset;
};

// Every element of an area as the codec expands it (arrays of plain areas element by element,
// one record of an indexed area).
std::vector<TElement> Elements(const TFileRow& file, const std::vector<const TParamRow*>& params) {
    std::vector<TElement> out;
    for (const TParamRow* p : params) {
        if (!file.FileIndex && p->IsFileIndex) {
            for (int i = p->MinIndex.value_or(0); i <= p->MaxIndex.value_or(0); ++i)
                out.push_back({p, p->FileOffset + p->InFileSize * i});
        } else {
            out.push_back({p, p->FileOffset});
        }
    }
    return out;
}

// Checks one area; returns the faults found, empty when it is sound.
std::vector<std::string> AreaFaults(const TFileRow& file) {
    std::vector<std::string> faults;
    auto fault = [&](const std::string& what) { faults.push_back("FileID " + std::to_string(file.FileID) + ": " + what); };
    const auto params = DictionaryParamsOfFile(file.FileID);
    if (params.empty()) return faults;  // areas without parameters are never built
    const auto elements = Elements(file, params);
    int sum = 0;
    for (const auto& e : elements) sum += Contribution(*e.Param);
    const int data = file.FileIndex ? sum : file.FileSize - 2;
    if (sum != data)
        fault("the parameters count " + std::to_string(sum) + " bytes, the block holds " + std::to_string(data));
    if (data + 2 > 250) fault("block of " + std::to_string(data + 2) + " bytes does not fit one write request");

    std::map<int, std::vector<std::int32_t>> whole;  // byte -> parameters that own it
    std::map<int, int> bits, counted;                // byte -> bits used / times counted
    for (const auto& e : elements) {
        const TParamRow& p = *e.Param;
        if (IsBitField(p)) {
            const int b = BitsOf(p);
            if (b == 0) fault("ParamID " + std::to_string(p.ParamID) + " has no valid mask");
            if (bits[e.Offset] & b) fault("bits of ParamID " + std::to_string(p.ParamID) + " overlap at byte " + std::to_string(e.Offset));
            bits[e.Offset] |= b;
            counted[e.Offset] += Contribution(p);
        } else {
            if (p.InFileSize <= 0) fault("ParamID " + std::to_string(p.ParamID) + " has no width");
            for (int k = e.Offset; k < e.Offset + p.InFileSize; ++k) whole[k].push_back(p.ParamID);
        }
        const int end = e.Offset + std::max(p.InFileSize, 1);
        if (e.Offset < 0 || end > data)
            fault("ParamID " + std::to_string(p.ParamID) + " at " + std::to_string(e.Offset) + " leaves the block");
    }
    for (const auto& [byte, ids] : whole)
        if (ids.size() > 1 || bits.count(byte)) fault("byte " + std::to_string(byte) + " is shared without masks");
    for (const auto& [byte, n] : counted)
        if (n != 1) fault("shared byte " + std::to_string(byte) + " is counted " + std::to_string(n) + " times");
    for (int k = 0; k < data; ++k)
        if (!whole.count(k) && !bits.count(k)) fault("byte " + std::to_string(k) + " belongs to no parameter");
    return faults;
}

}  // namespace

TEST(DictionaryTest, RowCounts) {
    const TDictionarySeed& s = Seed();
    EXPECT_EQ(s.Versions.size(), 328u);
    EXPECT_EQ(s.Files.size(), 225u);
    EXPECT_EQ(s.FileAccepts.size(), 779u);
    EXPECT_EQ(s.ParamTypes.size(), 36u);
    EXPECT_EQ(s.EnumParamTypes.size(), 260u);
    EXPECT_EQ(s.Params.size(), 2364u);
}

TEST(DictionaryTest, KeysAreUnique) {
    const TDictionarySeed& s = Seed();
    std::set<int> versions, files, types, params;
    std::set<std::pair<int, int>> accepts, enums;
    for (const auto& r : s.Versions) { EXPECT_TRUE(versions.insert(r.VersionInternalID).second) << r.VersionInternalID; }
    for (const auto& r : s.Files) { EXPECT_TRUE(files.insert(r.FileID).second) << r.FileID; }
    for (const auto& r : s.FileAccepts) { EXPECT_TRUE(accepts.insert({r.VersionID, r.FileID}).second) << r.VersionID << "/" << r.FileID; }
    for (const auto& r : s.ParamTypes) { EXPECT_TRUE(types.insert(r.ParamType).second) << r.ParamType; }
    for (const auto& r : s.EnumParamTypes) { EXPECT_TRUE(enums.insert({r.ParamType, r.EnumIndex}).second) << r.ParamType; }
    for (const auto& r : s.Params) { EXPECT_TRUE(params.insert(r.ParamID).second) << r.ParamID; }
    EXPECT_EQ(*params.begin(), 1);
    EXPECT_EQ(*params.rbegin(), 2460);
}

TEST(DictionaryTest, VersionsFollowTheRevisionList) {
    // VersionID by VersionInternalID, as the manufacturer's list gives it.
    const std::map<std::string, int> ranges = {
        {"1-23", 1}, {"24-30", 2}, {"31-45", 3}, {"46", 4}, {"47", 5}, {"48", 8}, {"49", 9}, {"50", 10},
        {"51", 11}, {"52", 12}, {"53", 13}, {"54", 14}, {"55", 15}, {"56", 3}, {"57-58", 2}, {"59-60", 3},
        {"61-64", 2}, {"65-67", 3}, {"68", 16}, {"69", 17}, {"70", 18}, {"71", 19}, {"72", 20}, {"73-74", 2},
        {"75-76", 20}, {"77-79", 2}, {"80", 13}, {"81", 15}, {"82", 11}, {"83-85", 3}, {"86-101", 2},
        {"102-109", 3}, {"110-111", 2}, {"112-126", 3}, {"127-133", 22}, {"134-149", 33}, {"150-151", 22},
        {"152-153", 33}, {"154-157", 22}, {"158-160", 33}, {"161-165", 22}, {"166-168", 33}, {"169-184", 22},
        {"185-192", 33}, {"193-194", 22}, {"195-198", 33}, {"200-210", 33}, {"211-214", 23}, {"215-218", 24},
        {"219-222", 25}, {"223", 27}, {"224", 28}, {"225", 27}, {"226", 28}, {"227", 3}, {"228", 33},
        {"229-230", 30}, {"231-237", 34}, {"238-253", 35}, {"254-255", 34}, {"256-257", 35}, {"258-261", 34},
        {"262-264", 35}, {"265-269", 34}, {"270-272", 35}, {"273-288", 34}, {"289-296", 35}, {"297-298", 34},
        {"299-314", 35}, {"315", 37}, {"316", 36}, {"317", 38}, {"318", 39}, {"319", 40}, {"320", 41},
        {"321", 42}, {"322", 43}, {"323-324", 44}, {"325", 45}, {"326", 46}, {"327", 47}, {"328", 48},
        {"329", 49}};
    std::map<int, int> expected;
    for (const auto& [list, code] : ranges)
        for (int id : Ranges(list)) expected[id] = code;
    ASSERT_EQ(expected.size(), 328u);
    for (const auto& v : Seed().Versions) {
        SCOPED_TRACE(v.VersionInternalID);
        ASSERT_TRUE(expected.count(v.VersionInternalID));
        EXPECT_EQ(v.VersionID, expected[v.VersionInternalID]);
        EXPECT_FALSE(v.IsInvisible);
        EXPECT_LE(CodePoints(v.VersionName), 50u);
        if (v.VersionInternalID <= 23) {
            EXPECT_EQ(v.VersionName.rfind("Норвел-8.", 0), 0u) << v.VersionName;
        } else {
            const std::string tail = ") (Ver " + std::to_string(v.VersionID) + ")";
            EXPECT_EQ(v.VersionName.rfind("Норвел-9(", 0), 0u) << v.VersionName;
            ASSERT_GE(v.VersionName.size(), tail.size());
            EXPECT_EQ(v.VersionName.substr(v.VersionName.size() - tail.size()), tail);
        }
    }
}

TEST(DictionaryTest, FilesAsListed) {
    struct Row { int id; const char* name; int internal, size; bool index, ro; int stat; };
    const Row rows[] = {
        {1, "Коэффициенты калибровки", 1, 41, false, true, 0},
        {2, "Идентификационная область", 2, 100, false, false, 0},
        {16, "График нагрузки по точкам интеграции", 16, 960, true, true, 2},
        {21, "Пароли доступа", 21, 44, false, false, 1},
        {51, "Пароли доступа", 0, 12, true, true, 0},
        {146, "График нагрузки", 14, 17520, true, true, 2},
        {183, "Временные зоны воскрестных дней", 21, 24, true, false, 0},
        {213, "Потребленная энергия и макс. мощность по тарифам за месяц", 26, 936, true, true, 1},
        {236, "Режим отображения на дисплей", 29, 4, false, false, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        const TFileRow* f = FindDictionaryFile(r.id);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->FileName, r.name);
        EXPECT_EQ(f->FileInternalID, r.internal);
        EXPECT_EQ(f->FileSize, r.size);
        EXPECT_EQ(f->FileIndex, r.index);
        EXPECT_EQ(f->ReadOnly, r.ro);
        EXPECT_EQ(f->StatReset, r.stat);
    }
    for (int missing : {6, 11, 20, 41, 42, 52, 53, 54, 129, 157, 160}) { EXPECT_EQ(FindDictionaryFile(missing), nullptr) << missing; }
    int profiles = 0;
    for (const auto& f : Seed().Files) profiles += f.StatReset == 2;
    EXPECT_EQ(profiles, 15);
}

TEST(DictionaryTest, FileAcceptsPerVersion) {
    const std::map<int, std::string> areas = {
        {1, "1-5,7-10,12-19,21-22"}, {2, "23-39,69-70"}, {3, "24-40,69-70"}, {4, "55-67"}, {5, "55-67,77-79"},
        {8, "55-67"}, {9, "55-67,77-79"}, {10, "55-68"}, {11, "55-62,64-68,77-79,208"}, {12, "55-68"},
        {13, "55-68,77-79"}, {14, "55-56,58-61,63-65,67-68,71-73"}, {15, "55-56,58-61,63-65,67-68,71-73,77-79"},
        {16, "56,58,61,101-102,188,217-236"}, {17, "55-67,74-75,77-78,80"}, {18, "55-56,58-61,63-65,67,71-75"},
        {19, "55-56,58-61,63-65,67,71-75,77-78,80"}, {20, "55-67,74-78,81"}, {22, "23,82-100,122"},
        {23, "55-56,58,61,64-65,67-68,71-73,77-79,101-107,209"},
        {24, "55-56,58,61,63-65,67,71-75,77-78,80,101-102,108-112"},
        {25, "55-58,61-67,74-78,81,101-102,113-117"}, {27, "23,118-121"}, {28, "40,118-121"},
        {30, "55-58,61-62,64-68,77-79,101-102,123-127,209"}, {33, "40,82-100,122"},
        {34, "23,82-90,94,96-100,128,130-134"}, {35, "40,82-90,94,96-100,128,130-134"}, {36, "135-156"},
        {37, "135-156"}, {38, "136,157-161"}, {39, "136,157-161"}, {40, "55-62,64-68,77-79,162,210"},
        {41, "55-58,61-62,64-68,77-79,101-102,123-127,192,211"}, {42, "163-178,181"},
        {43, "164-167,170,172-175,177-187,215-216"}, {44, "55-58,61,64-68,77-79,101-102,123-127,188-192"},
        {45, "55-56,58,61,64-65,67-68,71,73,77-79,101-107,193-197,214"},
        {46, "55-56,58,61,64-65,67,71,73-75,77-78,80,101-102,108-112,198-202,214"},
        {47, "55-58,61,64-67,74-78,81,101-102,113-117,189,203-207"}, {48, "135-155,212-213"},
        {49, "135-155,212-213"}};
    std::map<int, std::vector<std::int32_t>> actual;
    for (const auto& a : Seed().FileAccepts) actual[a.VersionID].push_back(a.FileID);
    EXPECT_EQ(actual.size(), areas.size());
    for (const auto& [version, list] : areas) { EXPECT_EQ(actual[version], Ranges(list)) << "version " << version; }

    std::set<int> codes;
    for (const auto& v : Seed().Versions) codes.insert(v.VersionID);
    for (const auto& a : Seed().FileAccepts) {
        EXPECT_TRUE(codes.count(a.VersionID)) << a.VersionID;
        EXPECT_TRUE(FindDictionaryFile(a.FileID) || kAreasWithoutRow.count(a.FileID)) << a.FileID;
    }
    // The look-up leaves the areas without a row out.
    EXPECT_EQ(DictionaryFilesOfVersion(38), (std::vector<std::int32_t>{136, 158, 159, 161}));
}

TEST(DictionaryTest, ParamTypesAndEnumerations) {
    const std::set<int> enumTypes = {6, 7, 8, 9, 10, 12, 13, 14, 17, 18, 19, 20, 21, 22, 23, 25, 26, 28, 29, 30, 31, 34};
    const std::map<int, int> entries = {{6, 7}, {7, 4}, {8, 3}, {9, 2}, {10, 4}, {12, 2}, {13, 5}, {14, 20},
                                        {17, 3}, {18, 2}, {19, 2}, {20, 72}, {21, 2}, {22, 4}, {23, 8}, {25, 5},
                                        {26, 4}, {28, 2}, {29, 3}, {30, 89}, {31, 9}, {34, 8}};
    for (int t = 1; t <= 36; ++t) {
        const TParamTypeRow* type = FindDictionaryParamType(t);
        ASSERT_NE(type, nullptr) << t;
        EXPECT_EQ(type->IsEnum, enumTypes.count(t) > 0) << t;
        const auto rows = DictionaryEnumsOfType(t);
        EXPECT_EQ(static_cast<int>(rows.size()), entries.count(t) ? entries.at(t) : 0) << t;
        for (std::size_t i = 0; i < rows.size(); ++i) { EXPECT_EQ(rows[i]->EnumIndex, static_cast<int>(i) + 1) << t; }
    }
    EXPECT_EQ(FindDictionaryParamType(1)->ParamTypeName, "Целый");
    EXPECT_EQ(FindDictionaryParamType(35)->ParamTypeName, "Вещественный,8 байт");

    struct Entry { int type, index; const char* text; int value; };
    const Entry fixed[] = {
        {6, 7, "60 минут", 60},          {14, 1, "Тариф №0", 0},
        {14, 20, "Тариф №19", 19},       {20, 72, "Тариф №72", 71},
        {29, 2, "С клавиатуры ", 1},     {30, 1, "Не используется", 0},
        {30, 2, "При действии тарифа №1", 129}, {30, 73, "При действии тарифа №72", 200},
        {30, 74, "По временной зоне 1", 1},     {30, 89, "По временной зоне 16", 16},
        {34, 8, "115200", 7},            {26, 4, "Отключен по прев-ю или вручную", 3},
    };
    for (const Entry& e : fixed) {
        const auto rows = DictionaryEnumsOfType(e.type);
        ASSERT_GE(static_cast<int>(rows.size()), e.index);
        EXPECT_EQ(rows[e.index - 1]->EnumValue, e.text);
        EXPECT_EQ(rows[e.index - 1]->RealValue, e.value);
    }
}

TEST(DictionaryTest, ParamsGivenInFull) {
    struct Row {
        int id; const char* name; int type, file, offset, size; bool isIndex; const char* def; int days; bool ro;
        int minIndex, maxIndex;  // -1 = NULL
    };
    const Row rows[] = {
        {22, "Дата инициализации", 5, 2, 0, 4, false, "1.01.2000_0:00:00", 0, false, -1, -1},
        {24, "Идентификатор счетчика", 1, 2, 44, 4, false, "0", 0, false, -1, -1},
        {25, "Ключ системы", 1, 2, 48, 4, false, "0", 0, false, -1, -1},
        {26, "Код организации", 1, 2, 52, 1, true, "0", 0, false, 0, 19},
        {27, "Лимит оплаты по карте (кВт*ч)", 1, 2, 72, 4, false, "0", 0, false, -1, -1},
        {28, "Дата/Время последнего съема информации со счетчика", 5, 2, 76, 4, false, "1.01.2000_0:00:00", 0, true, -1, -1},
        {29, "Число съемов данных", 1, 2, 80, 4, false, "0", 0, true, -1, -1},
        {30, "Коэффициент трансформации по напр.", 2, 2, 84, 7, false, "1", 0, false, -1, -1},
        {31, "Коэффициент трансформации по току", 2, 2, 91, 7, false, "1", 0, false, -1, -1},
        {40, "Коэффициент к тарифу", 2, 5, 0, 7, true, "1", 0, false, 0, 19},
        {38, "Стоимость электроэнергии в нац.валюте", 2, 5, 140, 7, false, "0", 0, false, -1, -1},
        {39, "Строка описания нац. валюты (ЗАГЛАВНЫЕ БУКВЫ)", 3, 5, 147, 6, false, "РУБ.", 0, false, -1, -1},
        {296, "Тип отключения", 1, 13, 4, 1, true, "0", 45, true, 0, 49},
        {297, "Дата и время отключения", 5, 13, 0, 4, true, "", 45, true, 0, 49},
        {316, "Пароль доступа", 1, 21, 0, 2, true, "0", 0, false, 0, 21},
        {2312, "Дата и время измерения", 24, 214, 0, 2, true, "1.01.2000_00:00:00", 45, true, 0, 2999},
        {2313, "Мощность, Вт", 1, 214, 2, 3, true, "0", 45, true, 0, 2999},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        const TParamRow* p = FindDictionaryParam(r.id);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->ParamName, r.name);
        EXPECT_EQ(p->ParamType, r.type);
        EXPECT_EQ(p->FileID, r.file);
        EXPECT_EQ(p->FileOffset, r.offset);
        EXPECT_EQ(p->InFileSize, r.size);
        EXPECT_EQ(p->IsFileIndex, r.isIndex);
        EXPECT_EQ(p->FileIndex, std::optional<std::int32_t>(0));
        EXPECT_EQ(p->DefaultValue, r.def);
        EXPECT_EQ(p->MaxDaySave, r.days);
        EXPECT_EQ(p->IsReadOnly, r.ro);
        EXPECT_EQ(p->MinIndex, r.minIndex < 0 ? std::nullopt : std::optional<std::int32_t>(r.minIndex));
        EXPECT_EQ(p->MaxIndex, r.maxIndex < 0 ? std::nullopt : std::optional<std::int32_t>(r.maxIndex));
    }
    EXPECT_EQ(FindDictionaryParam(23)->FileOffset, 4);
    EXPECT_EQ(FindDictionaryParam(23)->InFileSize, 40);
    EXPECT_FALSE(FindDictionaryParam(23)->DefaultValue.empty());
}

// The generated series: names, ParamIDs and offsets follow the loops.
TEST(DictionaryTest, GeneratedSeries) {
    const char* seasons = "ABCDEFGHIJKL";
    const char* days[] = {"Рабочий", "Выходной", "Праздничный", "Ночной"};
    int id = 97;
    for (int s = 0; s < 5; ++s)
        for (int z = 1; z <= 6; ++z)
            for (const char* day : days) {
                const TParamRow* p = FindDictionaryParam(id);
                ASSERT_NE(p, nullptr) << id;
                EXPECT_EQ(p->ParamName, std::string("Тариф за Сезон ") + seasons[s] + ", по временной зоне " +
                                            std::to_string(z) + " " + day);
                EXPECT_EQ(p->FileID, 8);
                EXPECT_EQ(p->FileOffset, 83 + (id - 97));
                ++id;
            }
    EXPECT_EQ(id, 217);

    // Time zones: start and end alternate, each two bytes.
    id = 217;
    for (int z = 1; z <= 6; ++z)
        for (int s = 0; s < 5; ++s)
            for (const char* what : {"Начало", "Окончание"}) {
                const TParamRow* p = FindDictionaryParam(id);
                EXPECT_EQ(p->ParamName, std::string(what) + " временной зоны " + std::to_string(z) + " за Сезон " + seasons[s]);
                EXPECT_EQ(p->FileOffset, 2 * (id - 217));
                EXPECT_EQ(p->ParamType, 15);
                ++id;
            }

    // The zone records checked by the parameter editor: 96 per record, start = 24 d + 2 s.
    const auto zones = DictionaryParamsOfFile(85);
    ASSERT_EQ(zones.size(), 96u);
    const char* kinds[] = {"Раб. день", "Вых. день", "Суббота", "Воскресенье"};
    for (int d = 0; d < 4; ++d)
        for (int s = 0; s < 12; ++s) {
            const std::string prefix = std::string("(Сезон ") + seasons[s] + ", " + kinds[d] + ") ";
            EXPECT_EQ(zones[24 * d + 2 * s]->ParamName, prefix + "Начало временной зоны");
            EXPECT_EQ(zones[24 * d + 2 * s + 1]->ParamName, prefix + "Окончание временной зоны");
        }
    // Season records of the single-phase meters: zones alternate, so item 2z is a start.
    const auto season = DictionaryParamsOfFile(59);
    ASSERT_EQ(season.size(), 8u);
    for (int z = 0; z < 4; ++z) {
        EXPECT_EQ(season[2 * z]->ParamName, "Начало временной зоны " + std::to_string(z + 1));
        EXPECT_EQ(season[2 * z + 1]->ParamName, "Окончание временной зоны " + std::to_string(z + 1));
    }

    // Journals read as records of four (coefficient changes) and of two (optical port access).
    for (int r = 0; r < 10; ++r) {
        const std::string rec = "Запись № " + std::to_string(r) + ". ";
        EXPECT_EQ(FindDictionaryParam(1167 + 4 * r)->ParamName, rec + "Дата и время изменения");
        EXPECT_EQ(FindDictionaryParam(1168 + 4 * r)->ParamName, rec + "ID пользователя");
        EXPECT_EQ(FindDictionaryParam(1170 + 4 * r)->ParamName, rec + "Новый коэф-т по току");
        EXPECT_EQ(FindDictionaryParam(1946 + 2 * r)->ParamName, rec + "Дата и время доступа");
        EXPECT_EQ(FindDictionaryParam(1947 + 2 * r)->ParamName, rec + "ID пользователя");
    }
    // Channel variants: channel outer, variant inner.
    EXPECT_EQ(FindDictionaryParam(710)->ParamName, "Управление каналом 1 (1-й) вариант");
    EXPECT_EQ(FindDictionaryParam(741)->ParamName, "Управление каналом 4 (8-й) вариант");
    EXPECT_EQ(FindDictionaryParam(2144)->ParamName, "Тариф вых. дня по временной зоне 8 сезона");
}

// Every area of every version: inside its block, no overlap but through masks, tiled exactly
// so that the block length the codec sums up is the area's length.
TEST(DictionaryTest, EveryAreaLayoutIsSound) {
    std::set<std::int32_t> checked;
    for (const auto& a : Seed().FileAccepts) {
        const TFileRow* file = FindDictionaryFile(a.FileID);
        if (!file || !checked.insert(a.FileID).second) continue;
        if (a.FileID == 21) continue;  // checked below
        for (const auto& fault : AreaFaults(*file)) { ADD_FAILURE() << fault; }
    }
    EXPECT_GE(checked.size(), 210u);

    // The password area of version 1 is given with 22 passwords in its 44 bytes, which leaves
    // no room for the checksum; it is never read and is written from its parameters
    // (44 bytes and the checksum).
    const auto faults = AreaFaults(*FindDictionaryFile(21));
    ASSERT_EQ(faults.size(), 2u);
    EXPECT_NE(faults[0].find("count 44 bytes, the block holds 42"), std::string::npos) << faults[0];
    EXPECT_NE(faults[1].find("ParamID 316 at 42 leaves the block"), std::string::npos) << faults[1];
    EXPECT_EQ(DictionaryParamsOfFile(21).size(), 1u);

    // Parameters outside any area: only those of the area without a row.
    for (const auto& p : Seed().Params)
        if (!FindDictionaryFile(p.FileID)) { EXPECT_EQ(p.FileID, 160) << p.ParamID; }

    EXPECT_EQ(DictionaryBlockLength(13), 7);
    EXPECT_EQ(DictionaryBlockLength(214), 7);
    EXPECT_EQ(DictionaryBlockLength(146), 102);
    EXPECT_EQ(DictionaryBlockLength(60), 10);
    EXPECT_EQ(DictionaryBlockLength(2), 100);
}

TEST(DictionaryTest, EveryParamIsConsistent) {
    for (const auto& p : Seed().Params) {
        SCOPED_TRACE(p.ParamID);
        const TParamTypeRow* type = FindDictionaryParamType(p.ParamType);
        ASSERT_NE(type, nullptr);
        const TFileRow* file = FindDictionaryFile(p.FileID);
        EXPECT_LE(CodePoints(p.ParamName), 70u);
        EXPECT_FALSE(p.ParamName.empty());
        EXPECT_EQ(p.FileIndex, std::optional<std::int32_t>(0));
        if (file && file->FileIndex) {
            EXPECT_TRUE(p.IsFileIndex);
            EXPECT_EQ(p.MinIndex, 0);
            EXPECT_EQ(p.MaxIndex, file->FileSize - 1);
        } else if (p.IsFileIndex) {
            ASSERT_TRUE(p.MinIndex && p.MaxIndex);
            EXPECT_LE(*p.MinIndex, *p.MaxIndex);
            EXPECT_LE(*p.MaxIndex, 255);  // the codec keeps element numbers up to 255
        }
        if (file) {
            EXPECT_EQ(p.MaxDaySave, file->StatReset != 0 && p.ParamName.rfind("Пароль доступа", 0) != 0 ? 45 : 0);
            if (file->ReadOnly) { EXPECT_TRUE(p.IsReadOnly); }
        }
        // Widths the codec knows.
        switch (p.ParamType) {
            case 1: EXPECT_TRUE(p.InFileSize >= 1 && p.InFileSize <= 4); break;
            case 2: EXPECT_TRUE(p.InFileSize == 6 || p.InFileSize == 7); break;
            case 35: EXPECT_EQ(p.InFileSize, 8); break;
            case 36: EXPECT_EQ(p.InFileSize, 4); break;
            case 3: EXPECT_TRUE(p.InFileSize >= 1 && p.InFileSize <= 50); break;  // a stored value holds 50 bytes
            case 5: case 27: case 32: EXPECT_EQ(p.InFileSize, 4); break;
            case 11: case 15: case 16: case 24: EXPECT_EQ(p.InFileSize, 2); break;
            default: EXPECT_LE(p.InFileSize, 1);
        }
        if (p.ParamType == 4) { EXPECT_TRUE(p.Mask == 1 || p.Mask == 2 || p.Mask == 4 || p.Mask == 8 || p.Mask == 16 || p.Mask == 32 || p.Mask == 64 || p.Mask == 128); }
        if (p.InFileSize == 0) { EXPECT_TRUE(IsBitField(p) && p.ParamType != 4); }

        // Limits and default.
        if (p.MinValue || p.MaxValue) {
            ASSERT_TRUE(p.MinValue && p.MaxValue);
            EXPECT_LT(*p.MinValue, *p.MaxValue);
        }
        const std::string& d = p.DefaultValue;
        long long n = 0;
        double x = 0;
        if (type->IsEnum) {
            ASSERT_TRUE(ParseInt(d, n)) << d;
            bool member = false;
            for (const auto* e : DictionaryEnumsOfType(p.ParamType)) member |= e->RealValue == n;
            EXPECT_TRUE(member) << d;
            continue;
        }
        switch (p.ParamType) {
            case 1: {
                ASSERT_TRUE(ParseInt(d, n)) << d;
                if (p.MinValue) { EXPECT_TRUE(n >= *p.MinValue && n <= *p.MaxValue) << d; }
                const long long span = 1LL << (8 * p.InFileSize);
                EXPECT_TRUE(p.MinValue.value_or(0) < 0 ? (n >= -span / 2 && n < span / 2) : (n >= 0 && n < span)) << d;
                if (p.MinValue && p.InFileSize < 4) {
                    EXPECT_GE(*p.MinValue, p.MinValue < 0 ? -span / 2 : 0);
                    EXPECT_LT(*p.MaxValue, *p.MinValue < 0 ? span / 2 : span);
                }
                break;
            }
            case 2: case 27: case 33: case 35: case 36:
                ASSERT_TRUE(ParseReal(d, x)) << d;
                if (p.MinValue) { EXPECT_TRUE(x >= *p.MinValue && x <= *p.MaxValue) << d; }
                break;
            case 3: EXPECT_LE(CodePoints(d), static_cast<std::size_t>(p.InFileSize)) << d; break;
            case 4: EXPECT_TRUE(d == "0" || d == "1") << d; break;
            case 5: case 11: case 24: EXPECT_TRUE(d.empty() || ValidDateTime(d)) << d; break;
            case 15: EXPECT_TRUE(ValidTime(d)) << d; break;
            case 16: case 32: EXPECT_TRUE(d.empty() || ValidDate(d)) << d; break;
            default: ADD_FAILURE() << "type " << p.ParamType << " is not used";
        }
    }
}

// What other parts of the program read from particular parameters.
TEST(DictionaryTest, ParamsAgreeWithTheirReaders) {
    auto expectType = [](std::initializer_list<int> ids, std::set<int> types, int width = 0) {
        for (int id : ids) {
            const TParamRow* p = FindDictionaryParam(id);
            ASSERT_NE(p, nullptr) << id;
            EXPECT_TRUE(types.count(p->ParamType)) << "ParamID " << id << " type " << p->ParamType;
            if (width) { EXPECT_EQ(p->InFileSize, width) << "ParamID " << id; }
        }
    };
    // Identifier sent when a session opens: four bytes.
    expectType({24, 345, 602, 1159, 1375, 1548, 2071, 2099, 2385}, {1}, 4);
    // Passwords: 16-bit words.
    expectType({316, 532, 641, 1080, 1513, 2014, 2098, 2162, 2242, 2269, 2281, 2293, 2294, 2295, 2296, 2297, 2298}, {1}, 2);
    for (int id : {316, 532, 641, 1080, 1513, 2014, 2098, 2162, 2242, 2269, 2281, 2293, 2298})
        EXPECT_EQ(FindDictionaryFile(FindDictionaryParam(id)->FileID)->FileName, "Пароли доступа") << id;
    // Measurement time stamps of the load-profile rings, the first parameter of each record.
    for (int id : {302, 529, 639, 760, 1070, 1394, 1506, 1806, 1825, 2147, 2240, 2312, 2320, 2383}) {
        const TParamRow* p = FindDictionaryParam(id);
        EXPECT_TRUE(p->ParamType == 5 || p->ParamType == 24) << id;
        EXPECT_EQ(p->FileOffset, 0) << id;
        if (const TFileRow* f = FindDictionaryFile(p->FileID)) { EXPECT_EQ(f->StatReset, 2) << id; }
    }
    // Readings stored as 8-byte reals (parametrization protocol, statistics), integers where
    // the readers take integers.
    const std::set<int> reals = {2, 35, 36};
    expectType({790, 795, 800, 805, 810, 815, 1582, 1583, 1584, 1585, 1586, 1587, 1381, 1382, 1383, 1384, 1385, 1386}, reals);
    expectType({33, 34, 350, 355, 360, 365, 530, 531, 742, 1150, 1165, 1166, 1395, 1507, 1807, 2065, 1826, 2300, 783}, reals);
    expectType({606, 2101, 290, 298, 300, 303, 304, 640, 761, 1071, 1073, 1074, 2148, 2155, 2156, 2244, 2266, 775, 779}, {1});
    expectType({644}, {1});
    expectType({643, 645, 642}, {27});
    expectType({646}, {3});
    expectType({660}, {4});
    expectType({297, 308, 512, 669, 776, 781, 784, 789, 1515, 1556, 1581, 1829, 2153, 2154, 2158, 2299}, {5});
    expectType({777}, {32});
    expectType({1167, 1207, 1906, 1946}, {5});
    // Schedules of time zones and season tariffs.
    expectType({217, 625, 875, 1635, 2121, 678}, {15}, 2);
    expectType({633, 656, 1235, 1252, 2129, 2200, 2216}, {23});
}

// The transformation coefficients lie where the configuration says, in the areas it names.
TEST(DictionaryTest, TransformationCoefficientsAtConfiguredOffsets) {
    const TConfiguration config;
    struct Case { int version; int areaId; int voltage; int current; std::set<int> types; };
    const Case cases[] = {
        {1, config.Norvel8KoefsID, config.Norvel8VoltageKoefOffset, config.Norvel8CurrentKoefOffset, {2}},
        {2, config.Norvel9KoefsID, config.Norvel9VoltageKoefOffset, config.Norvel9CurrentKoefOffset, {2}},
        {3, config.Norvel9KoefsID, config.Norvel9VoltageKoefOffset, config.Norvel9CurrentKoefOffset, {2}},
        {22, config.Norvel9NewKoefsID, config.Norvel9NewVoltageKoefOffset, config.Norvel9NewCurrentKoefOffset, {2}},
        {33, config.Norvel9NewKoefsID, config.Norvel9NewVoltageKoefOffset, config.Norvel9NewCurrentKoefOffset, {2}},
        // IEEE doubles: the current coefficient one byte further on.
        {36, config.Norvel9NewKoefsID, config.Norvel9NewVoltageKoefOffset, config.Norvel9NewCurrentKoefOffset + 1, {35}},
        {48, config.Norvel9NewKoefsID, config.Norvel9NewVoltageKoefOffset, config.Norvel9NewCurrentKoefOffset + 1, {35}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        const TFileRow* area = nullptr;
        for (std::int32_t id : DictionaryFilesOfVersion(c.version))
            if (FindDictionaryFile(id)->FileInternalID == c.areaId) area = FindDictionaryFile(id);
        ASSERT_NE(area, nullptr);
        std::map<int, const TParamRow*> at;
        for (const TParamRow* p : DictionaryParamsOfFile(area->FileID)) at[p->FileOffset] = p;
        ASSERT_TRUE(at.count(c.voltage) && at.count(c.current));
        EXPECT_TRUE(c.types.count(at[c.voltage]->ParamType));
        EXPECT_TRUE(c.types.count(at[c.current]->ParamType));
        EXPECT_NE(at[c.voltage]->ParamName.find("напр"), std::string::npos) << at[c.voltage]->ParamName;
        EXPECT_NE(at[c.current]->ParamName.find("току"), std::string::npos) << at[c.current]->ParamName;
        EXPECT_EQ(at[c.voltage]->InFileSize, c.types.count(35) ? 8 : 7);
    }
}

TEST(DictionaryTest, LookUps) {
    EXPECT_EQ(FindDictionaryParam(2461), nullptr);
    EXPECT_EQ(FindDictionaryParam(372), nullptr);
    EXPECT_EQ(FindDictionaryFile(9999), nullptr);
    EXPECT_TRUE(DictionaryParamsOfFile(9999).empty());
    EXPECT_TRUE(DictionaryFilesOfVersion(21).empty());
    EXPECT_EQ(DictionaryBlockLength(9999), 0);
    const auto ident = DictionaryParamsOfFile(2);
    ASSERT_EQ(ident.size(), 10u);
    for (std::size_t i = 0; i < ident.size(); ++i) { EXPECT_EQ(ident[i]->ParamID, 22 + static_cast<int>(i)); }
    EXPECT_EQ(DictionaryFilesOfVersion(27), (std::vector<std::int32_t>{23, 118, 119, 120, 121}));
    EXPECT_EQ(&DictionarySeed(), &DictionarySeed());
}
