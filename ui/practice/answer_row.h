#pragma once
// The row a practice window shows: fifteen digits with each answer box below the gap between
// the two digits it works on, as in the drill's own row.

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <array>
#include <functional>

#include "drill_view.h"

namespace keta {

struct AnswerRowWidgets {
    std::array<QLabel*, kDigitCount> digits{};
    std::array<QLineEdit*, kBoxCount + 1> boxes{};  // 1..14
};

// The boxes' point size for a window on its screen: large digits, but a row that fits the
// screen's width at any scale factor.
double RowPointsFor(const QWidget& window);

// Fills `grid` with the row; the digits are four points larger than the boxes' `boxPoints`.
// `edited(box)` runs when the person changes a box's text.
AnswerRowWidgets BuildAnswerRow(QGridLayout& grid, double boxPoints, QObject* context,
                                const std::function<void(int)>& edited);

}  // namespace keta
