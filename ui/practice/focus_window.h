#pragma once
// A focus round in a window of its own: the drill's row and scoring for a set time, with rows
// that lean towards chosen digit pairs (by default the person's ten weakest), logged as a focus
// round and never written to the history file. Afterwards each pair's figures for the round
// beside those from before.

#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "digit_pairs.h"
#include "elapsed_clock.h"
#include "focus_digits.h"
#include "practice_session.h"
#include "round_record.h"
#include "widget_boxes.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableWidget;
class QTimer;

namespace keta {

class Clock;
class LogOwner;
class RoundRecorder;

class FocusWindow : public QWidget {
    Q_OBJECT

public:
    // `clock`: nullptr for the steady clock; a test gives its own.
    explicit FocusWindow(QString logPath, MonotonicClock* clock = nullptr,
                         QWidget* parent = nullptr);
    ~FocusWindow() override;

    // Ticks these pairs in the grid, picks the ticked-pairs choice and the mode.
    void UsePairs(std::span<const DigitPair> pairs, analysis::Mode mode);
    bool Playing() const { return playing_; }
    // The pairs of the round under way or last played.
    const std::vector<DigitPair>& Pairs() const { return pairs_; }
    // Ends the round once its time is up, as the timer does.
    void Tick();
    // The mode's sign as the window shows it: "＋" or "－".
    static QString Sign(bool difference);

signals:
    void roundFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* BuildSettingsPage();
    QWidget* BuildRoundPage();
    QWidget* BuildResultPage();
    void ShowModeSigns();
    void Start();
    void NewRow();
    void BoxEdited(int box);
    void Finish(bool stopped);
    // Asks whether to give up the round under way; true when there is none or the person agrees.
    bool AskStop();
    // `after`: the figures with this round counted, once read off the GUI thread.
    void ShowResult(const analysis::RoundRecord& round,
                    const std::optional<analysis::PairFigures>& after);

    QString logPath_;
    WindowClock clock_;
    std::unique_ptr<Clock> wallClock_;
    WidgetBoxes messages_{this};
    std::shared_ptr<LogOwner> owner_;
    std::unique_ptr<RoundRecorder> recorder_;
    std::thread afterReader_;  // reads the figures with the round just closed
    std::unique_ptr<FocusDigits> digits_;
    std::vector<DigitPair> pairs_;
    analysis::PairFigures before_;
    analysis::RoundRecord round_;  // this round's answers, for its own figures
    std::int64_t startMs_ = 0;
    int limitSeconds_ = 60;
    bool difference_ = false;
    bool playing_ = false;

    QStackedWidget* pages_ = nullptr;
    QComboBox* mode_ = nullptr;
    QComboBox* limit_ = nullptr;
    QComboBox* percent_ = nullptr;
    QRadioButton* weakest_ = nullptr;
    QRadioButton* ticked_ = nullptr;
    std::array<std::array<QCheckBox*, 10>, 10> grid_{};
    QLabel* note_ = nullptr;
    QPushButton* start_ = nullptr;

    QLabel* modeLabel_ = nullptr;
    QLabel* timeLeft_ = nullptr;
    std::array<QLabel*, kDigitCount> digitLabels_{};
    std::array<QLineEdit*, kBoxCount + 1> boxes_{};  // 1..14
    QTimer* timer_ = nullptr;

    QLabel* resultNote_ = nullptr;
    QTableWidget* results_ = nullptr;
};

}  // namespace keta
