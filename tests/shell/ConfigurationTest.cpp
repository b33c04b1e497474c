#include "shell/Configuration.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

TEST(Configuration, DefaultsWithoutFile) {
    TempHome home;
    TConfiguration c(home.File("Olmar32.ini"));
    EXPECT_EQ(c.ComName, "COM1");
    EXPECT_EQ(c.ComBaudRate, 1200);
    EXPECT_EQ(c.Delay, 6000);
    EXPECT_EQ(c.PacketDelay, 1500);
    EXPECT_TRUE(c.SetTime);
    EXPECT_FALSE(c.UseTransformationKoefs);
    EXPECT_EQ(c.MajorVersion, 0);
    EXPECT_EQ(c.Norvel8KoefsID, 2);
    EXPECT_EQ(c.Norvel8CurrentKoefOffset, 91);
    EXPECT_EQ(c.Norvel9VoltageKoefOffset, 56);
    EXPECT_EQ(c.Norvel9NewKoefsID, 3);
    EXPECT_EQ(c.DisplayMask, "0000000.000");
    EXPECT_EQ(c.ProtocolNumber, 1);
    EXPECT_FALSE(c.Logging);
    EXPECT_TRUE(c.UpdatePath.ends_with("/Update.ini"));
    EXPECT_FALSE(std::filesystem::exists(home.File("Olmar32.ini"))) << "loading creates nothing";
}

TEST(Configuration, SaveWritesKeysInOrderAndNeverTheNorvelSections) {
    TempHome home;
    TConfiguration c(home.File("Olmar32.ini"));
    c.SetTime = false;
    c.LastUser = "Иванов";
    ASSERT_TRUE(c.Save());
    const std::string file = home.Read("Olmar32.ini");
    EXPECT_EQ(file,
              "[Configuration]\nComName=COM1\nDelay=6000\nPacketDelay=1500\nComBaudRate=1200\n"
              "UseTransformationKoefs=0\nSetTime=0\nMajorVersion=0\nNetworkFolder=\n"
              "Logging=0\nLastUser=Иванов\nUpdatePath=" + std::string(TConfiguration::DefaultUpdatePath) + "\n\n"
              "[Parametrization]\nTarificationType=0\nDoSeance=0\nProtocolNumber=1\nDisplayMask=0000000.000\n");
    TConfiguration again(home.File("Olmar32.ini"));
    EXPECT_FALSE(again.SetTime);
    EXPECT_EQ(again.LastUser, "Иванов");
}

TEST(Configuration, HandMadeNorvelSectionChangesOnlyItsKeyAndSurvivesSave) {
    TempHome home;
    home.Write("Olmar32.ini", "[Norvel9New]\nCurrentKoefOffset=20\n");
    TConfiguration c(home.File("Olmar32.ini"));
    EXPECT_EQ(c.Norvel9NewCurrentKoefOffset, 20);
    EXPECT_EQ(c.Norvel9NewKoefsID, 3);
    EXPECT_EQ(c.Norvel9NewVoltageKoefOffset, 9);
    EXPECT_EQ(c.Norvel9CurrentKoefOffset, 63);
    c.MajorVersion = 22;
    ASSERT_TRUE(c.Save());
    ASSERT_TRUE(c.Save());
    const std::string file = home.Read("Olmar32.ini");
    EXPECT_EQ(file.rfind("[Norvel9New]\nCurrentKoefOffset=20\n", 0), 0u) << file;
    EXPECT_EQ(file.find("[Norvel8]"), std::string::npos);
    EXPECT_EQ(file.find("[Norvel9]"), std::string::npos);
    EXPECT_EQ(TConfiguration(home.File("Olmar32.ini")).MajorVersion, 22);
}

TEST(Configuration, UnknownKeysAndCommentsSurviveSave) {
    TempHome home;
    home.Write("Olmar32.ini",
               "; настроено техником\n[Configuration]\nComName=COM3\nOperator=Петров\n[Extra]\nA=1\n");
    TConfiguration c(home.File("Olmar32.ini"));
    EXPECT_EQ(c.ComName, "COM3");
    c.ComName = "COM4";
    ASSERT_TRUE(c.Save());
    const std::string file = home.Read("Olmar32.ini");
    EXPECT_NE(file.find("; настроено техником"), std::string::npos);
    EXPECT_NE(file.find("Operator=Петров"), std::string::npos);
    EXPECT_NE(file.find("[Extra]\nA=1"), std::string::npos);
    EXPECT_NE(file.find("ComName=COM4"), std::string::npos);
    EXPECT_EQ(file.find("COM3"), std::string::npos);
}

TEST(Configuration, BadValuesGiveDefaults) {
    struct Case { const char* line; };
    TempHome home;
    home.Write("Olmar32.ini",
               "[Configuration]\nDelay=abc\nPacketDelay=70000\nComBaudRate=9600x\nSetTime=0\n"
               "Logging=5\nMajorVersion=-3\n[Parametrization]\nProtocolNumber=\n");
    TConfiguration c(home.File("Olmar32.ini"));
    EXPECT_EQ(c.Delay, 6000);
    EXPECT_EQ(c.PacketDelay, 1500) << "out of the 16-bit range";
    EXPECT_EQ(c.ComBaudRate, 1200);
    EXPECT_FALSE(c.SetTime);
    EXPECT_TRUE(c.Logging) << "any integer other than 0 is true";
    EXPECT_EQ(c.MajorVersion, -3);
    EXPECT_EQ(c.ProtocolNumber, 1);
}

TEST(Configuration, ReadsCp1251Lines) {
    TempHome home;
    // "Сидоров" in CP1251, as an old Windows editor would have saved it.
    home.Write("Olmar32.ini", "[Configuration]\nLastUser=\xD1\xE8\xE4\xEE\xF0\xEE\xE2\n");
    TConfiguration c(home.File("Olmar32.ini"));
    EXPECT_EQ(c.LastUser, "Сидоров");
}

}  // namespace
