#include "progress_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

#include "answer_log_rounds.h"
#include "chart_support.h"
#include "history_points.h"
#include "progress_table.h"

namespace keta {
namespace {

const QString kSum = QStringLiteral("＋");
const QString kDifference = QStringLiteral("－");
const QString kFocusSuffix = QStringLiteral("（苦手克服）");

analysis::Mode ModeOfEntry(int entry) {
    return entry % 2 == 1 ? analysis::Mode::Difference : analysis::Mode::Sum;
}

// From this size on the busy note shows at once, even over figures already on show: below it
// the read takes a few milliseconds, and the note would only flicker.
constexpr qint64 kBusyNoteBytes = qint64{256} * 1024;
// Above this many results in a period, the per-day view is shown first.
constexpr std::size_t kResultsForDays = 400;

QString PointText(const analysis::ProgressPoint& p) {
    return QString::fromStdString(p.date) + u' ' + QString::fromStdString(p.time);
}

}  // namespace

ProgressWindow::~ProgressWindow() { StopWorker(); }

void ProgressWindow::StopWorker() {
    // A read still running is out of date: it stops at its next look at the flag, so the
    // join is short however long the file.
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    cancel_ = false;
}

QSize ProgressWindow::sizeHint() const { return {900, 560}; }

void ProgressWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (splitSet_) return;
    splitSet_ = true;
    // The chart takes three quarters at first; the figures wrap in the rest.
    const int width = splitter_->width() > 0 ? splitter_->width() : this->width();
    splitter_->setSizes({width * 3 / 4, width - width * 3 / 4});
}

QString ProgressWindow::Message() const {
    return pages_->currentIndex() == 0 ? message_->text() : QString();
}

ProgressWindow::ChartPoints ProgressWindow::PointsFor(const analysis::ProgressSeries& series,
                                                      std::size_t mostMarkers, std::size_t slices) {
    return ProgressChart::PointsFor(series, analysis::SpanOf(series, 0), false, mostMarkers,
                                    slices);
}

ProgressWindow::Loaded ProgressWindow::Compute(const std::vector<analysis::HistoryPoint>& history,
                                               int skippedLines,
                                               const std::optional<Choice>& choice) {
    Loaded loaded;
    loaded.skippedLines = skippedLines;
    loaded.report = analysis::ComputeProgress(history);
    // The newest result whose series exists: the first one looked at from the end.
    for (std::size_t i = history.size(); i-- > 0;) {
        const std::pair<analysis::Mode, int> key{analysis::ModeOf(history[i].modeText),
                                                 history[i].timeLimit};
        if (loaded.report.find(key.first, key.second) != nullptr) {
            loaded.newest = key;
            break;
        }
    }
    // The chart of the series to be shown first, drawn here rather than on the window's thread.
    // A focus series is looked up there, from the log: its chart is left to it.
    if (!choice || choice->modeEntry >= 2 || loaded.report.series.empty()) return loaded;
    const auto [entry, limit] =
        FirstSeries(loaded.report, {}, loaded.newest, choice->modeEntry, choice->limit);
    const analysis::ProgressSeries* series = loaded.report.find(ModeOfEntry(entry), limit);
    if (series == nullptr) return loaded;
    const analysis::ProgressSpan span = analysis::SpanOf(*series, choice->periodDays);
    const bool perDay = choice->perDay.value_or(span.end - span.begin > kResultsForDays);
    loaded.first = FirstView{series->mode, limit, choice->periodDays, perDay,
                             ProgressChart::PointsFor(*series, span, perDay)};
    return loaded;
}

std::pair<int, int> ProgressWindow::FirstSeries(
    const analysis::ProgressReport& report, const analysis::ProgressReport& focusReport,
    const std::optional<std::pair<analysis::Mode, int>>& newest, int oldEntry, int oldLimit) {
    if (oldEntry >= 0 &&
        (oldEntry >= 2 ? focusReport : report).find(ModeOfEntry(oldEntry), oldLimit) != nullptr)
        return {oldEntry, oldLimit};
    const std::pair<analysis::Mode, int> key =
        newest.value_or(std::pair{report.series[0].mode, report.series[0].timeLimit});
    return {key.first == analysis::Mode::Difference ? 1 : 0, key.second};
}

ProgressWindow::Choice ProgressWindow::CurrentChoice() const {
    Choice choice;
    if (mode_->currentIndex() >= 0) choice.modeEntry = mode_->currentData().toInt();
    if (limit_->currentIndex() >= 0) choice.limit = limit_->currentData().toInt();
    choice.periodDays = period_->currentData().toInt();
    if (viewChosen_) choice.perDay = view_->currentData().toInt() == 1;
    return choice;
}

void ProgressWindow::Load(const QString& path) {
    ++generation_;
    const auto read = [path, logPath = logPath_, choice = CurrentChoice(), cancel = &cancel_] {
        HistoryPointsRead file = ReadHistoryPoints(path, cancel);
        if (file.status == HistoryPointsRead::Status::NotRegular ||
            file.status == HistoryPointsRead::Status::Failed) {
            Loaded failed;
            failed.readable = false;
            return failed;
        }
        // A result saved again seconds later is one result; without a readable log every
        // line counts as it stands, which is no reason to trouble anyone.
        MarkSavedAgain(file.points, logPath, cancel);
        return Compute(file.points, file.skippedLines, choice);
    };
    // Always off this thread, since the log may be long or held by a writer. A short read of
    // figures already on show keeps them up meanwhile, so that nothing flickers.
    if (QFileInfo(path).size() >= kBusyNoteBytes || pages_->currentIndex() == 0) {
        ShowMessage(QStringLiteral("記録を読み込んでいます…"), true);
    } else {
        busy_ = true;
        setCursor(Qt::BusyCursor);
    }
    StopWorker();
    worker_ = std::thread([this, read, generation = generation_] {
        auto loaded = std::make_shared<Loaded>(read());
        // Delivered on the window's own thread; dropped with the window, or when a newer load
        // has begun.
        QMetaObject::invokeMethod(
            this,
            [this, loaded, generation] {
                if (generation == generation_) Apply(std::move(*loaded), true);
            },
            Qt::QueuedConnection);
    });
}

void ProgressWindow::ShowHistory(const std::vector<analysis::HistoryPoint>& history,
                                 int skippedLines) {
    ++generation_;  // a load still running is out of date
    Apply(Compute(history, skippedLines));
}

void ProgressWindow::ShowMessage(const QString& text, bool busy) {
    busy_ = busy;
    busyBar_->setVisible(busy);
    if (busy) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
    message_->setText(text);
    message_->setAccessibleName(text);
    pages_->setCurrentIndex(0);
    filters_->setVisible(false);  // no filters over nothing
    setAccessibleName(kTitle + QStringLiteral("：") + text);
}

void ProgressWindow::Apply(Loaded loaded, bool chartLater) {
    const int oldMode = mode_->currentIndex() >= 0 ? mode_->currentData().toInt() : -1;
    const int oldLimit = limit_->currentIndex() >= 0 ? limit_->currentData().toInt() : -1;
    shown_ = nullptr;
    firstView_.reset();
    tableModel_->Show(nullptr, {}, false);
    chart_->Clear();
    report_ = std::move(loaded.report);
    LoadFocusRounds();  // rounds played since the box was ticked
    skippedLines_ = loaded.skippedLines;
    busy_ = false;
    if (!loaded.readable) {
        ShowMessage(QStringLiteral("履歴.txt を読み込めませんでした。"), false);
        return;
    }
    if (report_.series.empty()) {
        const int unusable = skippedLines_ + report_.skippedNoLimit + report_.skippedBadStamp +
                             report_.skippedBadCounts;
        ShowMessage(unusable == 0 ? kNoResults
                                  : QStringLiteral("使える記録がありません（%1 件の記録は制限時間"
                                                   "や日時や数が読めません）。1 回遊んで保存"
                                                   "すると、ここに上達の記録が表示されます。")
                                        .arg(unusable),
                    false);
        return;
    }

    // What to show: the choice made before when it still exists, else the newest result's.
    const auto [entry, limit] =
        FirstSeries(report_, focusReport_, loaded.newest, oldMode, oldLimit);
    firstView_ = std::move(loaded.first);
    FillModes(entry, limit);
    busy_ = false;
    unsetCursor();
    pages_->setCurrentIndex(1);
    filters_->setVisible(true);
    if (!chartLater) {
        ShowSeries();
        return;
    }
    // The chart is drawn in a turn of its own, once the page is laid out: at its final size
    // its paths are made once, and the figures and the drawing never hold the window's thread
    // together. The window stays busy until then. A change of a filter meanwhile draws it.
    ShowSeries(true);
    busy_ = true;
    setCursor(Qt::BusyCursor);
    QMetaObject::invokeMethod(
        this,
        [this, generation = generation_] {
            if (generation != generation_ || !busy_) return;
            if (chartPending_) ShowChart();
            busy_ = false;
            unsetCursor();
        },
        Qt::QueuedConnection);
}

const analysis::ProgressReport& ProgressWindow::ReportOf(int modeEntry) const {
    return modeEntry >= 2 ? focusReport_ : report_;
}

void ProgressWindow::FillModes(int modeEntry, int preferredLimit) {
    filling_ = true;
    mode_->clear();
    for (int entry = 0; entry < 4; ++entry) {
        const analysis::ProgressReport& report = ReportOf(entry);
        const bool has = std::any_of(
            report.series.begin(), report.series.end(),
            [entry](const analysis::ProgressSeries& s) { return s.mode == ModeOfEntry(entry); });
        if (!has) continue;
        mode_->addItem(
            (entry % 2 == 1 ? kDifference : kSum) + (entry >= 2 ? kFocusSuffix : QString()), entry);
    }
    mode_->setCurrentIndex(std::max(0, mode_->findData(modeEntry)));
    filling_ = false;
    FillLimits(mode_->currentData().toInt(), preferredLimit);
}

void ProgressWindow::LoadFocusRounds() {
    focusReport_ = {};
    if (!showFocus_->isChecked()) return;
    const auto points = LoadFocusRoundPoints(logPath_);
    if (points) focusReport_ = analysis::ComputeProgress(*points);
}

void ProgressWindow::ShowFocusRounds(bool) {
    LoadFocusRounds();
    if (report_.series.empty()) return;  // nothing on show to add to
    const int entry = mode_->currentIndex() >= 0 ? mode_->currentData().toInt() : 0;
    FillModes(entry, limit_->currentData().toInt());
    ShowSeries();
}

void ProgressWindow::FillLimits(int modeEntry, int preferredLimit) {
    filling_ = true;
    limit_->clear();
    const analysis::Mode mode = ModeOfEntry(modeEntry);
    for (const analysis::ProgressSeries& s : ReportOf(modeEntry).series) {
        if (s.mode == mode) limit_->addItem(QStringLiteral("%1秒").arg(s.timeLimit), s.timeLimit);
    }
    const int at = limit_->findData(preferredLimit);
    limit_->setCurrentIndex(at >= 0 ? at : 0);
    filling_ = false;
}

void ProgressWindow::ShowChart() {
    chartPending_ = false;
    if (shown_ == nullptr || shown_->points.empty()) return;
    const bool perDay = view_->currentData().toInt() == 1;
    // The chart a load drew already, when this is what it drew it for.
    std::optional<ChartPoints> points;
    if (firstView_ && mode_->currentData().toInt() < 2 && firstView_->mode == shown_->mode &&
        firstView_->timeLimit == shown_->timeLimit &&
        firstView_->periodDays == period_->currentData().toInt() && firstView_->perDay == perDay)
        points = std::move(firstView_->points);
    firstView_.reset();
    chart_->ShowSeries(*shown_, span_, perDay, std::move(points));
    chart_->chart()->setTitle(
        QStringLiteral("%1 モード・%2秒").arg(mode_->currentText()).arg(shown_->timeLimit));
}

void ProgressWindow::ShowSeries(bool chartLater) {
    shown_ = nullptr;
    if (mode_->currentIndex() >= 0 && limit_->currentIndex() >= 0) {
        const int entry = mode_->currentData().toInt();
        shown_ = ReportOf(entry).find(ModeOfEntry(entry), limit_->currentData().toInt());
    }
    if (shown_ == nullptr || shown_->points.empty()) return;  // only before a history is shown
    span_ = analysis::SpanOf(*shown_, period_->currentData().toInt());
    if (!viewChosen_) {
        filling_ = true;
        view_->setCurrentIndex(span_.end - span_.begin > kResultsForDays ? 1 : 0);
        filling_ = false;
    }
    const bool perDay = view_->currentData().toInt() == 1;
    if (chartLater) {
        chartPending_ = true;
    } else {
        ShowChart();
    }
    tableModel_->Show(shown_, span_, perDay);

    const int skipped =
        skippedLines_ + report_.skippedNoLimit + report_.skippedBadStamp + report_.skippedBadCounts;
    // What the count is, said beside it: lines of the history file left out of the figures.
    skipped_->setText(skipped == 0
                          ? QStringLiteral("0")
                          : QStringLiteral("%1 行（日時・制限時間・数が読めない行）").arg(skipped));
    repeated_->setText(QString::number(report_.repeated));
    const QString seriesName =
        QStringLiteral("%1 モード・%2秒").arg(mode_->currentText()).arg(shown_->timeLimit);
    count_->setText(QString::number(span_.end - span_.begin));
    const analysis::ProgressPoint& newest = shown_->points.back();
    latest_->setText(FigureText(newest.movingRate, 2) + QStringLiteral(" /秒"));
    if (span_.bestRate) {
        const analysis::ProgressPoint& p = shown_->points[*span_.bestRate];
        bestRateText_->setText(
            QStringLiteral("%1 /秒（%2）").arg(FigureText(p.rate, 2), PointText(p)));
    } else {
        bestRateText_->setText(kNoFigure);
    }
    if (span_.bestAccuracy) {
        const analysis::ProgressPoint& p = shown_->points[*span_.bestAccuracy];
        bestAccuracyText_->setText(QStringLiteral("%1（%2、正解 %3）")
                                       .arg(PercentText(p.accuracy), PointText(p))
                                       .arg(p.correct));
    } else {
        bestAccuracyText_->setText(kNoFigure);
    }
    const QString shownText =
        QStringLiteral("%1・%2・%3").arg(seriesName, period_->currentText(), view_->currentText());
    setAccessibleName(kTitle + QStringLiteral("：") + shownText);
    chart_->setAccessibleDescription(
        QStringLiteral("%1。%2 回の記録。最近の速さ %3 /秒。数値は表のタブにあります")
            .arg(shownText)
            .arg(span_.end - span_.begin)
            .arg(FigureText(newest.movingRate, 2)));
}

}  // namespace keta
