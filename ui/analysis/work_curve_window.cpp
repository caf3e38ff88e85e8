#include "work_curve_window.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "chart_support.h"

namespace keta {
namespace {

QString SecondsText(std::int64_t ms) {
    return ms % 1000 == 0 ? QString::number(ms / 1000)
                          : QString::number(static_cast<double>(ms) / 1000.0, 'f', 1);
}

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment = Qt::AlignRight) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

WorkCurveWindow::WorkCurveWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("workCurveWindow"));
    SetUpAnalysisWindow(*this, QStringLiteral("作業曲線"));

    chart_ = new QChart;
    rightSet_ = new QBarSet(QStringLiteral("正解"));
    rightSet_->setColor(QColor(60, 150, 60));
    wrongSet_ = new QBarSet(QStringLiteral("ミス"));
    wrongSet_->setColor(QColor(220, 40, 40));
    series_ = new QStackedBarSeries;
    series_->append(rightSet_);
    series_->append(wrongSet_);
    chart_->addSeries(series_);
    xAxis_ = new QBarCategoryAxis;
    xAxis_->setTitleText(QStringLiteral("経過時間（秒、区間の始め）"));
    yAxis_ = new QValueAxis;
    yAxis_->setTitleText(QStringLiteral("1秒あたりの解答数"));
    yAxis_->setLabelFormat(QStringLiteral("%.1f"));
    chart_->addAxis(xAxis_, Qt::AlignBottom);
    chart_->addAxis(yAxis_, Qt::AlignLeft);
    series_->attachAxis(xAxis_);
    series_->attachAxis(yAxis_);
    ApplyChartFont(*chart_);
    view_ = MakeChartView(chart_, QStringLiteral("作業曲線のグラフ"), this);

    bins_ = new QTableWidget(0, 4, this);
    bins_->setAccessibleName(QStringLiteral("区間ごとの解答"));
    bins_->setHorizontalHeaderLabels({QStringLiteral("区間（秒）"), QStringLiteral("解答"),
                                      QStringLiteral("ミス"), QStringLiteral("解答/秒")});
    bins_->verticalHeader()->hide();
    bins_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    bins_->setTabKeyNavigation(false);
    bins_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    bins_->setMaximumHeight(160);

    auto* countsBox = new QGroupBox(QStringLiteral("この回"), this);
    auto* counts = new QFormLayout(countsBox);
    answers_ = AddFigureRow(*counts, QStringLiteral("解答数"));
    correct_ = AddFigureRow(*counts, QStringLiteral("正解"));
    wrong_ = AddFigureRow(*counts, QStringLiteral("ミス"));
    accuracy_ = AddFigureRow(*counts, QStringLiteral("正解率"));

    auto* indicesBox = new QGroupBox(QStringLiteral("指標"), this);
    auto* form = new QFormLayout(indicesBox);
    for (const analysis::IndexId id : analysis::kAllIndices) {
        values_[id] = AddFigureRow(*form, IndexName(id), IndexExplanation(id));
    }

    auto* side = new QVBoxLayout;
    side->addWidget(countsBox);
    side->addWidget(indicesBox);
    side->addStretch(1);
    auto* left = new QVBoxLayout;
    left->addWidget(view_, 1);
    left->addWidget(bins_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(side);
    resize(860, 520);
}

void WorkCurveWindow::ShowRound(const QString& title, const analysis::RoundRecord& round) {
    setWindowTitle(title);
    chart_->setTitle(title);
    curve_ = analysis::ComputeWorkCurve(round);
    indices_ = analysis::ComputeIndices(round, curve_);

    rightSet_->remove(0, rightSet_->count());
    wrongSet_->remove(0, wrongSet_->count());
    QStringList categories;
    double highest = 0.0;
    bins_->setRowCount(static_cast<int>(curve_.bins.size()));
    int row = 0;
    for (const analysis::WorkBin& bin : curve_.bins) {
        const double wrongRate = bin.rate - bin.correctRate;
        rightSet_->append(bin.correctRate);
        wrongSet_->append(wrongRate);
        highest = std::max(highest, bin.rate);
        const QString span = SecondsText(bin.startMs) + u'–' + SecondsText(bin.endMs);
        // The start of the bin alone: twelve spans do not fit under the bars.
        categories << SecondsText(bin.startMs);
        bins_->setItem(row, 0, Cell(span, Qt::AlignHCenter));
        bins_->setItem(row, 1, Cell(QString::number(bin.answers)));
        bins_->setItem(row, 2, Cell(QString::number(bin.errors)));
        bins_->setItem(row, 3, Cell(FigureText(bin.rate, 2)));
        ++row;
    }
    xAxis_->clear();
    xAxis_->append(categories);
    // A round number of answers per second on top, with some room above the highest bar.
    yAxis_->setRange(0.0, std::max(1.0, std::ceil(highest * 1.1 * 2.0) / 2.0));
    yAxis_->applyNiceNumbers();  // ticks on round values
    view_->setAccessibleDescription(
        QStringLiteral("%1 区間。最も速い区間は 1秒あたり %2 問")
            .arg(curve_.bins.size())
            .arg(FigureText(curve_.bins.empty() ? std::optional<double>() : highest, 2)));

    answers_->setText(QString::number(indices_.answers));
    correct_->setText(QString::number(indices_.correct));
    wrong_->setText(QString::number(indices_.errors));
    accuracy_->setText(PercentText(indices_.accuracy));
    for (const auto& [id, label] : values_) label->setText(IndexText(indices_, id));
}

}  // namespace keta
