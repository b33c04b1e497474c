// Start-up reads the configuration once; this keeps an eye on the ini reader.
#include "shell/Configuration.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>

static void ConfigurationLoad(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / "olmar-bench-Olmar32.ini";
    {
        TConfiguration c(path.string());
        c.Save();
        std::ofstream extra(path, std::ios::app);
        extra << "[Norvel9New]\nCurrentKoefOffset=20\n";
    }
    for (auto _ : state) {
        TConfiguration c(path.string());
        benchmark::DoNotOptimize(c.Norvel9NewCurrentKoefOffset);
    }
    std::filesystem::remove(path);
}
BENCHMARK(ConfigurationLoad);
