#pragma once
// Saving a result: the counters of the current or last round become a new row of the
// history grid and a new line at the end of the history file.

#include <QDateTime>
#include <QString>
#include <functional>

#include "drill_state.h"
#include "history_file.h"
#include "history_model.h"
#include "message_boxes.h"

namespace keta {

class ResultSaver {
public:
    // `modeText` gives the text that the mode combo cboMode shows; `now` the current local
    // date and time.
    ResultSaver(const DrillState& state, HistoryModel& grid, HistoryFile& file, MessageBoxes& boxes,
                std::function<QString()> modeText,
                std::function<QDateTime()> now = &QDateTime::currentDateTime);

    // The save button, and the round close when auto-save is on. Does nothing before any
    // answer and while a countdown or timed play runs. When the line cannot be written the
    // user is told and the grid row is taken away again, so that grid and file agree.
    void cmdHozon_Click();

    // Told after each line the history file took, with the line's date and time texts
    // (items 1 and 2 as written), so that a listener can tie the save to its round.
    void OnSaved(std::function<void(const QString& date, const QString& time)> saved) {
        saved_ = std::move(saved);
    }

private:
    const DrillState& state_;
    HistoryModel& grid_;
    HistoryFile& file_;
    MessageBoxes& boxes_;
    std::function<QString()> modeText_;
    std::function<QDateTime()> now_;
    std::function<void(const QString&, const QString&)> saved_;
};

}  // namespace keta
