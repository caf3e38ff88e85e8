// The focus window's pages: the settings with the 10 × 10 grid of pairs, the round's row, and
// the result of each pair beside its figures from before.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/chart_support.h"
#include "answer_row.h"
#include "calendar_source.h"
#include "focus_pairs.h"
#include "focus_window.h"
#include "fonts.h"
#include "form_row.h"

namespace keta {
void FocusWindow::ShowSettings() {
    if (playing_) return;
    pages_->setCurrentIndex(0);
    start_->setFocus();
}

namespace {

QString Median(const std::optional<double>& ms) {
    return ms ? FigureText(*ms / 1000.0, 2) + QStringLiteral(" 秒") : kNoFigure;
}

}  // namespace

QString FocusWindow::PairName(const DigitPair& p, bool difference) {
    return QString::number(p.left) + Sign(difference) + QString::number(p.right);
}

QString FocusWindow::Sign(bool difference) {
    return difference ? QStringLiteral("－") : QStringLiteral("＋");
}

QWidget* FocusWindow::BuildSettingsPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    mode_ = AddRow(*form, QStringLiteral("モード"), new QComboBox, QStringLiteral("mode"));
    mode_->addItems({Sign(false), Sign(true)});
    limit_ = AddRow(*form, QStringLiteral("時間"), new QComboBox, QStringLiteral("limit"));
    for (int s = 10; s <= 180; s += 10) limit_->addItem(QStringLiteral("%1 秒").arg(s), s);
    // The time chosen last, in this run or an earlier one; 60 s at first.
    const int kept = LoadPreference(logPath_, QString::fromLatin1(kFocusLimitKey)).toInt();
    limit_->setCurrentIndex(limit_->findData(limit_->findData(kept) >= 0 ? kept : 60));
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
        grid->addWidget(new QLabel(QStringLiteral("右 %1").arg(d)), 0, d + 1, Qt::AlignCenter);
        grid->addWidget(new QLabel(QStringLiteral("左 %1").arg(d)), d + 1, 0, Qt::AlignCenter);
    }
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < 10; ++b) {
            auto* box = new QCheckBox;
            box->setObjectName(QStringLiteral("pair%1%2").arg(a).arg(b));
            grid_[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] = box;
            grid->addWidget(box, a + 1, b + 1, Qt::AlignCenter);
            connect(box, &QCheckBox::toggled, this, [this](bool on) {
                if (on) ticked_->setChecked(true);
                shareSoon_->start();
            });
        }
    }
    connect(mode_, &QComboBox::currentIndexChanged, this, &FocusWindow::ShowModeSigns);
    ShowModeSigns();
    share_ = new QLabel;
    share_->setObjectName(QStringLiteral("share"));
    share_->setWordWrap(true);
    shareSoon_ = new QTimer(this);
    shareSoon_->setSingleShot(true);
    shareSoon_->setInterval(0);
    connect(shareSoon_, &QTimer::timeout, this, &FocusWindow::ShowShare);
    for (QComboBox* box : {mode_, percent_})
        connect(box, &QComboBox::currentIndexChanged, shareSoon_, qOverload<>(&QTimer::start));
    connect(weakest_, &QRadioButton::toggled, shareSoon_, qOverload<>(&QTimer::start));

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
    layout->addWidget(share_);
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
        BuildAnswerRow(*new QGridLayout(row), std::min(18.0, RowPointsFor(*this)), this,
                       [this](int b) { BoxEdited(b); });
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
    connect(again, &QPushButton::clicked, this, &FocusWindow::ShowSettings);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(resultNote_);
    layout->addWidget(results_);
    layout->addWidget(again, 0, Qt::AlignRight);
    return page;
}

namespace {

// The last column: said only where the round can back it.
QString VerdictText(FocusPairResult::Verdict verdict, bool figuresAfter) {
    switch (verdict) {
        case FocusPairResult::Verdict::NotDrilled:
            return QStringLiteral("この回は出ませんでした");
        case FocusPairResult::Verdict::TooFew:
            return QStringLiteral("この回は5問未満");
        case FocusPairResult::Verdict::DroppedOut:
            return figuresAfter ? QStringLiteral("苦手から外れました") : QString();
        case FocusPairResult::Verdict::StillWeak:
            break;
    }
    return {};
}

}  // namespace

void FocusWindow::ShowResult(const analysis::RoundRecord& round,
                             const std::optional<analysis::PairFigures>& after) {
    const std::vector<FocusPairResult> rows =
        FocusResults(pairs_, round, before_, after.value_or(before_));
    results_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const FocusPairResult& r = rows[static_cast<std::size_t>(i)];
        const QStringList cells{
            PairName(r.pair, difference_),     QString::number(r.round.answers),
            QString::number(r.round.errors),   Median(r.round.medianMs),
            QString::number(r.before.answers), QString::number(r.before.errors),
            Median(r.before.medianMs),         VerdictText(r.verdict, after.has_value())};
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
