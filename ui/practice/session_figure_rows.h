#pragma once
// The figures of a practice session as the result window lists them: caption, what it means,
// how it is written, and its value from the session's lines.

#include <QString>
#include <optional>
#include <vector>

#include "practice_session.h"

namespace keta {

enum class FigureKind { Count, Percent, PerLine, Ratio, Slope };

struct SessionFigureRow {
    QString caption;
    QString meaning;
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

}  // namespace keta
