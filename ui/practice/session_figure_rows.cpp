#include "session_figure_rows.h"

namespace keta {

const std::vector<SessionFigureRow>& SessionFigureRows() {
    static const std::vector<SessionFigureRow> rows = [] {
        std::vector<SessionFigureRow> r;
        for (const analysis::SessionFigureRow& f : analysis::SessionFigureRows())
            r.push_back(
                {QString::fromStdString(f.caption), QString::fromStdString(f.meaning), f.kind});
        return r;
    }();
    return rows;
}

}  // namespace keta
