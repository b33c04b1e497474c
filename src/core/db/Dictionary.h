#pragma once
// The dictionary seed: every meter revision, area, area acceptance, parameter type,
// enumeration and parameter that a new database starts with. One data source for
// the database seeding, the codec tests and the simulator.
//
// The rows live as tab-separated tables in db/dictionary/*.tsv, compiled into the
// library. Record length of an indexed area: the records carry no length of their
// own; a record is the area's parameters laid out from offset 0 (each parameter's
// FileOffset + InFileSize, booleans sharing a byte through their masks) followed by
// the two checksum bytes, so its length is the sum of the parameters' widths plus 2
// (a boolean counts only when its Mask is 1, exactly as the codec sums them).
// Bit fields sharing a byte: the byte is counted by exactly one of them (the boolean with
// Mask 1, or the one bit field with InFileSize 1); the others are booleans with another
// Mask or bit fields with InFileSize 0. Plain areas are tiled the same way, so the block
// the codec builds from the parameters is exactly FileSize long.

#include "db/DictionaryRows.h"

#include <cstdint>
#include <string_view>
#include <vector>

struct TDictionarySeed {
    std::vector<TVersionRow> Versions;
    std::vector<TFileRow> Files;
    std::vector<TFileAcceptRow> FileAccepts;
    std::vector<TParamTypeRow> ParamTypes;
    std::vector<TEnumParamTypeRow> EnumParamTypes;
    std::vector<TParamRow> Params;
};

// Built once, on first use; rows in seeding order (each table ordered by its key).
// A table that does not parse is a build defect: the first call throws std::logic_error.
const TDictionarySeed& DictionarySeed();

// Look-ups over the seed (built once with it). Pointers stay valid for the program's life.
const TFileRow* FindDictionaryFile(std::int32_t fileId);
const TParamRow* FindDictionaryParam(std::int32_t paramId);
const TParamTypeRow* FindDictionaryParamType(std::int32_t paramType);
// The parameters of one area in ParamID order (empty for an unknown area).
std::vector<const TParamRow*> DictionaryParamsOfFile(std::int32_t fileId);
// The areas (FileIDs, ascending) of a protocol version code, as FileAccepts lists them;
// a FileID without a Files row is left out.
std::vector<std::int32_t> DictionaryFilesOfVersion(std::int32_t versionCode);
// The enumeration entries of one type in EnumIndex order.
std::vector<const TEnumParamTypeRow*> DictionaryEnumsOfType(std::int32_t paramType);
// Block length on the wire, checksum included: FileSize for a plain area, the record
// length (see above) for an indexed one; 0 for an unknown area.
std::int32_t DictionaryBlockLength(std::int32_t fileId);

// The embedded text of one table (e.g. "Params"); empty when unknown. Generated at build time.
std::string_view DictionaryDataFile(std::string_view name);
