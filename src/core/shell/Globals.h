#pragma once
// Process-wide values fixed at start-up. The single long-lived objects of the
// other subsystems are declared beside their classes (ComPort, CounterSeance, ...).

#include <string>

class TConfiguration;

// True when the command line carried the built-in administrator pair.
extern bool AdministratorMode;
// Folders without a trailing separator, resolved at start-up.
extern std::string DatabaseFolder;
extern std::string TemplatesFolder;
extern std::string ProtocolsFolder;

// The single configuration object; null before start-up creates it.
extern TConfiguration* Configuration;

// Initial texts of the three folders, before start-up resolves them.
inline constexpr const char* kDatabaseFolderName = "Database";
inline constexpr const char* kTemplatesFolderName = "Шаблоны протоколов параметризации";
inline constexpr const char* kProtocolsFolderName = "Протоколы параметризации";

// The built-in administrator pair of the command line.
inline constexpr const char* kAdministratorName = "SYSDBA";
inline constexpr const char* kAdministratorPassword = "plumtreesOakVNW";
