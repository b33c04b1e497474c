// Throughput of the meter link against the simulator paced like a real line:
// 200 records of 255 bytes, timed against what the same bytes need on the wire.
#include "link/ComPort.h"
#include "link/CounterSeance.h"
#include "shell/JobContext.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRecords = 200;
constexpr int kRecordSize = 255;
constexpr int kArea = 60;

// metersim on a pty, fed through a pipe on stdin so it ends with us.
class Simulator {
public:
    explicit Simulator(int baud) {
        int out[2], in[2];
        if (pipe(out) != 0 || pipe(in) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[0]); close(in[1]); close(out[0]); close(out[1]);
            const std::string baudText = std::to_string(baud);
            const std::string area = std::to_string(kArea) + ":" + std::to_string(kRecordSize) + ":" +
                                     std::to_string(kRecords);
            // Version 4 never packs, so every record crosses the line in full.
            execl(METERSIM_PATH, METERSIM_PATH, "--version", "4", "--baud", baudText.c_str(), "--area", area.c_str(),
                  "--stdin-control", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        toSim_ = in[1];
        std::string line;
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
        close(out[0]);
        if (line.rfind("PORT ", 0) == 0) port_ = line.substr(5);
    }
    ~Simulator() {
        if (toSim_ >= 0) close(toSim_);
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Port() const { return port_; }

private:
    pid_t pid_ = -1;
    int toSim_ = -1;
    std::string port_;
};

void LinkThroughput(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    Simulator sim(baud);
    if (sim.Port().empty()) {
        state.SkipWithError("metersim did not start");
        return;
    }
    TComPort port(sim.Port(), 1024, 1024);
    if (!port.Opened || port.Configure(baud, 8, TComPort::Parity::None, TComPort::StopBits::One)) {
        state.SkipWithError(port.ErrorText.c_str());
        return;
    }
    JobContext job;
    ScopedJob scope(job);
    TCounterSeance seance;
    seance.Port = &port;
    seance.VersionID = 4;
    seance.ZNumber = 12345678;
    seance.ResetAllSessions();
    port.Purge();
    if (!seance.OpenSeance()) {
        state.SkipWithError(seance.ErrorText.c_str());
        return;
    }

    std::vector<std::uint8_t> buffer(kFrameBufferSize);
    double elapsed = 0;
    double wire = 0;
    for (auto _ : state) {
        const std::uint64_t before = seance.BytesSent + seance.BytesReceived;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRecords; ++i) {
            if (seance.ReadBlock(kArea, i, buffer.data()) != kRecordSize) {
                state.SkipWithError(("record " + std::to_string(i) + ": " + seance.ErrorText).c_str());
                return;
            }
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::uint64_t bytes = seance.BytesSent + seance.BytesReceived - before;
        state.SetIterationTime(seconds);
        elapsed += seconds;
        wire += static_cast<double>(bytes) * 10.0 / baud;
        state.SetBytesProcessed(state.bytes_processed() + static_cast<std::int64_t>(kRecords) * kRecordSize);
    }
    seance.CloseSeance();
    state.counters["wire_ratio"] = wire > 0 ? elapsed / wire : 0;
}

}  // namespace

BENCHMARK(LinkThroughput)->Arg(115200)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(LinkThroughput)->Arg(9600)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
