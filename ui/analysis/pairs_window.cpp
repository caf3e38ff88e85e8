#include "pairs_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "chart_support.h"

namespace keta {
namespace {

const QString kSum = QStringLiteral("＋");
const QString kDifference = QStringLiteral("－");

// Below this the scale would make one wrong answer in a hundred look alarming.
constexpr double kLeastFullRate = 0.10;

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
    summary_ = new QLabel(this);
    summary_->setAccessibleName(QStringLiteral("集計"));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* top = new QHBoxLayout;
    top->addWidget(modeLabel);
    top->addWidget(mode_);
    top->addSpacing(12);
    top->addWidget(summary_, 1);

    heat_ = new QTableWidget(10, 10, this);
    heat_->setAccessibleName(QStringLiteral("数字の組の表"));
    heat_->setAccessibleDescription(
        QStringLiteral("行は左の数字、列は右の数字。文字は1問の時間の中央値（秒）"));
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
    heat_->setMinimumSize(420, 300);
    legend_ = new QLabel(this);
    legend_->setAccessibleName(QStringLiteral("色の見方"));
    legend_->setWordWrap(true);

    weakest_ = new QTreeWidget(this);
    weakest_->setAccessibleName(QStringLiteral("苦手な組 10"));
    weakest_->setRootIsDecorated(false);
    weakest_->setHeaderLabels({QStringLiteral("順位"), QStringLiteral("組"), QStringLiteral("解答"),
                               QStringLiteral("ミス"), QStringLiteral("ミス率"),
                               QStringLiteral("時間（秒）")});
    weakest_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    weakest_->setToolTip(
        QStringLiteral("ミスの割合（回数の少ない組はモード全体の割合に寄せて）と、時間の掛かり方か"
                       "ら順位を付けます"));
    auto* weakLabel = new QLabel(QStringLiteral("苦手な組 10(&W)"), this);
    weakLabel->setBuddy(weakest_);

    auto* mapSide = new QVBoxLayout;
    mapSide->addWidget(heat_, 1);
    mapSide->addWidget(legend_);
    auto* listSide = new QVBoxLayout;
    listSide->addWidget(weakLabel);
    listSide->addWidget(weakest_, 1);
    auto* middle = new QHBoxLayout;
    middle->addLayout(mapSide, 3);
    middle->addLayout(listSide, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    resize(900, 520);

    connect(mode_, &QComboBox::currentIndexChanged, this, [this] { ShowMode(); });
    ShowMode();
}

analysis::Mode PairsWindow::ShownMode() const {
    return mode_->currentData().toInt() == 1 ? analysis::Mode::Difference : analysis::Mode::Sum;
}

QColor PairsWindow::HeatColour(double errorRate, double fullRate) {
    const double t = std::clamp(fullRate > 0.0 ? errorRate / fullRate : 0.0, 0.0, 1.0);
    // White to a strong red: the green and blue fade together.
    const int fade = static_cast<int>(std::lround(255.0 - t * (255.0 - 40.0)));
    return {t > 0.0 ? std::max(220, 255 - static_cast<int>(std::lround(t * 35.0))) : 255, fade,
            fade};
}

void PairsWindow::ShowRounds(std::span<const analysis::RoundRecord> rounds) {
    figures_ = analysis::ComputePairs(rounds);
    ShowMode();
}

void PairsWindow::ShowUnavailable(const QString& why) {
    figures_ = analysis::PairFigures();
    ShowMode();
    summary_->setText(why);
}

void PairsWindow::ShowMode() {
    const analysis::PairTable& table = figures_.of(ShownMode());
    const QString sign = ShownMode() == analysis::Mode::Difference ? kDifference : kSum;
    double fullRate = kLeastFullRate;
    for (int a = 0; a <= 9; ++a)
        for (int b = 0; b <= 9; ++b)
            fullRate = std::max(fullRate, table.at(a, b).errorRate.value_or(0.0));

    for (int a = 0; a <= 9; ++a) {
        for (int b = 0; b <= 9; ++b) {
            const analysis::PairCell& cell = table.at(a, b);
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            QString described;
            if (cell.answers == 0) {
                item->setText(kNoFigure);
                item->setBackground(QColor(225, 225, 225));
                described = QStringLiteral("%1%2%3：まだ解答なし").arg(a).arg(sign).arg(b);
            } else {
                const double rate = cell.errorRate.value_or(0.0);
                const QColor colour = HeatColour(rate, fullRate);
                item->setText(SecondsText(cell.medianMs));
                item->setBackground(colour);
                item->setForeground(colour.lightness() < 140 ? Qt::white : Qt::black);
                described = QStringLiteral("%1%2%3：解答 %4、ミス %5（%6）、1問の時間 %7 秒")
                                .arg(a)
                                .arg(sign)
                                .arg(b)
                                .arg(cell.answers)
                                .arg(cell.errors)
                                .arg(PercentText(cell.errorRate), SecondsText(cell.medianMs));
            }
            item->setToolTip(described);
            item->setData(Qt::AccessibleTextRole, described);
            heat_->setItem(a, b, item);
        }
    }
    legend_->setText(
        QStringLiteral("色はミスの割合（白 0% → 赤 %1 以上）、数字は1問の時間の中央値（秒）")
            .arg(PercentText(fullRate)));

    weakest_->clear();
    int rank = 1;
    for (const analysis::WeakPair& w : analysis::WeakestPairs(table)) {
        auto* item = new QTreeWidgetItem(weakest_);
        item->setText(0, QString::number(rank++));
        item->setText(1, QStringLiteral("%1%2%3").arg(w.left).arg(sign).arg(w.right));
        item->setText(2, QString::number(w.answers));
        item->setText(3, QString::number(w.errors));
        item->setText(4, PercentText(w.smoothedErrorRate));
        item->setText(5, SecondsText(w.medianMs));
        for (int c : {0, 2, 3, 4, 5}) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }

    summary_->setText(
        figures_.rounds == 0
            ? QStringLiteral("解答ログにまだ回がありません")
            : QStringLiteral("%1 回・%2 モードの解答 %3、ミス %4（%5）、1問の時間 %6 秒")
                  .arg(figures_.rounds)
                  .arg(sign)
                  .arg(table.answers)
                  .arg(table.errors)
                  .arg(PercentText(table.errorRate), SecondsText(table.medianMs)));
}

}  // namespace keta
