// A whole load-profile harvest of a version-36 meter (17520 records of 29 values)
// queued value by value, as the read session does, and stored by the background
// writer. Reports values stored per second and the process's peak memory.
#include "db/DataBaseModule.h"
#include "db/Dictionary.h"
#include "db/ValueStore.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>

namespace {

constexpr int kRecords = 17520;
constexpr int kValuesPerRecord = 29;
constexpr std::int32_t kCounterID = 1;

struct TProfileParam {
    std::int32_t ParamID;
    std::int32_t MaxDaySave;
};

// The parameters of a load-profile record of version 36 from the dictionary; a
// synthetic record of the same width when the dictionary does not give 29 of them.
std::vector<TProfileParam> ProfileParams() {
    std::vector<TProfileParam> params;
    for (const auto fileId : DictionaryFilesOfVersion(36)) {
        const TFileRow* f = FindDictionaryFile(fileId);
        if (!f || f->StatReset != 2) continue;
        for (const TParamRow* p : DictionaryParamsOfFile(fileId)) params.push_back({p->ParamID, p->MaxDaySave});
    }
    if (params.size() != kValuesPerRecord) {
        params.clear();
        for (int i = 0; i < kValuesPerRecord; ++i) params.push_back({800000 + i, 0});
    }
    return params;
}

void ValueStore(benchmark::State& state) {
    const auto params = ProfileParams();
    const TDateTime today = TodayDate();
    long long stored = 0;
    for (auto _ : state) {
        state.PauseTiming();
        char pattern[] = "/tmp/olmar-bench-XXXXXX";
        const char* dir = mkdtemp(pattern);
        if (!dir) {
            state.SkipWithError("no temporary folder");
            break;
        }
        auto module = std::make_unique<TDataBaseModule>(std::string(dir) + "/Database");
        if (!module->CheckTables()) {
            state.SkipWithError(module->LastError().c_str());
            break;
        }
        module->CreateValueTable(kCounterID);
        StartWriteThread(module->FilePath());
        state.ResumeTiming();

        TStructToWrite v;
        v.CounterID = kCounterID;
        v.ChangeDateTime = today;
        v.Value.Length = 8;
        for (int record = 0; record < kRecords; ++record) {
            v.ParamIndex = record;
            for (const auto& p : params) {
                v.ParamID = p.ParamID;
                v.MaxDaySave = p.MaxDaySave;
                v.Value.Data[0] = static_cast<std::uint8_t>(record);
                v.Value.Data[1] = static_cast<std::uint8_t>(p.ParamID);
                QueueValue(v);
            }
        }
        const long long failedBefore = WriteThread->FailedCount();
        WriteThread->WaitUntilEmpty();
        const long long written = WriteThread->WrittenCount();
        const long long failed = WriteThread->FailedCount() - failedBefore;

        state.PauseTiming();
        StopWriteThread(true);
        stored += written;
        if (failed) state.SkipWithError("values failed to be written");
        module.reset();
        std::filesystem::remove_all(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(stored);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["values_per_harvest"] = static_cast<double>(kRecords) * static_cast<double>(params.size());
}

}  // namespace

BENCHMARK(ValueStore)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
