#pragma once
// What the analysis windows share: the window's typeface on charts and controls, figures as
// text, and labels that a screen reader can find by name.

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <optional>

#include "figure_label.h"
#include "round_indices.h"

class QFormLayout;
class QValueAxis;

namespace keta {

// The text an undefined figure shows.
inline const QString kNoFigure = QStringLiteral("—");

// A top-level window of its own beside `parent` (closed with it, never modal), in the main
// window's typeface, closed by Esc.
void SetUpAnalysisWindow(QWidget& window, const QString& title);

// A chart view with antialiasing (crisp at any scaling), the window's typeface and no
// animation, named for screen readers.
QChartView* MakeChartView(QChart* chart, const QString& accessibleName, QWidget* parent);
void ApplyChartFont(QChart& chart);

// A value label in a form: the name on the left, the value on the right. A screen reader hears
// the caption with the value, and the label can be reached with Tab.
FigureLabel* AddFigureRow(QFormLayout& form, const QString& name, const QString& toolTip = {});

// `value` with `decimals` decimals (halves away from zero), "—" when there is none.
QString FigureText(std::optional<double> value, int decimals);

// The plain Japanese name of an index, a short explanation, and its value with its unit.
QString IndexName(analysis::IndexId id);
QString IndexExplanation(analysis::IndexId id);
QString IndexText(const analysis::RoundIndices& indices, analysis::IndexId id);

// A ratio as a percentage with one decimal ("88.0%"), "—" when there is none.
QString PercentText(std::optional<double> ratio);

// An axis range on round ticks: every tick a multiple of `step`, which is 1, 2 or 5 × 10^n,
// from `low` to `high` in `intervals` steps; `decimals` is what the step needs to be read.
struct AxisScale {
    double low = 0.0;
    double high = 1.0;
    double step = 0.2;
    int intervals = 5;
    int decimals = 1;
};
// The smallest such range that holds [low, high] in at most `maxIntervals` steps (an empty
// or reversed range is widened to hold at least one step).
AxisScale RoundScale(double low, double high, int maxIntervals = 6);
// Puts the scale on the axis: range, fixed ticks on the steps, labels with its decimals.
void ApplyScale(QValueAxis& axis, const AxisScale& scale);

}  // namespace keta
