#pragma once
// The meter link: frames, the session, single commands, area transfer and
// measurements of one Норвел meter on the optical probe.
//
// Everything runs inside a job (shell/JobContext.h): the exchange writes its attempt
// into CurrentJob(), every wait polls UserCancelled, and failures come back as a
// boolean or -1 with a Russian ErrorText. Nothing here throws to its caller.
//
// The pure pieces (checksum, packing, key, record layouts, measurement decoding) are
// free functions so that tests, the benchmark and the fuzzer can call them without
// a port.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

class TComPort;

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

inline constexpr std::uint8_t kFrameStart = 0x7E;
// Buffer size of the receive and transmit frames.
inline constexpr std::size_t kFrameBufferSize = 1025;
// The longest data part a frame can carry (its length is one byte).
inline constexpr std::size_t kMaxFrameData = 255;
// The most data bytes WriteBlock takes: 5 header bytes + n must fit the length byte.
inline constexpr std::size_t kMaxWriteData = 250;
// Bytes of noise the hunt for the start byte reads before it gives up.
inline constexpr int kMaxHuntBytes = 2048;

// CRC-8, Dallas/Maxim polynomial (reflected 0x8C), initial 0, no final XOR.
std::uint8_t FrameCrc(const std::uint8_t* data, std::size_t n);
inline std::uint8_t FrameCrc(std::span<const std::uint8_t> data) { return FrameCrc(data.data(), data.size()); }

// XOR of data byte i with key[i mod 4]; the same operation encodes and decodes.
void XorWithKey(std::uint8_t* data, std::size_t n, const std::uint8_t key[4]);

// Whether requests are packed and replies unpacked for this version code.
bool VersionUsesPacking(int version);

// Packs `in` (escape byte, then runs longer than three as escape, count, value).
// Returns the packed length when it is strictly shorter than `in` and fits `out`,
// else -1 (the data are then sent as they are). Inputs shorter than 5 bytes are
// never packed.
int PackBytes(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// Expands packed reply data into `out`. Returns the expanded length, or -1 for a
// bad frame: no escape byte, an escape without its count and value, or more than
// `out.size()` (at most 255) bytes.
int UnpackBytes(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// Finishes a request frame in place: frame[1] = L and frame[2] = command and L
// plain data bytes from frame[3] on. Packs (when `packing` and it shortens),
// encodes with `key`, appends the checksum; returns the number of bytes to send.
// `frame` holds at least kFrameBufferSize bytes.
std::size_t FinishRequestFrame(std::uint8_t* frame, bool packing, const std::uint8_t key[4]);

// Turns a received frame whose checksum has been checked into plain data, in
// place: decodes with `key`, unpacks when `packing` and bit 7 of the command is
// set (the bit is then cleared and frame[1] becomes the expanded length).
// `work` is scratch space of at least 255 bytes. False for a bad packed frame.
bool OpenReplyFrame(std::uint8_t* frame, bool packing, const std::uint8_t key[4], std::span<std::uint8_t> work);

// ---------------------------------------------------------------------------
// Transport: the serial port, or an in-process fake for tests and the fuzzer.
// Boolean results are true on failure, as the port's are.
// ---------------------------------------------------------------------------

class TMeterTransport {
public:
    virtual ~TMeterTransport() = default;
    virtual bool Write(const std::uint8_t* buffer, std::size_t count) = 0;
    // Waits up to timeoutMs for one byte; true on time-out, cancel or port error.
    virtual bool ReadByte(std::uint16_t timeoutMs, std::uint8_t& byte) = 0;
    virtual void Purge() = 0;
};

// ---------------------------------------------------------------------------
// Process-wide values tied to the session
// ---------------------------------------------------------------------------

// Current write password, high byte first, and the new one of a password-writing job.
extern std::array<std::uint8_t, 2> WritePassword;
extern std::array<std::uint8_t, 2> NewWritePassword;
// Set by the password-writing job: after the first write attempt has taken both
// bytes of the old password, WritePassword becomes NewWritePassword.
extern bool PasswordChangeMode;
extern std::int32_t PasswordUseCount;

// The text of the write-password edit as a password: its low 16 bits, 0 when it is
// not a number.
std::uint16_t PasswordFromText(const std::string& text);
inline std::array<std::uint8_t, 2> PasswordBytes(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF)};
}

// ---------------------------------------------------------------------------
// Commands: record layouts
// ---------------------------------------------------------------------------

// Date and time as the meter clock holds it; Weekday 0 is Monday, 6 Sunday.
struct TMeterDateTime {
    int Year = 2000;
    int Month = 1;
    int Day = 1;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Weekday = 0;
};

// The 8-byte date-time record of commands 7 and 8 in the layout of `version`.
std::array<std::uint8_t, 8> BuildDateTime(int version, const TMeterDateTime& dt);
TMeterDateTime DecodeDateTime(int version, const std::uint8_t* record);
// "%.2d.%.2d.%.4d %.2d:%.2d:%.2d": day, month, year, hour, minute, second.
std::string FormatMeterDateTime(const TMeterDateTime& dt);
// The PC's local date and time now.
TMeterDateTime LocalDateTimeNow();

// Channel settings of the channel dialog: mode 0 (all) to 4 and four switches.
struct TChannelSettings {
    std::uint8_t Mode = 0;
    std::array<bool, 4> Switches{};
};
std::uint8_t ChannelFlags(const TChannelSettings& settings);

// Control codes of command 14.
enum class TControlCode : std::uint8_t {
    ContactorOff = 0x30,
    ContactorRelease = 0x46,
    CardSupport = 0x44,
    Channel1On = 0x41,
    Channel1Off = 0x61,
    Channel2On = 0x42,
    Channel2Off = 0x62,
};
// The step label of a control code ("Выключение контактора", ...).
std::string ControlStepText(TControlCode code);

// Precision codes of command 17.
inline constexpr std::uint8_t kPrecisionKopecks = 0x44;
inline constexpr std::uint8_t kPrecisionHundredthKopecks = 0x53;

// The currency text as three single-byte characters, padded with zero bytes.
std::array<std::uint8_t, 3> CurrencyBytes(const std::string& utf8Text);

// The failure message of a command whose own failure text is the generic one.
std::string CommandFailureText(const std::string& errorText);

// ---------------------------------------------------------------------------
// Measurements
// ---------------------------------------------------------------------------

struct TMeasurementRecord {
    double ActivePower = 0, ReactivePower = 0;
    double Voltage1 = 0, Current1 = 0, Voltage2 = 0, Current2 = 0, Voltage3 = 0, Current3 = 0;
    double Frequency = 0, PhaseAngle = 0;
};

struct TMomentRecord {
    double ActivePower = 0, ReactivePower = 0;
    double Voltage1 = 0, Current1 = 0, Voltage2 = 0, Current2 = 0, Voltage3 = 0, Current3 = 0;
    // Coefficients reported by a version 1 meter, zero otherwise.
    double VoltageKoef = 0, CurrentKoef = 0;
};

struct TPhaseRecord {
    double ActivePower1 = 0, ActivePower2 = 0, ActivePower3 = 0;
    double ReactivePower1 = 0, ReactivePower2 = 0, ReactivePower3 = 0;
    double Voltage1 = 0, Voltage2 = 0, Voltage3 = 0;
    double Current1 = 0, Current2 = 0, Current3 = 0;
    // Frequencies of phases 1 to 3 in hundredths of a hertz.
    std::int16_t Frequency1 = 0, Frequency2 = 0, Frequency3 = 0;
    // Tenths; shown as "Cos Fi :" per phase and "Cos Fi, все фазы :".
    std::int16_t CosFi1 = 0, CosFi2 = 0, CosFi3 = 0, CosFiAll = 0;
};

struct TConsumptionRecord {
    // Active totals "+" and "-" in Wh, then reactive totals of quadrants I to IV in
    // varh (for versions 2 and 3 the third and fourth are reactive "+" and "-").
    std::array<double, 6> Values{};
};

extern TMeasurementRecord MeasurementRecord;
extern TMomentRecord MomentRecord;
extern TPhaseRecord PhaseRecord;
extern TConsumptionRecord ConsumptionRecord;
extern std::uint8_t MinuteInterval;

// BCD-7: twelve digits, then sign and exponent + 64 in byte 6.
double Bcd7ToDouble(const std::uint8_t* bytes);

// Reply decoders. Each returns 0, or -1 for a wrong length or a version without a
// decoding (or a result that is not a number); the records are then left as the
// decoder found them, partly filled at most.
int DecodeFullMeasurement(int version, std::span<const std::uint8_t> data, TMeasurementRecord& m, TPhaseRecord& p);
// `useKoefs`: a version 1 reply then sets the session's coefficients.
int DecodeMomentMeasurement(int version, std::span<const std::uint8_t> data, TMomentRecord& m, TPhaseRecord& p,
                            bool useKoefs, double& currentKoef, double& voltageKoef);
int DecodePower(int version, std::span<const std::uint8_t> data, TMeasurementRecord& m, TPhaseRecord& p);
int DecodeVoltages(int version, std::span<const std::uint8_t> data, TMeasurementRecord& m, TPhaseRecord& p);
int DecodeCurrents(int version, std::span<const std::uint8_t> data, TMeasurementRecord& m);
int DecodeConsumption(int version, std::span<const std::uint8_t> data, TConsumptionRecord& c);
int DecodeMinuteConsumption(int version, std::span<const std::uint8_t> data, TConsumptionRecord& c);

// Which parts of a record the final scaling touches.
enum class TScaleParts { All, PowersOnly, VoltagesOnly, CurrentsOnly };
void ScaleMeasurement(TMeasurementRecord& m, TScaleParts parts, double currentKoef, double voltageKoef);
void ScaleMoment(TMomentRecord& m, double currentKoef, double voltageKoef);

// ---------------------------------------------------------------------------
// The session object
// ---------------------------------------------------------------------------

// What the acceptance test of an exchange says about a good reply.
enum class TReplyVerdict {
    Accept,
    Reject,           // costs an attempt and advances the attempt bar
    RejectQuietly,    // costs an attempt, the attempt bar stays
};

class TCounterSeance;

// One request/reply procedure with its retries.
struct TExchange {
    std::uint8_t Command = 0;
    std::size_t Length = 0;  // request data bytes
    // Writes the request data (Length bytes) into the transmit frame; runs before
    // every attempt because sending transforms the frame in place.
    std::function<void(std::uint8_t* data)> Build;
    std::function<TReplyVerdict(const TCounterSeance& seance)> Accept;
    std::uint16_t FirstByteTimeout = 6000;
    int Attempts = 5;
    // Single-shot commands show no attempt label and move no attempt bar.
    bool ShowAttempts = true;
    // Runs after each request is sent, before its reply is awaited.
    std::function<void()> BeforeReceive;
};

class TCounterSeance {
public:
    TCounterSeance(std::int32_t counterId = 0, std::string counterName = {}, std::uint32_t zNumber = 0);
    ~TCounterSeance();
    TCounterSeance(const TCounterSeance&) = delete;
    TCounterSeance& operator=(const TCounterSeance&) = delete;

    // --- frames -----------------------------------------------------------
    std::array<std::uint8_t, 4> SessionKey{};
    std::array<std::uint8_t, kFrameBufferSize> ReceiveBuffer{};
    std::array<std::uint8_t, kFrameBufferSize> TransmitBuffer{};
    std::array<std::uint8_t, kFrameBufferSize + 1> WorkBuffer{};

    // --- identity of the selected meter ----------------------------------
    std::uint32_t InternalID = 0;
    std::int16_t StoredYear = 0;
    TComPort* Port = nullptr;             // the shared port; not owned
    TMeterTransport* Transport = nullptr;  // used instead of Port when set (tests); not owned
    std::int32_t CounterID = 0;
    std::string CounterName;
    std::uint32_t ZNumber = 0;
    std::string MeterDateTimeText;
    std::uint8_t VersionID = 0;
    std::string ErrorText;
    double CurrentKoef = 1.0;
    double VoltageKoef = 1.0;
    TChannelSettings ChannelSettings;
    std::string CurrencyCode;  // as the user typed it (UTF-8)
    std::uint8_t PrecisionCode = kPrecisionKopecks;
    // The date-time record of the last clock reading.
    std::array<std::uint8_t, 8> MeterDateTime{};

    // Loads the selected meter's task and stored InternalID before a command job
    // opens its session (the session layer sets it); none: nothing to load.
    std::function<bool()> PrepareCommandJob;

    // Bytes that went over the wire, for throughput figures.
    std::uint64_t BytesSent = 0;
    std::uint64_t BytesReceived = 0;

    // --- frame exchange ----------------------------------------------------
    void SendFrame(std::uint8_t command, std::size_t length);
    // 0 for a good frame (decoded and unpacked in the receive frame), -1 otherwise.
    int ReceiveFrame(std::uint16_t firstByteTimeout);
    // True when a reply passed the acceptance test (it is then in the receive frame).
    bool ExchangeWithRetries(const TExchange& exchange);
    void SetReplyErrorText();
    void WriteLog(const std::string& line) const;
    void WriteComLog(const std::string& line) const;

    std::uint8_t ReplyCommand() const { return ReceiveBuffer[2]; }
    std::size_t ReplyLength() const { return ReceiveBuffer[1]; }
    const std::uint8_t* ReplyData() const { return ReceiveBuffer.data() + 3; }
    std::span<const std::uint8_t> Reply() const { return {ReplyData(), ReplyLength()}; }

    // --- session -----------------------------------------------------------
    void ResetAllSessions();
    // True on success and when cancelled; false with ErrorText otherwise.
    bool OpenSeance();
    void CloseSeance();

    // --- commands (true on success and at once when cancelled) -------------
    bool ReadFactoryNumber();
    bool ReadDateTime();
    bool SetDateTime();
    bool WriteDateTime(const TMeterDateTime& dt);
    bool SetCurrency();
    bool SetPrecision();
    bool SendControl(TControlCode code);
    bool SetOptoPort(bool enable);
    bool ManageChannels();

    // --- area transfer -------------------------------------------------------
    // Data bytes received (0..255) copied to `buffer` (at least 255 bytes), or -1.
    int ReadBlock(int area, int index, std::uint8_t* buffer);
    // 0 on acknowledgement, -1 otherwise. At most kMaxWriteData bytes.
    int WriteBlock(int area, std::size_t n, const std::uint8_t* data, int index);
    // The two password bytes in this meter's order, counting them in PasswordChangeMode.
    std::array<std::uint8_t, 2> WritePasswordWord();

    // --- measurements (0 on success, -1 otherwise) ----------------------------
    int ReadMeasurements();
    int ReadMomentMeasurements();
    int ReadPower();
    int ReadVoltages();
    int ReadCurrents();
    int ReadConsumption();
    int ReadMinuteConsumption();
    int ReadTransformationKoefs();

    // --- jobs: what the progress dialog runs (true also when cancelled) ------
    bool RunCommandJob(const std::function<bool()>& commands, int overallMax = 3);
    bool FactoryNumberJob();
    bool ReadClockJob();
    bool SetCurrencyJob() { return RunCommandJob([this] { return SetCurrency(); }); }
    bool SetPrecisionJob() { return RunCommandJob([this] { return SetPrecision(); }); }
    bool ControlJob(TControlCode code) { return RunCommandJob([this, code] { return SendControl(code); }); }
    bool CardSupportJob();
    bool OptoPortJob(bool enable) { return RunCommandJob([this, enable] { return SetOptoPort(enable); }); }
    bool ManageChannelsJob() { return RunCommandJob([this] { return ManageChannels(); }); }
    bool MeasurementsJob();
    bool MomentMeasurementsJob();
    bool PowerJob();
    bool VoltagesJob();
    bool CurrentsJob();
    bool ConsumptionJob();
    bool MinuteConsumptionJob();

private:
    bool UsesPacking() const;
    bool TransportWrite(const std::uint8_t* buffer, std::size_t count);
    bool TransportReadByte(std::uint16_t timeoutMs, std::uint8_t& byte);
    void TransportPurge();
    std::uint16_t ReplyDelay() const;
    bool SimpleExchange(std::uint8_t command, std::size_t length, const std::function<void(std::uint8_t*)>& build,
                        const std::function<bool(const TCounterSeance&)>& accept, std::uint16_t firstByteTimeout,
                        int attempts = 5);
    void PrepareKoefs();
    int Measure(std::uint8_t command, std::uint16_t firstByteTimeout, std::size_t requestLength,
                const std::function<int(std::span<const std::uint8_t>)>& decode);

    // The last frame that passed its checksum during the current exchange.
    bool haveReply_ = false;
    std::uint8_t lastReplyCommand_ = 0;
    std::size_t lastReplyLength_ = 0;
    std::uint8_t lastReplyFirstByte_ = 0;
};

// The single meter session; null before start-up creates it.
extern TCounterSeance* CounterSeance;
