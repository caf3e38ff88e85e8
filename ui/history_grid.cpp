#include "history_grid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QTimer>

#include "twips.h"

namespace keta {
namespace {

// The row-number column. Qt works out a header's size hint by measuring the texts of up to 200
// of its sections through the style sheet, again whenever rows come or go; it took milliseconds
// of every start-up with a long history, and the grid's column 0 fixes the width anyway.
class RowNumberHeader : public QHeaderView {
public:
    explicit RowNumberHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
        // As the table view's own vertical header: a click on a number selects its row.
        setSectionsClickable(true);
    }

    QSize sizeHint() const override {
        if (minimumWidth() == maximumWidth()) return QSize(maximumWidth(), defaultSectionSize());
        return QHeaderView::sizeHint();
    }
};

}  // namespace

HistoryGrid::HistoryGrid(QAbstractItemModel& model, QWidget* parent) : QTableView(parent) {
    setVerticalHeader(new RowNumberHeader(this));
    setModel(&model);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Rows keep one height so that 32 766 of them need no per-row measuring; the height follows
    // the grid's own font (see changeEvent).
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    SizeRowsToFont();
    // Tab leaves the grid for the next control, as everywhere else in the window; the arrow
    // keys still move between cells.
    setTabKeyNavigation(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(1);

    // Cells on the window colour, fixed cells on the button face, light grey lines between
    // cells, black lines between fixed cells, grey beyond the last cell, also below the last
    // row number and right of the last header.
    setStyleSheet(QStringLiteral(
        "QTableView { background-color: rgb(128,128,128); gridline-color: rgb(192,192,192); }"
        "QHeaderView { background-color: rgb(128,128,128); }"
        "QTableView::item { background-color: palette(base); color: palette(text); }"
        "QTableView::item:selected { background-color: palette(highlight);"
        " color: palette(highlighted-text); }"
        "QHeaderView::section { background-color: palette(button); color: palette(button-text);"
        " border: 0px; border-right: 1px solid black; border-bottom: 1px solid black;"
        " padding: 0px 2px; }"));

    corner_ = findChild<QAbstractButton*>();
    if (corner_ != nullptr) corner_->installEventFilter(this);
}

void HistoryGrid::SetGridColumnWidth(int gridColumn, int twips) {
    const int pixels = TwipsToPixels(twips);
    if (gridColumn == 0) {
        verticalHeader()->setFixedWidth(pixels);
    } else {
        setColumnWidth(gridColumn - 1, pixels);
    }
}

void HistoryGrid::SetCornerText(const QString& text) {
    cornerText_ = text;
    if (corner_ != nullptr) corner_->update();
}

void HistoryGrid::ShowGridRowFirst(int gridRow) {
    pendingTopRow_ = gridRow;
    if (isVisible()) ApplyPendingTopRow();
}

void HistoryGrid::showEvent(QShowEvent* event) {
    QTableView::showEvent(event);
    if (pendingTopRow_ > 0) QTimer::singleShot(0, this, [this] { ApplyPendingTopRow(); });
}

void HistoryGrid::ApplyPendingTopRow() {
    const int row = pendingTopRow_ - 1;
    pendingTopRow_ = 0;
    if (row < 0 || row >= model()->rowCount()) return;
    updateGeometries();  // the scroll range must know about rows added just now
    // Per-item scrolling: the scroll bar's value is the first visible row. Clamped by Qt at
    // the last full page, which still leaves the asked row in view.
    verticalScrollBar()->setValue(row);
    if (rowAt(0) > row || rowAt(viewport()->height() - 1) < row) scrollTo(model()->index(row, 0));
}

void HistoryGrid::SizeRowsToFont() {
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

void HistoryGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) SizeRowsToFont();
}

void HistoryGrid::contextMenuEvent(QContextMenuEvent* event) {
    // Both kinds arrive in viewport coordinates: a click where it was, a key at the current cell.
    QModelIndex index;
    QPoint at = event->pos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        index = indexAt(at);
        if (index.isValid()) setCurrentIndex(index);
    } else {
        index = currentIndex();
        if (!index.isValid() && model()->rowCount() > 0) {
            index = model()->index(rowAt(0) >= 0 ? rowAt(0) : 0, 0);
        }
        if (index.isValid()) {
            scrollTo(index);
            at = visualRect(index).center();
        } else {
            at = QPoint(0, 0);
        }
    }
    emit contextMenuAsked(index.isValid() ? index.row() + 1 : 0, viewport()->mapToGlobal(at));
    event->accept();
}

void HistoryGrid::keyPressEvent(QKeyEvent* event) {
    // Shift+F10 opens the context menu as on every desktop; the Menu key comes as a context
    // menu event of its own.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(0, 0),
                               mapToGlobal(QPoint(0, 0)));
        contextMenuEvent(&menu);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool HistoryGrid::eventFilter(QObject* watched, QEvent* event) {
    // Qt's corner button draws no text; draw the fixed corner cell with its header text.
    if (event->type() == QEvent::Paint && watched == corner_) {
        QWidget* corner = corner_;
        QPainter painter(corner);
        // The view's own palette is overridden by its style sheet; take the button face.
        const QPalette face = QApplication::palette();
        painter.fillRect(corner->rect(), face.button());
        painter.setPen(Qt::black);
        painter.drawLine(corner->rect().topRight(), corner->rect().bottomRight());
        painter.drawLine(corner->rect().bottomLeft(), corner->rect().bottomRight());
        painter.setPen(face.buttonText().color());
        painter.setFont(horizontalHeader()->font());
        painter.drawText(corner->rect(), Qt::AlignCenter, cornerText_);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

}  // namespace keta
