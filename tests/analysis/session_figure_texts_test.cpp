#include "session_figure_texts.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "session_sentences.h"

namespace keta::analysis {
namespace {

constexpr std::optional<double> none = std::nullopt;

TEST(SessionFigureTexts, EachKindIsWrittenAsTheResultShowsIt) {
    struct Case {
        FigureKind kind;
        std::optional<double> value;
        bool mean;
        const char* text;
    };
    const Case cases[] = {
        {FigureKind::Count, 7.0, false, "7"},
        {FigureKind::Count, 5.5, true, "5.5"},  // a mean over sessions keeps its half
        {FigureKind::Count, none, false, "なし"},
        {FigureKind::Percent, 0.625, false, "62.5%"},
        {FigureKind::Percent, 2.0 / 3, false, "66.7%"},
        {FigureKind::Percent, none, true, "なし"},
        {FigureKind::PerLine, 4.0, false, "4.0 問/行"},
        {FigureKind::PerLine, 2.25, false, "2.3 問/行"},  // halves away from zero
        {FigureKind::PerLine, none, false, "なし"},       // no unit without a value
        {FigureKind::Ratio, 0.5, false, "0.50"},
        {FigureKind::Ratio, 0.575, false, "0.58"},   // the decimal half, not the double below it
        {FigureKind::Ratio, -0.001, false, "0.00"},  // no "-0.00"
        {FigureKind::Slope, -7.0, false, "-7.00 問/行"},
        {FigureKind::Slope, none, false, "なし"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SessionFigureText(c.kind, c.value, c.mean), c.text)
            << static_cast<int>(c.kind) << " " << c.value.value_or(-1.0);
    }
}

TEST(SessionFigureTexts, TheFormatSaysTheRestOnlyWhenThereIsASecondHalf) {
    SessionSettings both;
    both.lineSeconds = 60;
    both.firstHalfLines = 15;
    both.secondHalfLines = 15;
    both.restMinutes = 5;
    SessionSettings one = both;
    one.secondHalfLines = 0;
    one.mode = SessionMode::Alternating;
    SessionSettings difference = both;
    difference.lineSeconds = 10;
    difference.firstHalfLines = 1;
    difference.secondHalfLines = 2;
    difference.restMinutes = 0;
    difference.mode = SessionMode::Difference;
    EXPECT_EQ(SessionFormatText(both), "60 秒 × 15 行、休憩 5 分、15 行、＋");
    EXPECT_EQ(SessionFormatText(one), "60 秒 × 15 行、交互");
    EXPECT_EQ(SessionFormatText(difference), "10 秒 × 1 行、休憩 0 分、2 行、－");
    EXPECT_EQ(SessionStoppedText(3), "（中止：終わった 3 行）");
    // The grid's date form; a text too short to be a start gives none.
    EXPECT_EQ(SessionWhenText("2026-12-07T21:03:15"), "2026/12/07 21:03");
    EXPECT_EQ(SessionWhenText("2026-12-07T21:0"), "");
}

LineResult Line(int half, int line, const std::vector<bool>& marks) {
    LineResult l;
    l.half = half;
    l.line = line;
    for (const bool correct : marks) l.answers.push_back({0, 1, 0, 0, "1", 1, correct});
    return l;
}

// Every figure's text by its caption.
std::map<std::string, std::string> Texts(const std::vector<LineResult>& lines,
                                         const SessionSettings& settings) {
    const SessionFigureValues values = ComputeSessionFigureValues(lines, settings);
    const std::vector<SessionFigureRow>& rows = SessionFigureRows();
    EXPECT_EQ(values.values.size(), rows.size());
    std::map<std::string, std::string> texts;
    for (std::size_t i = 0; i < rows.size() && i < values.values.size(); ++i) {
        EXPECT_TRUE(
            texts.emplace(rows[i].caption, SessionFigureText(rows[i].kind, values.values[i]))
                .second)
            << "two figures captioned " << rows[i].caption;
    }
    return texts;
}

TEST(SessionFigureTexts, ASessionsLinesBecomeItsFiguresByCaption) {
    SessionSettings s;
    s.lineSeconds = 10;
    s.firstHalfLines = 1;
    s.secondHalfLines = 1;
    s.restMinutes = 0;
    // 4 answers (1 wrong) before the rest, 2 (1 wrong) after it: 4 of 6 right, 2 ÷ 4 after it.
    const std::vector<LineResult> lines = {Line(1, 1, {true, true, false, true}),
                                           Line(2, 1, {false, true})};
    const std::map<std::string, std::string> texts = Texts(lines, s);
    const std::map<std::string, std::string> expected = {
        {"解答数", "6"},
        {"正答数", "4"},
        {"正答率", "66.7%"},
        {"平均（前半）", "4.0 問/行"},
        {"平均（後半）", "2.0 問/行"},
        {"休憩効果", "0.50"},
        {"誤答数（前半）", "1"},
        {"誤りのある行（後半）", "1"},
        // one line a half: nothing between lines
        {"初頭努力（前半）", "なし"},
        {"最大差（後半）", "なし"},
        {"傾き（前半）", "なし"},
    };
    for (const auto& [caption, text] : expected) {
        ASSERT_TRUE(texts.count(caption)) << caption;
        EXPECT_EQ(texts.at(caption), text) << caption;
    }

    // Stopped in the second half before its line ended: no rest effect, the first half stands.
    const std::map<std::string, std::string> stopped = Texts({lines[0]}, s);
    EXPECT_EQ(stopped.at("休憩効果"), "なし");
    EXPECT_EQ(stopped.at("平均（後半）"), "なし");
    EXPECT_EQ(stopped.at("解答数"), "4");
}

}  // namespace
}  // namespace keta::analysis

namespace keta::analysis {
namespace {

// Lines of a session from their answer counts, with `errors[k]` of line k's answers wrong.
std::vector<LineResult> Lines(const std::vector<int>& first, const std::vector<int>& second,
                              const std::vector<int>& errors = {}) {
    std::vector<LineResult> lines;
    std::size_t k = 0;
    for (int half : {1, 2}) {
        const std::vector<int>& counts = half == 1 ? first : second;
        for (std::size_t i = 0; i < counts.size(); ++i, ++k) {
            LineResult line;
            line.half = half;
            line.line = static_cast<int>(i) + 1;
            const int wrong = k < errors.size() ? errors[k] : 0;
            for (int a = 0; a < counts[i]; ++a) {
                LineAnswer answer;
                answer.correct = a >= wrong;
                line.answers.push_back(answer);
            }
            lines.push_back(line);
        }
    }
    return lines;
}

TEST(SessionSentences, SayWhatTheLinesShowInTwoOrThreeSentences) {
    struct Case {
        std::vector<LineResult> lines;
        SessionSettings settings;
        bool stopped;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        // Means 12 and 15 (a gap of 3.0); the first half's first line is 2 below its middle
        // line (12) and its last 2 above: the first is named.
        {Lines({10, 12, 14}, {14, 15, 16}),
         {60, 3, 3, 5},
         false,
         {"後半は前半より 1 行あたり 3.0 問多く、休憩のあとに速くなっています。",
          "前半は最初の行が途中の行より 2.0 問少なくなっています。", "間違いはありませんでした。"}},
        // One half: mean 51 / 5 = 10.2; middle lines 10, the last line 3 above them; errors
        // 2 + 1 on two lines.
        {Lines({8, 10, 10, 10, 13}, {}, {2, 0, 0, 1, 0}),
         {60, 5, 0, 0},
         false,
         {"1 行あたり平均 10.2 問解いています。", "最後の行が途中の行より 3.0 問多くなっています。",
          "間違いは 3 問、2 行にありました。"}},
        // First and last equal to the middle (10): the trend, Σ(k − 2.5)(a − 10) / Σ(k − 2.5)²
        // = 1 / 5 = 0.2 a line.
        {Lines({10, 9, 11, 10}, {}),
         {60, 4, 0, 0},
         false,
         {"1 行あたり平均 10.0 問解いています。",
          "行が進むごとに 1 行あたり 0.2 問ずつ増えています。", "間違いはありませんでした。"}},
        // Stopped after two lines of five: no shape of two lines; slower after the rest.
        {Lines({9, 10}, {}),
         {60, 5, 5, 5},
         true,
         {"途中で中止したため、終えた 2 行だけの結果です。", "1 行あたり平均 9.5 問解いています。",
          "間違いはありませんでした。"}},
        {Lines({10, 10}, {9, 10}, {0, 1}),
         {60, 2, 2, 5},
         false,
         {"後半は前半より 1 行あたり 0.5 問少なく、休憩のあとに遅くなっています。",
          "間違いは 1 問、1 行にありました。"}},
        {Lines({10, 10}, {10, 10}),
         {60, 2, 2, 5},
         false,
         {"前半と後半は 1 行あたり同じくらいの数を解いています。", "間違いはありませんでした。"}},
        {{}, {60, 5, 5, 5}, true, {"終えた行がないため、数字はありません。"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SessionSentences(c.lines, c.settings, c.stopped), c.said) << c.said.front();
    }
}

}  // namespace
}  // namespace keta::analysis
