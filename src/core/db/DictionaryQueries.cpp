#include "db/DictionaryQueries.h"

namespace {
std::optional<std::int32_t> OptInt(const TStatement& q, const char* name) {
    const int c = q.Column(name);
    if (q.IsNull(c)) return std::nullopt;
    return q.Int(c);
}
bool Flag(const TStatement& q, const char* name) { return q.Text(name) == "1"; }
}  // namespace

TParamRow ReadParamRow(const TStatement& q) {
    TParamRow r;
    r.ParamID = q.Int("ParamID");
    r.ParamName = q.Text("ParamName");
    r.ParamType = q.Int("ParamType");
    r.FileID = q.Int("FileID");
    r.FileOffset = q.Int("FileOffset");
    r.InFileSize = q.Int("InFileSize");
    r.IsFileIndex = Flag(q, "IsFileIndex");
    r.FileIndex = OptInt(q, "FileIndex");
    r.DefaultValue = q.Text("DefaultValue");
    r.MaxDaySave = q.Int("MaxDaySave");
    r.IsReadOnly = Flag(q, "IsReadOnly");
    r.MinValue = OptInt(q, "MinValue");
    r.MaxValue = OptInt(q, "MaxValue");
    r.Mask = OptInt(q, "Mask");
    r.MinIndex = OptInt(q, "MinIndex");
    r.MaxIndex = OptInt(q, "MaxIndex");
    return r;
}

TFileRow ReadFileRow(const TStatement& q) {
    TFileRow r;
    r.FileID = q.Int("FileID");
    r.FileName = q.Text("FileName");
    r.FileInternalID = q.Int("FileInternalID");
    r.FileSize = q.Int("FileSize");
    r.FileIndex = Flag(q, "FileIndex");
    r.ReadOnly = Flag(q, "ReadOnly");
    const std::string reset = q.Text("StatReset");
    r.StatReset = reset.size() == 1 && reset[0] >= '0' && reset[0] <= '9' ? reset[0] - '0' : 0;
    return r;
}

TEnumParamTypeRow ReadEnumRow(const TStatement& q) {
    return {q.Int("ParamType"), q.Int("EnumIndex"), q.Text("EnumValue"), q.Int("RealValue")};
}
