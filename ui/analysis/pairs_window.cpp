#include "pairs_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <vector>

#include "answer_log_rounds.h"
#include "chart_support.h"
#include "stats.h"

namespace keta {

// The colour scale of the map: white at 0 % on the left, the colour of the highest rate shown
// on the right, each end with its figure.
class HeatLegend : public QWidget {
public:
    explicit HeatLegend(QWidget* parent) : QWidget(parent) {
        setMinimumHeight(fontMetrics().height() + 8);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    void Set(const QString& low, const QString& high, const QColor& top) {
        low_ = low;
        high_ = high;
        top_ = top;
        update();
    }
    QSize sizeHint() const override { return {240, fontMetrics().height() + 8}; }

protected:
    void paintEvent(QPaintEvent*) override {
        if (high_.isEmpty()) return;
        QPainter p(this);
        const QFontMetrics fm = fontMetrics();
        const int lowWidth = fm.horizontalAdvance(low_) + 6;
        const int highWidth = fm.horizontalAdvance(high_) + 6;
        const QRect bar(lowWidth, 2, std::max(10, width() - lowWidth - highWidth), height() - 4);
        QLinearGradient gradient(bar.topLeft(), bar.topRight());
        gradient.setColorAt(0.0, PairsWindow::HeatColour(0.0, 1.0));
        gradient.setColorAt(1.0, top_);
        p.fillRect(bar, gradient);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawRect(bar.adjusted(0, 0, -1, -1));
        p.drawText(QRect(0, 0, lowWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, low_);
        p.drawText(QRect(bar.right() + 4, 0, highWidth, height()), Qt::AlignVCenter | Qt::AlignLeft,
                   high_);
    }

private:
    QString low_;
    QString high_;
    QColor top_;
};

namespace {

const QString kSum = QStringLiteral("＋");
const QString kDifference = QStringLiteral("－");
const QString kBusy = QStringLiteral("集計中…");

using analysis::kLeastFullRate;

QString SecondsText(std::optional<double> ms) {
    return ms ? FigureText(*ms / 1000.0, 2) : kNoFigure;
}

}  // namespace

PairsWindow::PairsWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pairsWindow"));
    SetUpAnalysisWindow(*this, QStringLiteral("苦手な数字の組"));

    mode_ = new QComboBox(this);
    mode_->setAccessibleName(QStringLiteral("モード"));
    mode_->addItem(kSum, 0);
    mode_->addItem(kDifference, 1);
    auto* modeLabel = new QLabel(QStringLiteral("モード(&M)"), this);
    modeLabel->setBuddy(mode_);
    summary_ = new FigureLabel(QStringLiteral("集計"), this);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* top = new QHBoxLayout;
    top->addWidget(modeLabel);
    top->addWidget(mode_);
    top->addSpacing(12);
    top->addWidget(summary_, 1);

    heat_ = new QTableWidget(10, 10);
    heat_->setAccessibleName(QStringLiteral("数字の組の表"));
    heat_->setAccessibleDescription(QStringLiteral(
        "行は左の数字、列は右の数字。色はミス率、文字は1問の時間の中央値（秒）。解答が5問未満の"
        "組は「なし」"));
    heat_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    heat_->setSelectionMode(QAbstractItemView::SingleSelection);
    heat_->setTabKeyNavigation(false);
    QStringList left, right;
    for (int d = 0; d <= 9; ++d) {
        left << QStringLiteral("左 %1").arg(d);
        right << QStringLiteral("右 %1").arg(d);
    }
    heat_->setVerticalHeaderLabels(left);
    heat_->setHorizontalHeaderLabels(right);
    heat_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    heat_->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    heat_->horizontalHeader()->setMinimumSectionSize(fontMetrics().horizontalAdvance(u'0') * 4);
    // Ten columns of "0.00" and the row names.
    heat_->setMinimumSize(fontMetrics().horizontalAdvance(u'0') * 46 + 50, 220);
    legend_ = new HeatLegend(this);
    auto* legendNote = new QLabel(
        QStringLiteral("色はミス率（白 0% から、表で最も高い率の色まで）。数字は1問の時間の中央値"
                       "（秒）。解答が5問未満の組は「なし」で、色を付けません。"));
    legendNote->setWordWrap(true);

    weakest_ = new QTreeWidget;
    weakest_->setAccessibleName(QStringLiteral("苦手な組 10"));
    weakest_->setRootIsDecorated(false);
    weakest_->setHeaderLabels({QStringLiteral("順位"), QStringLiteral("組"), QStringLiteral("解答"),
                               QStringLiteral("ミス"), QStringLiteral("ミス率"),
                               QStringLiteral("順位の点"), QStringLiteral("時間（秒）")});
    weakest_->header()->setSectionResizeMode(QHeaderView::Interactive);
    weakest_->header()->setStretchLastSection(false);
    auto* weakLabel = new QLabel(QStringLiteral("苦手な組 10(&W)"));
    weakLabel->setBuddy(weakest_);
    weakNote_ = new QLabel;
    weakNote_->setWordWrap(true);
    weakNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    weakNote_->hide();
    ranking_ = new QLabel(QStringLiteral(
        "順位の点 ＝ ミス率（解答の少ない組はモード全体のミス率に寄せた値）＋ 0.25 ×（1問の時間 ÷ "
        "モード全体の1問の時間 − 1）。点の高い組から並べます。解答が5問未満の組は並べません。"));
    ranking_->setWordWrap(true);

    auto* mapSide = new QWidget;
    auto* mapLayout = new QVBoxLayout(mapSide);
    mapLayout->setContentsMargins(0, 0, 0, 0);
    mapLayout->addWidget(heat_, 1);
    mapLayout->addWidget(legend_);
    mapLayout->addWidget(legendNote);
    auto* listSide = new QWidget;
    auto* listLayout = new QVBoxLayout(listSide);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(weakLabel);
    listLayout->addWidget(weakest_, 1);
    listLayout->addWidget(weakNote_, 1);
    listLayout->addWidget(ranking_);
    focusButton_ = new QPushButton(QStringLiteral("この組で苦手克服"));
    focusButton_->setObjectName(QStringLiteral("focusRound"));
    focusButton_->setAccessibleName(focusButton_->text());
    focusButton_->setEnabled(false);
    connect(focusButton_, &QPushButton::clicked, this, &PairsWindow::focusRoundAsked);
    listLayout->addWidget(focusButton_, 0, Qt::AlignRight);
    split_ = new QSplitter(Qt::Horizontal);
    auto* split = split_;
    split->addWidget(mapSide);
    split->addWidget(listSide);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);

    connect(mode_, &QComboBox::currentIndexChanged, this, [this] { ShowMode(); });
    ShowMode();
}

PairsWindow::~PairsWindow() {
    // The count looks at the flag as it reads and stops; once joined, nothing more can arrive.
    closing_ = true;
    if (worker_.joinable()) worker_.join();
}

QSize PairsWindow::sizeHint() const { return QWidget::sizeHint().expandedTo(QSize(960, 600)); }

analysis::Mode PairsWindow::ShownMode() const {
    return mode_->currentData().toInt() == 1 ? analysis::Mode::Difference : analysis::Mode::Sum;
}

QColor PairsWindow::HeatColour(double errorRate, double fullRate) {
    const std::array<int, 3> rgb = analysis::HeatRgb(errorRate, fullRate);
    return {rgb[0], rgb[1], rgb[2]};
}

void PairsWindow::Load(const QString& logPath) {
    if (busy_) return;
    if (worker_.joinable()) worker_.join();
    busy_ = true;
    ShowBusy();
    worker_ = std::thread([this, logPath] {
        analysis::PairFigures figures;
        QString problem;
        // A connection of this thread's own, read-only: the drill's writes never wait on it.
        // The rounds stream through one at a time, so the log is never held whole.
        analysis::PairCounter counter;
        if (!ForEachLoggedRound(
                logPath,
                [this, &counter](const analysis::RoundRecord& round) {
                    if (!closing_) counter.Add(round);
                },
                &problem, &closing_)) {
            if (problem.isEmpty()) problem = QStringLiteral("解答ログを読み込めませんでした。");
        } else {
            figures = counter.Finish();
        }
        QMetaObject::invokeMethod(
            this, [this, figures, problem] { Finish(figures, problem); }, Qt::QueuedConnection);
    });
}

void PairsWindow::Finish(const analysis::PairFigures& figures, const QString& problem) {
    if (worker_.joinable()) worker_.join();
    busy_ = false;
    if (problem.isEmpty()) {
        ShowFigures(figures);
    } else {
        ShowUnavailable(problem);
    }
    emit loaded();
}

void PairsWindow::ShowRounds(std::span<const analysis::RoundRecord> rounds) {
    ShowFigures(analysis::ComputePairs(rounds));
}

void PairsWindow::ShowFigures(const analysis::PairFigures& figures) {
    figures_ = figures;
    unavailable_.clear();
    ShowMode();
}

void PairsWindow::ShowUnavailable(const QString& why) {
    figures_ = analysis::PairFigures();
    unavailable_ = why;
    ShowMode();
}

void PairsWindow::ShowBusy() {
    summary_->setText(kBusy);
    for (int a = 0; a <= 9; ++a) {
        for (int b = 0; b <= 9; ++b) heat_->setItem(a, b, new QTableWidgetItem);
    }
    legend_->Set({}, {}, {});
    legend_->setAccessibleName(QStringLiteral("色の見方 ") + kBusy);
    weakest_->clear();
    weakest_->hide();
    weakNote_->setText(kBusy);
    weakNote_->show();
}

QString PairsWindow::LegendText() const { return legend_->accessibleName(); }

void PairsWindow::ShowMode() {
    if (busy_) {
        ShowBusy();
        return;
    }
    const analysis::PairTable& table = figures_.of(ShownMode());
    const QString sign = ShownMode() == analysis::Mode::Difference ? kDifference : kSum;
    // The top of the scale is the highest rate the map shows in colour.
    std::optional<double> highest;
    for (int a = 0; a <= 9; ++a) {
        for (int b = 0; b <= 9; ++b) {
            const analysis::PairCell& cell = table.at(a, b);
            if (cell.answers >= analysis::kFewestAnswersRated && cell.errorRate) {
                highest = std::max(highest.value_or(0.0), *cell.errorRate);
            }
        }
    }
    const double fullRate = std::max(kLeastFullRate, highest.value_or(0.0));

    for (int a = 0; a <= 9; ++a) {
        for (int b = 0; b <= 9; ++b) {
            const analysis::PairCell& cell = table.at(a, b);
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            const QString pair = QStringLiteral("%1%2%3").arg(a).arg(sign).arg(b);
            QString described;
            if (cell.answers == 0) {
                item->setText(kNoFigure);
                item->setBackground(QColor(225, 225, 225));
                described = pair + QStringLiteral("：まだ解答なし");
            } else if (cell.answers < analysis::kFewestAnswersRated) {
                item->setText(kNoFigure);
                item->setBackground(QColor(240, 240, 240));
                described = QStringLiteral("%1：解答 %2、ミス %3（5問未満なので率は出しません）")
                                .arg(pair)
                                .arg(cell.answers)
                                .arg(cell.errors);
            } else {
                const QColor colour = HeatColour(cell.errorRate.value_or(0.0), fullRate);
                item->setText(SecondsText(cell.medianMs));
                item->setBackground(colour);
                item->setForeground(colour.lightness() < 140 ? Qt::white : Qt::black);
                described = QStringLiteral("%1：解答 %2、ミス %3、ミス率 %4、1問の時間 %5 秒")
                                .arg(pair)
                                .arg(cell.answers)
                                .arg(cell.errors)
                                .arg(PercentText(cell.errorRate), SecondsText(cell.medianMs));
            }
            item->setToolTip(described);
            item->setData(Qt::AccessibleTextRole, described);
            heat_->setItem(a, b, item);
        }
    }
    if (highest) {
        legend_->Set(PercentText(0.0), PercentText(highest) + QStringLiteral("（表の最高）"),
                     HeatColour(*highest, fullRate));
        legend_->setAccessibleName(QStringLiteral("色の見方 白 %1 から %2（表の最高）まで")
                                       .arg(PercentText(0.0), PercentText(highest)));
    } else {
        legend_->Set({}, {}, {});
        legend_->setAccessibleName(QStringLiteral("色の見方 色の付いた組はまだありません"));
    }

    weakest_->clear();
    int rank = 1;
    for (const analysis::WeakPair& w : analysis::WeakestPairs(table)) {
        auto* item = new QTreeWidgetItem(weakest_);
        item->setText(0, QString::number(rank++));
        item->setText(1, QStringLiteral("%1%2%3").arg(w.left).arg(sign).arg(w.right));
        item->setText(2, QString::number(w.answers));
        item->setText(3, QString::number(w.errors));
        item->setText(4, PercentText(analysis::Ratio(w.errors, w.answers)));
        item->setText(5, FigureText(w.score, 3));
        item->setText(6, SecondsText(w.medianMs));
        for (int c : {0, 2, 3, 4, 5, 6}) {
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    int listWidth = 2 * weakest_->frameWidth() + weakest_->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < weakest_->columnCount(); ++c) {
        weakest_->resizeColumnToContents(c);
        listWidth += weakest_->columnWidth(c);
    }
    // The list whole beside the map when the screen is wide enough for both; on a narrow
    // screen (a large scale) the list goes under the map and scrolls down instead.
    const QScreen* shown = screen();
    const int room = shown != nullptr ? shown->availableGeometry().width() * 90 / 100 : 0;
    const bool beside = room >= heat_->minimumWidth() + 60 + listWidth;
    split_->setOrientation(beside ? Qt::Horizontal : Qt::Vertical);
    weakest_->setMinimumWidth(beside ? listWidth : 0);

    const bool ranked = weakest_->topLevelItemCount() > 0;
    weakest_->setVisible(ranked);
    focusButton_->setEnabled(ranked);
    weakNote_->setVisible(!ranked);
    if (!unavailable_.isEmpty()) {
        weakNote_->setText(unavailable_);
    } else if (table.rounds == 0) {
        weakNote_->setText(QStringLiteral("%1 モードの回が解答ログにまだありません。%1 モードで"
                                          "遊ぶと、解答が5問以上の組から並びます。")
                               .arg(sign));
    } else {
        weakNote_->setText(QStringLiteral("どの組もまだ解答が5問に届いていません（%1 モードの解答 "
                                          "%2 問）。%1 モードをもう少し遊ぶと並びます。")
                               .arg(sign)
                               .arg(table.answers));
    }

    QString summary;
    if (!unavailable_.isEmpty()) {
        summary = unavailable_;
    } else if (figures_.rounds == 0) {
        summary = QStringLiteral("解答ログにまだ回がありません");
    } else {
        summary = QStringLiteral("%1 モードの %2 回・解答 %3、ミス %4（%5）、1問の時間 %6 秒")
                      .arg(sign)
                      .arg(table.rounds)
                      .arg(table.answers)
                      .arg(table.errors)
                      .arg(PercentText(table.errorRate), SecondsText(table.medianMs));
        if (figures_.damaged > 0) {
            summary +=
                QStringLiteral("（壊れた記録の %1 回は数えていません）").arg(figures_.damaged);
        }
    }
    summary_->setText(summary);
    // The window's name says what it shows; its description, for which mode and how much.
    setAccessibleDescription(summary);
}

}  // namespace keta
