#pragma once
// Weak digit pairs over every logged round: a 10 × 10 map for one mode (colour: how often the
// pair was answered wrongly; text: its median time) and the ten weakest pairs.

#include <QWidget>
#include <atomic>
#include <span>
#include <thread>

#include "digit_pairs.h"
#include "figure_label.h"
#include "round_record.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class QTableWidget;
class QTreeWidget;

namespace keta {

class HeatLegend;

class PairsWindow : public QWidget {
    Q_OBJECT

public:
    explicit PairsWindow(QWidget* parent = nullptr);
    ~PairsWindow() override;
    QSize sizeHint() const override;

    // Reads the answer log at `logPath` and counts it on a thread of its own, with a read-only
    // connection of that thread; the window says "集計中…" until the figures arrive. A call
    // while a count is running is ignored (that count is as fresh as this one would be).
    void Load(const QString& logPath);
    bool IsBusy() const { return busy_; }

    // Takes the logged rounds; keeps the mode chosen before.
    void ShowRounds(std::span<const analysis::RoundRecord> rounds);
    void ShowFigures(const analysis::PairFigures& figures);
    // Says why there is nothing to show.
    void ShowUnavailable(const QString& why);

    const analysis::PairFigures& Figures() const { return figures_; }
    analysis::Mode ShownMode() const;
    QComboBox* ModeBox() const { return mode_; }
    QTableWidget* HeatMap() const { return heat_; }
    QTreeWidget* WeakestList() const { return weakest_; }
    FigureLabel* Summary() const { return summary_; }
    // Says what the weak list lacks when it is empty; hidden otherwise.
    QLabel* WeakestNote() const { return weakNote_; }
    QString LegendText() const;

    // The colour of a cell with this error rate, on a scale whose full red is `fullRate`.
    static QColor HeatColour(double errorRate, double fullRate);

signals:
    // The figures of a Load() are on show.
    void loaded();
    // "この組で苦手克服": a focus round on the weakest pairs on show, in the mode on show.
    void focusRoundAsked();

private:
    void ShowMode();
    void ShowBusy();
    void Finish(const analysis::PairFigures& figures, const QString& problem);

    analysis::PairFigures figures_;
    QString unavailable_;  // why there is nothing to show, empty when there are figures
    bool busy_ = false;
    std::thread worker_;
    std::atomic<bool> closing_{false};
    QComboBox* mode_ = nullptr;
    QTableWidget* heat_ = nullptr;
    QTreeWidget* weakest_ = nullptr;
    FigureLabel* summary_ = nullptr;
    QLabel* weakNote_ = nullptr;
    QLabel* ranking_ = nullptr;
    QPushButton* focusButton_ = nullptr;
    QSplitter* split_ = nullptr;
    HeatLegend* legend_ = nullptr;
};

}  // namespace keta
