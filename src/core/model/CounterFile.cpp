#include "model/CounterFile.h"

#include "shell/MeterVersion.h"

#include <algorithm>

namespace {

std::string Quoted(const std::string& s) { return "«" + s + "»"; }

// The bytes a parameter occupies from its offset; for a width its type does not know,
// the width it claims in the block.
std::int64_t Extent(const TCounterParam& p) {
    return std::max(p.AreaSpan(), p.TypeNumber() == 4 ? 0 : p.InFileSize);
}

bool Inside(const TCounterParam& p, std::int64_t limit) {
    return p.FileOffset >= 0 && p.InFileSize >= 0 && p.FileOffset + Extent(p) <= limit;
}

std::string ParamLabel(const TCounterParam& p) {
    return "Параметр " + std::to_string(p.ParamID) + " " + Quoted(p.ParamName);
}

}  // namespace

// ---- checksums ----

std::uint16_t Crc16Xmodem(std::span<const std::uint8_t> data) {
    std::uint16_t c = 0;
    for (std::uint8_t b : data) {
        c ^= static_cast<std::uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i)
            c = (c & 0x8000) ? static_cast<std::uint16_t>(c << 1 ^ 0x1021) : static_cast<std::uint16_t>(c << 1);
    }
    return c;
}

std::uint16_t ShiftChecksum(std::span<const std::uint8_t> data) {
    std::uint16_t c = 0;
    for (std::uint8_t b : data) {
        c ^= static_cast<std::uint16_t>(b << 8);
        c = (c & 0x8000) ? static_cast<std::uint16_t>(c << 1 ^ 0x1021) : static_cast<std::uint16_t>(c << 1);
    }
    return c;
}

bool UsesCrc16Checksum(std::int32_t v) {
    return (v >= 4 && v <= 20) || (v >= 23 && v <= 25) || v == 30 || (v >= 40 && v <= 47);
}

std::uint16_t AreaChecksum(std::span<const std::uint8_t> data, std::int32_t version) {
    return UsesCrc16Checksum(version) ? Crc16Xmodem(data) : ShiftChecksum(data);
}

// ---- loading ----

TCounterFile::TCounterFile(std::int32_t fileId) : FileID(fileId) {}

void TCounterFile::LoadFromFileRow(const TFileRow& row) {
    FileName = row.FileName;
    FileInternalID = row.FileInternalID;
    FileIndex = row.FileIndex;
    ReadOnly = row.ReadOnly;
    StatReset = static_cast<std::uint8_t>(std::clamp(row.StatReset, 0, 255));
    if (FileIndex) {
        RecordCount = row.FileSize;
        FileSize = 0;
        if (RecordCount < 1 || RecordCount > kMaxRecordCount)
            LoadErrors.push_back("Область " + Quoted(FileName) + ": недопустимое число записей " +
                                 std::to_string(RecordCount) + " (допустимо от 1 до " +
                                 std::to_string(kMaxRecordCount) + ")");
    } else {
        FileSize = row.FileSize;
        RecordCount = 0;
        if (FileSize < 2 || FileSize > kMaxBlockLength)
            LoadErrors.push_back("Область " + Quoted(FileName) + ": недопустимая длина блока " +
                                 std::to_string(FileSize) + " (допустимо от 2 до " +
                                 std::to_string(kMaxBlockLength) + " байт)");
    }
}

bool TCounterFile::IsPasswordArea() const { return FileName == "Пароли доступа"; }

// Bytes available to parameters in one block: all but the two checksum bytes. An
// indexed record is as long as its parameters make it. So is a password area: it is
// never read, only written from its parameters, and the one of version 1 is listed with
// 22 passwords in its 44 bytes, the checksum following them.
std::int32_t TCounterFile::DataLimit() const {
    if (FileIndex || IsPasswordArea()) return kMaxBlockLength - 2;
    return std::clamp(FileSize - 2, 0, kMaxBlockLength - 2);
}

bool TCounterFile::FitsArea(const TCounterParam& p, std::int32_t limit, bool report) {
    const std::int64_t extent = Extent(p);
    const bool fits = Inside(p, limit);
    if (!fits && report)
        LoadErrors.push_back(ParamLabel(p) + " (индекс " + std::to_string(p.ParamIndex) + ") не помещается в область " +
                             Quoted(FileName) + ": смещение " + std::to_string(p.FileOffset) + ", размер " +
                             std::to_string(extent) + ", данных в блоке " + std::to_string(limit) +
                             " байт; параметр пропущен");
    return fits;
}

bool TCounterFile::AddParamRow(const TParamRow& row) {
    TCounterParam first(row.ParamID);
    first.LoadFromParamRow(row);
    const std::int32_t limit = DataLimit();
    if (!FitsArea(first, limit, true)) return false;
    Params.push_back(first);
    if (FileIndex || !first.IsFileIndex) return true;

    // An array: element i at FileOffset + InFileSize × i, the first element keeping
    // its own offset and index. Elements past the end of the block are left out.
    const std::int32_t last = std::min(first.MaxIndex, 0xFFFF);
    for (std::int64_t i = static_cast<std::int64_t>(first.MinIndex) + 1; i <= last; ++i) {
        if (i < 0) continue;
        TCounterParam element(first.ParamID);
        element.CopyFrom(first);
        element.SetIndex(static_cast<std::uint16_t>(i));
        const std::int64_t offset = static_cast<std::int64_t>(first.FileOffset) + static_cast<std::int64_t>(first.InFileSize) * i;
        if (offset > limit) {
            element.FileOffset = static_cast<std::int32_t>(std::min<std::int64_t>(offset, INT32_MAX));
            FitsArea(element, limit, true);
            break;
        }
        element.FileOffset = static_cast<std::int32_t>(offset);
        if (!FitsArea(element, limit, true)) break;
        Params.push_back(std::move(element));
    }
    return true;
}

void TCounterFile::ExpandRecords() {
    if (!FileIndex) return;
    recordStart_.clear();
    if (RecordCount < 1 || RecordCount > kMaxRecordCount) return;

    // The record length follows from the parameters themselves; one whose bytes lie
    // past it (an inconsistent dictionary) is left out, and the length recomputed.
    for (bool changed = true; changed;) {
        changed = false;
        std::int64_t sum = 0;
        for (const auto& p : Params) sum += std::max(p.BlockContribution(), 0);
        const auto limit = static_cast<std::int32_t>(std::min<std::int64_t>(sum, kMaxBlockLength - 2));
        for (std::size_t i = 0; i < Params.size(); ++i)
            if (!FitsArea(Params[i], limit, true)) {
                Params.erase(Params.begin() + static_cast<std::ptrdiff_t>(i));
                changed = true;
                break;
            }
    }

    const std::size_t n = Params.size();
    for (auto& p : Params)
        if (p.MinIndex == 0 && p.MaxIndex == 0) {
            p.MinIndex = 0;
            p.MaxIndex = RecordCount;
        }
    Params.reserve(n * static_cast<std::size_t>(RecordCount));
    recordStart_.reserve(static_cast<std::size_t>(RecordCount) + 1);
    recordStart_.push_back(0);
    for (std::int32_t r = 1; r < RecordCount; ++r) {
        recordStart_.push_back(Params.size());
        for (std::size_t i = 0; i < n; ++i) {
            // Only a parameter whose index range reaches record r is repeated in it.
            if (r < Params[i].MinIndex || r > Params[i].MaxIndex) continue;
            TCounterParam copy(Params[i].ParamID);
            copy.CopyFrom(Params[i]);
            copy.SetIndex(static_cast<std::uint16_t>(r));
            if (copy.ParamIndex == r) Params.push_back(std::move(copy));
        }
    }
    recordStart_.push_back(Params.size());
}

void TCounterFile::LoadFromRows(const TFileRow& file, std::span<const TParamRow> params) {
    FileID = file.FileID;
    LoadFromFileRow(file);
    std::vector<const TParamRow*> rows;
    rows.reserve(params.size());
    for (const auto& r : params) rows.push_back(&r);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TParamRow* a, const TParamRow* b) { return a->ParamID < b->ParamID; });
    for (const TParamRow* r : rows) AddParamRow(*r);
    ExpandRecords();
}

std::unique_ptr<TCounterFile> BuildCounterFile(const TFileRow& file, std::span<const TParamRow> params) {
    auto f = std::make_unique<TCounterFile>(file.FileID);
    f->LoadFromRows(file, params);
    return f;
}

// ---- blocks ----

bool TCounterFile::RecordValid(std::int32_t record) const {
    if (!FileIndex) return true;
    return record >= 0 && record < RecordCount && RecordCount <= kMaxRecordCount;
}

std::pair<std::size_t, std::size_t> TCounterFile::RecordRange(std::int32_t record) const {
    if (FileIndex && recordStart_.size() == static_cast<std::size_t>(RecordCount) + 1 && RecordValid(record))
        return {recordStart_[static_cast<std::size_t>(record)], recordStart_[static_cast<std::size_t>(record) + 1]};
    return {0, Params.size()};
}

std::vector<TCounterParam*> TCounterFile::BlockParams(std::int32_t record) {
    std::vector<TCounterParam*> out;
    if (!RecordValid(record)) return out;
    const auto [begin, end] = RecordRange(record);
    for (std::size_t i = begin; i < end; ++i)
        if (!FileIndex || Params[i].ParamIndex == record) out.push_back(&Params[i]);
    return out;
}

TCounterParam* TCounterFile::FindParam(std::int32_t paramId, std::uint16_t paramIndex) {
    auto [begin, end] = FileIndex ? RecordRange(paramIndex) : std::pair<std::size_t, std::size_t>{0, Params.size()};
    for (std::size_t i = begin; i < end; ++i)
        if (Params[i].ParamID == paramId && Params[i].ParamIndex == paramIndex) return &Params[i];
    return nullptr;
}

std::int32_t TCounterFile::BlockLength(std::int32_t record) const {
    if (!FileIndex) return FileSize >= 2 && FileSize <= kMaxBlockLength ? FileSize : -1;
    if (!RecordValid(record)) return -1;
    const auto [begin, end] = RecordRange(record);
    std::int64_t length = 2;
    for (std::size_t i = begin; i < end; ++i)
        if (Params[i].ParamIndex == record) length += std::max(Params[i].BlockContribution(), 0);
    return length <= kMaxBlockLength ? static_cast<std::int32_t>(length) : -1;
}

std::int32_t TCounterFile::DecodeArea(std::int32_t record, const TAreaImage& image, std::int32_t version) {
    ErrorText.clear();
    if (!RecordValid(record)) {
        ErrorText = "Запись " + std::to_string(record) + " вне области " + Quoted(FileName) + " (записей: " +
                    std::to_string(RecordCount) + ")";
        return -1;
    }
    const std::int32_t length = BlockLength(record);
    if (length < 2) {
        ErrorText = "Недопустимая длина блока области " + Quoted(FileName);
        return -1;
    }
    const auto n = static_cast<std::size_t>(length);
    const std::uint16_t expected = AreaChecksum(std::span(image.data(), n - 2), version);
    const std::uint16_t stored = IsLittleEndianVersion(version)
                                     ? static_cast<std::uint16_t>(image[n - 2] | image[n - 1] << 8)
                                     : static_cast<std::uint16_t>(image[n - 2] << 8 | image[n - 1]);
    // Meters of versions 38 and 39 do not keep the shift checksum of their areas.
    const bool unchecked = !UsesCrc16Checksum(version) && (version == 38 || version == 39);
    if (expected != stored && !unchecked) {
        ErrorText = "Неверная контрольная сумма блока области " + Quoted(FileName) +
                    (FileIndex ? " (запись " + std::to_string(record) + ")" : std::string{});
        return -1;
    }
    for (TCounterParam* p : BlockParams(record)) {
        if (!Inside(*p, length - 2)) continue;  // its bytes were not part of the block
        if (p->TypeNumber() == 5) p->YearBase = static_cast<std::uint16_t>(YearBase);
        p->DecodeFromArea(image, version);
    }
    return length;
}

std::int32_t TCounterFile::EncodeArea(std::int32_t record, TAreaImage& image, std::int32_t version) {
    ErrorText.clear();
    if (!RecordValid(record)) {
        ErrorText = "Запись " + std::to_string(record) + " вне области " + Quoted(FileName) + " (записей: " +
                    std::to_string(RecordCount) + ")";
        return -1;
    }
    if (!FileIndex && BlockLength(0) < 0) {
        ErrorText = "Недопустимая длина блока области " + Quoted(FileName);
        return -1;
    }
    std::int64_t sum = 0;
    const auto block = BlockParams(record);
    for (const TCounterParam* p : block) {
        const auto bytes = p->TryEncodeToArea(image, version);
        if (!bytes) {
            ErrorText = ParamLabel(*p) + ": значение " + Quoted(p->Value) +
                        " не может быть записано в область " + Quoted(FileName);
            return -1;
        }
        sum += *bytes;
    }
    if (sum + 2 > kMaxBlockLength) {
        ErrorText = "Блок области " + Quoted(FileName) + " длиннее " + std::to_string(kMaxBlockLength) + " байт";
        return -1;
    }
    // Parameters that do not tile the block, or a block longer or shorter than the
    // area, would land in the meter misaligned.
    for (const TCounterParam* p : block)
        if (!Inside(*p, sum)) {
            ErrorText = ParamLabel(*p) + " лежит за концом блока области " + Quoted(FileName) + " (" +
                        std::to_string(sum) + " байт данных)";
            return -1;
        }
    if (!FileIndex && !IsPasswordArea() && sum + 2 != FileSize) {
        ErrorText = "Длина блока области " + Quoted(FileName) + " (" + std::to_string(sum + 2) +
                    " байт) не совпадает с её размером (" + std::to_string(FileSize) + " байт)";
        return -1;
    }
    const auto s = static_cast<std::size_t>(sum);
    const std::uint16_t c = AreaChecksum(std::span(image.data(), s), version);
    if (IsLittleEndianVersion(version)) {
        image[s] = static_cast<std::uint8_t>(c & 0xFF);
        image[s + 1] = static_cast<std::uint8_t>(c >> 8);
    } else {
        image[s] = static_cast<std::uint8_t>(c >> 8);
        image[s + 1] = static_cast<std::uint8_t>(c & 0xFF);
    }
    return static_cast<std::int32_t>(sum + 2);
}
