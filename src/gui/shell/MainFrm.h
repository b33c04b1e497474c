#pragma once
#include <QMainWindow>

class QMdiArea;

// The multi-document main window.
class TMainFrm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainFrm(QWidget* parent = nullptr);
    QMdiArea* MdiArea() const { return mdi_; }

private:
    QMdiArea* mdi_ = nullptr;
};
