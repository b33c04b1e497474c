#pragma once
// In-process stand-ins for the link tests: a scripted meter behind the transport
// interface, a job context that records what the exchange shows, and a frame
// builder of its own (so a fault in the link's builder cannot hide in the tests).
#include "link/CounterSeance.h"
#include "shell/JobContext.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// Bitwise CRC-8/MAXIM, written apart from the link's table.
inline std::uint8_t TestCrc(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::uint8_t crc = 0;
    for (std::size_t i = from; i < to; ++i) {
        crc ^= bytes[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<std::uint8_t>((crc >> 1) ^ 0x8C) : crc >> 1;
    }
    return crc;
}

// 7E L command data checksum; data XOR-ed with `key` first.
inline Bytes RawFrame(std::uint8_t command, Bytes data, const std::array<std::uint8_t, 4>& key = {}) {
    for (std::size_t i = 0; i < data.size(); ++i) data[i] ^= key[i % 4];
    Bytes f{0x7E, static_cast<std::uint8_t>(data.size()), command};
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(TestCrc(f, 1, f.size()));
    return f;
}

// The data part of a sent frame, XOR-ed back with `key` (no unpacking).
inline Bytes SentData(const Bytes& frame, const std::array<std::uint8_t, 4>& key = {}) {
    Bytes d(frame.begin() + 3, frame.end() - 1);
    for (std::size_t i = 0; i < d.size(); ++i) d[i] ^= key[i % 4];
    return d;
}

class FakeMeter : public TMeterTransport {
public:
    // Called with every frame the link writes; returns the bytes the meter answers.
    std::function<Bytes(const Bytes& request)> Responder;
    std::vector<Bytes> Sent;
    int Purges = 0;
    // Set UserCancelled when the link starts waiting on an empty line.
    bool CancelOnSilence = false;

    bool Write(const std::uint8_t* buffer, std::size_t count) override {
        Sent.emplace_back(buffer, buffer + count);
        if (Responder) {
            const Bytes reply = Responder(Sent.back());
            pending_.insert(pending_.end(), reply.begin(), reply.end());
        }
        return false;
    }
    bool ReadByte(std::uint16_t, std::uint8_t& byte) override {
        if (UserCancelled) return true;
        if (pending_.empty()) {
            if (CancelOnSilence) UserCancelled = true;
            return true;  // the time-out, without waiting for it
        }
        byte = pending_.front();
        pending_.pop_front();
        return false;
    }
    void Purge() override {
        ++Purges;
        pending_.clear();
    }
    void Feed(const Bytes& bytes) { pending_.insert(pending_.end(), bytes.begin(), bytes.end()); }

private:
    std::deque<std::uint8_t> pending_;
};

// Answers each request in turn from a script; past its end, silence.
inline std::function<Bytes(const Bytes&)> Script(std::vector<Bytes> replies) {
    auto index = std::make_shared<std::size_t>(0);
    return [replies = std::move(replies), index](const Bytes&) {
        return *index < replies.size() ? replies[(*index)++] : Bytes{};
    };
}

class RecordingJob : public JobContext {
public:
    std::vector<std::string> Steps;
    std::vector<int> Attempts;
    void SetStepText(const std::string& text) override {
        JobContext::SetStepText(text);
        Steps.push_back(text);
    }
    void SetAttempt(int position) override {
        JobContext::SetAttempt(position);
        Attempts.push_back(position);
    }
};

// A session object on a fake meter inside a recording job, with a configuration
// whose reply time-out is short.
struct LinkFixtureState {
    FakeMeter Meter;
    RecordingJob Job;
    TCounterSeance Seance;
    LinkFixtureState() { Seance.Transport = &Meter; }
};
