// metersim: a simulated meter on a pseudo-terminal. See --help.
#include "Faults.h"
#include "Layout.h"
#include "Meter.h"
#include "Options.h"
#include "State.h"
#include "Wire.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace sim;

namespace {

volatile sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

std::int64_t NowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// Sleeps until the monotonic time `untilUs`; cut short by a stop signal.
void SleepUntil(std::int64_t untilUs) {
    while (!gStop) {
        const std::int64_t left = untilUs - NowUs();
        if (left <= 0) return;
        const std::int64_t step = left > 50000 ? 50000 : left;
        timespec ts{static_cast<time_t>(step / 1000000), static_cast<long>((step % 1000000) * 1000)};
        nanosleep(&ts, nullptr);
    }
}

const char* CommandName(int c) {
    switch (c) {
        case 0: return "ack";
        case 1: return "error";
        case 2: return "reset";
        case 3: return "open";
        case 4: return "open reply";
        case 5: return "close";
        case 6: return "read";
        case 7: return "clock read";
        case 8: return "clock set";
        case 9: return "write";
        case 11: return "factory number";
        case 13: return "measurement";
        case 14: return "momentary / control";
        case 15: return "power / ";
        case 16: return "voltages / optical port";
        case 17: return "currents / precision";
        case 18: return "totals / currency";
        case 20: return "per-minute totals";
        case 127: return "channels";
        default: return "?";
    }
}

std::string KeyText(const std::uint8_t* k) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X", k[0], k[1], k[2], k[3]);
    return buf;
}

class Simulator {
public:
    explicit Simulator(Options o) : opt_(std::move(o)), faults_(opt_.Seed), reader_(opt_.GapTimeoutMs), noiseRng_(opt_.Seed + 77) {}

    int Run();

private:
    void Log(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void Warn(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    bool Setup();
    void OnFrame(const RawFrame& f);
    void Transmit(const Bytes& noise, const Bytes& frame, const FaultPlan& plan);
    void SendPaced(const Bytes& bytes, int baud);
    bool WriteAll(const std::uint8_t* data, std::size_t n);
    void HandleControl(const std::string& line);
    void Reply(const std::string& line);
    void Save();

    Options opt_;
    Layout layout_;
    MeterState state_;
    std::unique_ptr<Meter> meter_;
    FaultSet faults_;
    FrameReader reader_;
    std::mt19937_64 noiseRng_;
    int master_ = -1;
    int slave_ = -1;
    std::string ptyPath_;
    std::int64_t t0_ = NowUs();
    std::uint64_t requests_ = 0;
    std::uint64_t sent_ = 0;
    std::string control_;
    bool quit_ = false;
};

void Simulator::Log(const char* fmt, ...) {
    if (!opt_.Log) return;
    std::fprintf(stderr, "metersim %9.3f ", static_cast<double>(NowUs() - t0_) / 1e6);
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
    std::fputc('\n', stderr);
}

void Simulator::Warn(const char* fmt, ...) {
    std::fprintf(stderr, "metersim: ");
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
    std::fputc('\n', stderr);
}

void Simulator::Save() {
    if (opt_.StatePath.empty()) return;
    std::string error;
    if (!SaveState(opt_.StatePath, state_, layout_, error)) Warn("%s", error.c_str());
}

bool Simulator::Setup() {
    state_.Version = opt_.Version;
    state_.ZNumber = opt_.ZNumber;
    state_.InternalID = opt_.InternalID;
    state_.Password = opt_.Password;
    if (!opt_.StatePath.empty()) {
        LoadedItems items;
        std::string warnings;
        if (LoadState(opt_.StatePath, state_, items, warnings)) {
            // What the command line names wins over the file. Memory laid out for
            // another version would be read wrongly by this one, so it is not used.
            if (opt_.VersionGiven && items.Version && state_.Version != opt_.Version) {
                Warn("%s holds a version %d meter; its areas are not used for version %d", opt_.StatePath.c_str(),
                     state_.Version, opt_.Version);
                state_.Plain.clear();
                state_.Records.clear();
            }
            if (opt_.VersionGiven) state_.Version = opt_.Version;
            if (opt_.ZNumberGiven) state_.ZNumber = opt_.ZNumber;
            if (opt_.InternalIDGiven) state_.InternalID = opt_.InternalID;
            if (opt_.PasswordGiven) state_.Password = opt_.Password;
        }
        if (!warnings.empty()) Warn("%s", warnings.c_str());
    }
    if (opt_.ClockOffset) state_.ClockOffset = *opt_.ClockOffset;
    std::string warnings;
    layout_ = BuildLayout(state_.Version, opt_.Areas, warnings);
    if (!warnings.empty()) Warn("%s", warnings.c_str());
    // Stored blocks of areas this version does not have are kept, and served too:
    // the file is the meter's memory.
    for (const auto& [n, b] : state_.Plain) {
        if (const AreaDef* a = layout_.Find(n)) {
            if (!a->Indexed && static_cast<std::size_t>(a->PlainSize) != b.size())
                Warn("area %d holds %zu bytes in the state file, the version's area has %d: served as stored", n, b.size(),
                     a->PlainSize);
            continue;
        }
        AreaDef a;
        a.Number = n;
        a.Name = "Область " + std::to_string(n);
        a.PlainSize = static_cast<std::int32_t>(b.size());
        layout_.Areas[n] = a;
    }
    meter_ = std::make_unique<Meter>(opt_, layout_, state_);
    for (auto& f : opt_.Faults) faults_.Add(f);
    return true;
}

int Simulator::Run() {
    Setup();
    if (opt_.ListAreas) {
        std::printf("version %d, areas from the %s\n", state_.Version, layout_.Source.c_str());
        for (const auto& [n, a] : layout_.Areas) {
            if (a.Indexed)
                std::printf("%4d  indexed %6d records of %3d bytes  %s%s%s\n", n, a.Records, a.BlockLength(0), a.Name.c_str(),
                            a.ReadOnly ? " [read-only]" : "", a.Passwords ? " [passwords]" : "");
            else
                std::printf("%4d  plain   %3d bytes                   %s%s%s\n", n, a.PlainSize, a.Name.c_str(),
                            a.ReadOnly ? " [read-only]" : "", a.Passwords ? " [passwords]" : "");
        }
        const auto& s = meter_->Spot();
        if (s.Area >= 0) std::printf("write password: area %d record %d offset %d, %d bytes\n", s.Area, s.Record, s.Offset, s.Size);
        return 0;
    }

    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        Warn("cannot open a pseudo-terminal: %s", std::strerror(errno));
        return 1;
    }
    ptyPath_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    if (!opt_.LinkPath.empty()) {
        struct stat st{};
        if (lstat(opt_.LinkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) unlink(opt_.LinkPath.c_str());
        if (symlink(ptyPath_.c_str(), opt_.LinkPath.c_str()) != 0)
            Warn("cannot make the link %s: %s", opt_.LinkPath.c_str(), std::strerror(errno));
    }
    std::printf("PORT %s\n", ptyPath_.c_str());
    std::fflush(stdout);
    Log("version %d, factory number %u, identifier %u, areas from the %s, %zu areas%s", state_.Version, state_.ZNumber,
        state_.InternalID, layout_.Source.c_str(), layout_.Areas.size(), VersionPacks(state_.Version) ? ", packing" : "");
    Save();

    if (opt_.StdinControl) fcntl(0, F_SETFL, fcntl(0, F_GETFL) | O_NONBLOCK);
    while (!gStop && !quit_) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {0, POLLIN, 0}};
        const nfds_t n = opt_.StdinControl ? 2 : 1;
        const int timeout = reader_.Pending() ? 20 : 200;
        const int r = poll(fds, n, timeout);
        if (r < 0 && errno != EINTR) {
            Warn("poll: %s", std::strerror(errno));
            break;
        }
        // Control lines first: a test that adds a fault and then sends a request
        // expects the fault to apply to that request.
        if (opt_.StdinControl && r > 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buf[1024];
            for (;;) {
                const ssize_t got = read(0, buf, sizeof buf);
                if (got > 0) {
                    control_.append(buf, static_cast<std::size_t>(got));
                    continue;
                }
                if (got == 0) quit_ = true;  // the parent has gone
                break;
            }
            std::size_t nl;
            while ((nl = control_.find('\n')) != std::string::npos) {
                std::string line = control_.substr(0, nl);
                control_.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                HandleControl(line);
            }
            if (quit_) break;
        }
        if (r > 0 && (fds[0].revents & POLLIN)) {
            std::uint8_t buf[4096];
            for (;;) {
                const ssize_t got = read(master_, buf, sizeof buf);
                if (got <= 0) break;
                reader_.Feed(buf, static_cast<std::size_t>(got), NowUs());
            }
        }
        while (auto f = reader_.Next()) {
            OnFrame(*f);
            if (gStop) break;
        }
        while (reader_.Expire(NowUs())) {
            Log("incomplete frame dropped");
            while (auto f = reader_.Next()) OnFrame(*f);
        }
    }
    Save();
    if (!opt_.LinkPath.empty()) {
        char target[512] = {};
        const ssize_t len = readlink(opt_.LinkPath.c_str(), target, sizeof target - 1);
        if (len > 0 && ptyPath_ == std::string(target, static_cast<std::size_t>(len))) unlink(opt_.LinkPath.c_str());
    }
    close(master_);
    close(slave_);
    Log("stopped after %llu requests, %llu replies", static_cast<unsigned long long>(requests_),
        static_cast<unsigned long long>(sent_));
    return 0;
}

void Simulator::Reply(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Simulator::HandleControl(const std::string& line) {
    const auto sp = line.find(' ');
    const std::string cmd = line.substr(0, sp);
    const std::string arg = sp == std::string::npos ? std::string() : line.substr(sp + 1);
    if (cmd.empty()) return;
    if (cmd == "fault") {
        std::string error;
        auto f = ParseFault(arg, error);
        if (!f) return Reply("ERR " + error);
        faults_.Add(*f);
        Log("fault added: %s", arg.c_str());
        return Reply("OK fault " + arg);
    }
    if (cmd == "clear-faults") {
        faults_.Clear();
        return Reply("OK");
    }
    if (cmd == "save") {
        if (opt_.StatePath.empty()) return Reply("ERR no --state file");
        std::string error;
        if (!SaveState(opt_.StatePath, state_, layout_, error)) return Reply("ERR " + error);
        return Reply("OK saved");
    }
    if (cmd == "status") {
        return Reply("OK session=" + std::string(meter_->SessionOpen() ? "open" : "closed") + " key=" +
                     KeyText(meter_->Key()) + " requests=" + std::to_string(requests_) +
                     " replies=" + std::to_string(sent_) + " version=" + std::to_string(state_.Version) +
                     " password=" + std::to_string(state_.Password));
    }
    if (cmd == "quit") {
        quit_ = true;
        return Reply("OK bye");
    }
    Reply("ERR unknown control command '" + cmd + "' (fault, clear-faults, save, status, quit)");
}

void Simulator::OnFrame(const RawFrame& f) {
    ++requests_;
    const int code = f.Command & 0x7F;
    const bool packed = (f.Command & kPackedBit) != 0;
    if (opt_.Baud > 0) {
        // The request has not fully arrived before its last bit has crossed the line.
        SleepUntil(f.FirstByteUs + static_cast<std::int64_t>(f.Wire.size()) * 10 * 1000000 / opt_.Baud);
    }
    static const std::uint8_t zero[4] = {0, 0, 0, 0};
    // Open-session requests travel unencoded (the PC has zeroed its key), and so do
    // the replies to them and to the factory number.
    const std::uint8_t* key = (code == 3 || !meter_->SessionOpen()) ? zero : meter_->Key();
    Bytes data = f.Data;
    XorWithKey(data, key);
    if (packed) {
        if (!VersionPacks(state_.Version)) {
            Warn("packed request (command %d) to a version %d meter, which never packs: ignored", code, state_.Version);
            return;
        }
        auto u = Unpack(data);
        if (!u) {
            Warn("request with broken packing ignored: %s", Hex(f.Wire).c_str());
            return;
        }
        data = *u;
    }
    Log("<< %s | %s %s", Hex(f.Wire).c_str(), CommandName(code), Hex(data).c_str());
    if (code == 2) {
        meter_->ResetSessions();
        Log("   all sessions reset");
        return;
    }
    const FaultPlan plan = faults_.Next(code);
    for (const auto& a : plan.Applied) Log("   fault %s", a.c_str());
    if (plan.Deaf) {
        Log("   not heard");
        return;
    }
    Outcome out = plan.ErrorCode >= 0 ? meter_->Refuse(static_cast<std::uint8_t>(plan.ErrorCode), "injected")
                                      : meter_->Handle(static_cast<std::uint8_t>(code), data);
    if (code == 3 || code == 11) out.PlainKey = true;
    if (!out.Note.empty()) Log("   %s", out.Note.c_str());
    // Saved before the reply goes out, so a PC that has the acknowledgement finds
    // the change on disk.
    if (out.Changed) Save();
    if (!out.Reply) return;
    if (plan.Lost) {
        Log("   reply lost");
        return;
    }
    std::uint8_t rcmd = out.Command;
    Bytes rdata = out.Data;
    if (VersionPacks(state_.Version) && opt_.PackReplies) {
        if (auto p = Pack(rdata)) {
            rdata = *p;
            rcmd |= kPackedBit;
        }
    }
    const std::uint8_t* rkey = (out.PlainKey || !meter_->SessionOpen()) ? zero : meter_->Key();
    XorWithKey(rdata, rkey);
    if (plan.WrongCommand >= 0) rcmd = static_cast<std::uint8_t>(plan.WrongCommand);
    Bytes frame = BuildFrame(rcmd, rdata);
    if (plan.BadCrc) frame.back() ^= 0x5A;
    if (plan.TruncateTo >= 0 && static_cast<std::size_t>(plan.TruncateTo) < frame.size()) frame.resize(static_cast<std::size_t>(plan.TruncateTo));
    Bytes noise;
    for (int i = 0; i < plan.NoiseBytes; ++i) {
        std::uint8_t b;
        do b = static_cast<std::uint8_t>(noiseRng_()); while (b == kStartByte);
        noise.push_back(b);
    }
    Transmit(noise, frame, plan);
}

void Simulator::Transmit(const Bytes& noise, const Bytes& frame, const FaultPlan& plan) {
    const int baud = plan.PaceBaud > 0 ? plan.PaceBaud : opt_.Baud;
    const int delay = opt_.ReplyDelayMs + plan.DelayMs;
    if (delay > 0) SleepUntil(NowUs() + std::int64_t{delay} * 1000);
    if (gStop) return;
    if (!noise.empty()) {
        Log(">> noise %s", noise.size() <= 32 ? Hex(noise).c_str() : (std::to_string(noise.size()) + " bytes").c_str());
        SendPaced(noise, baud);
    }
    Log(">> %s", Hex(frame).c_str());
    if (plan.SplitPauseMs >= 0 && frame.size() > 1) {
        const std::size_t parts = std::min<std::size_t>(static_cast<std::size_t>(plan.SplitParts), frame.size());
        std::size_t start = 0;
        for (std::size_t k = 0; k < parts && !gStop; ++k) {
            const std::size_t end = frame.size() * (k + 1) / parts;
            if (k > 0) SleepUntil(NowUs() + std::int64_t{plan.SplitPauseMs} * 1000);
            SendPaced(Bytes(frame.begin() + static_cast<std::ptrdiff_t>(start), frame.begin() + static_cast<std::ptrdiff_t>(end)), baud);
            start = end;
        }
    } else {
        SendPaced(frame, baud);
    }
    ++sent_;
}

void Simulator::SendPaced(const Bytes& bytes, int baud) {
    if (baud <= 0) {
        WriteAll(bytes.data(), bytes.size());
        return;
    }
    // Byte i is complete on the line 10 bit times after it started; hand it over
    // then, in groups no finer than a millisecond.
    const std::int64_t start = NowUs();
    std::size_t i = 0;
    while (i < bytes.size() && !gStop) {
        const std::int64_t now = NowUs();
        std::size_t j = i;
        while (j < bytes.size() && start + static_cast<std::int64_t>(j + 1) * 10000000 / baud <= now) ++j;
        if (j > i) {
            if (!WriteAll(bytes.data() + i, j - i)) return;
            i = j;
            continue;
        }
        std::int64_t due = start + static_cast<std::int64_t>(i + 1) * 10000000 / baud;
        if (due - now < 1000) due = now + 1000;
        SleepUntil(due);
    }
}

bool Simulator::WriteAll(const std::uint8_t* data, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = write(master_, data + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) {
            Warn("write to the pty: %s", std::strerror(errno));
            return false;
        }
        pollfd p{master_, POLLOUT, 0};
        if (poll(&p, 1, 2000) == 0) {
            Warn("nobody reads the pty: %zu reply bytes dropped", n - done);
            return false;
        }
        if (gStop) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    std::string error;
    if (!ParseOptions(argc, argv, opt, error)) {
        std::fprintf(stderr, "metersim: %s\n", error.c_str());
        return 2;
    }
    if (opt.Help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: poll must return to see the flag
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    Simulator sim(std::move(opt));
    return sim.Run();
}
