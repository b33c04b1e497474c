#include "db/Dictionary.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>

namespace {

// One data line of a table: its fields split at tabs, kept verbatim (a trailing space
// inside a name is data).
struct TLine {
    std::string_view Table;
    int Number = 0;
    std::vector<std::string_view> Fields;

    [[noreturn]] void Fail(const std::string& what) const {
        throw std::logic_error("dictionary table " + std::string(Table) + ", line " + std::to_string(Number) +
                               ": " + what);
    }

    std::optional<std::int32_t> OptInt(std::size_t i) const {
        const std::string_view s = Fields[i];
        if (s.empty()) return std::nullopt;
        std::int32_t v = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (ec != std::errc() || end != s.data() + s.size()) Fail("not an integer: '" + std::string(s) + "'");
        return v;
    }
    std::int32_t Int(std::size_t i) const {
        const auto v = OptInt(i);
        if (!v) Fail("empty integer column " + std::to_string(i + 1));
        return *v;
    }
    bool Flag(std::size_t i) const {
        const std::string_view s = Fields[i];
        if (s.empty() || s == "0") return false;
        if (s == "1") return true;
        Fail("flag is neither 0 nor 1: '" + std::string(s) + "'");
    }
    std::string Text(std::size_t i) const { return std::string(Fields[i]); }
};

// Splits a table into data lines of exactly `columns` fields; '#' starts a comment line.
std::vector<TLine> ReadTable(std::string_view table, std::size_t columns) {
    const std::string_view text = DictionaryDataFile(table);
    if (text.empty()) throw std::logic_error("dictionary table " + std::string(table) + " is not embedded");
    std::vector<TLine> lines;
    std::size_t pos = 0;
    int number = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        TLine l{table, number, {}};
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            if (tab == std::string_view::npos) {
                l.Fields.push_back(line.substr(start));
                break;
            }
            l.Fields.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        if (l.Fields.size() != columns)
            l.Fail("expected " + std::to_string(columns) + " columns, found " + std::to_string(l.Fields.size()));
        lines.push_back(std::move(l));
    }
    return lines;
}

// "1-5, 7-10, 12" -> 1 2 3 4 5 7 8 9 10 12
std::vector<std::int32_t> ExpandRanges(const TLine& line, std::string_view list) {
    std::vector<std::int32_t> out;
    auto number = [&](std::string_view s) {
        while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
        while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
        std::int32_t v = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (s.empty() || ec != std::errc() || end != s.data() + s.size())
            line.Fail("bad range list '" + std::string(list) + "'");
        return v;
    };
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t comma = list.find(',', pos);
        if (comma == std::string_view::npos) comma = list.size();
        const std::string_view item = list.substr(pos, comma - pos);
        const std::size_t dash = item.find('-');
        const std::int32_t from = number(item.substr(0, dash));
        const std::int32_t to = dash == std::string_view::npos ? from : number(item.substr(dash + 1));
        if (to < from) line.Fail("descending range '" + std::string(item) + "'");
        for (std::int32_t v = from; v <= to; ++v) out.push_back(v);
        pos = comma + 1;
    }
    return out;
}

struct TDictionary {
    TDictionarySeed Seed;
    std::unordered_map<std::int32_t, const TFileRow*> FileById;
    std::unordered_map<std::int32_t, const TParamRow*> ParamById;
    std::unordered_map<std::int32_t, const TParamTypeRow*> TypeById;
    std::map<std::int32_t, std::vector<const TParamRow*>> ParamsByFile;
    std::map<std::int32_t, std::vector<std::int32_t>> FilesByVersion;
    std::map<std::int32_t, std::vector<const TEnumParamTypeRow*>> EnumsByType;
};

TDictionary Build() {
    TDictionary d;
    TDictionarySeed& s = d.Seed;

    for (const TLine& l : ReadTable("Versions", 4))
        s.Versions.push_back({l.Int(0), l.Int(1), l.Text(2), l.Flag(3)});

    for (const TLine& l : ReadTable("Files", 7))
        s.Files.push_back({l.Int(0), l.Text(1), l.Int(2), l.Int(3), l.Flag(4), l.Flag(5), l.Int(6)});

    for (const TLine& l : ReadTable("FileAccepts", 2)) {
        const std::int32_t version = l.Int(0);
        for (std::int32_t file : ExpandRanges(l, l.Fields[1])) s.FileAccepts.push_back({version, file});
    }

    for (const TLine& l : ReadTable("ParamTypes", 3)) s.ParamTypes.push_back({l.Int(0), l.Text(1), l.Flag(2)});

    for (const TLine& l : ReadTable("EnumParamTypes", 4))
        s.EnumParamTypes.push_back({l.Int(0), l.Int(1), l.Text(2), l.Int(3)});

    // ParamID FileID FileOffset InFileSize ParamType Mask IsFileIndex MinIndex MaxIndex
    // MinValue MaxValue DefaultValue MaxDaySave IsReadOnly FileIndex ParamName
    for (const TLine& l : ReadTable("Params", 16)) {
        TParamRow p;
        p.ParamID = l.Int(0);
        p.FileID = l.Int(1);
        p.FileOffset = l.Int(2);
        p.InFileSize = l.Int(3);
        p.ParamType = l.Int(4);
        p.Mask = l.OptInt(5);
        p.IsFileIndex = l.Flag(6);
        p.MinIndex = l.OptInt(7);
        p.MaxIndex = l.OptInt(8);
        p.MinValue = l.OptInt(9);
        p.MaxValue = l.OptInt(10);
        p.DefaultValue = l.Text(11);
        p.MaxDaySave = l.OptInt(12).value_or(0);
        p.IsReadOnly = l.Flag(13);
        p.FileIndex = l.OptInt(14);
        p.ParamName = l.Text(15);
        s.Params.push_back(std::move(p));
    }

    auto byKey = [](auto key) { return [key](const auto& a, const auto& b) { return key(a) < key(b); }; };
    std::stable_sort(s.Versions.begin(), s.Versions.end(), byKey([](const TVersionRow& r) { return r.VersionInternalID; }));
    std::stable_sort(s.Files.begin(), s.Files.end(), byKey([](const TFileRow& r) { return r.FileID; }));
    std::stable_sort(s.FileAccepts.begin(), s.FileAccepts.end(),
                     byKey([](const TFileAcceptRow& r) { return std::pair(r.VersionID, r.FileID); }));
    std::stable_sort(s.ParamTypes.begin(), s.ParamTypes.end(), byKey([](const TParamTypeRow& r) { return r.ParamType; }));
    std::stable_sort(s.EnumParamTypes.begin(), s.EnumParamTypes.end(),
                     byKey([](const TEnumParamTypeRow& r) { return std::pair(r.ParamType, r.EnumIndex); }));
    std::stable_sort(s.Params.begin(), s.Params.end(), byKey([](const TParamRow& r) { return r.ParamID; }));

    for (const auto& f : s.Files) d.FileById.emplace(f.FileID, &f);
    for (const auto& t : s.ParamTypes) d.TypeById.emplace(t.ParamType, &t);
    for (const auto& p : s.Params) {
        d.ParamById.emplace(p.ParamID, &p);
        d.ParamsByFile[p.FileID].push_back(&p);
    }
    for (const auto& a : s.FileAccepts)
        if (d.FileById.count(a.FileID)) d.FilesByVersion[a.VersionID].push_back(a.FileID);
    for (const auto& e : s.EnumParamTypes) d.EnumsByType[e.ParamType].push_back(&e);
    return d;
}

const TDictionary& Dict() {
    static const TDictionary dictionary = Build();
    return dictionary;
}

template <typename Map>
auto Find(const Map& map, std::int32_t key) -> typename Map::mapped_type {
    const auto it = map.find(key);
    return it == map.end() ? typename Map::mapped_type{} : it->second;
}

}  // namespace

const TDictionarySeed& DictionarySeed() { return Dict().Seed; }

const TFileRow* FindDictionaryFile(std::int32_t fileId) { return Find(Dict().FileById, fileId); }
const TParamRow* FindDictionaryParam(std::int32_t paramId) { return Find(Dict().ParamById, paramId); }
const TParamTypeRow* FindDictionaryParamType(std::int32_t paramType) { return Find(Dict().TypeById, paramType); }
std::vector<const TParamRow*> DictionaryParamsOfFile(std::int32_t fileId) { return Find(Dict().ParamsByFile, fileId); }
std::vector<std::int32_t> DictionaryFilesOfVersion(std::int32_t versionCode) {
    return Find(Dict().FilesByVersion, versionCode);
}
std::vector<const TEnumParamTypeRow*> DictionaryEnumsOfType(std::int32_t paramType) {
    return Find(Dict().EnumsByType, paramType);
}

std::int32_t DictionaryBlockLength(std::int32_t fileId) {
    const TFileRow* file = FindDictionaryFile(fileId);
    if (!file) return 0;
    if (!file->FileIndex) return file->FileSize;
    std::int32_t length = 2;
    for (const TParamRow* p : DictionaryParamsOfFile(fileId)) {
        if (p->ParamType == 4)
            length += p->Mask.value_or(0) == 1 ? 1 : 0;
        else
            length += p->InFileSize;
    }
    return length;
}
