#pragma once
// A practice session's result as the program writes it: each figure's caption, what it means and
// its value as text, and the session's format in words. The desktop's result window and the
// browser edition both take their texts from here, so the two agree to the last digit.

#include <optional>
#include <string>
#include <vector>

#include "practice_session.h"

namespace keta::analysis {

// The text a figure without a value shows.
// "なし": never a dash, which reads like the mode "－".
inline constexpr const char* kNoFigureText = "\xE3\x81\xAA\xE3\x81\x97";

enum class FigureKind { Count, Percent, PerLine, Ratio, Slope };

struct SessionFigureRow {
    std::string caption;  // UTF-8, e.g. "初頭努力（前半）"
    std::string meaning;
    FigureKind kind;
};

struct SessionFigureValues {
    std::vector<std::optional<double>> values;    // in the order of SessionFigureRows()
    std::optional<double> firstMean, secondMean;  // answers per line of each half
};

const std::vector<SessionFigureRow>& SessionFigureRows();

// `lines` are the completed lines; the settings say how many each half was to have, so a
// figure about a line that never came has no value.
SessionFigureValues ComputeSessionFigureValues(const std::vector<LineResult>& lines,
                                               const SessionSettings& settings);

// A figure's value as the result shows it; `mean` for a mean over sessions, where a count gets
// a decimal.
std::string SessionFigureText(FigureKind kind, std::optional<double> value, bool mean = false);

// "＋", "－" or "交互".
std::string SessionModeText(SessionMode mode);
// "60 秒 × 15 行、休憩 5 分、15 行、＋"; one half: "60 秒 × 15 行、＋".
std::string SessionFormatText(const SessionSettings& settings);
// "（中止：終わった 3 行）"
std::string SessionStoppedText(std::size_t linesDone);

// A session's start as the lists show it, in the grid's date form: "2026/12/07 21:03" from
// "2026-12-07T21:03:15"; empty when the text is too short to be a start.
std::string SessionWhenText(const std::string& startedAt);

// True when two sessions ran in the same format (line time, lines, rest, mode); whether marks
// or the time left were shown does not change the work.
bool SameFormat(const SessionSettings& a, const SessionSettings& b);

// A figure over the earlier sessions in the same format: the mean over those that have it (one
// without it is not a 0), and how many did.
struct EarlierFigure {
    std::optional<double> mean;
    int withValue = 0;
};
// One for each row of SessionFigureRows().
std::vector<EarlierFigure> EarlierFigureMeans(const std::vector<SessionFigureValues>& earlier);
// "同じ設定で終えた 4 回。…", or that there are none yet.
std::string EarlierTitleText(std::size_t sessions);
// The row's meaning, with what its mean covers when there were earlier sessions.
std::string EarlierCoversText(const SessionFigureRow& row, std::size_t sessions, int withValue);

}  // namespace keta::analysis
