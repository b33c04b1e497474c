#pragma once
// The dictionary seed: every meter revision, area, area acceptance, parameter type,
// enumeration and parameter that a new database starts with. One data source for
// the database seeding, the codec tests and the simulator.

#include "db/DictionaryRows.h"

#include <vector>

struct TDictionarySeed {
    std::vector<TVersionRow> Versions;
    std::vector<TFileRow> Files;
    std::vector<TFileAcceptRow> FileAccepts;
    std::vector<TParamTypeRow> ParamTypes;
    std::vector<TEnumParamTypeRow> EnumParamTypes;
    std::vector<TParamRow> Params;
};

// Built once, on first use; rows in seeding order.
const TDictionarySeed& DictionarySeed();
