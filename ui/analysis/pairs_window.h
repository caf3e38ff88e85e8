#pragma once
// Weak digit pairs over every logged round: a 10 × 10 map for one mode (colour: how often the
// pair was answered wrongly; text: its median time) and the ten weakest pairs.

#include <QWidget>
#include <span>

#include "digit_pairs.h"
#include "round_record.h"

class QComboBox;
class QLabel;
class QTableWidget;
class QTreeWidget;

namespace keta {

class PairsWindow : public QWidget {
    Q_OBJECT

public:
    explicit PairsWindow(QWidget* parent = nullptr);

    // Takes the logged rounds; keeps the mode chosen before.
    void ShowRounds(std::span<const analysis::RoundRecord> rounds);
    // Says why there is nothing to show.
    void ShowUnavailable(const QString& why);

    const analysis::PairFigures& Figures() const { return figures_; }
    analysis::Mode ShownMode() const;
    QComboBox* ModeBox() const { return mode_; }
    QTableWidget* HeatMap() const { return heat_; }
    QTreeWidget* WeakestList() const { return weakest_; }

    // The colour of a cell with this error rate, on a scale whose full red is `fullRate`.
    static QColor HeatColour(double errorRate, double fullRate);

private:
    void ShowMode();

    analysis::PairFigures figures_;
    QComboBox* mode_ = nullptr;
    QTableWidget* heat_ = nullptr;
    QTreeWidget* weakest_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* legend_ = nullptr;
};

}  // namespace keta
