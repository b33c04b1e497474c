#pragma once
// Starts the meter simulator (tools/metersim) for a test: a pty path to give the
// port, a control channel for faults, and the meter's memory to check afterwards.
//
//   MeterSim sim({"--version", "36", "--password", "1234"});
//   port.Open(sim.Port());
//   sim.AddFault("lost@1-2/6");          // counts from the next reply on
//   ... the PC side talks to sim.Port() ...
//   auto block = sim.ReadState().Area(2);
//
// The simulator runs with --stdin-control, so it ends with the test process even when
// that dies, and with --state in a private temporary folder unless the arguments name
// one. Set METERSIM_LOG=1 to have every request and reply in Log().

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// The meter's memory as the simulator's state file holds it.
struct MeterSimState {
    std::map<std::string, std::string> Items;  // "password" -> "1234", "clock-offset" -> "-60", ...
    std::map<int, std::vector<std::uint8_t>> Areas;
    std::map<std::pair<int, int>, std::vector<std::uint8_t>> Records;

    static MeterSimState Parse(const std::string& text);
    static MeterSimState Load(const std::string& path);

    bool HasArea(int area) const { return Areas.count(area) != 0; }
    // The block of a plain area, checksum included; throws when the state has none.
    const std::vector<std::uint8_t>& Area(int area) const;
    // A written record of an indexed area; throws when the state has none.
    const std::vector<std::uint8_t>& Record(int area, int index) const;
    std::optional<std::string> Item(const std::string& key) const;
    std::int64_t Number(const std::string& key) const;  // throws when missing
    std::uint16_t Password() const { return static_cast<std::uint16_t>(Number("password")); }
    std::int64_t ClockOffset() const { return Number("clock-offset"); }
    std::vector<std::uint8_t> Bytes(const std::string& key) const;  // "currency", "clock-record", ...
};

class MeterSim {
public:
    explicit MeterSim(std::vector<std::string> args = {}, int startTimeoutMs = 10000);
    ~MeterSim();
    MeterSim(const MeterSim&) = delete;
    MeterSim& operator=(const MeterSim&) = delete;

    // The device to open as the port.
    const std::string& Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    bool Running();

    // Sends one control line and returns the simulator's answer ("OK ..." or "ERR ...").
    std::string Control(const std::string& line, int timeoutMs = 5000);
    // Adds a fault (syntax of metersim --help); throws when the simulator refuses it.
    void AddFault(const std::string& faultText);
    void ClearFaults();

    const std::string& StatePath() const { return statePath_; }
    // Has the running simulator write its state first, then reads and parses it.
    MeterSimState ReadState();

    // Ends the simulator (SIGTERM, then SIGKILL after the time-out); returns its exit
    // status, or -1 when it had to be killed or had already been reaped.
    int Stop(int timeoutMs = 5000);

    // What the simulator wrote on standard error.
    std::string Log() const;

private:
    std::string ReadLine(int timeoutMs);

    pid_t pid_ = -1;
    int toSim_ = -1;
    int fromSim_ = -1;
    std::string port_;
    std::string dir_;
    std::string statePath_;
    std::string logPath_;
    std::string pending_;
    int exitStatus_ = -1;
};
