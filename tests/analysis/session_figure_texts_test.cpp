#include "session_figure_texts.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

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
        {FigureKind::Count, none, false, "—"},
        {FigureKind::Percent, 0.625, false, "62.5%"},
        {FigureKind::Percent, 2.0 / 3, false, "66.7%"},
        {FigureKind::Percent, none, true, "—"},
        {FigureKind::PerLine, 4.0, false, "4.0 問/行"},
        {FigureKind::PerLine, 2.25, false, "2.3 問/行"},  // halves away from zero
        {FigureKind::PerLine, none, false, "—"},          // no unit without a value
        {FigureKind::Ratio, 0.5, false, "0.50"},
        {FigureKind::Ratio, 0.575, false, "0.58"},   // the decimal half, not the double below it
        {FigureKind::Ratio, -0.001, false, "0.00"},  // no "-0.00"
        {FigureKind::Slope, -7.0, false, "-7.00 問/行"},
        {FigureKind::Slope, none, false, "—"},
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
        {"初頭努力（前半）", "—"},
        {"最大差（後半）", "—"},
        {"傾き（前半）", "—"},
    };
    for (const auto& [caption, text] : expected) {
        ASSERT_TRUE(texts.count(caption)) << caption;
        EXPECT_EQ(texts.at(caption), text) << caption;
    }

    // Stopped in the second half before its line ended: no rest effect, the first half stands.
    const std::map<std::string, std::string> stopped = Texts({lines[0]}, s);
    EXPECT_EQ(stopped.at("休憩効果"), "—");
    EXPECT_EQ(stopped.at("平均（後半）"), "—");
    EXPECT_EQ(stopped.at("解答数"), "4");
}

}  // namespace
}  // namespace keta::analysis
