#pragma once
// Pieces shared by the user administration windows: a read-only grid with whole-row
// selection, the record navigator over it, and the help button of the dialogs.
#include <QString>

class QTableWidget;
class QToolBar;
class QWidget;

namespace admingrid {

// A grid that shows rows and never edits them; `headers` name its columns.
QTableWidget* MakeGrid(QWidget* parent, const QStringList& headers);
// The navigator: first, previous, next and last record of `grid`.
QToolBar* MakeNavigator(QWidget* parent, QTableWidget* grid);
// Selects `row` (clamped), or nothing when the grid is empty.
void SelectRow(QTableWidget* grid, int row);
// Opens the help pages at the section of `topic` (the window class).
void ShowHelp(QWidget* parent, const QString& topic);

}  // namespace admingrid
