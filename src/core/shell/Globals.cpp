#include "shell/Globals.h"

bool AdministratorMode = false;
std::string DatabaseFolder = kDatabaseFolderName;
std::string TemplatesFolder = kTemplatesFolderName;
std::string ProtocolsFolder = kProtocolsFolderName;
TConfiguration* Configuration = nullptr;
