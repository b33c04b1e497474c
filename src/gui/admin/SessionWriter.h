#pragma once
// The background value writer of a user's work session, as the main window starts
// and stops it at login and logout.
#include <QString>

class TMainFrm;

// Starts the writer on the program's database. Its reports are posted to the
// user-interface thread and never waited for, so stopping it cannot deadlock.
// False, with the reason in `error`, when its connection could not be opened.
// Without a database module there is nothing to write into: true, no writer.
bool StartSessionWriter(TMainFrm* mainFrm, bool higherPriority, QString* error = nullptr);
// Stops the writer; values still queued are discarded (the user agreed to lose them).
// Their number.
int StopSessionWriter();
