#pragma once
#include <string>

// The program home: the folder of Olmar32.ini, Database/, the protocol logs and
// Updates/. $OLMAR_HOME when set, else the folder of the executable. Always ends
// with '/'.
std::string ProgramHome();

// Folder of the running executable, with a trailing '/'.
std::string ExecutableFolder();
