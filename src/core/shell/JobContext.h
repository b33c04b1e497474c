#pragma once
// What a long job (a meter or programmer exchange) reports and polls while it runs.
// The desktop program implements it with the progress dialog, olmar-cli with a
// progress line on stderr and Ctrl+C, the tests with a fake. Core never opens a window.

#include <atomic>
#include <optional>
#include <string>

// Process-wide cancel flag that every wait of the links polls. The progress dialog
// (or Ctrl+C in olmar-cli) sets it; starting a job clears it. Atomic so that a signal
// handler or a test thread may set it.
extern std::atomic<bool> UserCancelled;

class JobContext {
public:
    virtual ~JobContext() = default;

    // Step text (the dialog's ShowLabel); the exchange layers append the attempt number.
    virtual void SetStepText(const std::string& text) { stepText_ = text; }
    virtual std::string StepText() const { return stepText_; }

    // Attempt bar of the current exchange, 0..AttemptMax.
    static constexpr int AttemptMax = 5;
    virtual void SetAttempt(int position) { attempt_ = position; }
    int Attempt() const { return attempt_; }

    // Overall bar of the job, set by the job itself.
    virtual void SetOverall(int position, int maximum) { overall_ = position; overallMax_ = maximum; }
    int Overall() const { return overall_; }
    int OverallMax() const { return overallMax_; }

    // Lets the user interface breathe while a job waits (process events, poll signals).
    virtual void Pump() {}

    // Prompts a job may need. The desktop program shows dialogs; olmar-cli answers
    // from its options. std::nullopt / false means the user declined or cancelled.
    virtual std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                               bool secret = false) {
        (void)caption; (void)prompt; (void)secret;
        return std::nullopt;
    }
    virtual bool Confirm(const std::string& caption, const std::string& text) {
        (void)caption; (void)text;
        return false;
    }
    // A message the job wants the user to see (status line, notes); never blocks a headless run.
    virtual void Notify(const std::string& text) { (void)text; }

private:
    std::string stepText_;
    int attempt_ = 0;
    int overall_ = 0;
    int overallMax_ = 0;
};

// The context of the job that runs now. Outside a job it is a silent default
// object, so the links can always report to it.
JobContext& CurrentJob();

// Makes `context` the current job for the lifetime of the guard and clears
// UserCancelled, as opening the progress dialog does.
class ScopedJob {
public:
    explicit ScopedJob(JobContext& context);
    ~ScopedJob();
    ScopedJob(const ScopedJob&) = delete;
    ScopedJob& operator=(const ScopedJob&) = delete;

private:
    JobContext* previous_;
};
