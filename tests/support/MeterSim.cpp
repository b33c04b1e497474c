#include "support/MeterSim.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<std::uint8_t> ParseHexBytes(const std::string& text) {
    std::vector<std::uint8_t> out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok) {
        if (tok.size() != 2) throw std::runtime_error("metersim state: bad hex byte '" + tok + "'");
        out.push_back(static_cast<std::uint8_t>(std::stoul(tok, nullptr, 16)));
    }
    return out;
}

std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

MeterSimState MeterSimState::Parse(const std::string& text) {
    MeterSimState s;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream ls(line);
        std::string key;
        if (!(ls >> key)) continue;
        std::string rest;
        std::getline(ls, rest);
        const auto b = rest.find_first_not_of(' ');
        rest = b == std::string::npos ? std::string() : rest.substr(b);
        if (key == "area") {
            std::istringstream rs(rest);
            int n;
            rs >> n;
            std::string hex;
            std::getline(rs, hex);
            s.Areas[n] = ParseHexBytes(hex);
        } else if (key == "record") {
            std::istringstream rs(rest);
            int n, i;
            rs >> n >> i;
            std::string hex;
            std::getline(rs, hex);
            s.Records[{n, i}] = ParseHexBytes(hex);
        } else {
            s.Items[key] = rest;
        }
    }
    return s;
}

MeterSimState MeterSimState::Load(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("metersim state file missing: " + path);
    std::stringstream ss;
    ss << in.rdbuf();
    return Parse(ss.str());
}

const std::vector<std::uint8_t>& MeterSimState::Area(int area) const {
    auto it = Areas.find(area);
    if (it == Areas.end()) throw std::runtime_error("metersim state has no area " + std::to_string(area));
    return it->second;
}

const std::vector<std::uint8_t>& MeterSimState::Record(int area, int index) const {
    auto it = Records.find({area, index});
    if (it == Records.end())
        throw std::runtime_error("metersim state has no record " + std::to_string(index) + " of area " + std::to_string(area));
    return it->second;
}

std::optional<std::string> MeterSimState::Item(const std::string& key) const {
    auto it = Items.find(key);
    if (it == Items.end()) return std::nullopt;
    return it->second;
}

std::int64_t MeterSimState::Number(const std::string& key) const {
    auto v = Item(key);
    if (!v) throw std::runtime_error("metersim state has no " + key);
    return std::stoll(*v);
}

std::vector<std::uint8_t> MeterSimState::Bytes(const std::string& key) const {
    auto v = Item(key);
    if (!v) throw std::runtime_error("metersim state has no " + key);
    return ParseHexBytes(*v);
}

MeterSim::MeterSim(std::vector<std::string> args, int startTimeoutMs) {
    std::signal(SIGPIPE, SIG_IGN);  // a simulator that died must fail the test, not kill it
    std::string tmpl = (std::filesystem::temp_directory_path() / "metersim-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    logPath_ = dir_ + "/metersim.log";
    bool hasState = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--state" && i + 1 < args.size()) {
            hasState = true;
            statePath_ = args[i + 1];
        } else if (args[i].rfind("--state=", 0) == 0) {
            hasState = true;
            statePath_ = args[i].substr(8);
        }
    }
    if (!hasState) {
        statePath_ = dir_ + "/meter.state";
        args.push_back("--state");
        args.push_back(statePath_);
    }
    args.push_back("--stdin-control");
    if (const char* l = std::getenv("METERSIM_LOG"); l && *l && std::string(l) != "0") args.push_back("--log");

    std::vector<std::string> argvStore;
    argvStore.push_back(METERSIM_PATH);
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        throw std::runtime_error("pipe failed");
    }
    const int logFd = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (logFd >= 0) dup2(logFd, 2);
        // Nothing else of the test process goes along: an inherited port descriptor
        // would keep its lock alive after the test closed it.
        const long maxFd = sysconf(_SC_OPEN_MAX);
        for (int fd = 3; fd < (maxFd > 0 && maxFd < 65536 ? maxFd : 65536); ++fd) close(fd);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (logFd >= 0) close(logFd);
    if (pid_ < 0) {
        close(in[1]);
        close(out[0]);
        throw std::runtime_error("fork failed");
    }
    toSim_ = in[1];
    fromSim_ = out[0];
    const std::string line = ReadLine(startTimeoutMs);
    if (line.rfind("PORT ", 0) != 0) {
        Stop(1000);
        throw std::runtime_error("metersim did not start (" + line + "): " + Log());
    }
    port_ = line.substr(5);
}

MeterSim::~MeterSim() {
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

bool MeterSim::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
        return false;
    }
    return true;
}

std::string MeterSim::ReadLine(int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const auto nl = pending_.find('\n');
        if (nl != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return line;
        }
        const std::int64_t left = timeoutMs - ElapsedMs(start);
        if (left <= 0 || fromSim_ < 0) return "(no answer from metersim)";
        pollfd p{fromSim_, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) continue;
        char buf[512];
        const ssize_t n = read(fromSim_, buf, sizeof buf);
        if (n <= 0) return "(metersim closed its output)";
        pending_.append(buf, static_cast<std::size_t>(n));
    }
}

std::string MeterSim::Control(const std::string& line, int timeoutMs) {
    if (toSim_ < 0) return "ERR metersim is not running";
    const std::string msg = line + "\n";
    if (write(toSim_, msg.data(), msg.size()) != static_cast<ssize_t>(msg.size())) return "ERR metersim is not running";
    return ReadLine(timeoutMs);
}

void MeterSim::AddFault(const std::string& faultText) {
    const std::string r = Control("fault " + faultText);
    if (r.rfind("OK", 0) != 0) throw std::runtime_error("metersim refused fault '" + faultText + "': " + r);
}

void MeterSim::ClearFaults() {
    const std::string r = Control("clear-faults");
    if (r.rfind("OK", 0) != 0) throw std::runtime_error("metersim: " + r);
}

MeterSimState MeterSim::ReadState() {
    if (Running()) {
        const std::string r = Control("save");
        if (r.rfind("OK", 0) != 0) throw std::runtime_error("metersim could not save its state: " + r);
    }
    return MeterSimState::Load(statePath_);
}

int MeterSim::Stop(int timeoutMs) {
    if (toSim_ >= 0) {
        close(toSim_);  // end of input: the simulator saves and exits
        toSim_ = -1;
    }
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const auto start = std::chrono::steady_clock::now();
        int status = 0;
        for (;;) {
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (r < 0 && errno != EINTR) {
                exitStatus_ = -1;
                break;
            }
            if (ElapsedMs(start) > timeoutMs) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                exitStatus_ = -1;
                break;
            }
            usleep(2000);
        }
        pid_ = -1;
    }
    if (fromSim_ >= 0) {
        close(fromSim_);
        fromSim_ = -1;
    }
    return exitStatus_;
}

std::string MeterSim::Log() const {
    std::ifstream in(logPath_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
