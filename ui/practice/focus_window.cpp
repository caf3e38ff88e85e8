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

QString Sign(bool difference) { return difference ? QStringLiteral("－") : QStringLiteral("＋"); }

QString PairName(const DigitPair& p, bool difference) {
    return QString::number(p.left) + Sign(difference) + QString::number(p.right);
}

QString Median(const std::optional<double>& ms) {
    return ms ? FigureText(*ms / 1000.0, 2) + QStringLiteral(" 秒") : kNoFigure;
}

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

QWidget* FocusWindow::BuildSettingsPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    mode_ = AddRow(*form, QStringLiteral("モード"), new QComboBox, QStringLiteral("mode"));
    mode_->addItems({Sign(false), Sign(true)});
    limit_ = AddRow(*form, QStringLiteral("時間"), new QComboBox, QStringLiteral("limit"));
    for (int s = 10; s <= 180; s += 10) limit_->addItem(QStringLiteral("%1 秒").arg(s), s);
    limit_->setCurrentIndex(limit_->findData(60));
    percent_ =
        AddRow(*form, QStringLiteral("集中の割合"), new QComboBox, QStringLiteral("percent"));
    for (const int p : kFocusPercents) percent_->addItem(QStringLiteral("%1 %").arg(p), p);
    percent_->setCurrentIndex(percent_->findData(kDefaultFocusPercent));

    weakest_ = new QRadioButton(QStringLiteral("苦手な10組（解答ログから）"));
    weakest_->setObjectName(QStringLiteral("weakest"));
    weakest_->setAccessibleName(weakest_->text());
    weakest_->setChecked(true);
    ticked_ = new QRadioButton(QStringLiteral("表で選んだ組"));
    ticked_->setObjectName(QStringLiteral("ticked"));
    ticked_->setAccessibleName(ticked_->text());
    auto* choice = new QButtonGroup(page);
    choice->addButton(weakest_);
    choice->addButton(ticked_);

    // Rows: the left digit; columns: the right digit, as in the weak-pairs map.
    auto* gridBox = new QWidget;
    auto* grid = new QGridLayout(gridBox);
    grid->setSpacing(2);
    for (int d = 0; d < 10; ++d) {
        grid->addWidget(new QLabel(QString::number(d)), 0, d + 1, Qt::AlignCenter);
        grid->addWidget(new QLabel(QString::number(d)), d + 1, 0, Qt::AlignCenter);
    }
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < 10; ++b) {
            auto* box = new QCheckBox;
            box->setObjectName(QStringLiteral("pair%1%2").arg(a).arg(b));
            grid_[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] = box;
            grid->addWidget(box, a + 1, b + 1, Qt::AlignCenter);
            connect(box, &QCheckBox::toggled, this, [this](bool on) {
                if (on) ticked_->setChecked(true);
            });
        }
    }
    connect(mode_, &QComboBox::currentIndexChanged, this, &FocusWindow::ShowModeSigns);
    ShowModeSigns();

    note_ = new QLabel;
    note_->setObjectName(QStringLiteral("note"));
    note_->setWordWrap(true);
    start_ = StartButton();
    connect(start_, &QPushButton::clicked, this, &FocusWindow::Start);

    auto* hint =
        new QLabel(QStringLiteral("苦手な組が多めに出る行で練習します。この回は履歴には書かず、"
                                  "解答ログに苦手克服の回として残ります。Esc で中止できます。"));
    hint->setWordWrap(true);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(weakest_);
    layout->addWidget(ticked_);
    layout->addWidget(gridBox, 0, Qt::AlignLeft);
    layout->addWidget(note_);
    layout->addWidget(hint);
    layout->addWidget(start_, 0, Qt::AlignRight);
    layout->addStretch();
    return page;
}

void FocusWindow::ShowModeSigns() {
    const bool difference = mode_->currentIndex() == 1;
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < 10; ++b) {
            grid_[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)]->setAccessibleName(
                PairName({a, b}, difference));
        }
    }
}

QWidget* FocusWindow::BuildRoundPage() {
    auto* page = new QWidget;
    page->setFocusPolicy(Qt::StrongFocus);
    modeLabel_ = new QLabel;
    modeLabel_->setObjectName(QStringLiteral("modeLabel"));
    modeLabel_->setFont(GothicFont(16));
    timeLeft_ = new QLabel;
    timeLeft_->setObjectName(QStringLiteral("timeLeft"));
    timeLeft_->setFont(GothicFont(16));
    auto* top = new QHBoxLayout;
    top->addWidget(modeLabel_);
    top->addStretch();
    top->addWidget(timeLeft_);

    auto* row = new QWidget;
    const AnswerRowWidgets widgets =
        BuildAnswerRow(*new QGridLayout(row), 18, this, [this](int b) { BoxEdited(b); });
    digitLabels_ = widgets.digits;
    boxes_ = widgets.boxes;
    for (int b = 1; b <= kBoxCount; ++b) boxes_[static_cast<std::size_t>(b)]->setMaxLength(1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(row);
    layout->addStretch();
    return page;
}

QWidget* FocusWindow::BuildResultPage() {
    auto* page = new QWidget;
    resultNote_ = new QLabel;
    resultNote_->setObjectName(QStringLiteral("resultNote"));
    resultNote_->setWordWrap(true);
    results_ = new QTableWidget(0, 8);
    results_->setObjectName(QStringLiteral("results"));
    results_->setAccessibleName(QStringLiteral("組ごとの結果"));
    results_->setHorizontalHeaderLabels({QStringLiteral("組"), QStringLiteral("この回の答え"),
                                         QStringLiteral("誤り"), QStringLiteral("中央値"),
                                         QStringLiteral("これまでの答え"), QStringLiteral("誤り"),
                                         QStringLiteral("中央値"), QStringLiteral("")});
    results_->verticalHeader()->hide();
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* again = new QPushButton(QStringLiteral("設定に戻る(&B)"));
    again->setObjectName(QStringLiteral("back"));
    connect(again, &QPushButton::clicked, this, [this] {
        pages_->setCurrentIndex(0);
        start_->setFocus();
    });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(resultNote_);
    layout->addWidget(results_);
    layout->addWidget(again, 0, Qt::AlignRight);
    return page;
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

void FocusWindow::ShowResult(const analysis::RoundRecord& round,
                             const std::optional<analysis::PairFigures>& after) {
    const std::vector<FocusPairResult> rows =
        FocusResults(pairs_, round, before_, after.value_or(before_));
    results_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const FocusPairResult& r = rows[static_cast<std::size_t>(i)];
        const QStringList cells{
            PairName(r.pair, difference_),
            QString::number(r.round.answers),
            QString::number(r.round.errors),
            Median(r.round.medianMs),
            QString::number(r.before.answers),
            QString::number(r.before.errors),
            Median(r.before.medianMs),
            !after || r.stillWeak ? QString() : QStringLiteral("苦手から外れました")};
        for (int c = 0; c < cells.size(); ++c)
            results_->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    resultNote_->setText(QStringLiteral("答え %1　正解 %2　誤り %3")
                             .arg(round.answers)
                             .arg(round.correct)
                             .arg(round.wrong));
    resultNote_->setAccessibleName(resultNote_->text());
    if (pages_->currentIndex() != 2) {  // the later figures leave the focus where it is
        pages_->setCurrentIndex(2);
        results_->setFocus();
    }
}

}  // namespace keta
