#pragma once
// All settings of the program: the file "Olmar32.ini" in the program home.

#include <cstdint>
#include <string>

class TConfiguration {
public:
    // Fills the defaults, then loads the file over them. `path` defaults to
    // ProgramHome() + "Olmar32.ini".
    TConfiguration();
    explicit TConfiguration(std::string path);

    void Load();
    // Writes the writable keys; the three Norvel sections are never written.
    // A failure to write is not reported to the user; the result says whether it worked.
    bool Save();

    const std::string& FileName() const { return fileName_; }

    // Fields in their declared order.
    std::uint16_t Delay = 6000;
    std::uint16_t PacketDelay = 1500;
    std::string ComName = "COM1";
    std::int32_t ComBaudRate = 1200;
    bool UseTransformationKoefs = false;
    bool SetTime = true;
    std::int32_t Norvel8KoefsID = 2;
    std::int32_t Norvel8CurrentKoefOffset = 91;
    std::int32_t Norvel8VoltageKoefOffset = 84;
    std::int32_t Norvel9KoefsID = 2;
    std::int32_t Norvel9CurrentKoefOffset = 63;
    std::int32_t Norvel9VoltageKoefOffset = 56;
    std::int32_t Norvel9NewKoefsID = 3;
    std::int32_t Norvel9NewCurrentKoefOffset = 16;
    std::int32_t Norvel9NewVoltageKoefOffset = 9;
    std::int32_t MajorVersion = 0;
    std::string NetworkFolder;
    std::int32_t TarificationType = 0;
    bool DoSeance = false;
    std::int32_t ProtocolNumber = 1;
    std::string DisplayMask = "0000000.000";
    bool Logging = false;
    std::string LastUser;
    std::string UpdatePath = DefaultUpdatePath;

    static constexpr const char* DefaultUpdatePath = "http://update.olmar.local/Update.ini";
    // Dictionary generation this program expects.
    static constexpr std::int32_t CurrentMajorVersion = 22;

private:
    std::string fileName_;
};
