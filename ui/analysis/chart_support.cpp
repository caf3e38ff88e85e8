#include "chart_support.h"

#include <QAbstractAxis>
#include <QFormLayout>
#include <QLegend>
#include <QPainter>
#include <QShortcut>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "fonts.h"

namespace keta {

void SetUpAnalysisWindow(QWidget& window, const QString& title) {
    window.setWindowFlag(Qt::Window, true);
    window.setWindowModality(Qt::NonModal);
    window.setFont(GothicFont(9));
    window.setWindowTitle(title);
    window.setAccessibleName(title);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    QObject::connect(close, &QShortcut::activated, &window, &QWidget::close);
}

void ApplyChartFont(QChart& chart) {
    const QFont font = GothicFont(9);
    chart.setFont(font);
    chart.setTitleFont(GothicFont(10));
    chart.legend()->setFont(font);
    for (QAbstractAxis* axis : chart.axes()) {
        axis->setLabelsFont(font);
        axis->setTitleFont(font);
    }
}

QChartView* MakeChartView(QChart* chart, const QString& accessibleName, QWidget* parent) {
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setAccessibleName(accessibleName);
    view->setFocusPolicy(Qt::NoFocus);  // nothing to do on it with keys; the figures are beside it
    view->setMinimumSize(360, 240);
    return view;
}

FigureLabel* AddFigureRow(QFormLayout& form, const QString& name, const QString& toolTip) {
    auto* label = new QLabel(name);
    auto* value = new FigureLabel(name);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    value->setFocusPolicy(Qt::StrongFocus);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (!toolTip.isEmpty()) {
        label->setToolTip(toolTip);
        value->setToolTip(toolTip);
        value->setAccessibleDescription(toolTip);
    }
    label->setBuddy(value);
    form.addRow(label, value);
    return value;
}

QString FigureText(std::optional<double> value, int decimals) {
    return QString::fromStdString(analysis::FormatFigure(value, decimals, kNoFigure.toStdString()));
}

QString PercentText(std::optional<double> ratio) {
    return QString::fromStdString(analysis::FormatPercentFigure(ratio, kNoFigure.toStdString()));
}

QString IndexName(analysis::IndexId id) {
    using analysis::IndexId;
    switch (id) {
        case IndexId::MeanRate:
            // Every answer, right or wrong: not the grid's 秒当たり, which counts right ones.
            return QStringLiteral("全解答の速さ");
        case IndexId::InitialEffort:
            return QStringLiteral("最初の頑張り");
        case IndexId::EndSpurt:
            return QStringLiteral("終盤の伸び");
        case IndexId::Fluctuation:
            return QStringLiteral("ばらつき");
        case IndexId::Trend:
            return QStringLiteral("傾き");
        case IndexId::FirstHalfRate:
            return QStringLiteral("前半の速さ");
        case IndexId::SecondHalfRate:
            return QStringLiteral("後半の速さ");
        case IndexId::HalfRatio:
            return QStringLiteral("前半と後半");
        case IndexId::LongestRightRun:
            return QStringLiteral("連続正解");
        case IndexId::MedianMs:
            return QStringLiteral("1問の時間（中央値）");
        case IndexId::P90Ms:
            return QStringLiteral("1問の時間（90%）");
        case IndexId::PostErrorSlowing:
            return QStringLiteral("ミスの後の遅れ");
    }
    return QString::fromLatin1(analysis::IndexKey(id));
}

QString IndexExplanation(analysis::IndexId id) {
    using analysis::IndexId;
    switch (id) {
        case IndexId::MeanRate:
            return QStringLiteral(
                "正解もミスも数えて、制限時間全体で1秒あたりに答えた数（履歴の秒当たりは正解だけを"
                "数えます）");
        case IndexId::InitialEffort:
            return QStringLiteral("最初の区間の速さ÷平均の速さ。1より大きいと出だしが速い");
        case IndexId::EndSpurt:
            return QStringLiteral("最後の区間の速さ÷それまでの速さ。1より大きいと終盤に伸びた");
        case IndexId::Fluctuation:
            return QStringLiteral("区間の速さの最大と最小の差÷平均の速さ。小さいほど安定");
        case IndexId::Trend:
            return QStringLiteral(
                "区間の速さの1分あたりの変化（問/秒）。マイナスは次第に遅くなった");
        case IndexId::FirstHalfRate:
            return QStringLiteral("制限時間の前半に1秒あたりに答えた数");
        case IndexId::SecondHalfRate:
            return QStringLiteral("制限時間の後半に1秒あたりに答えた数");
        case IndexId::HalfRatio:
            return QStringLiteral("後半の速さ÷前半の速さ。1より小さいと後半に疲れた");
        case IndexId::LongestRightRun:
            return QStringLiteral("続けて正解した数の最大");
        case IndexId::MedianMs:
            return QStringLiteral("1問に掛かった時間の中央値");
        case IndexId::P90Ms:
            return QStringLiteral("1問に掛かった時間の90パーセンタイル（遅い方の1割の境目）");
        case IndexId::PostErrorSlowing:
            return QStringLiteral(
                "ミスの直後の1問の時間（中央値）÷1問の時間（中央値）。1より大きいとミスの後に慎重に"
                "なった");
    }
    return {};
}

QString IndexText(const analysis::RoundIndices& indices, analysis::IndexId id) {
    const std::optional<double> value = analysis::IndexValue(indices, id);
    if (!value) return kNoFigure;
    switch (analysis::UnitOf(id)) {
        case analysis::IndexUnit::Ratio:
            return FigureText(value, 2);
        case analysis::IndexUnit::PerSecond:
            return FigureText(value, 2) + QStringLiteral(" 問/秒");
        case analysis::IndexUnit::PerSecondPerMinute:
            return FigureText(value, 2) + QStringLiteral(" 問/秒/分");
        case analysis::IndexUnit::Count:
            return FigureText(value, 0) + QStringLiteral(" 問");
        case analysis::IndexUnit::Milliseconds:
            return FigureText(*value / 1000.0, 2) + QStringLiteral(" 秒");
    }
    return FigureText(value, 2);
}

void ApplyScale(QValueAxis& axis, const AxisScale& scale) {
    axis.setRange(scale.low, scale.high);
    axis.setTickType(QValueAxis::TicksFixed);
    axis.setTickCount(scale.intervals + 1);
    axis.setLabelFormat(QStringLiteral("%.%1f").arg(scale.decimals));
}

}  // namespace keta
