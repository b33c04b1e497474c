#pragma once
#include <QWidget>

class QLabel;
class QProgressBar;
class QTimer;

// The start-up window: 400 by 177, white, centred, no border icons.
class TSplashScreenFrm : public QWidget {
    Q_OBJECT
public:
    explicit TSplashScreenFrm(QWidget* parent = nullptr);
    // Shows the step text and lets it paint before the next long step.
    void ShowStep(const QString& text);
    QString StepText() const;
    int AnimationIndex() const { return imageIndex_; }

private:
    void NextImage();
    QLabel* stepLabel_ = nullptr;
    QLabel* animation_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer* timer_ = nullptr;
    QList<QPixmap> images_;
    int imageIndex_ = 0;
};
