#include "startup/Startup.h"

#include "link/ComPort.h"
#include "shell/Configuration.h"
#include "shell/Globals.h"

#include <filesystem>
#include <system_error>

bool IsAdministratorCommandLine(const std::vector<std::string>& args) {
    return args.size() == 2 && args[0] == kAdministratorName && args[1] == kAdministratorPassword;
}

TResolvedFolders ResolveFolders(const std::string& networkFolder, const std::string& programDir) {
    TResolvedFolders f;
    std::string prefix = programDir;
    if (!networkFolder.empty()) {
        std::error_code ec;
        if (std::filesystem::is_directory(networkFolder, ec))
            prefix = networkFolder;
        else
            f.NetworkFolderMissing = true;
    }
    f.Database = prefix + kDatabaseFolderName;
    f.Templates = prefix + kTemplatesFolderName;
    f.Protocols = prefix + kProtocolsFolderName;
    return f;
}

std::string MissingNetworkFolderText(const std::string& networkFolder) {
    return "Указанная сетевая папка (" + networkFolder + ") не существует. Будет использоваться локальная БД.";
}

void TStartup::EvaluateCommandLine(const std::vector<std::string>& args) {
    AdministratorMode = IsAdministratorCommandLine(args);
}

bool TStartup::LoadConfiguration(const std::string& programHome) {
    programHome_ = programHome;
    if (!Configuration) Configuration = new TConfiguration(programHome + "Olmar32.ini");

    const TResolvedFolders folders = ResolveFolders(Configuration->NetworkFolder, programHome);
    DatabaseFolder = folders.Database;
    TemplatesFolder = folders.Templates;
    ProtocolsFolder = folders.Protocols;
    if (folders.NetworkFolderMissing) ui_.ShowMessage(MissingNetworkFolderText(Configuration->NetworkFolder));

    ui_.ShowStep("Проверка версии программы...");
    if (Configuration->MajorVersion < TConfiguration::CurrentMajorVersion) {
        ResetDictionary();
        Configuration->MajorVersion = TConfiguration::CurrentMajorVersion;
        Configuration->Save();
    }
    return true;
}

void TStartup::ResetDictionary() {
    // The database module regenerates the dictionary tables when they are missing.
    // Hook filled in by the database layer.
}

bool TStartup::OpenPort(const std::string& portOverride) {
    const std::string name = portOverride.empty() ? Configuration->ComName : portOverride;
    ComPort = new TComPort(name, 1024, 1024);
    if (ComPort->ErrorCode != 0) {
        if (!ui_.AskIgnore(ComPort->ErrorText)) {
            delete ComPort;
            ComPort = nullptr;
            delete Configuration;
            Configuration = nullptr;
            return false;
        }
        return true;  // go on with the port closed
    }
    if (ComPort->Configure(Configuration->ComBaudRate, 8, TComPort::Parity::None, TComPort::StopBits::One)) {
        if (!ui_.AskIgnore(ComPort->ErrorText)) {
            delete ComPort;
            ComPort = nullptr;
            delete Configuration;
            Configuration = nullptr;
            return false;
        }
        return true;
    }
    ComPort->SetDTR(false);
    ComPort->SetRTS(true);
    return true;
}

bool TStartup::OpenDatabase() {
    ui_.ShowStep("Подключение к БД...");
    return true;
}

bool TStartup::CreateSessions() { return true; }

void TStartup::Shutdown() {
    delete ComPort;
    ComPort = nullptr;
    delete Configuration;
    Configuration = nullptr;
}
