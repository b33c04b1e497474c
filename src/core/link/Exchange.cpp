// One request and its reply: sending, the hunt for the reply, the retries.
#include "link/CounterSeance.h"
#include "link/LinkInternal.h"

#include "link/ComPort.h"
#include "shell/Clock.h"
#include "shell/JobContext.h"

#include <algorithm>
#include <cstdio>
#include <thread>

using linkdetail::HexList;

namespace linkdetail {

std::string WithoutAttemptSuffix(const std::string& text) {
    static const std::string kOpen = " (Попытка ";
    static const std::string kClose = ")...";
    const auto pos = text.rfind(kOpen);
    if (pos == std::string::npos) return text;
    if (text.size() < kClose.size() || text.compare(text.size() - kClose.size(), kClose.size(), kClose) != 0)
        return text;
    for (std::size_t i = pos + kOpen.size(); i < text.size() - kClose.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return text;
    return text.substr(0, pos);
}

}  // namespace linkdetail

bool TCounterSeance::UsesPacking() const { return VersionUsesPacking(VersionID); }

bool TCounterSeance::TransportWrite(const std::uint8_t* buffer, std::size_t count) {
    BytesSent += count;
    if (Transport) return Transport->Write(buffer, count);
    if (Port) return Port->Write(buffer, count);
    return true;
}

bool TCounterSeance::TransportReadByte(std::uint16_t timeoutMs, std::uint8_t& byte) {
    bool failed = true;
    if (Transport) failed = Transport->ReadByte(timeoutMs, byte);
    else if (Port) failed = Port->ReadByte(timeoutMs, byte);
    if (!failed) ++BytesReceived;
    return failed;
}

void TCounterSeance::TransportPurge() {
    if (Transport) Transport->Purge();
    else if (Port) Port->Purge();
}

std::uint16_t TCounterSeance::ReplyDelay() const { return linkdetail::ConfiguredDelay(); }

void TCounterSeance::SendFrame(std::uint8_t command, std::size_t length) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    length = std::min(length, kMaxFrameData);
    std::uint8_t* frame = TransmitBuffer.data();
    frame[0] = kFrameStart;
    frame[1] = static_cast<std::uint8_t>(length);
    frame[2] = command;
    const bool logging = linkdetail::LoggingOn();
    std::string line;
    if (logging) line = "Send >> " + HexList(frame, length + 3);
    const std::size_t total = FinishRequestFrame(frame, UsesPacking(), SessionKey.data());
    // The line shows the plain request and the checksum that actually went out.
    if (logging) WriteComLog(line + HexList(frame + total - 1, 1));
    // A failed write shows up as a missing reply.
    (void)TransportWrite(frame, total);
}

int TCounterSeance::ReceiveFrame(std::uint16_t firstByteTimeout) {
    std::uint8_t* frame = ReceiveBuffer.data();
    const bool logging = linkdetail::LoggingOn();

    // Hunt for the start byte, bounded in time and in bytes so that a line full of
    // noise ends like a silent one.
    const auto deadline = MonoClock::now() + std::chrono::milliseconds(firstByteTimeout);
    std::uint8_t b = 0;
    for (int hunted = 0;; ++hunted) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - MonoClock::now()).count();
        if (left <= 0 || hunted >= kMaxHuntBytes) return -1;
        if (TransportReadByte(static_cast<std::uint16_t>(std::min<long long>(left, 65535)), b)) return -1;
        if (logging) {
            char text[48];
            std::snprintf(text, sizeof text, "Получен байт %X: ", b);
            WriteComLog(text);
        }
        if (b == kFrameStart) break;
    }
    frame[0] = kFrameStart;

    const std::uint16_t delay = ReplyDelay();
    if (TransportReadByte(delay, frame[1])) return -1;
    if (TransportReadByte(delay, frame[2])) return -1;
    const std::size_t length = frame[1];
    for (std::size_t i = 0; i < length; ++i)
        if (TransportReadByte(delay, frame[3 + i])) return -1;
    std::uint8_t crc = 0;
    if (TransportReadByte(delay, crc)) return -1;
    frame[3 + length] = crc;
    if (FrameCrc(frame + 1, length + 2) != crc) return -1;

    if (!OpenReplyFrame(frame, UsesPacking(), SessionKey.data(), {WorkBuffer.data(), kMaxFrameData})) return -1;
    const std::size_t plain = frame[1];
    frame[3 + plain] = crc;
    if (logging) WriteComLog("Recv << " + HexList(frame, plain + 4));

    haveReply_ = true;
    lastReplyCommand_ = frame[2];
    lastReplyLength_ = plain;
    lastReplyFirstByte_ = plain > 0 ? frame[3] : 0;
    return 0;
}

bool TCounterSeance::ExchangeWithRetries(const TExchange& exchange) {
    if (UserCancelled) return false;
    // The error text of a failed exchange comes from this exchange's replies only.
    haveReply_ = false;
    if (exchange.Length > kMaxFrameData) {
        ErrorText = "Ошибка";
        return false;
    }
    JobContext& job = CurrentJob();
    std::string label;
    if (exchange.ShowAttempts) {
        job.SetAttempt(0);
        label = linkdetail::WithoutAttemptSuffix(job.StepText());
    }
    int bar = 0;
    for (int attempt = 1; attempt <= exchange.Attempts; ++attempt) {
        if (exchange.Build) exchange.Build(TransmitBuffer.data() + 3);
        if (UserCancelled) return false;
        if (exchange.ShowAttempts) job.SetStepText(label + " (Попытка " + std::to_string(attempt) + ")...");
        job.Pump();
        SendFrame(exchange.Command, exchange.Length);
        if (exchange.BeforeReceive) exchange.BeforeReceive();
        TReplyVerdict verdict = TReplyVerdict::Reject;
        if (ReceiveFrame(exchange.FirstByteTimeout) == 0)
            verdict = exchange.Accept ? exchange.Accept(*this) : TReplyVerdict::Accept;
        if (verdict == TReplyVerdict::Accept) return true;
        if (UserCancelled) return false;
        if (exchange.ShowAttempts && verdict == TReplyVerdict::Reject) job.SetAttempt(++bar);
    }
    SetReplyErrorText();
    return false;
}

void TCounterSeance::SetReplyErrorText() {
    if (!haveReply_ || lastReplyCommand_ != 1) {
        ErrorText = "Таймаут операции";
        return;
    }
    if (lastReplyLength_ != 1) return;
    switch (lastReplyFirstByte_) {
        case 1: ErrorText = "Указанная область в данной модификации счетчика не поддерживается"; break;
        case 2: ErrorText = "Ошибка устройста чтения (EEPROM)"; break;
        case 3: ErrorText = "Ошибка параметра"; break;
        case 4: ErrorText = "Ошибка CRC блока параметров"; break;
        case 5: ErrorText = "Ошибка доступа"; break;
        default: ErrorText = "Ошибка"; break;
    }
}

bool TCounterSeance::SimpleExchange(std::uint8_t command, std::size_t length,
                                    const std::function<void(std::uint8_t*)>& build,
                                    const std::function<bool(const TCounterSeance&)>& accept,
                                    std::uint16_t firstByteTimeout, int attempts) {
    TExchange ex;
    ex.Command = command;
    ex.Length = length;
    ex.Build = build;
    ex.Accept = [&accept](const TCounterSeance& s) { return accept(s) ? TReplyVerdict::Accept : TReplyVerdict::Reject; };
    ex.FirstByteTimeout = firstByteTimeout;
    ex.Attempts = attempts;
    return ExchangeWithRetries(ex);
}
