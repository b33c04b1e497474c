#pragma once
// One parameter of a meter area and the codec between its four forms: the bytes in
// the area image, the value text (`Value`, the canonical form), the display text and
// the DataValue blob of the value store. Value texts follow model/ValueText.h.
//
// Nothing here throws or shows a message: a setter that cannot parse, or whose value
// is out of range or no enumeration member, leaves `Value` unchanged and returns
// false; getters give 0, false or "".

#include "db/DictionaryRows.h"
#include "model/ParamTypes.h"
#include "model/ValueText.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Every area or record block is handed to the codec in an image of this size, block
// start at byte 0 (blocks on the wire are at most 255 bytes).
inline constexpr std::size_t kAreaImageSize = 1025;
using TAreaImage = std::array<std::uint8_t, kAreaImageSize>;

// A DataValue blob as the value store keeps it; the codec uses at most this many
// bytes (the writer's value record holds no more). Longer texts are cut to it.
inline constexpr std::size_t kDataValueMaxBytes = 50;
using TDataValue = std::vector<std::uint8_t>;

struct TValueRecord;  // db/ValueStore.h

class TCounterParam {
public:
    explicit TCounterParam(std::int32_t paramId = 0);

    std::uint16_t ParamIndex = 0;  // array element or record number
    std::string Value;             // value text; empty = no value
    std::int32_t ParamID = 0;
    std::string ParamName;
    const TParamType* ParamType = nullptr;  // into ParamTypeList; not owned
    std::int32_t FileID = 0;
    std::int32_t FileOffset = 0;  // inside the area image (inside the record for indexed areas)
    std::int32_t InFileSize = 0;
    bool IsReadOnly = false;
    bool IsFileIndex = false;
    std::uint16_t YearBase = 0;  // century base of type-5 dates, set by the area before decoding
    std::int32_t MinValue = 0, MaxValue = 0;  // both 0: no range
    std::int32_t MinIndex = 0, MaxIndex = 0;
    std::uint8_t Mask = 255;
    std::int32_t MaxDaySave = 0;
    bool Marked = false;  // a stored value was loaded into it for writing

    // Everything but YearBase and Marked.
    void CopyFrom(const TCounterParam& source);
    // Definition and default value from a Params row; the type is looked up in
    // ParamTypeList (its first entry when the number is unknown).
    void LoadFromParamRow(const TParamRow& row);
    // ParamIndex = index when it lies in [MinIndex, MaxIndex], else MinIndex.
    void SetIndex(std::uint16_t index);

    std::int32_t TypeNumber() const { return ParamType ? ParamType->ParamType : 0; }
    bool IsEnumType() const { return ParamType && ParamType->IsEnum; }

    std::int32_t GetAsInteger() const;
    double GetAsFloat() const;
    TDateTime GetAsDateTime() const;
    bool GetAsBoolean() const;
    std::string GetDisplayText() const;

    // True when the value was taken.
    bool SetAsInteger(std::int64_t n);
    bool SetAsFloat(double x);
    bool SetAsDateTime(TDateTime x);
    bool SetAsBoolean(bool b);
    // A text typed by a user or taken from a default: the enumeration entry's name, a
    // number, a date, a time or a date and time in the value-text convention.
    bool SetAsText(const std::string& s);

    // Area codec. The byte order is that of `version` (CurrentVersion when omitted).
    // A parameter whose bytes do not lie inside the image is neither read nor written.
    void DecodeFromArea(const TAreaImage& image);
    void DecodeFromArea(const TAreaImage& image, std::int32_t version);
    // Writes Value into the image; returns the bytes this parameter adds to the block
    // length, 0 after a failure.
    std::int32_t EncodeToArea(TAreaImage& image) const;
    std::int32_t EncodeToArea(TAreaImage& image, std::int32_t version) const;
    // The same, with a failure told apart from a contribution of 0 bytes: nullopt when
    // Value cannot be written (no number, out of the field's range, outside the image).
    std::optional<std::int32_t> TryEncodeToArea(TAreaImage& image, std::int32_t version) const;

    // Bytes the parameter occupies from FileOffset (0 for a width its type does not know).
    std::int32_t AreaSpan() const;
    // Bytes it adds to the length of its block: InFileSize, for a boolean 1 when its
    // Mask is 1 and 0 otherwise, so that booleans sharing a byte count it once.
    std::int32_t BlockContribution() const;

    // DataValue form.
    void LoadValueFromField(std::span<const std::uint8_t> field);
    TDataValue SaveValueToField() const;
    void ValueToRecord(TValueRecord& record) const;
    // Hands the value to the value store's background writer, dated `dateTime` when
    // `useDateTime` is set, else today. False when no writer runs.
    bool QueueValue(std::int32_t counterId, TDateTime dateTime, bool useDateTime) const;

private:
    std::optional<std::int64_t> EnumMember() const;
    std::int64_t EnumValueOrFirst() const;
    bool InRange(double x) const;
    bool IntegerFitsField(std::int64_t n) const;
    bool RealFitsField(double x) const;
    bool UsesIdentifierOffset() const;
};

// Readers of stored DataValue blobs (at most kDataValueMaxBytes are looked at).
// 1 to 4 bytes: an unsigned little-endian integer; anything else 0.
std::int64_t BlobAsInteger(std::span<const std::uint8_t> blob);
// Exactly 8 bytes: a little-endian double; anything else 0.
double BlobAsFloat(std::span<const std::uint8_t> blob);
TDateTime BlobAsDateTime(std::span<const std::uint8_t> blob);
// The bytes as text (stored texts are in the ANSI code page, CP1251); empty blob, "".
std::string BlobAsText(std::span<const std::uint8_t> blob);
