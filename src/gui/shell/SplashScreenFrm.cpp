#include "shell/SplashScreenFrm.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace {

// Eight frames of a turning wheel, drawn here so the program needs no picture files.
QList<QPixmap> WheelImages() {
    QList<QPixmap> list;
    for (int frame = 0; frame < 8; ++frame) {
        QPixmap pm(32, 32);
        pm.fill(Qt::white);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        for (int spoke = 0; spoke < 8; ++spoke) {
            const double a = (spoke * 45.0) * M_PI / 180.0;
            const int shade = ((spoke - frame + 8) % 8) * 28;
            p.setPen(QPen(QColor(shade, shade, 255 - shade / 2), 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(16 + 6 * std::cos(a), 16 + 6 * std::sin(a)),
                       QPointF(16 + 13 * std::cos(a), 16 + 13 * std::sin(a)));
        }
        list << pm;
    }
    return list;
}

QPixmap Strip() {
    QPixmap pm(400, 48);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 400, 0);
    g.setColorAt(0, QColor(0, 70, 140));
    g.setColorAt(1, QColor(90, 160, 220));
    p.fillRect(pm.rect(), g);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPointSize(18);
    f.setBold(true);
    p.setFont(f);
    p.drawText(pm.rect().adjusted(16, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Ольмар"));
    return pm;
}

}  // namespace

TSplashScreenFrm::TSplashScreenFrm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("SplashScreenFrm");
    setFixedSize(400, 177);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);

    auto* strip = new QLabel(this);
    strip->setPixmap(Strip());
    strip->setFixedHeight(48);

    auto* caption = new QLabel(QStringLiteral("Загрузка программы. Подождите..."), this);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);

    auto* current = new QLabel(QStringLiteral("Текущее действие:"), this);
    stepLabel_ = new QLabel(this);
    stepLabel_->setObjectName("StepLabel");

    images_ = WheelImages();
    animation_ = new QLabel(this);
    animation_->setFixedSize(32, 32);
    animation_->setPixmap(images_.front());

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setFixedHeight(12);

    auto* stepRow = new QHBoxLayout;
    stepRow->addWidget(current);
    stepRow->addWidget(stepLabel_, 1);
    auto* texts = new QVBoxLayout;
    texts->addWidget(caption);
    texts->addLayout(stepRow);
    auto* middle = new QHBoxLayout;
    middle->addLayout(texts, 1);
    middle->addWidget(animation_);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 8, 12, 10);
    body->addLayout(middle);
    body->addStretch(1);
    body->addWidget(progress_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(strip);
    layout->addLayout(body, 1);

    timer_ = new QTimer(this);
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &TSplashScreenFrm::NextImage);
    timer_->start();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
}

void TSplashScreenFrm::NextImage() {
    imageIndex_ = (imageIndex_ + 1) % 8;
    animation_->setPixmap(images_[imageIndex_]);
}

void TSplashScreenFrm::ShowStep(const QString& text) {
    stepLabel_->setText(text);
    repaint();
    QApplication::processEvents();
}

QString TSplashScreenFrm::StepText() const { return stepLabel_->text(); }
