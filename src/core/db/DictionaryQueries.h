#pragma once
// Dictionary rows read back from query results (columns by name, as "Params.*" and
// "Files.*" select them). NULL integers read as absent, flags "1" as true.

#include "db/Database.h"
#include "db/DictionaryRows.h"

TParamRow ReadParamRow(const TStatement& q);
TFileRow ReadFileRow(const TStatement& q);
TEnumParamTypeRow ReadEnumRow(const TStatement& q);
