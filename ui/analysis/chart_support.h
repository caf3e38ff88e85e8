#pragma once
// What the analysis windows share: the window's typeface on charts and controls, figures as
// text, and labels that a screen reader can find by name.

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <optional>

#include "axis_scale.h"
#include "figure_label.h"
#include "round_indices.h"

class QFormLayout;
class QValueAxis;

namespace keta {

// The text an undefined figure shows.
inline const QString kNoFigure = QStringLiteral("なし");

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

// `value` with `decimals` decimals (halves away from zero), "なし" when there is none.
QString FigureText(std::optional<double> value, int decimals);

// The plain Japanese name of an index, a short explanation, and its value with its unit.
QString IndexName(analysis::IndexId id);
QString IndexExplanation(analysis::IndexId id);
QString IndexText(const analysis::RoundIndices& indices, analysis::IndexId id);

// A ratio as a percentage with one decimal ("88.0%"), "なし" when there is none.
QString PercentText(std::optional<double> ratio);

// Round ticks on a count axis, shared with the browser edition's curve.
using analysis::AxisScale;
using analysis::RoundScale;
// Puts the scale on the axis: range, fixed ticks on the steps, labels with its decimals.
void ApplyScale(QValueAxis& axis, const AxisScale& scale);

}  // namespace keta
