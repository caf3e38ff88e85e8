#include "work_curve_window.h"

#include <QBarSet>
#include <QCategoryAxis>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "chart_support.h"

namespace keta {
namespace {

const QString kName = QStringLiteral("作業曲線");

QString SecondsText(std::int64_t ms) {
    return ms % 1000 == 0 ? QString::number(ms / 1000)
                          : FigureText(static_cast<double>(ms) / 1000.0, 1);
}

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment = Qt::AlignRight) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

WorkCurveWindow::WorkCurveWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("workCurveWindow"));
    SetUpAnalysisWindow(*this, kName);

    heading_ = new QLabel(this);
    heading_->setObjectName(QStringLiteral("workCurveHeading"));
    heading_->setWordWrap(true);
    heading_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont headingFont = heading_->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.15);
    headingFont.setBold(true);
    heading_->setFont(headingFont);
    previous_ = new QPushButton(QStringLiteral("前の回(&P)"), this);
    previous_->setToolTip(QStringLiteral("解答ログの一つ前の回（保存しなかった回も）"));
    next_ = new QPushButton(QStringLiteral("次の回(&N)"), this);
    next_->setToolTip(QStringLiteral("解答ログの一つ後の回（保存しなかった回も）"));
    place_ = new QLabel(this);
    connect(previous_, &QPushButton::clicked, this, [this] { StepBy(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { StepBy(1); });
    // The heading has a line of its own, so that a narrow window wraps it between items.
    auto* steps = new QHBoxLayout;
    steps->addWidget(place_);
    steps->addWidget(previous_);
    steps->addWidget(next_);
    steps->addStretch(1);
    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    problem_->hide();

    chart_ = new QChart;
    rightSet_ = new QBarSet(QStringLiteral("正解"));
    rightSet_->setColor(QColor(60, 150, 60));
    wrongSet_ = new QBarSet(QStringLiteral("ミス"));
    wrongSet_->setColor(QColor(220, 40, 40));
    series_ = new QStackedBarSeries;
    series_->append(rightSet_);
    series_->append(wrongSet_);
    chart_->addSeries(series_);
    // Bars stand at 0, 1, 2, ...; the axis marks the bins' edges (k − 0.5) with their seconds.
    xAxis_ = new QCategoryAxis;
    xAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    xAxis_->setTitleText(QStringLiteral("経過時間（秒）"));
    yAxis_ = new QValueAxis;
    yAxis_->setTitleText(QStringLiteral("解答/秒"));
    chart_->addAxis(xAxis_, Qt::AlignBottom);
    chart_->addAxis(yAxis_, Qt::AlignLeft);
    series_->attachAxis(xAxis_);
    series_->attachAxis(yAxis_);
    ApplyChartFont(*chart_);
    view_ = MakeChartView(chart_, QStringLiteral("作業曲線のグラフ"), this);
    // The plot's width is known only once the chart is laid out.
    connect(chart_, &QChart::plotAreaChanged, this, [this] { FitAxisLabels(); });
    view_->setMinimumSize(300, 200);

    bins_ = new QTableWidget(0, 5, this);
    bins_->setAccessibleName(QStringLiteral("区間ごとの解答（グラフの値）"));
    bins_->setHorizontalHeaderLabels({QStringLiteral("区間（秒）"), QStringLiteral("解答"),
                                      QStringLiteral("ミス"), QStringLiteral("正解/秒"),
                                      QStringLiteral("解答/秒")});
    bins_->verticalHeader()->hide();
    bins_->verticalHeader()->setDefaultSectionSize(bins_->fontMetrics().height() + 6);
    bins_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    bins_->setTabKeyNavigation(false);
    bins_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    bins_->horizontalHeader()->setStretchLastSection(true);

    auto* countsBox = new QGroupBox(QStringLiteral("この回"));
    auto* counts = new QFormLayout(countsBox);
    speed_ = AddFigureRow(*counts, QStringLiteral("秒当たり（正解）"),
                          QStringLiteral("正解の数÷制限時間。履歴の「秒当たり」と同じ値です"));
    answers_ = AddFigureRow(*counts, QStringLiteral("解答数"));
    correct_ = AddFigureRow(*counts, QStringLiteral("正解"));
    wrong_ = AddFigureRow(*counts, QStringLiteral("ミス"));
    accuracy_ = AddFigureRow(*counts, QStringLiteral("正解率"));

    auto* indicesBox = new QGroupBox(QStringLiteral("指標"));
    auto* form = new QFormLayout(indicesBox);
    for (const analysis::IndexId id : analysis::kAllIndices) {
        values_[id] = AddFigureRow(*form, IndexName(id), IndexExplanation(id));
    }

    // The figures scroll on their own when the screen is short, so none is ever cut.
    auto* sideInner = new QWidget;
    auto* side = new QVBoxLayout(sideInner);
    side->setContentsMargins(0, 0, 0, 0);
    side->addWidget(countsBox);
    side->addWidget(indicesBox);
    side->addStretch(1);
    auto* sideScroll = new QScrollArea;
    sideScroll->setWidget(sideInner);
    sideScroll->setWidgetResizable(true);
    sideScroll->setFrameShape(QFrame::NoFrame);
    // A Tab stop of its own: a screen reader says what it holds.
    sideScroll->setAccessibleName(QStringLiteral("この回の数値"));
    side_ = sideScroll;

    plots_ = new QSplitter(Qt::Vertical);
    auto* plots = plots_;
    plots->addWidget(view_);
    plots->addWidget(bins_);
    plots->setStretchFactor(0, 1);
    plots->setChildrenCollapsible(false);
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(plots);
    split->addWidget(sideScroll);
    split->setStretchFactor(0, 1);
    split->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addLayout(steps);
    layout->addWidget(problem_);
    layout->addWidget(split, 1);
    ClearFigures();
    UpdateSteps();
}

void WorkCurveWindow::SetLoggedRounds(std::vector<LoggedRound> rounds, RoundLoader load) {
    logged_ = std::move(rounds);
    load_ = std::move(load);
    position_.reset();
    UpdateSteps();
}

void WorkCurveWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitAxisLabels();
}

void WorkCurveWindow::FitAxisLabels() {
    // The edges of the bins in seconds, every edge while they fit side by side, else every
    // second (third, ...) edge and the end of the round.
    const auto bins = static_cast<int>(curve_.bins.size());
    if (bins == 0) {
        for (const QString& label : xAxis_->categoriesLabels()) xAxis_->remove(label);
        xAxis_->setRange(-0.5, 0.5);
        labelledLimitMs_ = -1;
        return;
    }
    // Qt elides a label wider than its share of the axis, with room to spare around it.
    const int labelWidth = QFontMetrics(xAxis_->labelsFont()).horizontalAdvance(u'0') * 6 + 16;
    const double plotWidth =
        chart_->plotArea().width() > 0 ? chart_->plotArea().width() : view_->width() - 140.0;
    const int perBin = std::max(1, static_cast<int>(plotWidth) / bins);
    // Labels a round number of seconds apart (1, 2 or 5 × 10ⁿ, a whole number of bins).
    int every = bins;
    for (std::int64_t step = 1; step <= curve_.limitMs * 10; step *= 10) {
        bool found = false;
        for (const std::int64_t factor : {1000, 2000, 5000}) {
            const std::int64_t stepMs = step * factor;
            if (stepMs % curve_.binWidthMs != 0) continue;
            const auto candidate = static_cast<int>(stepMs / curve_.binWidthMs);
            if (perBin * candidate >= labelWidth || candidate >= bins) {
                every = std::min(candidate, bins);
                found = true;
                break;
            }
        }
        if (found) break;
    }
    if (every == labelEvery_ && curve_.limitMs == labelledLimitMs_) return;
    labelEvery_ = every;
    labelledLimitMs_ = curve_.limitMs;
    for (const QString& label : xAxis_->categoriesLabels()) xAxis_->remove(label);
    xAxis_->setStartValue(-0.5);
    xAxis_->setRange(-0.5, bins - 0.5);
    for (int k = 0; k < bins; k += every) {
        xAxis_->append(SecondsText(curve_.bins[static_cast<std::size_t>(k)].startMs), k - 0.5);
    }
    if (bins % every == 0) {
        xAxis_->append(SecondsText(curve_.bins.back().endMs), bins - 0.5);
    }
}

QSize WorkCurveWindow::sizeHint() const { return QWidget::sizeHint().expandedTo(QSize(1000, 760)); }

QString WorkCurveWindow::Heading() const { return heading_->text(); }

void WorkCurveWindow::ShowRound(const analysis::RoundRecord& round,
                                const analysis::RoundStamp& stamp) {
    position_.reset();
    for (std::size_t i = 0; i < logged_.size(); ++i) {
        if (logged_[i].id == round.id) position_ = i;
    }
    if (round.damaged) {
        ShowDamaged(round, stamp);
    } else {
        const QString heading = Utf8(analysis::RoundTitle(round, stamp));
        heading_->setText(heading);
        problem_->hide();
        curve_ = analysis::ComputeWorkCurve(round);
        indices_ = analysis::ComputeIndices(round, curve_);
        ShowCurve();
        speed_->setText(FigureText(analysis::CorrectPerSecond(round), 2) + QStringLiteral("/秒"));
    }
    // The window keeps one name whichever round it shows; the round is its description.
    setWindowTitle(kName + QStringLiteral(" — ") + heading_->text());
    setAccessibleName(kName);
    setAccessibleDescription(heading_->text());
    UpdateSteps();
    FitToRoom();
}

bool WorkCurveWindow::StepBy(int delta) {
    if (!position_ || !load_) return false;
    const auto target = static_cast<long long>(*position_) + delta;
    if (target < 0 || target >= static_cast<long long>(logged_.size())) return false;
    const LoggedRound& entry = logged_[static_cast<std::size_t>(target)];
    const std::optional<analysis::RoundRecord> round = load_(entry.id);
    if (!round) {
        position_ = static_cast<std::size_t>(target);
        heading_->setText(QStringLiteral("%1 回目").arg(target + 1));
        problem_->setText(QStringLiteral("この回を解答ログから読めませんでした。"));
        problem_->show();
        ClearFigures();
        setWindowTitle(kName + QStringLiteral(" — ") + heading_->text());
        setAccessibleDescription(problem_->text());
        UpdateSteps();
        return true;
    }
    analysis::RoundStamp stamp = analysis::StartStamp(*round);
    if (entry.saved) {
        stamp = {entry.firstSave.date.toStdString(), entry.firstSave.time.toStdString(), true};
    }
    ShowRound(*round, stamp);
    return true;
}

void WorkCurveWindow::ShowDamaged(const analysis::RoundRecord& round,
                                  const analysis::RoundStamp& stamp) {
    (void)round;
    QString when = QString::fromStdString(stamp.date + ' ' + stamp.time).trimmed();
    if (when.isEmpty()) when = QStringLiteral("日時の分からない回");
    heading_->setText(when + QStringLiteral("・記録が壊れている回"));
    problem_->setText(
        QStringLiteral("この回の記録には、ドリルでは起こりえない値が入っています。"
                       "壊れた記録なので、グラフと指標は出しません。"));
    problem_->show();
    ClearFigures();
}

void WorkCurveWindow::ClearFigures() {
    curve_ = {};
    indices_ = {};
    rightSet_->remove(0, rightSet_->count());
    wrongSet_->remove(0, wrongSet_->count());
    FitAxisLabels();
    ApplyScale(*yAxis_, RoundScale(0.0, 1.0));
    bins_->setRowCount(0);
    view_->setAccessibleDescription(QStringLiteral("区間なし"));
    for (FigureLabel* label : {speed_, answers_, correct_, wrong_, accuracy_}) {
        label->setText(kNoFigure);
    }
    for (const auto& [id, label] : values_) label->setText(kNoFigure);
}

void WorkCurveWindow::ShowCurve() {
    rightSet_->remove(0, rightSet_->count());
    wrongSet_->remove(0, wrongSet_->count());
    double highest = 0.0;
    bins_->setRowCount(static_cast<int>(curve_.bins.size()));
    int row = 0;
    for (const analysis::WorkBin& bin : curve_.bins) {
        rightSet_->append(bin.correctRate);
        wrongSet_->append(bin.rate - bin.correctRate);
        highest = std::max(highest, bin.rate);
        const QString span = SecondsText(bin.startMs) + u'–' + SecondsText(bin.endMs);
        bins_->setItem(row, 0, Cell(span, Qt::AlignHCenter));
        bins_->setItem(row, 1, Cell(QString::number(bin.answers)));
        bins_->setItem(row, 2, Cell(QString::number(bin.errors)));
        bins_->setItem(row, 3, Cell(FigureText(bin.correctRate, 2)));
        bins_->setItem(row, 4, Cell(FigureText(bin.rate, 2)));
        ++row;
    }
    FitAxisLabels();
    ApplyScale(*yAxis_, RoundScale(0.0, std::max(highest, 0.5)));
    view_->setAccessibleDescription(
        QStringLiteral("%1 区間。最も速い区間は 1秒あたり %2 問。値は下の表にあります")
            .arg(curve_.bins.size())
            .arg(FigureText(curve_.bins.empty() ? std::optional<double>() : highest, 2)));

    answers_->setText(QString::number(indices_.answers));
    correct_->setText(QString::number(indices_.correct));
    wrong_->setText(QString::number(indices_.errors));
    accuracy_->setText(PercentText(indices_.accuracy));
    for (const auto& [id, label] : values_) label->setText(IndexText(indices_, id));
}

void WorkCurveWindow::FitToRoom() {
    // Every bin's row without scrolling when the screen has the room (eighteen for 180 s);
    // on a short screen the table scrolls and the chart above still shows every bin.
    const int needed = bins_->horizontalHeader()->sizeHint().height() +
                       bins_->verticalHeader()->length() + 2 * bins_->frameWidth();
    // What is left of the screen's height once the chart (200), the heading and the window's
    // frame (140) have theirs.
    const QScreen* shown = screen();
    const int room =
        shown != nullptr ? shown->availableGeometry().height() * 90 / 100 - 340 : needed;
    bins_->setMinimumHeight(std::min(needed, std::max(room, 80)));
    bins_->setMaximumHeight(needed);
    // On a short screen the chart keeps the height and the table scrolls.
    if (room < needed) plots_->setSizes({10000, bins_->minimumHeight()});
    // The figures whole beside the chart, unless that would leave the chart too narrow; then
    // they scroll sideways rather than cut a value.
    const int sideWanted =
        side_->widget()->sizeHint().width() + side_->verticalScrollBar()->sizeHint().width() + 4;
    const int sideRoom = shown != nullptr ? shown->availableGeometry().width() * 40 / 100 : 220;
    side_->setMinimumWidth(std::min(sideWanted, std::max(sideRoom, 160)));
}

void WorkCurveWindow::UpdateSteps() {
    const bool placed = position_.has_value() && static_cast<bool>(load_);
    previous_->setEnabled(placed && *position_ > 0);
    next_->setEnabled(placed && *position_ + 1 < logged_.size());
    place_->setText(placed ? QStringLiteral("%1 / %2 回").arg(*position_ + 1).arg(logged_.size())
                           : QString());
    place_->setAccessibleName(placed ? QStringLiteral("解答ログの %2 回のうち %1 回目")
                                           .arg(*position_ + 1)
                                           .arg(logged_.size())
                                     : QString());
}

}  // namespace keta
