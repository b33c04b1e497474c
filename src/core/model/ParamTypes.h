#pragma once
// The catalogue of parameter types: the 36 types of the dictionary table ParamTypes
// with the entries of their enumerations (EnumParamTypes). One loaded instance,
// ParamTypeList, lives while the program runs; every TCounterParam points into it.

#include "db/DictionaryRows.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TParamType {
public:
    explicit TParamType(std::int32_t paramType = 0) : ParamType(paramType) {}
    virtual ~TParamType() = default;

    std::int32_t ParamType = 0;
    std::string ParamTypeName;
    bool IsEnum = false;
    // Entries in EnumIndex order: the name shown and the value stored.
    std::vector<std::string> EnumNames;
    std::vector<std::int32_t> EnumValues;
    std::int32_t EnumCount = 0;

    // Name and flag from a ParamTypes row.
    void LoadFromRow(const TParamTypeRow& row);
    // The entries of this type among `rows` (any order, any types), sorted by
    // EnumIndex. Only for enumeration types; without entries the lists stay as they are.
    void LoadEnumValues(std::span<const TEnumParamTypeRow> rows);
    virtual void CopyFrom(const TParamType& source);

    // Position of `value` among EnumValues, -1 when it is no member.
    int EnumPosition(std::int64_t value) const;
};

class TParamTypes {
public:
    TParamTypes() = default;
    TParamTypes(const TParamTypes&) = delete;
    TParamTypes& operator=(const TParamTypes&) = delete;

    // Replaces the list with one type per row, in row order. Pointers handed out
    // before a reload dangle: load once, before any parameter is created.
    void Load(std::span<const TParamTypeRow> types, std::span<const TEnumParamTypeRow> enums);
    // Loads the dictionary seed's types (the tables a new database starts with).
    void LoadFromDictionarySeed();
    void Clear();

    std::size_t Count() const { return types_.size(); }
    const TParamType* At(std::size_t i) const { return i < types_.size() ? types_[i].get() : nullptr; }
    const TParamType* First() const { return At(0); }
    // The type with this number, or nullptr.
    const TParamType* Find(std::int32_t paramType) const;

private:
    std::vector<std::unique_ptr<TParamType>> types_;
};

// The program's one catalogue; loaded at start-up, before any window needs a parameter.
extern TParamTypes ParamTypeList;
