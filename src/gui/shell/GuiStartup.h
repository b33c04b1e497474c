#pragma once
#include "startup/Startup.h"

class TSplashScreenFrm;

// Start-up steps that need a window: the splash label and the message boxes.
class TGuiStartupUi : public TStartupUi {
public:
    explicit TGuiStartupUi(TSplashScreenFrm* splash) : splash_(splash) {}
    void ShowStep(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    bool AskIgnore(const std::string& text) override;
    void ShowFatal(const std::string& text) override;
    void SetSplash(TSplashScreenFrm* splash) { splash_ = splash; }

private:
    TSplashScreenFrm* splash_;
};

// The whole program: start-up behind the splash, the message loop, shutdown.
int RunOlmar(int argc, char** argv);
