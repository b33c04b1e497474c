#pragma once
// The modal job dialog: every command that talks to a meter or to the programmer
// runs its job in it. The dialog is the job's context: the links write the step
// text and the attempt bar into it, let it breathe while they wait, and stop when
// its Cancel button sets UserCancelled.
#include "shell/JobContext.h"

#include <QDialog>
#include <QList>
#include <QPixmap>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class TFileProgressDlg : public QDialog, public JobContext {
    Q_OBJECT
public:
    // Results of exec(): the job succeeded, the dialog was cancelled before a job
    // ran (or had none), the job failed.
    static constexpr int ResultOk = QDialog::Accepted;
    static constexpr int ResultCancel = QDialog::Rejected;
    static constexpr int ResultAbort = 3;

    explicit TFileProgressDlg(QWidget* parent = nullptr);
    ~TFileProgressDlg() override;

    // The work to run once the dialog is on screen; set it before exec().
    void SetJob(std::function<bool()> job) { job_ = std::move(job); }
    bool JobRunning() const { return running_; }

    // The job's context.
    void SetStepText(const std::string& text) override;
    void SetAttempt(int position) override;
    void SetOverall(int position, int maximum) override;
    void Pump() override;
    std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                       bool secret = false) override;
    bool Confirm(const std::string& caption, const std::string& text) override;
    void Notify(const std::string& text) override;

    QLabel* ShowLabel() const { return showLabel_; }
    QProgressBar* ProgressBar() const { return progressBar_; }
    QLabel* CommonLabel() const { return commonLabel_; }
    QProgressBar* CommonProgressBar() const { return commonProgressBar_; }
    QPushButton* CancelBtn() const { return cancelBtn_; }
    int AnimationFrame() const { return frame_; }

public slots:
    // Escape, the window's close and "Отмена" all mean: cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ProgressTimerTimer();
    void CancelBtnClick();
    void AnimateTick();
    void Finish(int result);

    QLabel* animate_ = nullptr;
    QLabel* showLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* commonLabel_ = nullptr;
    QProgressBar* commonProgressBar_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
    QTimer* progressTimer_ = nullptr;
    QTimer* animateTimer_ = nullptr;
    QList<QPixmap> frames_;
    int frame_ = 0;
    std::function<bool()> job_;
    bool running_ = false;
    bool started_ = false;
    bool closing_ = false;
};
