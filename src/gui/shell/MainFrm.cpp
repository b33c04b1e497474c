#include "shell/MainFrm.h"

#include <QMdiArea>
#include <QStatusBar>

TMainFrm::TMainFrm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainFrm");
    setWindowTitle(QStringLiteral("Ольмар"));
    mdi_ = new QMdiArea(this);
    setCentralWidget(mdi_);
    statusBar();
    resize(1024, 700);
}
