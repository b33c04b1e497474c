#pragma once
// Pictures of the commands and windows, drawn here so the program needs no picture files.
#include "shell/ActionGates.h"

#include <QIcon>

// The picture of a main-window command.
QIcon ActionIcon(TAction action);

// Pictures of child windows on their tabs and of the status bar.
enum class TWindowIcon { Window, Users, Journal, Counters, Report, Session };
QIcon WindowIcon(TWindowIcon kind);

// The program's own icon (a meter with a display).
QIcon ProgramIcon();
