// The progress window's controls: the filters, the chart and its table, the figures and the
// busy note, laid out and wired to what they do.

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "chart_support.h"
#include "progress_table.h"
#include "progress_window.h"

namespace keta {
namespace {

QLabel* FilterLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

// Items in a row that goes on in a next row when the window is narrow: the filters take one
// row on a wide screen and never set a minimum width wider than their widest item.
class FlowLayout : public QLayout {
public:
    FlowLayout(QWidget* parent, int spacing) : QLayout(parent), spacing_(spacing) {
        setContentsMargins(0, 0, 0, 0);
    }
    ~FlowLayout() override {
        while (QLayoutItem* item = FlowLayout::takeAt(0)) delete item;
    }
    void addItem(QLayoutItem* item) override { items_.append(item); }
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override {
        return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return Arrange(QRect(0, 0, width, 0), false); }
    QSize minimumSize() const override {
        QSize size;
        for (const QLayoutItem* item : items_) size = size.expandedTo(item->minimumSize());
        const QMargins m = contentsMargins();
        return size + QSize(m.left() + m.right(), m.top() + m.bottom());
    }
    QSize sizeHint() const override {
        int width = 0;
        int height = 0;
        for (const QLayoutItem* item : items_) {
            if (item->isEmpty()) continue;
            width += (width > 0 ? spacing_ : 0) + item->sizeHint().width();
            height = std::max(height, item->sizeHint().height());
        }
        const QMargins m = contentsMargins();
        return {width + m.left() + m.right(), height + m.top() + m.bottom()};
    }
    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        Arrange(rect, true);
    }

private:
    // Lays the items out in rows within `rect`, each centred on its row's height (placing them
    // when `place`); returns the height they take.
    int Arrange(const QRect& rect, bool place) const {
        const QRect area = rect.marginsRemoved(contentsMargins());
        int y = area.y();
        QList<QLayoutItem*> row;
        int rowWidth = 0;
        int rowHeight = 0;
        const auto endRow = [&] {
            int x = area.x();
            for (QLayoutItem* item : row) {
                const QSize size = item->sizeHint().boundedTo(area.size());
                if (place) {
                    item->setGeometry(QRect(QPoint(x, y + (rowHeight - size.height()) / 2), size));
                }
                x += size.width() + spacing_;
            }
            if (!row.isEmpty()) y += rowHeight + spacing_;
            row.clear();
            rowWidth = 0;
            rowHeight = 0;
        };
        for (QLayoutItem* item : items_) {
            if (item->isEmpty()) continue;
            const QSize size = item->sizeHint();
            if (!row.isEmpty() && rowWidth + spacing_ + size.width() > area.width()) endRow();
            rowWidth += (row.isEmpty() ? 0 : spacing_) + size.width();
            rowHeight = std::max(rowHeight, size.height());
            row << item;
        }
        endRow();
        const int used = y > area.y() ? y - spacing_ - area.y() : 0;
        const QMargins m = contentsMargins();
        return used + m.top() + m.bottom();
    }

    QList<QLayoutItem*> items_;
    int spacing_;
};

// A filter's caption and its choice, kept together when the filters wrap.
QWidget* FilterPair(const QString& caption, QComboBox* box, QWidget* parent) {
    auto* pair = new QWidget(parent);
    auto* row = new QHBoxLayout(pair);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(FilterLabel(caption, box, pair));
    row->addWidget(box);
    return pair;
}

}  // namespace

ProgressWindow::ProgressWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("progressWindow"));
    SetUpAnalysisWindow(*this, kTitle);

    filters_ = new QWidget(this);
    mode_ = new QComboBox(filters_);
    mode_->setAccessibleName(QStringLiteral("モード"));
    limit_ = new QComboBox(filters_);
    limit_->setAccessibleName(QStringLiteral("制限時間"));
    period_ = new QComboBox(filters_);
    period_->setAccessibleName(QStringLiteral("期間"));
    period_->addItem(QStringLiteral("30 日"), 30);
    period_->addItem(QStringLiteral("90 日"), 90);
    period_->addItem(QStringLiteral("1 年"), 365);
    period_->addItem(QStringLiteral("すべて"), 0);
    period_->setCurrentIndex(3);
    period_->setToolTip(QStringLiteral("最後に保存した日までの期間"));
    view_ = new QComboBox(filters_);
    view_->setAccessibleName(QStringLiteral("表示"));
    view_->addItem(QStringLiteral("各回"), 0);
    view_->addItem(QStringLiteral("日ごと"), 1);
    view_->setToolTip(QStringLiteral("日ごと: その日の速さの中央値と、最低から最高までの範囲"));
    auto* filter = new FlowLayout(filters_, 14);
    filter->addWidget(FilterPair(QStringLiteral("モード(&M)"), mode_, filters_));
    filter->addWidget(FilterPair(QStringLiteral("制限時間(&T)"), limit_, filters_));
    filter->addWidget(FilterPair(QStringLiteral("期間(&R)"), period_, filters_));
    filter->addWidget(FilterPair(QStringLiteral("表示(&V)"), view_, filters_));
    showFocus_ = new QCheckBox(QStringLiteral("苦手克服の回も表示"), filters_);
    showFocus_->setObjectName(QStringLiteral("showFocus"));
    showFocus_->setAccessibleName(showFocus_->text());
    showFocus_->setToolTip(
        QStringLiteral("苦手な組を集めた回を、ふつうの回とは別の系列として選べるようにします"));
    filter->addWidget(showFocus_);

    chart_ = new ProgressChart;
    tableModel_ = new ProgressTableModel(this);
    table_ = new QTableView;
    table_->setModel(tableModel_);
    table_->setAccessibleName(QStringLiteral("上達の記録の表"));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setResizeContentsPrecision(50);  // a long table: sample it
    auto* graph = new QWidget;
    auto* graphLayout = new QVBoxLayout(graph);
    graphLayout->setContentsMargins(0, 0, 0, 4);
    graphLayout->addWidget(chart_, 1);
    graphLayout->addWidget(chart_->Legend());
    tabs_ = new QTabWidget;
    tabs_->addTab(graph, QStringLiteral("グラフ(&G)"));
    tabs_->addTab(table_, QStringLiteral("表(&B)"));

    auto* figures = new QWidget;
    auto* form = new QFormLayout(figures);
    // Caption above value: the column stays narrow and no value is cut.
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    count_ = AddFigureRow(*form, QStringLiteral("記録の数"), QStringLiteral("期間の中の記録"));
    latest_ = AddFigureRow(
        *form, QStringLiteral("最近の速さ"),
        QStringLiteral("直近%1回の正解数/秒の平均").arg(analysis::kMovingAverageWindow));
    bestRateText_ = AddFigureRow(*form, QStringLiteral("最高の速さ"));
    bestAccuracyText_ = AddFigureRow(*form, QStringLiteral("最高の正解率"));
    skipped_ = AddFigureRow(*form, QStringLiteral("使えなかった記録"),
                            QStringLiteral("制限時間や日時が読めない記録、記録の形でない行"));
    repeated_ = AddFigureRow(*form, QStringLiteral("重複した記録"),
                             QStringLiteral("同じ回を2度以上保存した記録は1回と数えます"));
    for (FigureLabel* label :
         {count_, latest_, bestRateText_, bestAccuracyText_, skipped_, repeated_}) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    auto* scroll = new QScrollArea;
    scroll->setWidget(figures);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMinimumWidth(150);
    // A Tab stop for scrolling the figures by keys: a screen reader says what it holds.
    scroll->setAccessibleName(QStringLiteral("記録の数値"));

    splitter_ = new QSplitter(Qt::Horizontal);
    splitter_->addWidget(tabs_);
    splitter_->addWidget(scroll);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    splitter_->setChildrenCollapsible(false);

    auto* messagePage = new QWidget;
    message_ = new QLabel(messagePage);
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignCenter);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message_->setFocusPolicy(Qt::StrongFocus);
    busyBar_ = new QProgressBar(messagePage);
    busyBar_->setRange(0, 0);  // moving to and fro: busy, without a known end
    busyBar_->setAccessibleName(QStringLiteral("読み込み中"));
    auto* messageLayout = new QVBoxLayout(messagePage);
    messageLayout->addStretch(1);
    messageLayout->addWidget(message_);
    messageLayout->addWidget(busyBar_);
    messageLayout->addStretch(1);

    pages_ = new QStackedWidget;
    pages_->addWidget(messagePage);
    pages_->addWidget(splitter_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filters_);
    layout->addWidget(pages_, 1);

    connect(mode_, &QComboBox::currentIndexChanged, this, [this] {
        if (filling_) return;
        const int limit = limit_->currentData().toInt();
        FillLimits(mode_->currentData().toInt(), limit);
        ShowSeries();
    });
    connect(showFocus_, &QCheckBox::toggled, this, &ProgressWindow::ShowFocusRounds);
    for (QComboBox* box : {limit_, period_}) {
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!filling_) ShowSeries();
        });
    }
    connect(view_, &QComboBox::currentIndexChanged, this, [this] {
        if (filling_) return;
        viewChosen_ = true;
        ShowSeries();
    });
    connect(chart_, &ProgressChart::resultClicked, this, [this](std::size_t index) {
        if (shown_ == nullptr || index >= shown_->points.size()) return;
        const analysis::ProgressPoint& p = shown_->points[index];
        emit resultChosen(QString::fromStdString(p.date), QString::fromStdString(p.time), p.answers,
                          p.correct, p.wrong);
    });
    ShowMessage(kNoResults, false);
}

}  // namespace keta
