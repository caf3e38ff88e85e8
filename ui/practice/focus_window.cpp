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
}

FocusWindow::~FocusWindow() {
    timer_->stop();
    if (afterReader_.joinable()) afterReader_.join();
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

void FocusWindow::Start() {
    if (playing_) return;
    difference_ = mode_->currentIndex() == 1;
    const analysis::Mode mode = difference_ ? analysis::Mode::Difference : analysis::Mode::Sum;
    QString why;
    // Recomputed at every start, so that the rounds just played count.
    const std::optional<analysis::PairFigures> figures = LoggedPairFigures(logPath_, &why);
    before_ = figures.value_or(analysis::PairFigures{});
    pairs_.clear();
    if (weakest_->isChecked()) {
        if (!figures) {
            note_->setText(QStringLiteral("解答ログを読めないため、苦手な組を決められません（%1）。"
                                          "表で組を選んでください。")
                               .arg(why));
            ticked_->setChecked(true);
            return;
        }
        pairs_ = WeakestOf(*figures, mode);
        if (pairs_.empty()) {
            note_->setText(QStringLiteral("このモードの答えがまだ少なく、苦手な組を決められません"
                                          "（どの組も %1 回未満）。表で組を選んでください。")
                               .arg(analysis::kFewestAnswersRated));
            ticked_->setChecked(true);
            grid_[0][0]->setFocus();
            return;
        }
    } else {
        for (int a = 0; a < 10; ++a) {
            for (int b = 0; b < 10; ++b) {
                if (grid_[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)]->isChecked())
                    pairs_.push_back({a, b});
            }
        }
        if (pairs_.empty()) {
            note_->setText(QStringLiteral("表で組を一つ以上選んでください。"));
            return;
        }
    }
    note_->clear();
    const int percent = percent_->currentData().toInt();
    limitSeconds_ = limit_->currentData().toInt();
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
    if (afterReader_.joinable()) afterReader_.join();
    afterReader_ = std::thread([this, owner = owner_, path = logPath_, round = round_] {
        owner->WaitUntilTried(5000);
        auto after =
            std::make_shared<std::optional<analysis::PairFigures>>(LoggedPairFigures(path));
        QMetaObject::invokeMethod(
            this,
            [this, round, after] {
                if (pages_->currentIndex() == 2 && *after) ShowResult(round, *after);
            },
            Qt::QueuedConnection);
    });
    emit roundFinished();
}

}  // namespace keta
