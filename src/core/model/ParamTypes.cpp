#include "model/ParamTypes.h"

#include "db/Dictionary.h"

#include <algorithm>

TParamTypes ParamTypeList;

void TParamType::LoadFromRow(const TParamTypeRow& row) {
    ParamTypeName = row.ParamTypeName;
    IsEnum = row.IsEnum;
}

void TParamType::LoadEnumValues(std::span<const TEnumParamTypeRow> rows) {
    if (!IsEnum) return;
    std::vector<const TEnumParamTypeRow*> mine;
    for (const auto& r : rows)
        if (r.ParamType == ParamType) mine.push_back(&r);
    if (mine.empty()) return;
    std::stable_sort(mine.begin(), mine.end(),
                     [](const TEnumParamTypeRow* a, const TEnumParamTypeRow* b) { return a->EnumIndex < b->EnumIndex; });
    EnumNames.clear();
    EnumValues.clear();
    for (const auto* r : mine) {
        EnumNames.push_back(r->EnumValue);
        EnumValues.push_back(r->RealValue);
    }
    EnumCount = static_cast<std::int32_t>(mine.size());
}

void TParamType::CopyFrom(const TParamType& source) {
    ParamType = source.ParamType;
    ParamTypeName = source.ParamTypeName;
    IsEnum = source.IsEnum;
    EnumNames = source.EnumNames;
    EnumValues = source.EnumValues;
    EnumCount = source.EnumCount;
}

int TParamType::EnumPosition(std::int64_t value) const {
    const auto n = std::min<std::size_t>(EnumValues.size(), static_cast<std::size_t>(std::max(EnumCount, 0)));
    for (std::size_t i = 0; i < n; ++i)
        if (EnumValues[i] == value) return static_cast<int>(i);
    return -1;
}

void TParamTypes::Load(std::span<const TParamTypeRow> types, std::span<const TEnumParamTypeRow> enums) {
    Clear();
    for (const auto& row : types) {
        auto t = std::make_unique<TParamType>(row.ParamType);
        t->LoadFromRow(row);
        t->LoadEnumValues(enums);
        types_.push_back(std::move(t));
    }
}

void TParamTypes::LoadFromDictionarySeed() {
    const TDictionarySeed& seed = DictionarySeed();
    Load(seed.ParamTypes, seed.EnumParamTypes);
}

void TParamTypes::Clear() { types_.clear(); }

const TParamType* TParamTypes::Find(std::int32_t paramType) const {
    for (const auto& t : types_)
        if (t->ParamType == paramType) return t.get();
    return nullptr;
}
