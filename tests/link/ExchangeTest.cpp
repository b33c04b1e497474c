// The exchange with its retries, error texts and attempt label, and the session
// commands, against a scripted meter in the same process.
#include "LinkFakes.h"

#include "shell/MeterVersion.h"

#include <gtest/gtest.h>

namespace {

class Exchange : public ::testing::Test {
protected:
    Exchange() : scope_(state_.Job) {}
    FakeMeter& meter() { return state_.Meter; }
    RecordingJob& job() { return state_.Job; }
    TCounterSeance& seance() { return state_.Seance; }

    // A close exchange: accepted on L = 0 and command 5.
    bool Close() {
        TExchange ex;
        ex.Command = 5;
        ex.Accept = [](const TCounterSeance& s) {
            return s.ReplyLength() == 0 && s.ReplyCommand() == 5 ? TReplyVerdict::Accept : TReplyVerdict::Reject;
        };
        return seance().ExchangeWithRetries(ex);
    }

    LinkFixtureState state_;
    ScopedJob scope_;
};

TEST_F(Exchange, ResetAndCloseFramesAreByteExact) {
    seance().ResetAllSessions();
    meter().Responder = Script({RawFrame(5, {})});
    seance().CloseSeance();
    ASSERT_EQ(meter().Sent.size(), 2u);
    EXPECT_EQ(meter().Sent[0], (Bytes{0x7E, 0x00, 0x02, 0xBC}));
    EXPECT_EQ(meter().Sent[1], (Bytes{0x7E, 0x00, 0x05, 0x3F}));
}

TEST_F(Exchange, FaultsCostAttemptsUntilTheFifthSucceeds) {
    Bytes badCrc = RawFrame(5, {});
    badCrc.back() ^= 0x55;
    Bytes noisy{0x00, 0x13, 0xFF};
    const Bytes good = RawFrame(5, {});
    noisy.insert(noisy.end(), good.begin(), good.end());
    job().SetStepText("Завершение сеанса связи");
    // error reply, bad checksum, silence, wrong reply, then noise before a good one.
    meter().Responder = Script({RawFrame(1, {5}), badCrc, {}, RawFrame(0, {}), noisy});
    EXPECT_TRUE(Close());
    EXPECT_EQ(meter().Sent.size(), 5u);
    EXPECT_EQ(job().Attempts, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(job().StepText(), "Завершение сеанса связи (Попытка 5)...");
    EXPECT_EQ(job().Steps[1], "Завершение сеанса связи (Попытка 1)...");
}

TEST_F(Exchange, ExhaustedExchangeSetsTheMeterErrorOrTimeout) {
    struct Case {
        const char* name;
        std::vector<Bytes> replies;
        std::string text;
    } cases[] = {
        {"five silences", {}, "Таймаут операции"},
        {"five access errors", std::vector<Bytes>(5, RawFrame(1, {5})), "Ошибка доступа"},
        {"unsupported area", std::vector<Bytes>(5, RawFrame(1, {1})),
         "Указанная область в данной модификации счетчика не поддерживается"},
        {"eeprom", std::vector<Bytes>(5, RawFrame(1, {2})), "Ошибка устройста чтения (EEPROM)"},
        {"parameter", std::vector<Bytes>(5, RawFrame(1, {3})), "Ошибка параметра"},
        {"crc", std::vector<Bytes>(5, RawFrame(1, {4})), "Ошибка CRC блока параметров"},
        {"code 0", std::vector<Bytes>(5, RawFrame(1, {0})), "Ошибка"},
        {"code 200", std::vector<Bytes>(5, RawFrame(1, {200})), "Ошибка"},
        {"error then silence", {RawFrame(1, {5})}, "Ошибка доступа"},
        {"error then a wrong reply", {RawFrame(1, {5}), RawFrame(1, {5}), RawFrame(1, {5}), RawFrame(1, {5}), RawFrame(7, {})},
         "Таймаут операции"},
        {"long error reply keeps the text", std::vector<Bytes>(5, RawFrame(1, {5, 5})), "прежний текст"},
    };
    for (const auto& c : cases) {
        meter().Sent.clear();
        meter().Responder = Script(c.replies);
        seance().ErrorText = "прежний текст";
        EXPECT_FALSE(Close()) << c.name;
        EXPECT_EQ(meter().Sent.size(), 5u) << c.name;
        EXPECT_EQ(seance().ErrorText, c.text) << c.name;
    }
}

TEST_F(Exchange, ErrorOfAnEarlierExchangeIsNotReportedAgain) {
    meter().Responder = Script({RawFrame(1, {5}), RawFrame(5, {})});
    EXPECT_TRUE(Close());
    meter().Responder = nullptr;
    EXPECT_FALSE(Close());
    EXPECT_EQ(seance().ErrorText, "Таймаут операции");
}

TEST_F(Exchange, CancelStopsWithoutTouchingTheErrorText) {
    seance().ErrorText = "до отмены";
    meter().CancelOnSilence = true;
    EXPECT_FALSE(Close());
    EXPECT_EQ(meter().Sent.size(), 1u);
    EXPECT_EQ(seance().ErrorText, "до отмены");
    // Already cancelled: nothing is sent at all.
    EXPECT_FALSE(Close());
    EXPECT_EQ(meter().Sent.size(), 1u);
}

TEST_F(Exchange, NoiseAloneEndsInTimeout) {
    // A line that never stops babbling: the hunt gives up instead of spinning.
    meter().Responder = [](const Bytes&) { return Bytes(kMaxHuntBytes + 10, 0x55); };
    EXPECT_FALSE(Close());
    EXPECT_EQ(seance().ErrorText, "Таймаут операции");
}

TEST_F(Exchange, AttemptSuffixDoesNotPileUp) {
    job().SetStepText("Чтение");
    meter().Responder = [](const Bytes&) { return RawFrame(5, {}); };
    EXPECT_TRUE(Close());
    EXPECT_TRUE(Close());
    EXPECT_EQ(job().StepText(), "Чтение (Попытка 1)...");
}

// --- session ------------------------------------------------------------------

Bytes OpenReply(std::uint8_t version, std::array<std::uint8_t, 4> key, std::size_t length = 8, std::uint8_t flags = 0) {
    Bytes d{version, key[0], key[1], key[2], key[3], 0, 0, flags};
    d.resize(length);
    return RawFrame(4, d);
}

TEST_F(Exchange, OpenSendsNumberAndIdentifierThenUsesTheKey) {
    seance().VersionID = 2;
    seance().ZNumber = 1u * 16777216u + 2u * 65536u + 3u * 256u + 4u;
    seance().InternalID = 0;
    seance().SessionKey = {9, 9, 9, 9};
    meter().Responder = Script({OpenReply(2, {0x11, 0x22, 0x33, 0x44}), RawFrame(5, {})});
    job().SetOverall(0, 3);
    ASSERT_TRUE(seance().OpenSeance()) << seance().ErrorText;
    EXPECT_EQ(meter().Sent[0], RawFrame(3, {1, 2, 3, 4, 0, 0, 0, 0}));
    EXPECT_EQ(seance().SessionKey, (std::array<std::uint8_t, 4>{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(CurrentVersion, 2);
    EXPECT_EQ(job().Overall(), 2);
    EXPECT_NE(std::find(job().Steps.begin(), job().Steps.end(), "Установление сеанса связи (Попытка 1)..."),
              job().Steps.end());

    // Later requests are encoded with it.
    Bytes area(1025);
    meter().Responder = Script({RawFrame(6, {0xAB}, {0x11, 0x22, 0x33, 0x44})});
    EXPECT_EQ(seance().ReadBlock(13, 300, area.data()), 1);
    EXPECT_EQ(SentData(meter().Sent.back(), {0x11, 0x22, 0x33, 0x44}), (Bytes{0x0D, 0x01, 0x2C}));
    EXPECT_EQ(area[0], 0xAB);
}

TEST_F(Exchange, OpenChecksTheVersion) {
    struct Case {
        int declared;
        int actual;
        bool ok;
    } cases[] = {{4, 4, true}, {4, 6, true}, {6, 4, false}, {5, 7, true}, {5, 5, true}, {7, 5, false},
                 {2, 2, true}, {2, 3, false}, {36, 36, true}};
    for (const auto& c : cases) {
        seance().VersionID = static_cast<std::uint8_t>(c.declared);
        meter().Sent.clear();
        meter().Responder = Script({OpenReply(static_cast<std::uint8_t>(c.actual), {1, 2, 3, 4})});
        EXPECT_EQ(seance().OpenSeance(), c.ok) << c.declared << "/" << c.actual;
        if (!c.ok) {
            EXPECT_EQ(seance().ErrorText, "Несовпадение заявленной и действительной версий! Текущая версия счетчика - " +
                                              std::to_string(c.actual));
            EXPECT_EQ(meter().Sent.size(), 1u) << "no close is sent";
        }
    }
}

TEST_F(Exchange, OpenSetsWholeValueModeOnlyForItsVersions) {
    struct Case {
        int version;
        std::size_t length;
        std::uint8_t flags;
        bool before;
        bool after;
    } cases[] = {
        {30, 8, 0x00, false, true},  {30, 8, 0x02, true, false}, {30, 7, 0x00, true, false},
        {44, 8, 0xFD, false, true},  {2, 8, 0x00, true, true},   {2, 8, 0x02, false, false},
    };
    for (const auto& c : cases) {
        seance().VersionID = static_cast<std::uint8_t>(c.version);
        WholeValueMode = c.before;
        meter().Responder = Script({OpenReply(static_cast<std::uint8_t>(c.version), {1, 2, 3, 4}, c.length, c.flags)});
        ASSERT_TRUE(seance().OpenSeance()) << c.version;
        EXPECT_EQ(WholeValueMode, c.after) << c.version << " len " << c.length << " flags " << int(c.flags);
    }
    WholeValueMode = false;
}

TEST_F(Exchange, ShortOpenReplyLeavesNoKey) {
    seance().VersionID = 2;
    seance().SessionKey = {7, 7, 7, 7};
    // An earlier frame left key-like bytes in the receive buffer.
    meter().Responder = Script({RawFrame(6, {2, 0xAA, 0xBB, 0xCC, 0xDD, 0, 0, 0})});
    Bytes area(1025);
    EXPECT_EQ(seance().ReadBlock(1, 0, area.data()), 8);
    meter().Responder = Script({RawFrame(4, {2, 0x01})});
    EXPECT_FALSE(seance().OpenSeance());
    EXPECT_EQ(seance().SessionKey, (std::array<std::uint8_t, 4>{}));
    EXPECT_EQ(seance().ErrorText, "Неполный ответ счетчика при открытии сеанса");
}

TEST_F(Exchange, OpenFailsWithTimeoutAndReturnsTrueWhenCancelledBefore) {
    seance().VersionID = 2;
    EXPECT_FALSE(seance().OpenSeance());
    EXPECT_EQ(seance().ErrorText, "Таймаут операции");
    EXPECT_EQ(meter().Sent.size(), 5u);

    meter().Sent.clear();
    UserCancelled = true;
    EXPECT_TRUE(seance().OpenSeance());
    EXPECT_TRUE(meter().Sent.empty());
}

TEST_F(Exchange, ReplyToAnotherVersionPacksOnlyWhereItShould) {
    // A packed read reply is unpacked for version 2 and left alone for version 4.
    const std::array<std::uint8_t, 4> key{};
    for (int version : {2, 4}) {
        seance().VersionID = static_cast<std::uint8_t>(version);
        meter().Responder = Script({RawFrame(0x86, {0xFF, 0xFF, 20, 0x42}, key)});
        Bytes area(1025);
        const int n = seance().ReadBlock(5, 0, area.data());
        EXPECT_EQ(n, version == 2 ? 20 : 4) << version;
        EXPECT_EQ(area[0], version == 2 ? 0x42 : 0xFF) << version;
    }
}

TEST_F(Exchange, RequestsOfVersion4AreNeverPacked) {
    const Bytes data(20, 0x11);
    for (int version : {4, 2}) {
        seance().VersionID = static_cast<std::uint8_t>(version);
        meter().Sent.clear();
        meter().Responder = Script({RawFrame(0, {})});
        EXPECT_EQ(seance().WriteBlock(3, data.size(), data.data(), 0), 0);
        const Bytes& sent = meter().Sent.front();
        if (version == 4) {
            EXPECT_EQ(sent[2], 9);
            EXPECT_EQ(sent[1], 25);
        } else {
            EXPECT_EQ(sent[2], 0x89);
            EXPECT_LT(sent[1], 25);
        }
    }
}

}  // namespace
