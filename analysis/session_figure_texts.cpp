#include "session_figure_texts.h"

#include <functional>

#include "round_indices.h"
#include "session_figures.h"

namespace keta::analysis {
namespace {

using Value = std::optional<double>;

struct FigureRow {
    SessionFigureRow row;
    std::function<Value(const SessionFigures&)> get;
};

Value Of(long long n) { return static_cast<double>(n); }

// Both halves of one figure: "<name>（前半）" and "<name>（後半）".
void AddHalves(std::vector<FigureRow>& rows, const std::string& name, const std::string& meaning,
               FigureKind kind, const std::function<Value(const SessionHalfFigures&)>& get) {
    rows.push_back({{name + "（前半）", meaning, kind},
                    [get](const SessionFigures& f) { return get(f.first); }});
    rows.push_back({{name + "（後半）", meaning, kind},
                    [get](const SessionFigures& f) { return get(f.second); }});
}

const std::vector<FigureRow>& Rows() {
    static const std::vector<FigureRow> rows = [] {
        std::vector<FigureRow> r;
        r.push_back({{"解答数", "終わった行で入れた答えの数。", FigureKind::Count},
                     [](const SessionFigures& f) { return Of(f.answers); }});
        r.push_back({{"正答数", "そのうち正しかった答えの数。", FigureKind::Count},
                     [](const SessionFigures& f) { return Of(f.correct); }});
        r.push_back({{"正答率", "正答数 ÷ 解答数。", FigureKind::Percent},
                     [](const SessionFigures& f) { return f.accuracy; }});
        AddHalves(r, "平均", "その半分の、1 行当たりの解答数の平均。", FigureKind::PerLine,
                  [](const SessionHalfFigures& h) { return h.meanPerLine; });
        AddHalves(r, "初頭努力",
                  "最初の行の解答数 ÷ 最初と最後を除いた行の平均。1 より大きいと"
                  "出だしが速い。3 行からです。",
                  FigureKind::Ratio, [](const SessionHalfFigures& h) { return h.initialEffort; });
        AddHalves(r, "終末努力",
                  "最後の行の解答数 ÷ 最初と最後を除いた行の平均。1 より大きいと"
                  "終わりに伸びた。3 行からで、中止して最後の行まで行かなかった"
                  "ときはありません。",
                  FigureKind::Ratio, [](const SessionHalfFigures& h) { return h.finalEffort; });
        AddHalves(r, "動揺",
                  "となりの行との差 ÷ 平均。0 なら同じ速さが続いた。平均で割るので、"
                  "差が同じなら速い人ほど小さくなる。",
                  FigureKind::Ratio, [](const SessionHalfFigures& h) { return h.fluctuation; });
        AddHalves(r, "となりの行との差",
                  "となり合う行の解答数の差（大きいほうから小さいほうを引いた数）"
                  "の平均。",
                  FigureKind::PerLine, [](const SessionHalfFigures& h) { return h.meanChange; });
        AddHalves(r, "最大差", "（いちばん多い行 − いちばん少ない行）÷ 平均。2 行からです。",
                  FigureKind::Ratio, [](const SessionHalfFigures& h) { return h.largestGap; });
        r.push_back({{"休憩効果",
                      "後半の最初の k 行の平均 ÷ 前半の最初の k 行の平均（k は短いほうの"
                      "半分の行数）。1 より大きいと休憩のあとが速い。中止して行が"
                      "足りないときはありません。",
                      FigureKind::Ratio},
                     [](const SessionFigures& f) { return f.restEffect; }});
        AddHalves(r, "誤答数", "その半分で間違えた答えの数。", FigureKind::Count,
                  [](const SessionHalfFigures& h) { return Of(h.errors); });
        AddHalves(r, "誤りのある行", "その半分で、間違いが一つでもあった行の数。",
                  FigureKind::Count,
                  [](const SessionHalfFigures& h) { return Value(h.linesWithErrors); });
        AddHalves(r, "傾き",
                  "行が進むごとに解答数が平均して何問増えたか（減ったか）。最小二乗法の直線の"
                  "傾き。",
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
        for (const FigureRow& f : Rows()) r.push_back(f.row);
        return r;
    }();
    return rows;
}

SessionFigureValues ComputeSessionFigureValues(const std::vector<LineResult>& lines,
                                               const SessionSettings& settings) {
    const std::vector<LineCount> first = Counts(lines, 1);
    const std::vector<LineCount> second = Counts(lines, 2);
    const SessionFigures figures =
        ComputeSessionFigures(first, second, settings.firstHalfLines, settings.secondHalfLines);
    SessionFigureValues out;
    for (const FigureRow& f : Rows()) out.values.push_back(f.get(figures));
    out.firstMean = figures.first.meanPerLine;
    out.secondMean = figures.second.meanPerLine;
    return out;
}

std::string SessionFigureText(FigureKind kind, std::optional<double> value, bool mean) {
    switch (kind) {
        case FigureKind::Count:
            return FormatFigure(value, mean ? 1 : 0, kNoFigureText);
        case FigureKind::Percent:
            return FormatPercentFigure(value, kNoFigureText);
        case FigureKind::PerLine:
            return value ? FormatFigure(value, 1) + " 問/行" : kNoFigureText;
        case FigureKind::Ratio:
            return FormatFigure(value, 2, kNoFigureText);
        case FigureKind::Slope:
            return value ? FormatFigure(value, 2) + " 問/行" : kNoFigureText;
    }
    return kNoFigureText;
}

std::string SessionModeText(SessionMode mode) {
    switch (mode) {
        case SessionMode::Sum:
            return "＋";
        case SessionMode::Difference:
            return "－";
        case SessionMode::Alternating:
            return "交互";
    }
    return {};
}

std::string SessionFormatText(const SessionSettings& s) {
    std::string text =
        std::to_string(s.lineSeconds) + " 秒 × " + std::to_string(s.firstHalfLines) + " 行";
    if (s.secondHalfLines > 0) {
        text += "、休憩 " + std::to_string(s.restMinutes) + " 分、" +
                std::to_string(s.secondHalfLines) + " 行";
    }
    return text + "、" + SessionModeText(s.mode);
}

std::string SessionStoppedText(std::size_t linesDone) {
    return "（中止：終わった " + std::to_string(linesDone) + " 行）";
}

bool SameFormat(const SessionSettings& a, const SessionSettings& b) {
    return a.lineSeconds == b.lineSeconds && a.firstHalfLines == b.firstHalfLines &&
           a.secondHalfLines == b.secondHalfLines && a.restMinutes == b.restMinutes &&
           a.mode == b.mode;
}

std::vector<EarlierFigure> EarlierFigureMeans(const std::vector<SessionFigureValues>& earlier) {
    std::vector<EarlierFigure> means(SessionFigureRows().size());
    for (std::size_t i = 0; i < means.size(); ++i) {
        double sum = 0.0;
        int n = 0;
        for (const SessionFigureValues& f : earlier) {
            if (i < f.values.size() && f.values[i]) {
                sum += *f.values[i];
                ++n;
            }
        }
        means[i] = {n > 0 ? std::optional<double>(sum / n) : std::nullopt, n};
    }
    return means;
}

std::string EarlierTitleText(std::size_t sessions) {
    return sessions == 0 ? "同じ設定で終えた回はまだありません。"
                         : "同じ設定で終えた " + std::to_string(sessions) +
                               " 回。比は各回の比の平均で、値のない回は数えません。";
}

std::string EarlierCoversText(const SessionFigureRow& row, std::size_t sessions, int withValue) {
    if (sessions == 0) return row.meaning;
    return row.meaning + "\nこれまでの平均：" + std::to_string(sessions) + " 回のうち値のある " +
           std::to_string(withValue) + " 回の" +
           (row.kind == FigureKind::Ratio ? "比の平均" : "平均") + "。";
}

std::string SessionWhenText(const std::string& startedAt) {
    if (startedAt.size() < 16) return {};
    std::string when = startedAt.substr(0, 16);
    for (const std::size_t at : {std::size_t{4}, std::size_t{7}})
        if (when[at] == '-') when[at] = '/';
    if (when[10] == 'T') when[10] = ' ';
    return when;
}

}  // namespace keta::analysis
