#pragma once
// Rows of the dictionary tables, as plain structs. The seed data, the database layer,
// the parameter codec and the simulator all speak these. Flag columns hold "0"/"1"
// in the tables and are bools here; StatReset holds a small number ("0", "1", "2").

#include <cstdint>
#include <optional>
#include <string>

struct TVersionRow {
    std::int32_t VersionInternalID = 0;
    std::int32_t VersionID = 0;       // the version code the meter reports
    std::string VersionName;
    bool IsInvisible = false;
};

struct TFileRow {
    std::int32_t FileID = 0;
    std::string FileName;
    std::int32_t FileInternalID = 0;  // the area number on the wire
    std::int32_t FileSize = 0;        // plain: block length, checksum included; indexed: number of records
    bool FileIndex = false;           // indexed area: records addressed by an index
    bool ReadOnly = false;
    std::int32_t StatReset = 0;       // 0 settings, 1 history, 2 load-profile ring read incrementally
};

struct TFileAcceptRow {
    std::int32_t VersionID = 0;       // protocol version code (Versions.VersionID), not the revision key
    std::int32_t FileID = 0;
};

struct TParamTypeRow {
    std::int32_t ParamType = 0;
    std::string ParamTypeName;
    bool IsEnum = false;
};

struct TEnumParamTypeRow {
    std::int32_t ParamType = 0;
    std::int32_t EnumIndex = 0;
    std::string EnumValue;
    std::int32_t RealValue = 0;
};

// Nullable integer columns are optional: an absent value is NULL in the table.
struct TParamRow {
    std::int32_t ParamID = 0;
    std::string ParamName;
    std::int32_t ParamType = 0;
    std::int32_t FileID = 0;
    std::int32_t FileOffset = 0;
    std::int32_t InFileSize = 0;
    bool IsFileIndex = false;
    std::optional<std::int32_t> FileIndex;
    std::string DefaultValue;
    std::int32_t MaxDaySave = 0;
    bool IsReadOnly = false;
    std::optional<std::int32_t> MinValue;
    std::optional<std::int32_t> MaxValue;
    std::optional<std::int32_t> Mask;
    std::optional<std::int32_t> MinIndex;
    std::optional<std::int32_t> MaxIndex;
};
