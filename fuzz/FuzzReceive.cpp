// Reception of replies from an untrusted line: the hunt for the start byte, the
// frame, the key, unpacking, and the decoders that read the reply data.
//
// Input: byte 0 the version code, bytes 1-4 the session key, the rest the line.
#include "link/CounterSeance.h"
#include "shell/JobContext.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

class LineTransport : public TMeterTransport {
public:
    LineTransport(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Write(const std::uint8_t*, std::size_t) override { return false; }
    bool ReadByte(std::uint16_t, std::uint8_t& byte) override {
        if (pos_ >= size_) return true;
        byte = data_[pos_++];
        return false;
    }
    void Purge() override {}
    bool Exhausted() const { return pos_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    TCounterSeance seance;
    seance.VersionID = data[0];
    std::memcpy(seance.SessionKey.data(), data + 1, 4);
    LineTransport line(data + 5, size - 5);
    seance.Transport = &line;
    UserCancelled = false;
    while (!line.Exhausted()) {
        if (seance.ReceiveFrame(1000) != 0) continue;
        const std::size_t n = seance.ReplyLength();
        if (n > kMaxFrameData) __builtin_trap();
        // Whatever came in must be readable by the decoders without going astray.
        const auto reply = seance.Reply();
        TMeasurementRecord m;
        TMomentRecord mo;
        TPhaseRecord p;
        TConsumptionRecord c;
        double ck = 1, vk = 1;
        (void)DecodeFullMeasurement(seance.VersionID, reply, m, p);
        (void)DecodeMomentMeasurement(seance.VersionID, reply, mo, p, true, ck, vk);
        (void)DecodePower(seance.VersionID, reply, m, p);
        (void)DecodeVoltages(seance.VersionID, reply, m, p);
        (void)DecodeCurrents(seance.VersionID, reply, m);
        (void)DecodeConsumption(seance.VersionID, reply, c);
        (void)DecodeMinuteConsumption(seance.VersionID, reply, c);
        if (n >= 8) (void)FormatMeterDateTime(DecodeDateTime(seance.VersionID, reply.data()));
        seance.SetReplyErrorText();
    }
    return 0;
}
