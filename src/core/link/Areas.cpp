// Area transfer: one plain area or one record of an indexed area per call.
#include "link/CounterSeance.h"

#include <algorithm>
#include <cstring>

std::array<std::uint8_t, 2> TCounterSeance::WritePasswordWord() {
    // These revisions take the low byte first (not every little-endian revision does).
    const bool lowFirst = (VersionID >= 36 && VersionID <= 39) || VersionID == 48 || VersionID == 49;
    std::array<std::uint8_t, 2> word{};
    for (int i = 0; i < 2; ++i) {
        const std::size_t which = lowFirst ? static_cast<std::size_t>(1 - i) : static_cast<std::size_t>(i);
        word[static_cast<std::size_t>(i)] = WritePassword[which];
        if (PasswordChangeMode) {
            ++PasswordUseCount;
            if (PasswordUseCount == 2) WritePassword = NewWritePassword;
        }
    }
    return word;
}

int TCounterSeance::ReadBlock(int area, int index, std::uint8_t* buffer) {
    if (area < 0 || area > 255 || index < 0 || index > 0xFFFF || !buffer) {
        ErrorText = "Ошибка параметра";
        return -1;
    }
    const auto requested = static_cast<std::uint8_t>(area);
    std::uint8_t current = requested;
    TExchange ex;
    ex.Command = 6;
    ex.Length = 3;
    ex.Build = [&current, index](std::uint8_t* data) {
        data[0] = current;
        data[1] = static_cast<std::uint8_t>(index >> 8);
        data[2] = static_cast<std::uint8_t>(index & 0xFF);
    };
    ex.Accept = [&current, requested](const TCounterSeance& s) {
        if ((s.ReplyCommand() & 0x0F) == 6) return TReplyVerdict::Accept;
        // "Area not supported in this modification": older revisions keep the same
        // data two numbers lower. Areas 0 and 1 have no such neighbour.
        if ((s.ReplyCommand() & 0x0F) == 1 && s.ReplyLength() >= 1 && s.ReplyData()[0] == 1 && requested >= 2) {
            current = static_cast<std::uint8_t>(requested - 2);
            return TReplyVerdict::RejectQuietly;
        }
        return TReplyVerdict::Reject;
    };
    ex.FirstByteTimeout = ReplyDelay();
    if (!ExchangeWithRetries(ex)) return -1;
    const std::size_t n = ReplyLength();
    std::memcpy(buffer, ReplyData(), n);
    return static_cast<int>(n);
}

int TCounterSeance::WriteBlock(int area, std::size_t n, const std::uint8_t* data, int index) {
    if (n > kMaxWriteData) {
        ErrorText = "Слишком большой блок данных для записи: " + std::to_string(n) + " байт (не более " +
                    std::to_string(kMaxWriteData) + ")";
        return -1;
    }
    if (area < 0 || area > 255 || index < 0 || index > 0xFFFF || (n > 0 && !data)) {
        ErrorText = "Ошибка параметра";
        return -1;
    }
    TExchange ex;
    ex.Command = 9;
    ex.Length = 5 + n;
    ex.Build = [this, area, index, n, data](std::uint8_t* out) {
        out[0] = static_cast<std::uint8_t>(area);
        out[1] = static_cast<std::uint8_t>(index >> 8);
        out[2] = static_cast<std::uint8_t>(index & 0xFF);
        const auto word = WritePasswordWord();
        out[3] = word[0];
        out[4] = word[1];
        if (n > 0) std::memcpy(out + 5, data, n);
    };
    ex.Accept = [](const TCounterSeance& s) {
        return s.ReplyLength() == 0 && s.ReplyCommand() == 0 ? TReplyVerdict::Accept : TReplyVerdict::Reject;
    };
    ex.FirstByteTimeout = ReplyDelay();
    ex.Attempts = PasswordChangeMode ? 2 : 5;
    return ExchangeWithRetries(ex) ? 0 : -1;
}
