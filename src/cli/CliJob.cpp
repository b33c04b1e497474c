// Progress of a job on stderr, prompts answered from options, and the common
// course of a meter command.
#include "Cli.h"

#include "link/ComPort.h"
#include "link/CounterSeance.h"
#include "sessions/CommandJobs.h"

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

// ---------------------------------------------------------------- meter commands

namespace cli {

int RunMeterAction(Context& ctx, TAction action, const std::function<int()>& prepare,
                   const std::function<void()>& printResult, const std::string& question) {
    if (int rc = Authorize(ctx, action); rc != kOk) return rc;
    std::int32_t revision = 0;
    if (!commandjobs::NeedsNoMeter(action))
        if (int rc = SelectMeter(ctx, &revision); rc != kOk) return rc;
    const bool yes = TakeFlag(ctx.Args, "--yes");
    if (prepare)
        if (int rc = prepare(); rc != kOk) return rc;
    if (!ctx.Args.empty()) return Fail(kUsage, "Лишний параметр: " + ctx.Args.front());
    if (!CounterSeance) return Fail(kFailed, "Сеанс связи со счетчиком не создан");
    if (!ComPort || !ComPort->Opened) return Fail(kFailed, commandjobs::kPortClosedText);
    if (!commandjobs::NeedsNoMeter(action) &&
        !commandjobs::CommandAllowed(action, CounterSeance->VersionID, revision))
        return Fail(kFailed, commandjobs::kUnsupportedCommandText);
    if (!question.empty()) {
        ctx.Job.AssumeYes = yes;
        if (!ctx.Job.Confirm("Подтверждение", question))
            return Fail(kUsage, question + "\nКоманда не выполнена: подтвердите её параметром --yes");
    }

    CounterSeance->ErrorText.clear();
    const bool ok = commandjobs::RunMeterCommand(action, *CounterSeance);
    if (!ctx.Job.Quiet) std::cerr << "\n";  // ends the progress line
    if (UserCancelled) return Fail(kCancelled, commandjobs::kCancelledText);
    if (!ok) {
        std::string first = commandjobs::kJobFailedText;
        if (!CounterSeance->ErrorText.empty()) first += " : " + CounterSeance->ErrorText;
        const std::string message = commandjobs::CommandFailureMessage(action, *CounterSeance);
        if (message != first) std::cerr << first << "\n";
        return Fail(kFailed, message);
    }
    if (printResult)
        printResult();
    else
        std::cout << commandjobs::CommandSuccessText(action, *CounterSeance) << "\n";
    return kOk;
}

}  // namespace cli
