#include "shell/Configuration.h"

#include "shell/IniFile.h"
#include "shell/ProgramHome.h"

namespace {
constexpr const char* kConf = "Configuration";
constexpr const char* kPar = "Parametrization";
}

TConfiguration::TConfiguration() : TConfiguration(ProgramHome() + "Olmar32.ini") {}

TConfiguration::TConfiguration(std::string path) : fileName_(std::move(path)) { Load(); }

void TConfiguration::Load() {
    TIniFile ini(fileName_);
    auto i32 = [&](const char* section, const char* key, std::int32_t def) {
        return static_cast<std::int32_t>(ini.ReadInteger(section, key, def));
    };
    auto u16 = [&](const char* section, const char* key, std::uint16_t def) {
        return static_cast<std::uint16_t>(ini.ReadInteger(section, key, def, 0, 65535));
    };
    ComName = ini.ReadString(kConf, "ComName", ComName);
    Delay = u16(kConf, "Delay", Delay);
    PacketDelay = u16(kConf, "PacketDelay", PacketDelay);
    ComBaudRate = i32(kConf, "ComBaudRate", ComBaudRate);
    UseTransformationKoefs = ini.ReadBool(kConf, "UseTransformationKoefs", UseTransformationKoefs);
    SetTime = ini.ReadBool(kConf, "SetTime", SetTime);
    Norvel8KoefsID = i32("Norvel8", "KoefsID", Norvel8KoefsID);
    Norvel8CurrentKoefOffset = i32("Norvel8", "CurrentKoefOffset", Norvel8CurrentKoefOffset);
    Norvel8VoltageKoefOffset = i32("Norvel8", "VoltageKoefOffset", Norvel8VoltageKoefOffset);
    Norvel9KoefsID = i32("Norvel9", "KoefsID", Norvel9KoefsID);
    Norvel9CurrentKoefOffset = i32("Norvel9", "CurrentKoefOffset", Norvel9CurrentKoefOffset);
    Norvel9VoltageKoefOffset = i32("Norvel9", "VoltageKoefOffset", Norvel9VoltageKoefOffset);
    Norvel9NewKoefsID = i32("Norvel9New", "KoefsID", Norvel9NewKoefsID);
    Norvel9NewCurrentKoefOffset = i32("Norvel9New", "CurrentKoefOffset", Norvel9NewCurrentKoefOffset);
    Norvel9NewVoltageKoefOffset = i32("Norvel9New", "VoltageKoefOffset", Norvel9NewVoltageKoefOffset);
    MajorVersion = i32(kConf, "MajorVersion", MajorVersion);
    NetworkFolder = ini.ReadString(kConf, "NetworkFolder", NetworkFolder);
    TarificationType = i32(kPar, "TarificationType", TarificationType);
    DoSeance = ini.ReadBool(kPar, "DoSeance", DoSeance);
    ProtocolNumber = i32(kPar, "ProtocolNumber", ProtocolNumber);
    DisplayMask = ini.ReadString(kPar, "DisplayMask", DisplayMask);
    Logging = ini.ReadBool(kConf, "Logging", Logging);
    LastUser = ini.ReadString(kConf, "LastUser", LastUser);
    UpdatePath = ini.ReadString(kConf, "UpdatePath", UpdatePath);
}

bool TConfiguration::Save() {
    // Start from the file as it is now, so hand-made sections and keys survive.
    TIniFile ini(fileName_);
    ini.Write(kConf, "ComName", ComName);
    ini.WriteInteger(kConf, "Delay", Delay);
    ini.WriteInteger(kConf, "PacketDelay", PacketDelay);
    ini.WriteInteger(kConf, "ComBaudRate", ComBaudRate);
    ini.WriteBool(kConf, "UseTransformationKoefs", UseTransformationKoefs);
    ini.WriteBool(kConf, "SetTime", SetTime);
    ini.WriteInteger(kConf, "MajorVersion", MajorVersion);
    ini.Write(kConf, "NetworkFolder", NetworkFolder);
    ini.WriteInteger(kPar, "TarificationType", TarificationType);
    ini.WriteBool(kPar, "DoSeance", DoSeance);
    ini.WriteInteger(kPar, "ProtocolNumber", ProtocolNumber);
    ini.Write(kPar, "DisplayMask", DisplayMask);
    ini.WriteBool(kConf, "Logging", Logging);
    ini.Write(kConf, "LastUser", LastUser);
    ini.Write(kConf, "UpdatePath", UpdatePath);
    return ini.Flush();
}
