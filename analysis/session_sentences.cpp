#include "session_sentences.h"

#include <cmath>
#include <numeric>

#include "number_text.h"

namespace keta::analysis {
namespace {

double Mean(const std::vector<int>& counts, std::size_t from, std::size_t to) {
    return std::accumulate(counts.begin() + static_cast<std::ptrdiff_t>(from),
                           counts.begin() + static_cast<std::ptrdiff_t>(to), 0.0) /
           static_cast<double>(to - from);
}

// A count of answers per line as the result writes it: one decimal, the drill's rounding.
std::string PerLine(double value) { return FormatFixed(value, 1); }

bool Shown(double difference) { return PerLine(std::fabs(difference)) != "0.0"; }

// "多く" or "少なく" with the amount: "2.1 問多く".
std::string MoreOrFewer(double difference) {
    return PerLine(std::fabs(difference)) + (difference > 0 ? " 問多く" : " 問少なく");
}

// The half's first and last lines against its middle lines, or else its trend; `half` leads
// the sentence ("前半は", or nothing for a session of one half).
std::string Shape(const std::vector<int>& a, bool complete, const char* half) {
    const std::size_t n = a.size();
    if (n < 3) return {};
    const double middle = Mean(a, 1, n - 1);
    const double first = a.front() - middle;
    const double last = complete ? a.back() - middle : 0.0;
    if (Shown(first) || Shown(last)) {
        const bool firstLarger = std::fabs(first) >= std::fabs(last);
        return std::string(half) + (firstLarger ? "最初の行" : "最後の行") + "が途中の行より " +
               MoreOrFewer(firstLarger ? first : last) + "なっています。";
    }
    // The least-squares slope over the lines, k = 1 … n.
    const double kMean = (static_cast<double>(n) + 1) / 2;
    const double m = Mean(a, 0, n);
    double num = 0, den = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double dk = static_cast<double>(k + 1) - kMean;
        num += dk * (a[k] - m);
        den += dk * dk;
    }
    const double slope = num / den;
    if (!Shown(slope)) return std::string(half) + "最後まで同じくらいの速さで解いています。";
    return std::string(half) + "行が進むごとに 1 行あたり " + PerLine(std::fabs(slope)) +
           (slope > 0 ? " 問ずつ増えています。" : " 問ずつ減っています。");
}

}  // namespace

std::vector<std::string> SessionSentences(const std::vector<LineResult>& lines,
                                          const SessionSettings& settings, bool stopped) {
    std::vector<int> first, second;
    long long errors = 0;
    int linesWithErrors = 0;
    for (const LineResult& line : lines) {
        (line.half == 2 ? second : first).push_back(line.Answers());
        errors += line.Errors();
        if (line.Errors() > 0) ++linesWithErrors;
    }
    std::vector<std::string> said;
    if (lines.empty()) {
        said.push_back("終えた行がないため、数字はありません。");
        return said;
    }
    if (stopped)
        said.push_back("途中で中止したため、終えた " + std::to_string(lines.size()) +
                       " 行だけの結果です。");
    if (!first.empty() && !second.empty()) {
        const double d = Mean(second, 0, second.size()) - Mean(first, 0, first.size());
        said.push_back(Shown(d) ? "後半は前半より 1 行あたり " + MoreOrFewer(d) +
                                      (d > 0 ? "、休憩のあとに速くなっています。"
                                             : "、休憩のあとに遅くなっています。")
                                : "前半と後半は 1 行あたり同じくらいの数を解いています。");
    } else {
        said.push_back("1 行あたり平均 " + PerLine(Mean(first, 0, first.size())) +
                       " 問解いています。");
    }
    const bool firstComplete = static_cast<int>(first.size()) == settings.firstHalfLines;
    const std::string shape = Shape(first, firstComplete, second.empty() ? "" : "前半は");
    if (!shape.empty() && said.size() < 3) said.push_back(shape);
    if (said.size() < 3)
        said.push_back(errors == 0 ? std::string("間違いはありませんでした。")
                                   : "間違いは " + std::to_string(errors) + " 問、" +
                                         std::to_string(linesWithErrors) + " 行にありました。");
    return said;
}

}  // namespace keta::analysis
