#include "shell/TabForm.h"

#include "shell/Icons.h"
#include "shell/MainFrm.h"

#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <qdrawutil.h>

namespace {

constexpr int kIconLeft = 4;       // the picture sits at the tab's left edge...
constexpr int kCaptionOffset = 18; // ...and the caption 18 pixels to the right of it
constexpr int kRightPadding = 10;

QFont BoldOf(const QFont& f) {
    QFont bold = f;
    bold.setBold(true);
    return bold;
}

}  // namespace

TBtnPageControl::TBtnPageControl(QWidget* parent) : QTabBar(parent) {
    setObjectName("BtnPageControl");
    setDrawBase(false);
    setExpanding(false);
    setUsesScrollButtons(true);
    setElideMode(Qt::ElideNone);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(16, 16));
}

int TBtnPageControl::IndexOf(const QWidget* form) const {
    for (int i = 0; i < count(); ++i)
        if (tabData(i).value<void*>() == form) return i;
    return -1;
}

QWidget* TBtnPageControl::FormAt(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return static_cast<QWidget*>(tabData(index).value<void*>());
}

QSize TBtnPageControl::tabSizeHint(int index) const {
    // Measured in bold, so selecting a tab never makes its caption too wide.
    const QFontMetrics fm(BoldOf(font()));
    const int w = kIconLeft + kCaptionOffset + fm.horizontalAdvance(tabText(index)) + kRightPadding;
    return QSize(std::max(w, 48), std::max(fm.height() + 10, 24));
}

QSize TBtnPageControl::minimumTabSizeHint(int index) const { return tabSizeHint(index); }

void TBtnPageControl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor face = palette().color(QPalette::Button);
    const QColor light(std::min(face.red() + 20, 255), std::min(face.green() + 20, 255),
                       std::min(face.blue() + 20, 255));
    for (int i = 0; i < count(); ++i) {
        const QRect r = tabRect(i).adjusted(1, 2, -1, -2);
        if (!r.intersects(rect())) continue;
        const bool selected = i == currentIndex();
        qDrawShadePanel(&p, r, palette(), selected, 1, nullptr);
        p.fillRect(r.adjusted(1, 1, -1, -1), selected ? light : face);
        const QIcon icon = tabIcon(i);
        if (!icon.isNull()) {
            const QPixmap pm = icon.pixmap(QSize(16, 16), isTabEnabled(i) ? QIcon::Normal : QIcon::Disabled);
            p.drawPixmap(r.left() + kIconLeft, r.top() + (r.height() - 16) / 2, pm);
        }
        p.setFont(selected ? BoldOf(font()) : font());
        p.setPen(palette().color(QPalette::ButtonText));
        const QRect text(r.left() + kIconLeft + kCaptionOffset, r.top(), r.width() - kIconLeft - kCaptionOffset,
                         r.height());
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, tabText(i));
    }
}

void TBtnPageControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        const int index = tabAt(event->position().toPoint());
        if (index >= 0) {
            setCurrentIndex(index);
            emit TabContextMenu(index, event->globalPosition().toPoint());
            event->accept();
            return;
        }
    }
    QTabBar::mouseReleaseEvent(event);
}

TTabForm::TTabForm(TMainFrm* mainFrm, const QIcon& tabIcon) : QWidget(nullptr), main_(mainFrm) {
    tabs_ = main_->PageControl();
    sub_ = main_->MdiArea()->addSubWindow(this);
    sub_->setAttribute(Qt::WA_DeleteOnClose);
    const QIcon icon = tabIcon.isNull() ? WindowIcon(TWindowIcon::Window) : tabIcon;
    sub_->setWindowIcon(icon);
    setWindowIcon(icon);
    const int index = tabs_->addTab(icon, QString());
    tabs_->setTabData(index, QVariant::fromValue(static_cast<void*>(this)));
    tabs_->setCurrentIndex(index);
}

TTabForm::~TTabForm() {
    if (tabs_) {
        const int index = tabs_->IndexOf(this);
        if (index >= 0) tabs_->removeTab(index);
    }
}

QString TTabForm::TabCaptionFor(const QString& title) {
    // Eight characters, not eight UTF-16 units: never split a surrogate pair.
    int units = 0;
    int chars = 0;
    while (units < title.size() && chars < 8) {
        units += (title.at(units).isHighSurrogate() && units + 1 < title.size()) ? 2 : 1;
        ++chars;
    }
    return units < title.size() ? title.left(units) + QStringLiteral("...") : title;
}

void TTabForm::SetTitle(const QString& title) {
    title_ = title;
    setWindowTitle(title);
    if (tabs_) {
        const int index = tabs_->IndexOf(this);
        if (index >= 0) {
            tabs_->setTabText(index, TabCaptionFor(title));
            tabs_->setTabToolTip(index, title);
        }
    }
}

void TTabForm::ShowChild() {
    if (!sub_) return;
    // The sub-window was made before the derived window had its controls: size it
    // now to the size the window asked for, or to what its controls need.
    const QSize want = testAttribute(Qt::WA_Resized) ? size() : sizeHint();
    sub_->show();
    if (QLayout* frame = sub_->layout()) frame->activate();
    const QSize border = sub_->size() - size();
    if (want.isValid()) sub_->resize(want + border.expandedTo(QSize(0, 0)));
    BringToFront();
}

void TTabForm::BringToFront() {
    if (!sub_) return;
    sub_->raise();
    main_->MdiArea()->setActiveSubWindow(sub_);
}

int TTabForm::TabIndex() const { return tabs_ ? tabs_->IndexOf(this) : -1; }
