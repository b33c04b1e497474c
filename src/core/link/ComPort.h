#pragma once
// The serial port of the optical probe, on termios. Shared by the meter link and the
// programmer link; every call comes from the user-interface thread.
//
// Operations that return a boolean return false on success and true on failure;
// ErrorCode and ErrorText tell what failed. Nothing here throws.

#include <cstddef>
#include <cstdint>
#include <string>

class TComPort {
public:
    enum class Parity { None, Odd, Even, Mark, Space };
    enum class StopBits { One, OnePointFive, Two };

    // Error codes of our own (the OS numbers are mapped onto the table below).
    static constexpr int kUnsupportedBaud = -12;
    static constexpr int kBadByteSize = -11;
    static constexpr int kNotFound = 2;
    static constexpr int kLocked = 5;
    static constexpr int kUnexpected = 30000;
    // An errno with no code of its own is reported as kOsErrorBase + errno.
    static constexpr int kOsErrorBase = 10000;

    // Stores the name and opens the port; the caller inspects ErrorCode afterwards.
    TComPort(const std::string& portName, int inQueue, int outQueue);
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    // "COMn" is /dev/ttyS<n-1>; a name starting with "/" is a device path used as it is.
    static std::string DevicePath(const std::string& name);

    // Opens PortName for reading and writing, exclusively (TIOCEXCL and flock), in
    // raw mode. PortName becomes the device path, as error texts show it.
    bool Open(int inQueue, int outQueue);
    // Line settings; then both modem lines low for 100 ms and high again.
    bool Configure(int baudRate, int byteSize, Parity parity, StopBits stopBits);
    void SetDTR(bool on);
    void SetRTS(bool on);
    bool Write(const std::uint8_t* buffer, std::size_t count);
    // Waits up to `timeoutMs` for one byte, polling in 1 ms steps, letting the current
    // job's user interface breathe, and giving up at once when UserCancelled is set.
    // A time-out or a cancel returns true with ErrorCode 0.
    bool ReadByte(std::uint16_t timeoutMs, std::uint8_t& byte);
    void Purge();
    void Close();

    // Waits at least `ms` milliseconds (monotonic clock).
    static void BusyWait(unsigned ms);

    void MakeErrorText();
    // Maps an errno onto the port's error codes.
    static int ErrorCodeFromErrno(int err);

    int Handle = -1;
    std::string PortName;
    int ErrorCode = 0;
    std::string ErrorText;
    bool Opened = false;
    // Baud rate of the last successful Configure (0 before), for pacing estimates.
    int BaudRate = 0;

private:
    void SetOsError(int err);
    void SetModemLine(int bit, bool on);
};

// The single serial port; null before start-up opens it.
extern TComPort* ComPort;
