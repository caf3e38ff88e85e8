#pragma once
// The work curve of one round: answers per second in each interval of the time limit, the
// wrong ones marked, and the round's indices beside it in plain words. 前の回 and 次の回 step
// through every logged round, saved or not.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "answer_log_rounds.h"
#include "figure_label.h"
#include "round_indices.h"
#include "round_record.h"
#include "work_curve.h"

class QCategoryAxis;
class QBarSet;
class QChart;
class QChartView;
class QLabel;
class QPushButton;
class QScrollArea;
class QSplitter;
class QStackedBarSeries;
class QTableWidget;
class QValueAxis;

namespace keta {

class WorkCurveWindow : public QWidget {
    Q_OBJECT

public:
    explicit WorkCurveWindow(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // Reads one logged round by its key; nullopt when it cannot be read.
    using RoundLoader = std::function<std::optional<analysis::RoundRecord>(std::int64_t id)>;
    // The rounds the buttons step through, oldest first, and how to read one of them.
    void SetLoggedRounds(std::vector<LoggedRound> rounds, RoundLoader load);

    // Shows `round`, dated by `stamp` (the save the user picked, or the start of play).
    void ShowRound(const analysis::RoundRecord& round, const analysis::RoundStamp& stamp);
    // Steps to the logged round before or after the one shown; false when there is none.
    bool StepBy(int delta);

    const analysis::WorkCurve& Curve() const { return curve_; }
    const analysis::RoundIndices& Indices() const { return indices_; }
    // The round in words, as the window's heading shows it.
    QString Heading() const;
    QPushButton* PreviousButton() const { return previous_; }
    QPushButton* NextButton() const { return next_; }
    QTableWidget* BinTable() const { return bins_; }
    QChartView* ChartView() const { return view_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowDamaged(const analysis::RoundRecord& round, const analysis::RoundStamp& stamp);
    void ShowCurve();
    void ClearFigures();
    void UpdateSteps();
    void FitToRoom();
    void FitAxisLabels();

    std::vector<LoggedRound> logged_;
    RoundLoader load_;
    std::optional<std::size_t> position_;  // the shown round's place in logged_
    analysis::WorkCurve curve_;
    analysis::RoundIndices indices_;
    QLabel* heading_ = nullptr;
    QLabel* place_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QStackedBarSeries* series_ = nullptr;
    QBarSet* rightSet_ = nullptr;
    QBarSet* wrongSet_ = nullptr;
    QCategoryAxis* xAxis_ = nullptr;
    QValueAxis* yAxis_ = nullptr;
    QTableWidget* bins_ = nullptr;
    QScrollArea* side_ = nullptr;
    QSplitter* plots_ = nullptr;
    int labelEvery_ = 0;                 // every how many bins an edge is labelled
    std::int64_t labelledLimitMs_ = -1;  // the time limit the axis labels are for
    FigureLabel* speed_ = nullptr;
    FigureLabel* answers_ = nullptr;
    FigureLabel* correct_ = nullptr;
    FigureLabel* wrong_ = nullptr;
    FigureLabel* accuracy_ = nullptr;
    std::map<analysis::IndexId, FigureLabel*> values_;
};

}  // namespace keta
