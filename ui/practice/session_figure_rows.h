#pragma once
// The figures of a practice session as the result window lists them, in the window's strings.
// Captions, meanings, values and their texts are the analysis library's, which the browser
// edition shares.

#include <QString>
#include <optional>
#include <vector>

#include "practice_session.h"
#include "session_figure_texts.h"

namespace keta {

using analysis::ComputeSessionFigureValues;
using analysis::FigureKind;
using analysis::SessionFigureValues;

struct SessionFigureRow {
    QString caption;
    QString meaning;
    FigureKind kind;
};

const std::vector<SessionFigureRow>& SessionFigureRows();

}  // namespace keta
