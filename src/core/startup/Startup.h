#pragma once
// Start-up and shutdown steps shared by the desktop program and olmar-cli. The
// user-interface side (splash, message boxes) is behind TStartupUi, so the same
// order runs with windows, on a terminal and in tests.

#include <string>
#include <vector>

class TConfiguration;

class TStartupUi {
public:
    virtual ~TStartupUi() = default;
    // Shows the current start-up step (splash label or a progress line).
    virtual void ShowStep(const std::string& text) { (void)text; }
    // A plain message; start-up continues once it is acknowledged.
    virtual void ShowMessage(const std::string& text) { (void)text; }
    // An error box with OK and Ignore. True means Ignore: go on with the port closed.
    virtual bool AskIgnore(const std::string& text) { (void)text; return false; }
    // An unexpected failure that ends start-up.
    virtual void ShowFatal(const std::string& text) { (void)text; }
    // Progress of a long step (the database check): position of maximum.
    virtual void ShowProgress(int position, int maximum) { (void)position; (void)maximum; }
};

// True when and only when there are exactly two arguments and they are the
// built-in administrator pair (case-sensitive). `args` excludes the program name.
bool IsAdministratorCommandLine(const std::vector<std::string>& args);

struct TResolvedFolders {
    std::string Database;
    std::string Templates;
    std::string Protocols;
    bool NetworkFolderMissing = false;
};

// The three folders from NetworkFolder and the program directory (which ends with
// a separator). NetworkFolder is a prefix used as it is: without a trailing
// separator the folder names are glued to its last element.
TResolvedFolders ResolveFolders(const std::string& networkFolder, const std::string& programDir);

// The message shown when the configured network folder does not exist.
std::string MissingNetworkFolderText(const std::string& networkFolder);

// Steps of the core start-up, in their fixed order. Each returns false when
// start-up must end (the caller then exits without further windows).
class TStartup {
public:
    explicit TStartup(TStartupUi& ui) : ui_(ui) {}

    // Step 1: evaluate the command line; sets AdministratorMode.
    void EvaluateCommandLine(const std::vector<std::string>& args);
    // Steps 5-7: configuration, folders, dictionary generation check.
    bool LoadConfiguration(const std::string& programHome);
    // Steps 8-10: open and configure the port; OK/Ignore on failure.
    // `portOverride`, when not empty, is used in place of ComName for this run.
    bool OpenPort(const std::string& portOverride = {});
    // Step 11: the database module (created, checked, upgraded). On failure the
    // fixed message goes to ShowFatal and the cause to LastErrorDetail().
    bool OpenDatabase();
    // Step 12: user, meter session, programmer session, print manager.
    bool CreateSessions();

    // Shutdown in its fixed order: user, print manager, meter session, programmer
    // session, serial port, configuration, then the database module (after a
    // value writer still running has written its queue). Safe to call after a
    // partial start-up.
    void Shutdown();

    const std::string& ProgramHomeDir() const { return programHome_; }
    // Why the last step failed, for a log or a terminal (the user sees the fixed text).
    const std::string& LastErrorDetail() const { return lastErrorDetail_; }

private:
    // The dictionary reset of step 7; false when the database could not be reached
    // (the generation is then not marked as done).
    bool ResetDictionary();
    TStartupUi& ui_;
    std::string programHome_;
    std::string lastErrorDetail_;
};
