// The parameter codec runs for every block a session reads or writes; the biggest
// load-profile ring (17520 records of 25 parameters) is built whole for every read.
#include "db/Dictionary.h"
#include "model/CounterFile.h"
#include "model/ParamTypes.h"

#include <benchmark/benchmark.h>

namespace {

void EnsureTypes() {
    if (ParamTypeList.Count() == 0) ParamTypeList.LoadFromDictionarySeed();
}

std::vector<TParamRow> RowsOf(std::int32_t fileId) {
    std::vector<TParamRow> rows;
    for (const TParamRow* r : DictionaryParamsOfFile(fileId)) rows.push_back(*r);
    return rows;
}

// Area 146: the load profile of versions 36, 37, 48 and 49.
void BuildLargestRing(benchmark::State& state) {
    EnsureTypes();
    const TFileRow* file = FindDictionaryFile(146);
    if (!file) {
        state.SkipWithError("no area 146 in the dictionary");
        return;
    }
    const auto rows = RowsOf(146);
    for (auto _ : state) {
        auto area = BuildCounterFile(*file, rows);
        benchmark::DoNotOptimize(area->Params.data());
    }
    state.counters["params"] = static_cast<double>(RowsOf(146).size()) * file->FileSize;
}
BENCHMARK(BuildLargestRing)->Unit(benchmark::kMillisecond);

// Decoding one record of that ring, as the read session does record by record.
void DecodeRingRecord(benchmark::State& state) {
    EnsureTypes();
    const TFileRow* file = FindDictionaryFile(146);
    if (!file) {
        state.SkipWithError("no area 146 in the dictionary");
        return;
    }
    auto area = BuildCounterFile(*file, RowsOf(146));
    TAreaImage image{};
    for (auto* p : area->BlockParams(5000)) p->SetAsText(p->TypeNumber() == 5 ? "15.06.2024 10:30:00" : "1");
    const int length = area->EncodeArea(5000, image, 36);
    for (auto _ : state) benchmark::DoNotOptimize(area->DecodeArea(5000, image, 36));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * length);
}
BENCHMARK(DecodeRingRecord);

// Encoding the biggest settings area (205 bytes, version 1).
void EncodeSettingsArea(benchmark::State& state) {
    EnsureTypes();
    const TFileRow* file = FindDictionaryFile(8);
    if (!file) {
        state.SkipWithError("no area 8 in the dictionary");
        return;
    }
    auto area = BuildCounterFile(*file, RowsOf(8));
    for (auto _ : state) {
        TAreaImage image{};
        benchmark::DoNotOptimize(area->EncodeArea(0, image, 1));
    }
}
BENCHMARK(EncodeSettingsArea);

}  // namespace
