#include "support/Pty.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave, name, &raw, nullptr) != 0) throw std::runtime_error("openpty failed");
    slavePath_ = name;
    slaveKeepAlive_ = slave;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
    if (slaveKeepAlive_ >= 0) close(slaveKeepAlive_);
    if (master_ >= 0) close(master_);
}

void PtyPair::WriteMaster(const std::vector<std::uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) done += static_cast<size_t>(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR) throw std::runtime_error("pty write failed");
        else {
            pollfd p{master_, POLLOUT, 0};
            poll(&p, 1, 10);
        }
    }
}

std::vector<std::uint8_t> PtyPair::ReadMaster(std::size_t want, int timeoutMs) const {
    std::vector<std::uint8_t> out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < want && std::chrono::steady_clock::now() < until) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 5) <= 0) continue;
        std::uint8_t buf[512];
        ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0) out.insert(out.end(), buf, buf + n);
    }
    return out;
}
