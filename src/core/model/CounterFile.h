#pragma once
// One memory area ("file") of a meter revision with the parameters that lie in it;
// turns a received block into parameter values and parameter values into a block to
// send, with the trailing 16-bit checksum.
//
// A plain area is one block; an indexed area is a table of equal records, each its
// own block addressed by its record number. Parameters are kept record-major: the
// parameters of record 0 in ParamID order, then those of record 1, and so on.
//
// Loaded from dictionary rows (a TFileRow and the area's TParamRows), so it does not
// depend on where the rows come from. Never throws and never shows a message:
// failures are results, with a Russian ErrorText.

#include "db/DictionaryRows.h"
#include "model/CounterParam.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// Area checksums. The version code decides which one and its byte order.
std::uint16_t Crc16Xmodem(std::span<const std::uint8_t> data);  // poly 0x1021, init 0, no reflection
std::uint16_t ShiftChecksum(std::span<const std::uint8_t> data);  // one shift step per byte
bool UsesCrc16Checksum(std::int32_t version);
std::uint16_t AreaChecksum(std::span<const std::uint8_t> data, std::int32_t version);

// Longest block the meter link carries (its length travels in one byte).
inline constexpr std::int32_t kMaxBlockLength = 255;
// Most records an area can have: the record number travels in two bytes.
inline constexpr std::int32_t kMaxRecordCount = 65536;

class TCounterFile {
public:
    explicit TCounterFile(std::int32_t fileId = 0);

    std::int32_t FileID = 0;
    std::int32_t FileInternalID = 0;  // area number on the wire
    std::string FileName;
    std::int32_t FileSize = 0;     // plain: block length with the two checksum bytes; indexed: 0
    bool FileIndex = false;        // indexed area
    std::int32_t RecordCount = 0;  // indexed: number of records; plain: 0
    std::uint8_t StatReset = 0;    // 0 settings, 1 history, 2 load-profile ring
    bool ReadOnly = false;
    std::vector<TCounterParam> Params;
    std::int16_t YearBase = 0;  // century base, copied into type-5 parameters before decoding

    // The last failure of DecodeArea or EncodeArea.
    std::string ErrorText;
    // Parameters left out while loading because their bytes do not fit the area (the
    // dictionary can be edited by an administrator), one text each.
    std::vector<std::string> LoadErrors;

    void LoadFromFileRow(const TFileRow& row);
    // Appends the parameter of a Params row and, for an array in a plain area, its
    // further elements. False when it was left out (see LoadErrors).
    bool AddParamRow(const TParamRow& row);
    // Indexed area, after all rows were added: the copies for records 1 .. RecordCount - 1.
    void ExpandRecords();

    // Both steps at once: the area row, then its parameter rows (sorted here by
    // ParamID), then the records. The function a database-backed loader calls.
    void LoadFromRows(const TFileRow& file, std::span<const TParamRow> params);

    // Block length of a record (plain areas: FileSize), checksum included; -1 when the
    // record or the area is not valid.
    std::int32_t BlockLength(std::int32_t record) const;
    // Checks the block's checksum and decodes its parameters; the block length, or -1.
    std::int32_t DecodeArea(std::int32_t record, const TAreaImage& image, std::int32_t version);
    // Encodes the block's parameters into a zero-filled image and appends the checksum;
    // the block length, or -1 (nothing of a failed block may be sent).
    std::int32_t EncodeArea(std::int32_t record, TAreaImage& image, std::int32_t version);

    // The parameters of a block (plain: all; indexed: those of the record).
    std::vector<TCounterParam*> BlockParams(std::int32_t record);
    // The first parameter with this ParamID and ParamIndex, or nullptr.
    TCounterParam* FindParam(std::int32_t paramId, std::uint16_t paramIndex);

private:
    // List positions [begin, end) of a record's parameters.
    std::pair<std::size_t, std::size_t> RecordRange(std::int32_t record) const;
    bool RecordValid(std::int32_t record) const;
    std::int32_t DataLimit() const;
    bool FitsArea(const TCounterParam& p, std::int32_t limit, bool report);
    bool IsPasswordArea() const;

    // Start of each record in Params, RecordCount + 1 entries once records are expanded.
    std::vector<std::size_t> recordStart_;
};

// A new area object from rows; never null.
std::unique_ptr<TCounterFile> BuildCounterFile(const TFileRow& file, std::span<const TParamRow> params);
