#include "shell/FileProgressDlg.h"

#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kFrames = 16;
constexpr QSize kAnimationSize(272, 60);

void DrawFolder(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(120, 90, 20), 1));
    p.setBrush(QColor(236, 190, 70));
    QPolygonF back;
    back << r.topLeft() << QPointF(r.left() + r.width() * 0.4, r.top()) << QPointF(r.left() + r.width() * 0.5, r.top() + 5)
         << QPointF(r.right(), r.top() + 5) << r.bottomRight() << r.bottomLeft();
    p.drawPolygon(back);
    p.setBrush(QColor(250, 210, 100));
    p.drawRect(QRectF(r.left(), r.top() + 10, r.width(), r.height() - 10));
}

// A sheet of paper flying in an arc from the left folder to the right one.
QPixmap Frame(int index) {
    QPixmap pm(kAnimationSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawFolder(p, QRectF(8, 22, 44, 32));
    DrawFolder(p, QRectF(220, 22, 44, 32));
    const double t = index / double(kFrames - 1);
    const double x = 30 + t * 190;
    const double y = 34 - std::sin(t * M_PI) * 20;
    p.save();
    p.translate(x, y);
    p.rotate(-20 + 40 * t);
    p.setPen(QPen(QColor(60, 60, 70), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(-8, -10, 16, 20));
    p.setPen(QPen(QColor(150, 150, 160), 1));
    for (int line = 0; line < 4; ++line) p.drawLine(QPointF(-5, -6 + line * 4), QPointF(5, -6 + line * 4));
    p.restore();
    return pm;
}

}  // namespace

TFileProgressDlg::TFileProgressDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
    setObjectName("FileProgressDlg");
    setWindowTitle(QStringLiteral("Процесс..."));
    setModal(true);
    UserCancelled = false;

    for (int i = 0; i < kFrames; ++i) frames_ << Frame(i);
    animate_ = new QLabel(this);
    animate_->setObjectName("Animate");
    animate_->setFixedSize(kAnimationSize);
    animate_->setPixmap(frames_.front());

    showLabel_ = new QLabel(this);
    showLabel_->setObjectName("ShowLabel");
    showLabel_->setWordWrap(true);
    showLabel_->setTextFormat(Qt::PlainText);
    showLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Two lines: a long area name with its index and attempt still fits.
    showLabel_->setMinimumHeight(showLabel_->fontMetrics().lineSpacing() * 2 + 2);

    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName("ProgressBar");
    progressBar_->setRange(0, AttemptMax);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);

    commonLabel_ = new QLabel(this);
    commonLabel_->setObjectName("CommonLabel");
    commonLabel_->setWordWrap(true);
    commonLabel_->setTextFormat(Qt::PlainText);

    commonProgressBar_ = new QProgressBar(this);
    commonProgressBar_->setObjectName("CommonProgressBar");
    commonProgressBar_->setRange(0, 100);
    commonProgressBar_->setValue(0);
    commonProgressBar_->setTextVisible(false);

    cancelBtn_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancelBtn_->setObjectName("CancelBtn");
    cancelBtn_->setDefault(true);
    connect(cancelBtn_, &QPushButton::clicked, this, &TFileProgressDlg::CancelBtnClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancelBtn_);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(6);
    layout->addWidget(animate_, 0, Qt::AlignHCenter);
    layout->addWidget(showLabel_);
    layout->addWidget(progressBar_);
    layout->addWidget(commonLabel_);
    layout->addWidget(commonProgressBar_);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    setFixedWidth(420);
    setFixedHeight(sizeHint().height());

    progressTimer_ = new QTimer(this);
    progressTimer_->setObjectName("ProgressTimer");
    progressTimer_->setInterval(10);
    progressTimer_->setSingleShot(true);
    connect(progressTimer_, &QTimer::timeout, this, &TFileProgressDlg::ProgressTimerTimer);

    animateTimer_ = new QTimer(this);
    animateTimer_->setInterval(60);
    connect(animateTimer_, &QTimer::timeout, this, &TFileProgressDlg::AnimateTick);
    animateTimer_->start();
}

TFileProgressDlg::~TFileProgressDlg() = default;

void TFileProgressDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen()) {
        const QRect r = screen->availableGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
    if (job_ && !started_) {
        started_ = true;
        progressTimer_->start();
    }
}

void TFileProgressDlg::ProgressTimerTimer() {
    progressTimer_->stop();
    if (!job_ || closing_) return;
    running_ = true;
    bool ok = false;
    {
        ScopedJob scope(*this);
        try {
            ok = job_();
        } catch (...) {
            // A job that throws has failed; the event loop must never see it.
            ok = false;
        }
    }
    running_ = false;
    if (!ok && !UserCancelled) ErrorBox(this, QStringLiteral("Произошла ошибка"));
    Finish(ok ? ResultOk : ResultAbort);
}

void TFileProgressDlg::CancelBtnClick() {
    UserCancelled = true;
    // A running job notices the flag at its next wait and returns; its result then
    // closes the dialog. Without a running job the dialog closes now.
    if (!running_) {
        progressTimer_->stop();
        Finish(ResultCancel);
    }
}

void TFileProgressDlg::reject() { CancelBtnClick(); }

void TFileProgressDlg::Finish(int result) {
    closing_ = true;
    animateTimer_->stop();
    done(result);
}

void TFileProgressDlg::AnimateTick() {
    if (closing_) return;
    frame_ = (frame_ + 1) % kFrames;
    animate_->setPixmap(frames_[frame_]);
}

void TFileProgressDlg::SetStepText(const std::string& text) {
    JobContext::SetStepText(text);
    showLabel_->setText(QString::fromStdString(text));
}

void TFileProgressDlg::SetAttempt(int position) {
    position = std::clamp(position, 0, AttemptMax);
    JobContext::SetAttempt(position);
    progressBar_->setValue(position);
}

void TFileProgressDlg::SetOverall(int position, int maximum) {
    maximum = std::max(maximum, 0);
    position = std::clamp(position, 0, maximum);
    JobContext::SetOverall(position, maximum);
    // A maximum of 0 would turn the bar into a busy indicator: keep it empty instead.
    commonProgressBar_->setRange(0, std::max(maximum, 1));
    commonProgressBar_->setValue(position);
}

void TFileProgressDlg::Pump() { QApplication::processEvents(QEventLoop::AllEvents); }

std::optional<std::string> TFileProgressDlg::AskText(const std::string& caption, const std::string& prompt,
                                                     bool secret) {
    QInputDialog dlg(this);
    dlg.setWindowTitle(QString::fromStdString(caption));
    dlg.setLabelText(QString::fromStdString(prompt));
    dlg.setTextEchoMode(secret ? QLineEdit::Password : QLineEdit::Normal);
    dlg.setOkButtonText(QStringLiteral("OK"));
    dlg.setCancelButtonText(QStringLiteral("Отмена"));
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.textValue().toStdString();
}

bool TFileProgressDlg::Confirm(const std::string& caption, const std::string& text) {
    return AskYesNo(this, QString::fromStdString(text), QString::fromStdString(caption));
}

void TFileProgressDlg::Notify(const std::string& text) { commonLabel_->setText(QString::fromStdString(text)); }
