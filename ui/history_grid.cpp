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
#include <QStyledItemDelegate>
#include <QTimer>
#include <QtMath>
#include <algorithm>

#include "twips.h"

namespace keta {
namespace {

// Room between a cell's text and its edges, as the style gives an item's text.
constexpr int kCellMargin = 3;
// The header cells' padding of the style sheet below.
constexpr int kHeaderPadding = 2;

}  // namespace

// The row-number column. Qt works out a header's size hint by measuring the texts of up to 200
// of its sections through the style sheet, again whenever rows come or go; it took milliseconds
// of every start-up with a long history, and the grid's column 0 fixes the width anyway.
class RowNumberHeader : public QHeaderView {
public:
    explicit RowNumberHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
        // As the table view's own vertical header: a click on a number selects its row.
        setSectionsClickable(true);
    }

    // The column's width as laid out: the least it takes.
    void SetLeastWidth(int pixels) {
        leastWidth_ = pixels;
        FitNumbers();
    }

    QSize sizeHint() const override {
        if (minimumWidth() == maximumWidth()) return QSize(maximumWidth(), defaultSectionSize());
        return QHeaderView::sizeHint();
    }

protected:
    void changeEvent(QEvent* event) override {
        QHeaderView::changeEvent(event);
        if (event->type() == QEvent::FontChange) FitNumbers();
    }

    // Drawn as the style sheet draws the header row's cells (button face, black lines right and
    // below, 2 pixels of padding), without the style sheet's cost for every number on a page.
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        if (!rect.isValid()) return;
        const QPalette face = QApplication::palette();
        painter->save();
        painter->fillRect(rect, face.button());
        painter->setPen(Qt::black);
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        const QString text = model()->headerData(logicalIndex, Qt::Vertical).toString();
        if (!text.isEmpty()) {
            const auto alignment = Qt::Alignment(
                model()->headerData(logicalIndex, Qt::Vertical, Qt::TextAlignmentRole).toInt());
            // Inside the lines, with the padding only as far as the number leaves room for it.
            QRect box = rect.adjusted(0, 0, -1, -1);
            const int spare = box.width() - fontMetrics().horizontalAdvance(text);
            const int padding = std::clamp(spare / 2, 0, kHeaderPadding);
            box.adjust(padding, 0, -padding, 0);
            painter->setPen(face.buttonText().color());
            painter->setFont(font());
            painter->drawText(box, int(alignment) | Qt::TextSingleLine, text);
        }
        painter->restore();
    }

private:
    void FitNumbers() {
        // The history holds up to 32 766 rows: five digits must fit whatever the font and the
        // scale make of them, the laid-out width being the least. The padding gives way first.
        const QFontMetricsF metrics(font());
        QChar widest = u'0';
        for (char16_t d = u'1'; d <= u'9'; ++d) {
            if (metrics.horizontalAdvance(QChar(d)) > metrics.horizontalAdvance(widest)) widest = d;
        }
        const int fiveDigits = qCeil(metrics.horizontalAdvance(QString(5, widest))) + 1;  // + line
        setFixedWidth(std::max(leastWidth_, fiveDigits));
    }

    int leastWidth_ = 0;
};

namespace {

// The cells, drawn straight: the style's drawing of an item lays its text out through the
// style sheet, about 15 microseconds a cell, which made a page of a long history cost a
// millisecond more to show than an empty grid.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        // The view's own palette is overridden by its style sheet; take the application's.
        const QPalette colours = QApplication::palette();
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        painter->fillRect(option.rect, selected ? colours.highlight() : colours.base());
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!text.isEmpty()) {
            const auto alignment = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
            painter->setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
            painter->setFont(option.font);
            painter->drawText(option.rect.adjusted(kCellMargin, 0, -kCellMargin, 0),
                              int(alignment) | Qt::TextSingleLine, text);
        }
        if (option.state.testFlag(QStyle::State_HasFocus)) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.backgroundColor =
                selected ? colours.color(QPalette::Highlight) : colours.color(QPalette::Base);
            const QWidget* view = option.widget;
            QStyle* style = view != nullptr ? view->style() : QApplication::style();
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, view);
        }
    }
};

}  // namespace

HistoryGrid::HistoryGrid(QAbstractItemModel& model, QWidget* parent) : QTableView(parent) {
    rowNumbers_ = new RowNumberHeader(this);
    setVerticalHeader(rowNumbers_);
    setModel(&model);
    setItemDelegate(new CellDelegate(this));
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
        "QHeaderView::section { background-color: palette(button); color: palette(button-text);"
        " border: 0px; border-right: 1px solid black; border-bottom: 1px solid black;"
        " padding: 0px 2px; }"));

    corner_ = findChild<QAbstractButton*>();
    if (corner_ != nullptr) corner_->installEventFilter(this);
}

void HistoryGrid::SetGridColumnWidth(int gridColumn, int twips) {
    const int pixels = TwipsToPixels(twips);
    if (gridColumn == 0) {
        rowNumbers_->SetLeastWidth(pixels);
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
    if (event->type() == QEvent::FontChange) {
        // The headers take the grid's font as well: the style sheet keeps them from following.
        horizontalHeader()->setFont(font());
        verticalHeader()->setFont(font());
        SizeRowsToFont();
    }
}

void HistoryGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    if (dy != 0) SnapTopRow();
}

void HistoryGrid::updateGeometries() {
    QTableView::updateGeometries();
    SnapTopRow();
}

void HistoryGrid::SnapTopRow() {
    // Scrolled to its end, Qt lines the last row up with the bottom edge and cuts the top row
    // in two under the header. The grid scrolls in whole rows: the scroll bar's value is the
    // top row, shown whole; what is left below the last row stays empty.
    QHeaderView* rows = verticalHeader();
    const int top = verticalScrollBar()->value();
    if (top < 0 || top >= rows->count()) return;
    const int position = rows->sectionPosition(rows->logicalIndex(top));
    if (rows->offset() == position) return;
    rows->setOffset(position);
    viewport()->update();
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
