#include "startup/Startup.h"

#include "admin/User.h"
#include "db/DataBaseModule.h"
#include "db/ValueStore.h"
#include "link/ComPort.h"
#include "link/CounterSeance.h"
#include "sessions/Sessions.h"
#include "shell/Configuration.h"
#include "shell/Globals.h"

#include <exception>
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
    if (Configuration->MajorVersion < TConfiguration::CurrentMajorVersion && ResetDictionary()) {
        Configuration->MajorVersion = TConfiguration::CurrentMajorVersion;
        Configuration->Save();
    }
    return true;
}

bool TStartup::ResetDictionary() {
    // Only deletes: the database module regenerates the missing dictionary tables at
    // step 11 and puts the versions' hidden flags back. A database that cannot be
    // reached now is reported by step 11; the reset is then tried again next start.
    std::string error;
    if (TDataBaseModule::ResetDictionary(DatabaseFolder, &error)) return true;
    lastErrorDetail_ = error;
    return false;
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
    lastErrorDetail_.clear();
    try {
        if (!DataBaseModule)
            DataBaseModule = new TDataBaseModule(DatabaseFolder, [this](const std::string& text, int position, int maximum) {
                ui_.ShowStep(text);
                ui_.ShowProgress(position, maximum);
            });
        ui_.ShowProgress(0, static_cast<int>(TDataBaseModule::CheckedTableNames().size()));
        if (!DataBaseModule->CheckTables()) {
            lastErrorDetail_ = DataBaseModule->LastError();
            DataBaseModule->SetProgress({});
            ui_.ShowFatal("Ошибка при проверке таблиц БД");
            return false;
        }
        // The splash goes away after start-up; the module must not call into it later.
        DataBaseModule->SetProgress({});
    } catch (const std::exception& e) {
        if (DataBaseModule) DataBaseModule->SetProgress({});
        lastErrorDetail_ = e.what();
        ui_.ShowFatal("Ошибка при попытке проверки БД");
        return false;
    }
    return true;
}

bool TStartup::CreateSessions() {
    User = new TUser(DataBaseModule ? &DataBaseModule->Db() : nullptr);
    // The single meter session, on the one port (which may be closed).
    CounterSeance = new TCounterSeance(0, "", 0);
    CounterSeance->Port = ComPort;
    // Command jobs load the selected meter's task and identifier before opening.
    InstallSessionHooks(*CounterSeance);
    return true;
}

void TStartup::Shutdown() {
    delete User;  // ends an open work session first
    User = nullptr;
    delete CounterSeance;
    CounterSeance = nullptr;
    delete ComPort;
    ComPort = nullptr;
    delete Configuration;
    Configuration = nullptr;
    // A writer still running (olmar-cli has no logout) stores what it was given
    // before the database goes.
    StopWriteThread(true);
    delete DataBaseModule;
    DataBaseModule = nullptr;
}
