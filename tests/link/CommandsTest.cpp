// Single commands and the area transfer: the bytes they send, what they accept.
#include "LinkFakes.h"

#include <gtest/gtest.h>

namespace {

class Commands : public ::testing::Test {
protected:
    Commands() : scope_(state_.Job) { meter().Responder = [](const Bytes&) { return RawFrame(0, {}); }; }
    ~Commands() override {
        PasswordChangeMode = false;
        PasswordUseCount = 0;
        WritePassword = {};
        NewWritePassword = {};
    }
    FakeMeter& meter() { return state_.Meter; }
    RecordingJob& job() { return state_.Job; }
    TCounterSeance& seance() { return state_.Seance; }
    Bytes LastData() const { return SentData(state_.Meter.Sent.back()); }

    LinkFixtureState state_;
    ScopedJob scope_;
};

TEST_F(Commands, ClockRecordsInTheirThreeLayouts) {
    // Sunday 5 March 2023, 14:07:09.
    const TMeterDateTime dt{2023, 3, 5, 14, 7, 9, 6};
    struct Case {
        int version;
        Bytes record;
    } cases[] = {
        {30, {0x09, 0x07, 0x0E, 0x06, 0x05, 0x03, 0x17, 0x14}},
        {36, {0x06, 0x05, 0x03, 0xE7, 0x07, 0x0E, 0x07, 0x09}},
        {2, {0x06, 0x05, 0x03, 0x07, 0xE7, 0x0E, 0x07, 0x09}},
    };
    for (const auto& c : cases) {
        seance().VersionID = static_cast<std::uint8_t>(c.version);
        ASSERT_TRUE(seance().WriteDateTime(dt)) << c.version;
        EXPECT_EQ(meter().Sent.back()[2], 8);
        EXPECT_EQ(LastData(), c.record) << c.version;
        const TMeterDateTime back = DecodeDateTime(c.version, c.record.data());
        EXPECT_EQ(FormatMeterDateTime(back), "05.03.2023 14:07:09") << c.version;
        EXPECT_EQ(back.Weekday, 6);
    }
}

TEST_F(Commands, ReadClockJobFormatsTheMeterTime) {
    seance().VersionID = 30;
    meter().Responder = [](const Bytes& request) {
        switch (request[2]) {
            case 3: return RawFrame(4, {30, 0, 0, 0, 0, 0, 0, 2});
            case 7: return RawFrame(7, {0x09, 0x07, 0x0E, 0x06, 0x05, 0x03, 0x17, 0x14});
            case 5: return RawFrame(5, {});
            default: return Bytes{};
        }
    };
    ASSERT_TRUE(seance().ReadClockJob());
    EXPECT_EQ(seance().MeterDateTimeText, "05.03.2023 14:07:09");
    EXPECT_EQ(job().OverallMax(), 1);
}

TEST_F(Commands, CurrencyPrecisionControlOptoChannels) {
    seance().CurrencyCode = "EU";
    ASSERT_TRUE(seance().SetCurrency());
    EXPECT_EQ(meter().Sent.back()[2], 18);
    EXPECT_EQ(LastData(), (Bytes{0x45, 0x55, 0x00}));
    seance().CurrencyCode = "RUBLES";
    ASSERT_TRUE(seance().SetCurrency());
    EXPECT_EQ(LastData(), (Bytes{'R', 'U', 'B'}));
    seance().CurrencyCode = "руб";
    ASSERT_TRUE(seance().SetCurrency());
    EXPECT_EQ(LastData(), (Bytes{0xF0, 0xF3, 0xE1}));  // single-byte Cyrillic

    seance().PrecisionCode = kPrecisionHundredthKopecks;
    ASSERT_TRUE(seance().SetPrecision());
    EXPECT_EQ(meter().Sent.back()[2], 17);
    EXPECT_EQ(LastData(), (Bytes{0x53}));

    ASSERT_TRUE(seance().SendControl(TControlCode::ContactorRelease));
    EXPECT_EQ(meter().Sent.back()[2], 14);
    EXPECT_EQ(LastData(), (Bytes{0x46}));
    EXPECT_EQ(job().Steps.back(), "Освобождение контактора (Попытка 1)...");

    ASSERT_TRUE(seance().SetOptoPort(true));
    EXPECT_EQ(LastData(), (Bytes{0x00}));
    ASSERT_TRUE(seance().SetOptoPort(false));
    EXPECT_EQ(LastData(), (Bytes{0x01}));
    EXPECT_EQ(meter().Sent.back()[2], 16);

    seance().ChannelSettings = {0, {true, false, true, false}};
    ASSERT_TRUE(seance().ManageChannels());
    EXPECT_EQ(meter().Sent.back()[2], 127);
    EXPECT_EQ(LastData(), (Bytes{0x57}));
}

TEST(ChannelFlags, Table) {
    struct Case {
        TChannelSettings s;
        std::uint8_t flags;
    } cases[] = {
        {{0, {false, false, false, false}}, 0x07}, {{0, {true, true, true, true}}, 0xF7},
        {{1, {false, true, true, true}}, 0x00},    {{1, {true, false, false, false}}, 0x08},
        {{2, {false, true, false, false}}, 0x09},  {{3, {false, false, true, false}}, 0x0A},
        {{4, {false, false, false, true}}, 0x0B},  {{4, {true, true, true, false}}, 0x03},
        {{9, {true, true, true, true}}, 0x00},
    };
    for (const auto& c : cases) EXPECT_EQ(ChannelFlags(c.s), c.flags) << int(c.s.Mode);
}

TEST_F(Commands, FailedCommandReportsAndCancelledCommandIsQuiet) {
    meter().Responder = nullptr;
    EXPECT_FALSE(seance().SendControl(TControlCode::ContactorOff));
    EXPECT_EQ(seance().ErrorText, "Таймаут операции");
    EXPECT_EQ(CommandFailureText(seance().ErrorText), "Произошла ошибка : Таймаут операции");
    meter().Sent.clear();
    UserCancelled = true;
    EXPECT_TRUE(seance().SendControl(TControlCode::ContactorOff));
    EXPECT_TRUE(meter().Sent.empty());
}

TEST_F(Commands, FactoryNumberNeedsNoSessionAndTriesOnce) {
    seance().SessionKey = {5, 6, 7, 8};
    meter().Responder = [](const Bytes& request) {
        return request == Bytes{0x7E, 0, 11, FrameCrc(Bytes{0, 11})} ? RawFrame(11, {0x00, 0x12, 0xD6, 0x87}) : Bytes{};
    };
    ASSERT_TRUE(seance().FactoryNumberJob());
    EXPECT_EQ(seance().ZNumber, 1234567u);
    EXPECT_EQ(meter().Purges, 2);
    EXPECT_EQ(job().Overall(), 1);
    EXPECT_EQ(job().Steps.front(), "Получение заводского номера (около 6 сек.)...");
    EXPECT_TRUE(job().Attempts.empty());

    meter().Sent.clear();
    meter().Responder = nullptr;
    EXPECT_FALSE(seance().FactoryNumberJob());
    EXPECT_EQ(meter().Sent.size(), 1u);
    EXPECT_EQ(seance().ErrorText, "Таймаут операции");
}

TEST_F(Commands, CommandJobSkeleton) {
    seance().VersionID = 30;
    int prepared = 0;
    seance().PrepareCommandJob = [&prepared] { ++prepared; return true; };
    std::vector<int> commands;
    meter().Responder = [&commands](const Bytes& request) {
        commands.push_back(request[2] & 0x7F);
        switch (request[2] & 0x7F) {
            case 3: return RawFrame(4, {30, 0, 0, 0, 0, 0, 0, 0});
            case 5: return RawFrame(5, {});
            default: return RawFrame(0, {});
        }
    };
    ASSERT_TRUE(seance().CardSupportJob());
    EXPECT_EQ(prepared, 1);
    EXPECT_EQ(commands, (std::vector<int>{3, 14, 8, 5}));
    EXPECT_EQ(job().OverallMax(), 3);

    // A failing command leaves the session open: no close is sent.
    commands.clear();
    meter().Responder = [&commands](const Bytes& request) {
        commands.push_back(request[2] & 0x7F);
        return (request[2] & 0x7F) == 3 ? RawFrame(4, {30, 0, 0, 0, 0, 0, 0, 0}) : RawFrame(1, {3});
    };
    EXPECT_FALSE(seance().ControlJob(TControlCode::Channel1On));
    EXPECT_EQ(commands, (std::vector<int>{3, 14, 14, 14, 14, 14}));
    EXPECT_EQ(seance().ErrorText, "Ошибка параметра");
}

TEST(Passwords, TextOfTheEditKeepsItsLow16Bits) {
    EXPECT_EQ(PasswordFromText("0"), 0);
    EXPECT_EQ(PasswordFromText("1234"), 1234);
    EXPECT_EQ(PasswordFromText("65536"), 0);
    EXPECT_EQ(PasswordFromText("70000"), 70000 - 65536);
    EXPECT_EQ(PasswordFromText("999999999"), 999999999 % 65536);
    EXPECT_EQ(PasswordFromText(""), 0);
    EXPECT_EQ(PasswordFromText("12a"), 0);
}

// --- area transfer ---------------------------------------------------------------

TEST_F(Commands, ReadRequestAndAreaTwoBelow) {
    Bytes area(1025);
    meter().Responder = Script({RawFrame(6, {1, 2, 3})});
    EXPECT_EQ(seance().ReadBlock(13, 300, area.data()), 3);
    EXPECT_EQ(LastData(), (Bytes{0x0D, 0x01, 0x2C}));
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 3), (Bytes{1, 2, 3}));

    // 16 is not supported: the same call asks for 14, once, and the bar stays.
    meter().Sent.clear();
    job().Attempts.clear();
    meter().Responder = Script({RawFrame(1, {1}), RawFrame(1, {1}), RawFrame(6, {9})});
    EXPECT_EQ(seance().ReadBlock(16, 2, area.data()), 1);
    ASSERT_EQ(meter().Sent.size(), 3u);
    EXPECT_EQ(SentData(meter().Sent[0]), (Bytes{16, 0, 2}));
    EXPECT_EQ(SentData(meter().Sent[1]), (Bytes{14, 0, 2}));
    EXPECT_EQ(SentData(meter().Sent[2]), (Bytes{14, 0, 2}));
    EXPECT_EQ(job().Attempts, (std::vector<int>{0}));

    // Areas 0 and 1 have nothing two below: the error simply costs attempts.
    for (int low : {0, 1}) {
        meter().Sent.clear();
        meter().Responder = [](const Bytes&) { return RawFrame(1, {1}); };
        EXPECT_EQ(seance().ReadBlock(low, 0, area.data()), -1);
        ASSERT_EQ(meter().Sent.size(), 5u);
        for (const auto& f : meter().Sent) EXPECT_EQ(SentData(f)[0], low);
        EXPECT_EQ(seance().ErrorText, "Указанная область в данной модификации счетчика не поддерживается");
    }
}

TEST_F(Commands, WritePasswordWordOrderFollowsTheVersion) {
    WritePassword = PasswordBytes(0x1234);
    const Bytes data{0xAA, 0xBB};
    for (int version : {2, 37, 16, 49}) {
        seance().VersionID = static_cast<std::uint8_t>(version);
        ASSERT_EQ(seance().WriteBlock(7, data.size(), data.data(), 0x0102), 0);
        const bool lowFirst = version == 37 || version == 49;
        const Bytes expected = lowFirst ? Bytes{7, 1, 2, 0x34, 0x12, 0xAA, 0xBB} : Bytes{7, 1, 2, 0x12, 0x34, 0xAA, 0xBB};
        EXPECT_EQ(LastData(), expected) << version;
    }
}

TEST_F(Commands, PasswordChangeModeSendsOldOnceThenNew) {
    WritePassword = PasswordBytes(0x0102);
    NewWritePassword = PasswordBytes(0x0A0B);
    PasswordChangeMode = true;
    PasswordUseCount = 0;
    seance().VersionID = 30;
    job().SetStepText("Запись");
    const Bytes data{0x55};
    meter().Responder = Script({{}, RawFrame(0, {}), RawFrame(0, {})});
    ASSERT_EQ(seance().WriteBlock(3, 1, data.data(), 0), 0);
    ASSERT_EQ(seance().WriteBlock(4, 1, data.data(), 0), 0);
    ASSERT_EQ(meter().Sent.size(), 3u);
    EXPECT_EQ(SentData(meter().Sent[0]), (Bytes{3, 0, 0, 0x01, 0x02, 0x55}));
    EXPECT_EQ(SentData(meter().Sent[1]), (Bytes{3, 0, 0, 0x0A, 0x0B, 0x55}));
    EXPECT_EQ(SentData(meter().Sent[2]), (Bytes{4, 0, 0, 0x0A, 0x0B, 0x55}));

    // Two attempts at most, numbered 1 and 2.
    meter().Sent.clear();
    job().Steps.clear();
    meter().Responder = nullptr;
    EXPECT_EQ(seance().WriteBlock(5, 1, data.data(), 0), -1);
    EXPECT_EQ(meter().Sent.size(), 2u);
    EXPECT_EQ(job().Steps, (std::vector<std::string>{"Запись (Попытка 1)...", "Запись (Попытка 2)..."}));
}

TEST_F(Commands, WriteBlockRefusesMoreThan250Bytes) {
    const Bytes big(251, 1);
    seance().VersionID = 4;  // sent unpacked, so the length byte shows the whole request
    seance().ErrorText.clear();
    EXPECT_EQ(seance().WriteBlock(3, big.size(), big.data(), 0), -1);
    EXPECT_TRUE(meter().Sent.empty());
    EXPECT_FALSE(seance().ErrorText.empty());
    EXPECT_EQ(seance().WriteBlock(3, 250, big.data(), 0), 0);
    EXPECT_EQ(meter().Sent.back()[1], 255);
}

TEST_F(Commands, WrongPasswordEndsInAccessError) {
    meter().Responder = [](const Bytes&) { return RawFrame(1, {5}); };
    const Bytes data{1};
    EXPECT_EQ(seance().WriteBlock(3, 1, data.data(), 0), -1);
    EXPECT_EQ(seance().ErrorText, "Ошибка доступа");
}

}  // namespace
