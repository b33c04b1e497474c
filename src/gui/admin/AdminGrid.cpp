#include "admin/AdminGrid.h"

#include "shell/MessageBoxes.h"
#include "shell/ProgramHome.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyle>
#include <QTableWidget>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

namespace admingrid {

QTableWidget* MakeGrid(QWidget* parent, const QStringList& headers) {
    auto* grid = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    grid->setObjectName("DBGrid");
    grid->setHorizontalHeaderLabels(headers);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setAlternatingRowColors(true);
    grid->setWordWrap(false);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    // Every header fits its caption.
    const QFontMetrics fm = grid->horizontalHeader()->fontMetrics();
    for (int c = 0; c < headers.size(); ++c) grid->setColumnWidth(c, fm.horizontalAdvance(headers[c]) + 32);
    return grid;
}

void SelectRow(QTableWidget* grid, int row) {
    const int count = grid->rowCount();
    if (count == 0) return;
    grid->selectRow(std::clamp(row, 0, count - 1));
}

QToolBar* MakeNavigator(QWidget* parent, QTableWidget* grid) {
    auto* bar = new QToolBar(parent);
    bar->setObjectName("DBNavigator");
    bar->setIconSize(QSize(16, 16));
    struct Nav {
        const char* Name;
        QStyle::StandardPixmap Icon;
        const char* Hint;
        int Step;
    };
    const Nav navs[] = {{"FirstBtn", QStyle::SP_MediaSkipBackward, "Первая запись", -2},
                        {"PriorBtn", QStyle::SP_MediaSeekBackward, "Предыдущая запись", -1},
                        {"NextBtn", QStyle::SP_MediaSeekForward, "Следующая запись", 1},
                        {"LastBtn", QStyle::SP_MediaSkipForward, "Последняя запись", 2}};
    for (const Nav& n : navs) {
        QAction* a = bar->addAction(parent->style()->standardIcon(n.Icon), QString::fromUtf8(n.Hint));
        a->setObjectName(QString::fromLatin1(n.Name));
        const int step = n.Step;
        QObject::connect(a, &QAction::triggered, grid, [grid, step] {
            const int count = grid->rowCount();
            if (count == 0) return;
            const int current = std::max(0, grid->currentRow());
            SelectRow(grid, step == -2 ? 0 : step == 2 ? count - 1 : current + step);
        });
    }
    return bar;
}

void ShowHelp(QWidget* parent, const QString& topic) {
    const QString file = QString::fromStdString(ProgramHome()) + QStringLiteral("Help/index.html");
    if (!QFileInfo::exists(file)) {
        InfoBox(parent, QStringLiteral("Файл справки не найден: %1").arg(file));
        return;
    }
    QUrl url = QUrl::fromLocalFile(file);
    url.setFragment(topic);
    QDesktopServices::openUrl(url);
}

}  // namespace admingrid
