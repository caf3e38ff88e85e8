#pragma once
// Progress over many rounds, from the saved results: the rate of each result and its moving
// average (or each day's median and range), the accuracy on a second axis, for one mode, one
// time limit and one period at a time, with the personal bests marked; the same figures as a
// table, and the figures in words beside them.

#include <QWidget>
#include <thread>

#include "cancel.h"
#include "figure_label.h"
#include "progress.h"
#include "progress_chart.h"
#include "round_record.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QTableView;

namespace keta {

class ProgressTableModel;

class ProgressWindow : public QWidget {
    Q_OBJECT

public:
    explicit ProgressWindow(QWidget* parent = nullptr);
    ~ProgressWindow() override;

    // Reads the history file at `path`, and the answer log's saves to count a result saved
    // twice once, on a thread of its own, and shows it; the window says it is busy meanwhile,
    // so that the program never stalls.
    void Load(const QString& path);
    bool IsBusy() const { return busy_; }
    // The answer log whose focus rounds "苦手克服の回も表示" adds as series of their own; they
    // never enter the history file, so the figures leave them out until the box is ticked.
    void SetLogPath(const QString& logPath) { logPath_ = logPath; }
    QCheckBox* FocusBox() const { return showFocus_; }

    // Takes the saved results (file order) and shows the series of the newest one, or the one
    // chosen before when it still exists. `skippedLines` are lines of the file that were no
    // records.
    void ShowHistory(const std::vector<analysis::HistoryPoint>& history, int skippedLines);

    const analysis::ProgressReport& Report() const { return report_; }
    // The series on show, nullptr when there is none, and the part of it the period shows.
    const analysis::ProgressSeries* Shown() const { return shown_; }
    const analysis::ProgressSpan& Span() const { return span_; }
    // What the window says instead of a chart (no results, busy), empty while a chart shows.
    QString Message() const;

    using ChartPoints = ProgressChart::ChartPoints;
    static ChartPoints PointsFor(const analysis::ProgressSeries& series,
                                 std::size_t mostMarkers = 400, std::size_t slices = 400);

    QComboBox* ModeBox() const { return mode_; }
    QComboBox* LimitBox() const { return limit_; }
    QComboBox* PeriodBox() const { return period_; }
    QComboBox* ViewBox() const { return view_; }
    ProgressChart* Chart() const { return chart_; }
    QTabWidget* Tabs() const { return tabs_; }
    QTableView* Table() const { return table_; }

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;

signals:
    // A result was clicked on the chart: its stamp and counts, as saved.
    void resultChosen(const QString& date, const QString& time, int answers, int correct,
                      int wrong);

private:
    static inline const QString kTitle = QStringLiteral("上達の記録");
    static inline const QString kNoResults = QStringLiteral(
        "保存された記録がありません。1 回遊んで保存すると、ここに上達の記録が表示されます。");

    void StopWorker();
    // The choices on show when a load begins, which decide what it shows first.
    struct Choice {
        int modeEntry = -1;  // as the mode box's entries; -1 before anything was shown
        int limit = -1;
        int periodDays = 0;
        std::optional<bool> perDay;  // the view the person picked, if any
    };
    // The chart of what a load shows first, drawn on the reading thread.
    struct FirstView {
        analysis::Mode mode = analysis::Mode::Sum;
        int timeLimit = 0;
        int periodDays = 0;
        bool perDay = false;
        ChartPoints points;
    };
    struct Loaded {
        bool readable = true;
        int skippedLines = 0;
        analysis::ProgressReport report;
        // The series of the newest usable result, shown first.
        std::optional<std::pair<analysis::Mode, int>> newest;
        std::optional<FirstView> first;
    };
    static Loaded Compute(const std::vector<analysis::HistoryPoint>& history, int skippedLines,
                          const std::optional<Choice>& choice = std::nullopt);
    // The mode entry and limit a report shows first: the choice made before when its series
    // is still there, else the newest result's.
    static std::pair<int, int> FirstSeries(
        const analysis::ProgressReport& report, const analysis::ProgressReport& focusReport,
        const std::optional<std::pair<analysis::Mode, int>>& newest, int oldEntry, int oldLimit);
    Choice CurrentChoice() const;
    // Shows a load's figures; with `chartLater` the chart is drawn in the next turn of the event
    // loop, the window staying busy until then.
    void Apply(Loaded loaded, bool chartLater = false);
    void ShowMessage(const QString& text, bool busy);
    // Mode entries carry 0 (＋) or 1 (－), and 2 or 3 for the same modes' focus rounds.
    const analysis::ProgressReport& ReportOf(int modeEntry) const;
    void FillModes(int modeEntry, int preferredLimit);
    void FillLimits(int modeEntry, int preferredLimit);
    void ShowFocusRounds(bool on);
    void LoadFocusRounds();
    // The chosen series' figures and table, and its chart unless `chartLater`.
    void ShowSeries(bool chartLater = false);
    void ShowChart();

    std::optional<FirstView> firstView_;  // taken by the first ShowChart after a load
    bool chartPending_ = false;           // the chart still shows the series before
    analysis::ProgressReport report_;
    analysis::ProgressReport focusReport_;  // empty unless the box is ticked
    QString logPath_;
    const analysis::ProgressSeries* shown_ = nullptr;
    analysis::ProgressSpan span_;
    int skippedLines_ = 0;
    bool filling_ = false;
    bool busy_ = false;
    bool viewChosen_ = false;  // the person picked a view: keep it
    std::thread worker_;
    CancelFlag cancel_{false};  // ends a read this window no longer needs
    int generation_ = 0;

    QWidget* filters_ = nullptr;
    QComboBox* mode_ = nullptr;
    QComboBox* limit_ = nullptr;
    QComboBox* period_ = nullptr;
    QComboBox* view_ = nullptr;
    QCheckBox* showFocus_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QSplitter* splitter_ = nullptr;
    bool splitSet_ = false;
    QLabel* message_ = nullptr;
    QProgressBar* busyBar_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    ProgressChart* chart_ = nullptr;
    QTableView* table_ = nullptr;
    ProgressTableModel* tableModel_ = nullptr;
    FigureLabel* count_ = nullptr;
    FigureLabel* latest_ = nullptr;
    FigureLabel* bestRateText_ = nullptr;
    FigureLabel* bestAccuracyText_ = nullptr;
    FigureLabel* skipped_ = nullptr;
    FigureLabel* repeated_ = nullptr;
};

}  // namespace keta
