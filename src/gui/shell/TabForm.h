#pragma once
// Child windows of the main window and their row of button tabs at the bottom.
#include "shell/ActionGates.h"

#include <QIcon>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTabBar>
#include <QWidget>


class TMainFrm;

// The row of window tabs: one button tab per child window, drawn as buttons with
// the window's picture; the selected one lighter and in bold.
class TBtnPageControl : public QTabBar {
    Q_OBJECT
public:
    explicit TBtnPageControl(QWidget* parent = nullptr);
    // The tab whose data is `form`, or -1.
    int IndexOf(const QWidget* form) const;
    QWidget* FormAt(int index) const;

signals:
    // Right button released over tab `index` at `globalPos`.
    void TabContextMenu(int index, const QPoint& globalPos);

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Base of every child window: lives in a sub-window of the main window's
// multi-document area and owns one tab of the tab row.
class TTabForm : public QWidget {
    Q_OBJECT
public:
    // Creates the sub-window and the tab, and selects the tab. Call ShowChild() once
    // the derived window has built its controls.
    explicit TTabForm(TMainFrm* mainFrm, const QIcon& tabIcon = QIcon());
    ~TTabForm() override;

    // The window caption; the tab shows at most eight characters of it, then "...",
    // and the whole title as its hint.
    void SetTitle(const QString& title);
    QString Title() const { return title_; }
    static QString TabCaptionFor(const QString& title);

    // What the main window's enabling rules ask of the active child.
    virtual TChildKind ChildKind() const { return TChildKind::Other; }
    virtual bool HasRows() const { return false; }
    // Called from the main window's idle cycle while this window is active, so the
    // window can gate its own buttons by the same rules (cheap, like the cycle).
    virtual void UpdateIdleGates(const TGateUser& user, const TGateContext& context) {
        (void)user;
        (void)context;
    }

    void ShowChild();
    void BringToFront();
    QMdiSubWindow* SubWindow() const { return sub_; }
    TMainFrm* MainFrm() const { return main_; }
    int TabIndex() const;

private:
    TMainFrm* main_;
    QPointer<TBtnPageControl> tabs_;
    QPointer<QMdiSubWindow> sub_;
    QString title_;
};
