#pragma once
// A pseudo-terminal pair for port tests: the slave path is what TComPort opens,
// the master end plays the device.
#include <cstdint>
#include <string>
#include <vector>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }
    void WriteMaster(const std::vector<std::uint8_t>& bytes) const;
    // Reads what arrived at the master end within `timeoutMs`.
    std::vector<std::uint8_t> ReadMaster(std::size_t want, int timeoutMs) const;

private:
    int master_ = -1;
    int slaveKeepAlive_ = -1;  // keeps the pty from hanging up between opens
    std::string slavePath_;
};
