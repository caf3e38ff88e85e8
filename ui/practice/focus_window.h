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
#include "focus_pairs.h"
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

// The preferences' key of the focus round's time limit, kept from one start to the next.
inline constexpr const char* kFocusLimitKey = "focus_time_limit";

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
    // Back to the settings from a result shown earlier (a round under way stays).
    void ShowSettings();
    // The pairs of the round under way or last played.
    const std::vector<DigitPair>& Pairs() const { return pairs_; }
    // Ends the round once its time is up, as the timer does.
    void Tick();
    // The mode's sign as the window shows it: "＋" or "－".
    static QString Sign(bool difference);
    // "7＋8": the left digit, the mode's sign, the right digit.
    static QString PairName(const DigitPair& p, bool difference);

signals:
    void roundFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The figures of every logged round, with the log's stamp when they were read.
    struct Known {
        std::optional<analysis::PairFigures> figures;
        QString why;               // when the log could not be read
        LogStamp stamp;            // the log's files once read
        std::uint64_t handed = 0;  // the owner's writes handed over before the read
    };

    QWidget* BuildSettingsPage();
    QWidget* BuildRoundPage();
    QWidget* BuildResultPage();
    void ShowModeSigns();
    // Reads the log's figures off the GUI thread; a read asked for during one follows it.
    void ReadFigures();
    void Figured(Known known);
    // The figures read still describe the log: nothing written since, nothing on its way.
    bool Fresh() const;
    // The pairs the settings choose now; empty when there are none yet (`why` says so).
    std::vector<DigitPair> ChosenPairs(QString* why) const;
    // Says, before the start, what share of neighbouring digits the chosen pairs will be.
    void ShowShare();
    void Start();
    void BeginRound();
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
    std::thread reader_;  // reads the log's figures
    bool reading_ = false;
    bool readAgain_ = false;
    bool startWhenRead_ = false;
    bool resultWaiting_ = false;  // the result shows the figures with the round once read
    std::optional<Known> known_;
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
    QLabel* share_ = nullptr;
    QTimer* shareSoon_ = nullptr;  // one look after a run of changes (UsePairs ticks 100 boxes)
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
