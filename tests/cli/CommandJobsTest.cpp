// The window-free rules of the meter commands and measurement displays.
#include "sessions/CommandJobs.h"

#include <gtest/gtest.h>

#include <map>

namespace {
using namespace commandjobs;
using A = TAction;

TEST(CommandJobs, VersionChecks) {
    struct Case {
        TAction Action;
        int Version;
        int Revision;
        bool Allowed;
    };
    const Case cases[] = {
        {A::acSetCurrency, 30, 0, false},       {A::acSetCurrency, 44, 0, true},
        {A::acSetCurrency, 47, 0, true},        {A::acSetCurrency, 48, 0, false},
        {A::acOffContactor, 16, 0, false},      {A::acRelaxContactor, 30, 0, true},
        {A::acSetCard, 10, 0, false},           {A::acSetCard, 11, 0, true},
        {A::acOnChannel1, 44, 0, true},         {A::acOnChannel2, 44, 0, false},
        {A::acOffOptoPort, 42, 0, true},        {A::acOnOptoPort, 21, 0, false},
        {A::acManageChannels, 36, 316, true},   {A::acManageChannels, 36, 314, false},
        {A::acGetCounterDateTime, 200, 0, true}, {A::acSetCorrectlyRange, 1, 0, true},
        {A::acGetPower, 44, 0, false},          {A::acGetPower, 36, 0, true},
        {A::acVector, 2, 0, true},              {A::acGetOnlyPower, 42, 0, false},
        {A::acGetOnlyPower, 36, 0, false},      {A::acGetOnlyVoltage, 42, 0, true},
        {A::acGetOnlyCurrent, 37, 0, false},    {A::acGetOnlyEnergy_1, 22, 0, true},
        {A::acGetEnergyByMin, 36, 0, false},    {A::acGetEnergyByMin, 49, 0, true},
        {A::acSeance, 36, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommandAllowed(c.Action, c.Version, c.Revision), c.Allowed)
            << ActionInfo(c.Action).Name << " version " << c.Version << " revision " << c.Revision;
}

TEST(CommandJobs, CurrencyRefusals) {
    EXPECT_EQ(CurrencyRefusal(""), std::optional<std::string>(kNoCurrencyText));
    EXPECT_EQ(CurrencyRefusal("  "), std::optional<std::string>(kNoCurrencyText));
    EXPECT_EQ(CurrencyRefusal("RUB"), std::nullopt);
    EXPECT_EQ(CurrencyRefusal("руб"), std::nullopt);  // three characters of the meter's code page
    EXPECT_TRUE(CurrencyRefusal("EURO").has_value());
    EXPECT_TRUE(CurrencyRefusal("中").has_value());
}

TEST(CommandJobs, SuccessAndFailureTexts) {
    TCounterSeance s;
    s.ZNumber = 12345678;
    s.ErrorText = "Таймаут операции";
    EXPECT_EQ(CommandSuccessText(A::acGetZNumber, s), "Номер получен : 12345678!");
    EXPECT_EQ(CommandSuccessText(A::acOnChannel2, s), "Канал 2 включен!");
    EXPECT_EQ(CommandFailureMessage(A::acSetCurrency, s), "Произошла ошибка при установке вида валюты!");
    EXPECT_EQ(CommandFailureMessage(A::acOffContactor, s), "Произошла ошибка : Таймаут операции");
    EXPECT_EQ(CommandFailureMessage(A::acGetOnlyCurrent, s), kMeasurementFailedText);
    EXPECT_EQ(CommandSuccessText(A::acGetPower, s), "");
}

TEST(CommandJobs, ChannelBoxesFollowTheChoice) {
    for (int channel = 1; channel <= 4; ++channel) {
        EXPECT_TRUE(ChannelSwitchEnabled(0, channel));
        for (int mode = 1; mode <= 4; ++mode) EXPECT_EQ(ChannelSwitchEnabled(mode, channel), mode == channel);
    }
}

std::map<std::string, std::string> ByName(const std::vector<TMeasuredValue>& values) {
    std::map<std::string, std::string> out;
    for (const auto& v : values) out[v.Name] = v.Text;
    return out;
}

TEST(CommandJobs, MeasuredValuesByMode) {
    MeasurementRecord = {};
    MeasurementRecord.Voltage1 = 230.04;
    MeasurementRecord.Current1 = 1.2345;
    MeasurementRecord.ActivePower = 276.1;
    MeasurementRecord.Frequency = 49.96;
    PhaseRecord = {};
    PhaseRecord.Voltage1 = 229.5;
    PhaseRecord.Current1 = 4.8;
    PhaseRecord.Frequency1 = 5001;
    PhaseRecord.CosFi1 = 9;
    MomentRecord = {};
    MomentRecord.Voltage2 = 231.0;

    auto full = ByName(MeasuredValues(0, false, 2.0, 1.0));
    EXPECT_EQ(full["voltage1"], "230.0");
    EXPECT_EQ(full["current1"], "1.234");  // three decimals, rounded as printf does
    EXPECT_EQ(full["active_power"], "276.1000");
    EXPECT_EQ(full["frequency"], "50.0");
    EXPECT_EQ(full["voltage_koef"], "2.0");

    auto phase = ByName(MeasuredValues(0, true, 1.0, 1.0));
    EXPECT_EQ(phase["voltage1"], "229.50");
    EXPECT_EQ(phase["frequency1"], "50.0");
    EXPECT_EQ(phase["cos_fi1"], "0.900");
    EXPECT_EQ(phase.count("active_power"), 0u);

    // Mode 4 uses the single-panel page on every meter and shows only currents.
    auto currents = ByName(MeasuredValues(4, true, 1.0, 1.0));
    EXPECT_EQ(currents["current1"], "1.234");
    EXPECT_EQ(currents.count("voltage1"), 0u);
    EXPECT_EQ(currents.count("active_power"), 0u);

    // Momentary of version 1 (mode 1): the momentary record, no frequency or phase;
    // mode 5 on a per-phase meter hides frequency and cos φ.
    auto moment = ByName(MeasuredValues(PowerDialogMode(A::acGetMomentPower, 1), false, 1.0, 1.0));
    EXPECT_EQ(moment["voltage2"], "231.0");
    EXPECT_EQ(moment.count("frequency"), 0u);
    auto moment5 = ByName(MeasuredValues(PowerDialogMode(A::acGetMomentPower, 36), true, 1.0, 1.0));
    EXPECT_EQ(moment5["voltage1"], "229.50");
    EXPECT_EQ(moment5.count("frequency1"), 0u);
    EXPECT_EQ(moment5.count("cos_fi1"), 0u);
}

TEST(CommandJobs, EnergyMessages) {
    ConsumptionRecord.Values = {1000.5, 2, 3, 4, 5, 6};
    EXPECT_EQ(EnergyMessage(A::acGetOnlyEnergy, 1), "Вся потребленная энергия : 1000.500 Вт*ч!");
    EXPECT_EQ(EnergyMessage(A::acGetOnlyEnergy, 2),
              "Вся энергия :\r\nАктивная \"+\" : 1000.500 Вт*ч;\r\nАктивная \"-\" : 2.000 Вт*ч;\r\n"
              "Реактивная \"+\" : 3.000 Вар*ч;\r\nРеактивная \"-\" : 4.000 Вар*ч;");
    const std::string six = EnergyMessage(A::acGetOnlyEnergy, 36);
    EXPECT_NE(six.find("\r\nРеактивная IV кв. : 6.000 Вар*ч;"), std::string::npos) << six;
    EXPECT_EQ(EnergyMessage(A::acGetOnlyEnergy, 21), "");
    EXPECT_EQ(EnergyMessage(A::acGetOnlyEnergy_1, 36), "");
    MinuteInterval = 15;
    EXPECT_EQ(EnergyMessage(A::acGetEnergyByMin, 22).rfind("Энергия за 15 мин:\r\nАктивная \"+\"", 0), 0u);
}

TEST(CommandJobs, DiagramVectors) {
    TMeasurementRecord m;
    m.Voltage1 = 230;
    m.Voltage2 = 115;
    m.Voltage3 = 0;
    m.Current1 = 5;
    m.Current2 = 0.1;
    m.Current3 = 0;
    m.PhaseAngle = 350;  // drawn as -10
    std::map<std::string, TDiagramVector> v;
    for (const auto& d : DiagramVectors(36, m)) v[d.Label] = d;
    EXPECT_EQ(v.count("Uc"), 0u);
    EXPECT_EQ(v.count("Ic"), 0u);
    EXPECT_DOUBLE_EQ(v["Ub"].AngleDegrees, 120);
    EXPECT_DOUBLE_EQ(v["Ia"].AngleDegrees, 10);
    EXPECT_DOUBLE_EQ(v["Ib"].AngleDegrees, 130);
    ASSERT_TRUE(v["Ib"].ArcFromDegrees.has_value());
    EXPECT_DOUBLE_EQ(*v["Ib"].ArcFromDegrees, 120);

    std::map<std::string, TDiagramVector> two;
    m.Voltage3 = 100;
    m.Current3 = 1;
    m.PhaseAngle = 0;
    for (const auto& d : DiagramVectors(2, m)) two[d.Label] = d;
    EXPECT_EQ(two.size(), 4u);
    EXPECT_DOUBLE_EQ(two["Uab"].AngleDegrees, 30);
    EXPECT_DOUBLE_EQ(two["Ubc"].AngleDegrees, 270);
    EXPECT_DOUBLE_EQ(two["Ic"].AngleDegrees, 120);
    EXPECT_FALSE(two["Ia"].ArcFromDegrees.has_value());

    // A set whose largest value is 0 is not drawn at all.
    TMeasurementRecord none;
    EXPECT_TRUE(DiagramVectors(36, none).empty());
}

}  // namespace
