#include "link/ComPort.h"

#include "shell/Clock.h"
#include "shell/JobContext.h"
#include "shell/Text.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

TComPort* ComPort = nullptr;

namespace {

bool BaudToSpeed(int baud, speed_t& speed) {
    switch (baud) {
        case 300: speed = B300; return true;
        case 600: speed = B600; return true;
        case 1200: speed = B1200; return true;
        case 2400: speed = B2400; return true;
        case 4800: speed = B4800; return true;
        case 9600: speed = B9600; return true;
        case 19200: speed = B19200; return true;
        case 38400: speed = B38400; return true;
        case 57600: speed = B57600; return true;
        case 115200: speed = B115200; return true;
        case 230400: speed = B230400; return true;
        default: return false;
    }
}

// A pseudo-terminal has no modem lines; refusing them is not an error.
bool IsNoModemLines(int err) { return err == ENOTTY || err == EINVAL; }

}  // namespace

TComPort::TComPort(const std::string& portName, int inQueue, int outQueue) : PortName(portName) {
    Open(inQueue, outQueue);
}

TComPort::~TComPort() {
    if (Opened) {
        SetDTR(false);
        SetRTS(false);
    }
    Close();
}

std::string TComPort::DevicePath(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    if (name.size() > 3 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "com") == 0)) {
        const std::string digits = name.substr(3);
        bool allDigits = !digits.empty() && digits.size() <= 3;
        for (char c : digits) allDigits = allDigits && c >= '0' && c <= '9';
        if (allDigits) {
            const int n = std::stoi(digits);
            if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
        }
    }
    return "/dev/" + name;
}

int TComPort::ErrorCodeFromErrno(int err) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return kNotFound;
        case EBUSY:
        case EWOULDBLOCK:
            return kLocked;
        default:
            return kOsErrorBase + err;
    }
}

void TComPort::SetOsError(int err) {
    ErrorCode = ErrorCodeFromErrno(err);
    MakeErrorText();
}

void TComPort::MakeErrorText() {
    const char* pattern = nullptr;
    switch (ErrorCode) {
        case -12: pattern = "Данная скорость передачи не поддерживается"; break;
        case -11: pattern = "Неверный размер байта при передаче"; break;
        case -10: pattern = "Устройство блокировано другим программным обеспечением"; break;
        case -4: pattern = "Не хватает памяти"; break;
        case -3: pattern = "Устройство не инициализировано"; break;
        case -2: pattern = "Устройство уже инициализировано"; break;
        case -1: pattern = "Устройство %s не поддерживается"; break;
        case 1: pattern = "Потеря данных при приеме"; break;
        case 2:
        case 3: pattern = "Ошибка открытия устройства %s"; break;
        case 4: pattern = "Ошибка четности при передаче"; break;
        case 5: pattern = "Устройства %s блокировано другим программным обеспечением"; break;
        case 256: pattern = "Потеря данных при передаче"; break;
        default: pattern = "Ошибка при работе с устройством %s"; break;
    }
    ErrorText = text::FormatS(pattern, PortName);
}

bool TComPort::Open(int inQueue, int outQueue) {
    // Linux sizes its queues itself; the sizes are kept for the callers' sake.
    (void)inQueue;
    (void)outQueue;
    ErrorCode = 0;
    if (Opened) Close();
    PortName = DevicePath(PortName);
    const int fd = ::open(PortName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetOsError(errno);
        Opened = false;
        return true;
    }
    // Exclusive: another program holding the device (flock) or a second open (TIOCEXCL).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        SetOsError(err == EWOULDBLOCK ? EBUSY : err);
        Opened = false;
        return true;
    }
    if (::ioctl(fd, TIOCEXCL) != 0 && !IsNoModemLines(errno)) {
        const int err = errno;
        ::close(fd);
        SetOsError(err);
        Opened = false;
        return true;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        const int err = errno;
        ::close(fd);
        SetOsError(err == ENOTTY ? ENODEV : err);
        Opened = false;
        return true;
    }
    // Raw from the start: no echo, no line editing, no translation, no flow control.
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &tio);
    Handle = fd;
    Opened = true;
    return false;
}

bool TComPort::Configure(int baudRate, int byteSize, Parity parity, StopBits stopBits) {
    ErrorCode = 0;
    if (!Opened) {
        ErrorCode = -3;
        MakeErrorText();
        return true;
    }
    termios tio{};
    if (::tcgetattr(Handle, &tio) != 0) { SetOsError(errno); return true; }
    speed_t speed{};
    if (!BaudToSpeed(baudRate, speed)) {
        ErrorCode = kUnsupportedBaud;
        MakeErrorText();
        return true;
    }
    tcflag_t size = 0;
    switch (byteSize) {
        case 5: size = CS5; break;
        case 6: size = CS6; break;
        case 7: size = CS7; break;
        case 8: size = CS8; break;
        default:
            ErrorCode = kBadByteSize;
            MakeErrorText();
            return true;
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
    tio.c_cflag |= size | CLOCAL | CREAD;
    switch (parity) {
        case Parity::None: break;
        case Parity::Odd: tio.c_cflag |= PARENB | PARODD; break;
        case Parity::Even: tio.c_cflag |= PARENB; break;
        case Parity::Mark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case Parity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    if (stopBits != StopBits::One) tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(Handle, TCSANOW, &tio) != 0) { SetOsError(errno); return true; }
    BaudRate = baudRate;
    // The probe is powered from the modem lines: cycle them so it starts clean.
    SetDTR(false);
    SetRTS(false);
    if (ErrorCode != 0) return true;
    BusyWait(100);
    SetDTR(true);
    SetRTS(true);
    return ErrorCode != 0;
}

void TComPort::SetModemLine(int bit, bool on) {
    if (!Opened) return;
    int bits = bit;
    if (::ioctl(Handle, on ? TIOCMBIS : TIOCMBIC, &bits) != 0 && !IsNoModemLines(errno)) SetOsError(errno);
}

void TComPort::SetDTR(bool on) { SetModemLine(TIOCM_DTR, on); }
void TComPort::SetRTS(bool on) { SetModemLine(TIOCM_RTS, on); }

bool TComPort::Write(const std::uint8_t* buffer, std::size_t count) {
    ErrorCode = 0;
    if (!Opened) {
        ErrorCode = -3;
        MakeErrorText();
        return true;
    }
    int pending = 0;
    if (::ioctl(Handle, TIOCOUTQ, &pending) == 0 && pending > 0) {
        ErrorText = "Ошибка при передаче данных";
        return true;
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(Handle, buffer + done, count - done);
        if (n > 0) { done += static_cast<std::size_t>(n); continue; }
        if (n < 0 && (errno == EINTR)) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{Handle, POLLOUT, 0};
            ::poll(&p, 1, 1);
            if (UserCancelled) break;
            continue;
        }
        if (n < 0) { SetOsError(errno); return true; }
        break;
    }
    if (done < count) {
        ErrorText = "Потеря данных при передаче";
        return true;
    }
    // Synchronous, as the protocol expects: return once the bytes have left.
    ::tcdrain(Handle);
    return false;
}

bool TComPort::ReadByte(std::uint16_t timeoutMs, std::uint8_t& byte) {
    ErrorCode = 0;
    if (!Opened) {
        ErrorCode = -3;
        MakeErrorText();
        return true;
    }
    const auto deadline = MonoClock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::uint8_t b = 0;
        const ssize_t n = ::read(Handle, &b, 1);
        if (n == 1) {
            byte = b;
            return false;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            // A pty whose other end has closed reads EIO: that is silence, not a fault.
            if (errno != EIO) {
                SetOsError(errno);
                return true;
            }
        }
        CurrentJob().Pump();
        if (UserCancelled) return true;
        if (MonoClock::now() >= deadline) return true;
        // One polling step: up to 1 ms, waking early when a byte arrives.
        pollfd p{Handle, POLLIN, 0};
        if (::poll(&p, 1, 1) > 0 && (p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLIN))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TComPort::Purge() {
    if (!Opened) return;
    if (::tcflush(Handle, TCIFLUSH) != 0) {
        ErrorCode = ErrorCodeFromErrno(errno);
        MakeErrorText();
    }
}

void TComPort::Close() {
    if (Opened) {
        ::flock(Handle, LOCK_UN);
        ::close(Handle);
    }
    Handle = -1;
    Opened = false;
}

void TComPort::BusyWait(unsigned ms) {
    const auto until = MonoClock::now() + std::chrono::milliseconds(ms);
    while (MonoClock::now() < until) std::this_thread::sleep_until(until);
}
