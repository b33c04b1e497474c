#include "Cli.h"

#include <iostream>

namespace cli {

void CliJob::Redraw() {
    if (Quiet) return;
    std::cerr << "\r\033[K" << StepText();
    if (Attempt() > 0) std::cerr << " [" << Attempt() << "/" << AttemptMax << "]";
    if (OverallMax() > 0) std::cerr << " (" << Overall() << "/" << OverallMax() << ")";
    std::cerr.flush();
    drawn_ = true;
}

void CliJob::SetStepText(const std::string& text) {
    JobContext::SetStepText(text);
    Redraw();
}

void CliJob::SetAttempt(int position) {
    JobContext::SetAttempt(position);
    Redraw();
}

void CliJob::SetOverall(int position, int maximum) {
    JobContext::SetOverall(position, maximum);
    Redraw();
}

void CliJob::Notify(const std::string& text) {
    if (drawn_) std::cerr << "\n";
    drawn_ = false;
    std::cerr << text << "\n";
}

std::optional<std::string> CliJob::AskText(const std::string& caption, const std::string& prompt, bool secret) {
    (void)prompt;
    (void)secret;
    for (const auto& [key, value] : Answers)
        if (key == caption) return value;
    return std::nullopt;
}

bool CliJob::Confirm(const std::string& caption, const std::string& text) {
    (void)caption;
    (void)text;
    return AssumeYes;
}

}  // namespace cli
