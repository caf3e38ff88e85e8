#include "session_figure_rows.h"

#include <functional>

#include "session_figures.h"

namespace keta {
namespace {

using analysis::LineCount;
using analysis::SessionFigures;
using analysis::SessionHalfFigures;
using Value = std::optional<double>;

struct FigureRow {
    QString caption;
    QString meaning;
    FigureKind kind;
    std::function<Value(const SessionFigures&)> get;
};

Value Of(long long n) { return static_cast<double>(n); }

// Both halves of one figure: "<name>（前半）" and "<name>（後半）".
void AddHalves(std::vector<FigureRow>& rows, const QString& name, const QString& meaning,
               FigureKind kind, const std::function<Value(const SessionHalfFigures&)>& get) {
    rows.push_back({name + QStringLiteral("（前半）"), meaning, kind,
                    [get](const SessionFigures& f) { return get(f.first); }});
    rows.push_back({name + QStringLiteral("（後半）"), meaning, kind,
                    [get](const SessionFigures& f) { return get(f.second); }});
}

const std::vector<FigureRow>& Rows() {
    static const std::vector<FigureRow> rows = [] {
        std::vector<FigureRow> r;
        r.push_back({QStringLiteral("解答数"), QStringLiteral("終わった行で入れた答えの数。"),
                     FigureKind::Count, [](const SessionFigures& f) { return Of(f.answers); }});
        r.push_back({QStringLiteral("正答数"), QStringLiteral("そのうち正しかった答えの数。"),
                     FigureKind::Count, [](const SessionFigures& f) { return Of(f.correct); }});
        r.push_back({QStringLiteral("正答率"), QStringLiteral("正答数 ÷ 解答数。"),
                     FigureKind::Percent, [](const SessionFigures& f) { return f.accuracy; }});
        AddHalves(r, QStringLiteral("平均"),
                  QStringLiteral("その半分の、1 行当たりの解答数の平均。"), FigureKind::PerLine,
                  [](const SessionHalfFigures& h) { return h.meanPerLine; });
        AddHalves(r, QStringLiteral("初頭努力"),
                  QStringLiteral("最初の行の解答数 ÷ 最初と最後を除いた行の平均。1 より大きいと"
                                 "出だしが速い。3 行からです。"),
                  FigureKind::Ratio, [](const SessionHalfFigures& h) { return h.initialEffort; });
        AddHalves(r, QStringLiteral("終末努力"),
                  QStringLiteral("最後の行の解答数 ÷ 最初と最後を除いた行の平均。1 より大きいと"
                                 "終わりに伸びた。3 行からで、中止して最後の行まで行かなかった"
                                 "ときはありません。"),
                  FigureKind::Ratio, [](const SessionHalfFigures& h) { return h.finalEffort; });
        AddHalves(r, QStringLiteral("動揺"),
                  QStringLiteral("となりの行との差 ÷ 平均。0 なら同じ速さが続いた。平均で割るので、"
                                 "差が同じなら速い人ほど小さくなる。"),
                  FigureKind::Ratio, [](const SessionHalfFigures& h) { return h.fluctuation; });
        AddHalves(r, QStringLiteral("となりの行との差"),
                  QStringLiteral("となり合う行の解答数の差（大きいほうから小さいほうを引いた数）"
                                 "の平均。"),
                  FigureKind::PerLine, [](const SessionHalfFigures& h) { return h.meanChange; });
        AddHalves(r, QStringLiteral("最大差"),
                  QStringLiteral("（いちばん多い行 − いちばん少ない行）÷ 平均。2 行からです。"),
                  FigureKind::Ratio, [](const SessionHalfFigures& h) { return h.largestGap; });
        r.push_back(
            {QStringLiteral("休憩効果"),
             QStringLiteral("後半の最初の k 行の平均 ÷ 前半の最初の k 行の平均（k は短いほうの"
                            "半分の行数）。1 より大きいと休憩のあとが速い。中止して行が"
                            "足りないときはありません。"),
             FigureKind::Ratio, [](const SessionFigures& f) { return f.restEffect; }});
        AddHalves(r, QStringLiteral("誤答数"), QStringLiteral("その半分で間違えた答えの数。"),
                  FigureKind::Count, [](const SessionHalfFigures& h) { return Of(h.errors); });
        AddHalves(r, QStringLiteral("誤りのある行"),
                  QStringLiteral("その半分で、間違いが一つでもあった行の数。"), FigureKind::Count,
                  [](const SessionHalfFigures& h) { return Value(h.linesWithErrors); });
        AddHalves(
            r, QStringLiteral("傾き"),
            QStringLiteral(
                "行が進むごとに解答数が平均して何問増えたか（減ったか）。最小二乗法の直線の傾き。"),
            FigureKind::Slope, [](const SessionHalfFigures& h) { return h.slope; });
        return r;
    }();
    return rows;
}

std::vector<LineCount> Counts(const std::vector<LineResult>& lines, int half) {
    std::vector<LineCount> counts;
    for (const LineResult& l : lines) {
        if (l.half == half) counts.push_back({l.Answers(), l.Errors()});
    }
    return counts;
}

}  // namespace

const std::vector<SessionFigureRow>& SessionFigureRows() {
    static const std::vector<SessionFigureRow> rows = [] {
        std::vector<SessionFigureRow> r;
        for (const FigureRow& f : Rows()) r.push_back({f.caption, f.meaning, f.kind});
        return r;
    }();
    return rows;
}

SessionFigureValues ComputeSessionFigureValues(const std::vector<LineResult>& lines,
                                               const SessionSettings& settings) {
    const std::vector<LineCount> first = Counts(lines, 1);
    const std::vector<LineCount> second = Counts(lines, 2);
    const SessionFigures figures = analysis::ComputeSessionFigures(
        first, second, settings.firstHalfLines, settings.secondHalfLines);
    SessionFigureValues out;
    for (const FigureRow& f : Rows()) out.values.push_back(f.get(figures));
    out.firstMean = figures.first.meanPerLine;
    out.secondMean = figures.second.meanPerLine;
    return out;
}

}  // namespace keta
