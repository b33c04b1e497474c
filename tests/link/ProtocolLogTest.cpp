// The two protocol logs: written beside the program only when Logging is on.
#include "LinkFakes.h"

#include "shell/Configuration.h"
#include "shell/Globals.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class ProtocolLog : public ::testing::Test {
protected:
    ProtocolLog() : config_(home_.File("Olmar32.ini")) {
        const char* old = std::getenv("OLMAR_HOME");
        if (old) oldHome_ = old;
        setenv("OLMAR_HOME", home_.Dir().c_str(), 1);
        Configuration = &config_;
    }
    ~ProtocolLog() override {
        Configuration = nullptr;
        if (oldHome_.empty()) unsetenv("OLMAR_HOME");
        else setenv("OLMAR_HOME", oldHome_.c_str(), 1);
    }
    // A session opened and closed on a meter that first sends two noise bytes.
    void OpenAndClose() {
        LinkFixtureState s;
        ScopedJob scope(s.Job);
        s.Seance.VersionID = 2;
        s.Seance.CounterID = 17;
        s.Seance.ZNumber = 123;
        Bytes noisy{0x00, 0xA5};
        const Bytes open = RawFrame(4, {2, 0, 0, 0, 0, 0, 0, 0});
        noisy.insert(noisy.end(), open.begin(), open.end());
        s.Meter.Responder = Script({noisy, RawFrame(5, {})});
        ASSERT_TRUE(s.Seance.OpenSeance());
        s.Seance.CloseSeance();
    }

    TempHome home_;
    std::string oldHome_;
    TConfiguration config_;
};

TEST_F(ProtocolLog, NothingIsWrittenWhileLoggingIsOff) {
    OpenAndClose();
    EXPECT_FALSE(std::filesystem::exists(home_.File("log.txt")));
    EXPECT_FALSE(std::filesystem::exists(home_.File("logCOM.txt")));
}

TEST_F(ProtocolLog, SessionAndByteLines) {
    config_.Logging = true;
    OpenAndClose();
    EXPECT_EQ(home_.Read("log.txt"),
              "\r\nОткрытие сеанса со счетчиком: ID = 17, Version = 2, ZNumber=123, InternalID = 0\r\n"
              "Сеанс открыт\r\nСеанс закрыт\r\n");
    const std::string com = home_.Read("logCOM.txt");
    EXPECT_NE(com.find("Send >>  7E 08 03 00 00 00 7B 00 00 00 00 CE\r\n"), std::string::npos) << com;
    EXPECT_NE(com.find("Получен байт 0: \r\nПолучен байт A5: \r\nПолучен байт 7E: \r\n"), std::string::npos) << com;
    EXPECT_NE(com.find("Recv <<  7E 08 04 02 00 00 00 00 00 00 00 02\r\n"), std::string::npos) << com;
    EXPECT_NE(com.find("Send >>  7E 00 05 3F\r\n"), std::string::npos) << com;
    EXPECT_NE(com.find("Recv <<  7E 00 05 3F\r\n"), std::string::npos) << com;
}

}  // namespace
