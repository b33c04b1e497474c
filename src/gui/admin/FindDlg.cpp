#include "admin/FindDlg.h"

#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TFindDlg::TFindDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("FindDlg");
    setWindowTitle(QStringLiteral("Поиск"));
    setToolTip(QString());
    setStatusTip(QStringLiteral("Окно поиска"));

    patternEdit_ = new QLineEdit(this);
    patternEdit_->setObjectName("PatternEdit");
    fieldCombo_ = new QComboBox(this);
    fieldCombo_->setObjectName("FieldComboBox");
    matchCombo_ = new QComboBox(this);
    matchCombo_->setObjectName("MatchComboBox");
    matchCombo_->addItems({QStringLiteral("Поле целиком"), QStringLiteral("С начала поля"),
                           QStringLiteral("Любое совпадение")});
    caseCheck_ = new QCheckBox(QStringLiteral("С учетом регистра"), this);
    caseCheck_->setObjectName("CaseCheckBox");

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->addRow(QStringLiteral("Образец для поиска :"), patternEdit_);
    form->addRow(QStringLiteral("Поиск в :"), fieldCombo_);
    form->addRow(QStringLiteral("Совпадение :"), matchCombo_);
    form->addRow(QString(), caseCheck_);

    findBtn_ = new QPushButton(QStringLiteral("&Найти"), this);
    findBtn_->setObjectName("FindBtn");
    findBtn_->setDefault(true);
    findNextBtn_ = new QPushButton(QStringLiteral("Найти &далее"), this);
    findNextBtn_->setObjectName("FindNextBtn");
    findNextBtn_->setEnabled(false);
    cancelBtn_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancelBtn_->setObjectName("CancelBtn");
    connect(findBtn_, &QPushButton::clicked, this, &TFindDlg::FindBtnClick);
    connect(findNextBtn_, &QPushButton::clicked, this, &TFindDlg::FindNextBtnClick);
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findBtn_);
    buttons->addWidget(findNextBtn_);
    buttons->addWidget(cancelBtn_);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(form, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    patternEdit_->setMinimumWidth(patternEdit_->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 18);
    setFixedSize(sizeHint());
}

void TFindDlg::SetGrid(QTableView* grid) {
    grid_ = grid;
    fieldCombo_->clear();
    if (!grid_ || !grid_->model()) return;
    const QAbstractItemModel* model = grid_->model();
    for (int c = 0; c < model->columnCount(); ++c)
        fieldCombo_->addItem(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    fieldCombo_->setCurrentIndex(0);
    setFixedSize(sizeHint());
}

bool TFindDlg::Matches(const QString& text, const QString& pattern, Match match, bool caseSensitive) {
    const QString a = caseSensitive ? text : text.toUpper();
    const QString b = caseSensitive ? pattern : pattern.toUpper();
    switch (match) {
        case WholeField: return a == b;
        case FieldStart: return a.startsWith(b);
        case AnyPart: return a.contains(b);
    }
    return false;
}

bool TFindDlg::Scan(int from) {
    if (!grid_ || !grid_->model()) return false;
    const QAbstractItemModel* model = grid_->model();
    const int column = std::max(0, fieldCombo_->currentIndex());
    const auto match = static_cast<Match>(std::max(0, matchCombo_->currentIndex()));
    const QString pattern = patternEdit_->text();
    const bool caseSensitive = caseCheck_->isChecked();
    const int rows = model->rowCount();
    for (int r = std::max(0, from); r < rows; ++r) {
        const QModelIndex index = model->index(r, column);
        if (!Matches(model->data(index, Qt::DisplayRole).toString(), pattern, match, caseSensitive)) continue;
        grid_->setCurrentIndex(index);
        grid_->selectRow(r);
        grid_->scrollTo(index);
        return true;
    }
    // Like a data set run past its end: the last record stays current.
    if (rows > 0) {
        const QModelIndex last = model->index(rows - 1, column);
        grid_->setCurrentIndex(last);
        grid_->selectRow(rows - 1);
        grid_->scrollTo(last);
    }
    InfoBox(this, QStringLiteral("Запись с такими параметрами не найдена"), QApplication::applicationDisplayName());
    return false;
}

void TFindDlg::FindBtnClick() {
    Scan(0);
    findNextBtn_->setEnabled(true);
    cancelBtn_->setText(QStringLiteral("Закрыть"));
}

void TFindDlg::FindNextBtnClick() {
    if (!grid_) return;
    const QModelIndex current = grid_->currentIndex();
    Scan(current.isValid() ? current.row() + 1 : 0);
}
