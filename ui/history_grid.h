#pragma once
// The history grid: a table view whose header row and row-number column are drawn as fixed
// cells, over the history model (grid row 0 is the horizontal header, grid column 0 the
// vertical header).

#include <QTableView>

namespace keta {

class RowNumberHeader;

class HistoryGrid : public QTableView {
    Q_OBJECT

public:
    explicit HistoryGrid(QAbstractItemModel& model, QWidget* parent = nullptr);

    // Grid column 0 is the vertical header; columns 1.. are the view's columns 0...
    void SetGridColumnWidth(int gridColumn, int twips);
    void SetCornerText(const QString& text);
    QString CornerText() const { return cornerText_; }
    // Brings grid row `gridRow` (1 = the first data row) to the top of the scrolling area.
    void ShowGridRowFirst(int gridRow);

signals:
    // A context menu was asked for over grid row `gridRow` (0 when not over a data row), by a
    // right click, the Menu key or Shift+F10; `globalPos` is where it should open.
    void contextMenuAsked(int gridRow, const QPoint& globalPos);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    void ApplyPendingTopRow();
    void SizeRowsToFont();
    void SnapTopRow();

    QWidget* corner_ = nullptr;  // Qt's corner button, found once
    QString cornerText_;
    int pendingTopRow_ = 0;  // asked for while hidden: applied once the view has its size
    RowNumberHeader* rowNumbers_ = nullptr;
};

}  // namespace keta
