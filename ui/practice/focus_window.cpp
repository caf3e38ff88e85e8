#include "focus_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/chart_support.h"
#include "answer_row.h"
#include "answer_rule.h"
#include "elapsed_clock.h"
#include "focus_pairs.h"
#include "fonts.h"
#include "form_row.h"
#include "log_owner.h"
#include "round_recorder.h"
#include "wall_clock.h"

namespace keta {
namespace {

constexpr int kTickMs = 50;
const QString kTitle = QStringLiteral("苦手克服");

}  // namespace

FocusWindow::FocusWindow(QString logPath, MonotonicClock* clock, QWidget* parent)
    : QWidget(parent), logPath_(std::move(logPath)), clock_(clock) {
    setWindowFlag(Qt::Window, true);
    setObjectName(QStringLiteral("focusWindow"));
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    setFont(GothicFont(10));
    wallClock_ = std::make_unique<WallClock>();
    // The rounds go to the log's one owner; its warnings show over this window while it is open.
    owner_ = LogOwner::Of(logPath_);
    owner_->Listen(this, &messages_);
    recorder_ = std::make_unique<RoundRecorder>(*owner_);
    pages_ = new QStackedWidget(this);
    pages_->addWidget(BuildSettingsPage());
    pages_->addWidget(BuildRoundPage());
    pages_->addWidget(BuildResultPage());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    timer_ = new QTimer(this);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &FocusWindow::Tick);
    // The weakest pairs are known before the start is pressed: a long log takes a while.
    ReadFigures();
    ShowShare();
}

FocusWindow::~FocusWindow() {
    timer_->stop();
    if (reader_.joinable()) reader_.join();
}

void FocusWindow::ReadFigures() {
    if (reading_) {
        readAgain_ = true;
        return;
    }
    reading_ = true;
    if (reader_.joinable()) reader_.join();
    reader_ = std::thread([this, owner = owner_, path = logPath_] {
        // The rounds handed over a moment ago belong in the figures.
        auto known = std::make_shared<Known>();
        known->handed = owner->Handed();
        owner->WaitUntilTried(5000);
        known->figures = LoggedPairFigures(path, &known->why);
        // Taken after the read: the read's own end may fold the journal into the log.
        known->stamp = LogStampOf(path);
        QMetaObject::invokeMethod(
            this, [this, known] { Figured(std::move(*known)); }, Qt::QueuedConnection);
    });
}

void FocusWindow::Figured(Known known) {
    reading_ = false;
    known_ = std::move(known);
    if (readAgain_) {
        readAgain_ = false;
        ReadFigures();
        return;
    }
    if (resultWaiting_) {
        resultWaiting_ = false;
        if (pages_->currentIndex() == 2 && known_->figures) ShowResult(round_, known_->figures);
    }
    ShowShare();
    if (startWhenRead_) {
        startWhenRead_ = false;
        note_->clear();
        BeginRound();
    }
}

bool FocusWindow::Fresh() const {
    // This program's writes by the owner's count; another program's by the files.
    return !reading_ && known_ && owner_->Handed() == known_->handed &&
           LogStampOf(logPath_) == known_->stamp && owner_->WaitUntilTried(0);
}

void FocusWindow::changeEvent(QEvent* event) {
    // Back from the main window, where rounds may have been played: read again meanwhile.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !playing_ && !Fresh())
        ReadFigures();
    QWidget::changeEvent(event);
}

void FocusWindow::UsePairs(std::span<const DigitPair> pairs, analysis::Mode mode) {
    mode_->setCurrentIndex(mode == analysis::Mode::Difference ? 1 : 0);
    for (auto& line : grid_) {
        for (QCheckBox* box : line) box->setChecked(false);
    }
    for (const DigitPair& p : pairs) {
        if (p.left < 0 || p.left > 9 || p.right < 0 || p.right > 9) continue;
        grid_[static_cast<std::size_t>(p.left)][static_cast<std::size_t>(p.right)]->setChecked(
            true);
    }
    ticked_->setChecked(true);
}

std::vector<DigitPair> FocusWindow::ChosenPairs(QString* why) const {
    std::vector<DigitPair> pairs;
    if (weakest_->isChecked()) {
        if (!known_) {
            *why = QStringLiteral("苦手な組を解答ログから読んでいます…");
        } else if (!known_->figures) {
            *why = QStringLiteral(
                       "解答ログを読めないため、苦手な組を決められません（%1）。"
                       "表で組を選んでください。")
                       .arg(known_->why);
        } else {
            pairs =
                WeakestOf(*known_->figures, mode_->currentIndex() == 1 ? analysis::Mode::Difference
                                                                       : analysis::Mode::Sum);
            if (pairs.empty()) {
                *why = QStringLiteral(
                           "このモードの答えがまだ少なく、苦手な組を決められません"
                           "（どの組も %1 回未満）。表で組を選んでください。")
                           .arg(analysis::kFewestAnswersRated);
            }
        }
        return pairs;
    }
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < 10; ++b) {
            if (grid_[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)]->isChecked())
                pairs.push_back({a, b});
        }
    }
    if (pairs.empty()) *why = QStringLiteral("表で組を一つ以上選んでください。");
    return pairs;
}

void FocusWindow::ShowShare() {
    QString why;
    const std::vector<DigitPair> pairs = ChosenPairs(&why);
    if (pairs.empty()) {
        share_->setText(why);
        return;
    }
    // The pairs the round will lean towards, named before the start.
    QStringList names;
    for (const DigitPair& p : pairs) names << PairName(p, mode_->currentIndex() == 1);
    const QString drilled = QStringLiteral("練習する組（%1 組）：%2\n")
                                .arg(pairs.size())
                                .arg(names.join(QStringLiteral("、")));
    const int percent = percent_->currentData().toInt();
    const FocusDigits digits(pairs, percent);
    const QString most = FigureText(100.0 * digits.MostShare(), 0);
    const QString shown = FigureText(100.0 * digits.ExpectedShare(), 0);
    if (digits.ReachesSetting()) {
        share_->setText(drilled + QStringLiteral("この組み合わせでは最大 %1 %。%2 % で出します。")
                                      .arg(most)
                                      .arg(percent));
    } else if (digits.ExpectedShare() < percent / 100.0) {
        // To a tenth: "最大 50 %" would not say why 50 % is out of reach at 49.6 %.
        share_->setText(drilled +
                        QStringLiteral("この組み合わせでは最大 %1 %。%2 % には届かないため、"
                                       "%1 % で出します。")
                            .arg(FigureText(100.0 * digits.MostShare(), 1))
                            .arg(percent));
    } else {
        // So many pairs that digits drawn at random already make more of them.
        share_->setText(drilled +
                        QStringLiteral("選んだ組が多いため、数字をでたらめに並べても %1 % が"
                                       "選んだ組になります。%1 % で出します。")
                            .arg(shown));
    }
}

void FocusWindow::Start() {
    if (playing_ || startWhenRead_) return;
    if (!Fresh()) {
        // Rounds were written since the figures were read: the start waits for the new ones,
        // read off this thread, and the window stays with the person meanwhile.
        startWhenRead_ = true;
        note_->setText(QStringLiteral("解答ログを読んでいます…"));
        ReadFigures();
        return;
    }
    BeginRound();
}

void FocusWindow::BeginRound() {
    difference_ = mode_->currentIndex() == 1;
    QString why;
    pairs_ = ChosenPairs(&why);
    if (pairs_.empty()) {
        note_->setText(why);
        if (weakest_->isChecked()) {
            ticked_->setChecked(true);
            grid_[0][0]->setFocus();
        }
        return;
    }
    before_ = known_ && known_->figures ? *known_->figures : analysis::PairFigures{};
    note_->clear();
    resultWaiting_ = false;
    const int percent = percent_->currentData().toInt();
    limitSeconds_ = limit_->currentData().toInt();
    owner_->SetPreference(QString::fromLatin1(kFocusLimitKey), QString::number(limitSeconds_));
    digits_ = std::make_unique<FocusDigits>(pairs_, percent);
    recorder_->SetKind(analysis::RoundKind::Focus, percent, PairsText(pairs_));
    round_ = analysis::RoundRecord();
    round_.modeText = Sign(difference_).toStdString();
    modeLabel_->setText(Sign(difference_));
    modeLabel_->setAccessibleName(difference_ ? QStringLiteral("引き算")
                                              : QStringLiteral("足し算"));
    pages_->setCurrentIndex(1);
    playing_ = true;
    startMs_ = clock_->NowMs();
    recorder_->PlayStarted();
    NewRow();
    Tick();
    timer_->start();
}

void FocusWindow::NewRow() {
    digits_->StartRow(wallClock_->SecondsSinceMidnight());
    for (QLabel* label : digitLabels_) label->setText(QString::number(digits_->Next()));
    for (int b = 1; b <= kBoxCount; ++b) {
        boxes_[static_cast<std::size_t>(b)]->clear();
        boxes_[static_cast<std::size_t>(b)]->setStyleSheet({});
    }
    boxes_[1]->setFocus();
}

void FocusWindow::BoxEdited(int box) {
    if (!playing_) return;
    QLineEdit* edit = boxes_[static_cast<std::size_t>(box)];
    const std::string typed = edit->text().toStdString();
    if (typed.empty()) return;  // emptied: not an answer
    const ScoredAnswer s = ScoreAnswerText(
        digitLabels_[static_cast<std::size_t>(box - 1)]->text().toStdString(),
        digitLabels_[static_cast<std::size_t>(box)]->text().toStdString(), typed, difference_);
    recorder_->AnswerScored(box, s.left, s.right, typed, s.expected, s.correct);
    round_.events.push_back(
        {clock_->NowMs() - startMs_, box, s.left, s.right, typed, s.expected, s.correct, false});
    ++round_.answers;
    ++(s.correct ? round_.correct : round_.wrong);
    edit->setStyleSheet(s.correct ? QStringLiteral("QLineEdit { color: #1060c0; }")
                                  : QStringLiteral("QLineEdit { color: #d01010; }"));
    if (box == kBoxCount) {
        NewRow();  // a filled row is replaced at once
    } else {
        boxes_[static_cast<std::size_t>(box) + 1]->setFocus();
    }
}

void FocusWindow::Tick() {
    if (!playing_) return;
    const std::int64_t left = std::int64_t{limitSeconds_} * 1000 - (clock_->NowMs() - startMs_);
    if (left <= 0) {
        Finish(false);
        return;
    }
    timeLeft_->setText(QStringLiteral("残り %1 秒").arg((left + 999) / 1000));
}

void FocusWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (playing_) {
            Finish(true);
        } else {
            close();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void FocusWindow::closeEvent(QCloseEvent* event) {
    // A round left by closing the window is stopped, not logged later behind the person's back;
    // the person says so first, as the round would be gone.
    if (playing_) {
        if (!AskStop()) {
            event->ignore();
            return;
        }
        Finish(true);
    }
    QWidget::closeEvent(event);
}

bool FocusWindow::AskStop() {
    return !playing_ ||
           AskToStop(*this, kTitle,
                     QStringLiteral("この回を中止しますか？\n中止した回は記録しません。"
                                    "これまでに終えた回は記録に残ります。"));
}

void FocusWindow::Finish(bool stopped) {
    timer_->stop();
    playing_ = false;
    round_.timeLimit = limitSeconds_;
    if (stopped) {
        // A round cut short is not a round of the set time: never handed to the log (the
        // recorder starts afresh at the next start).
        pages_->setCurrentIndex(0);
        note_->setText(QStringLiteral("中止しました。この回は記録していません。"));
        start_->setFocus();
        return;
    }
    recorder_->RoundClosed(
        {round_.answers, round_.correct, round_.wrong, limitSeconds_, round_.modeText});
    ShowResult(round_, std::nullopt);
    // Whether a pair is still among the weakest needs the log with this round in it: read once
    // the owner has tried the write, off the GUI thread.
    resultWaiting_ = true;
    ReadFigures();
    emit roundFinished();
}

}  // namespace keta
