#include "result_saver.h"

#include <optional>

#include "history_records.h"
#include "qt_text.h"

namespace keta {
namespace {

// The reading of the clock and the round's counters, as the shared rules take a result.
SavedResult ResultAt(const QDateTime& at, const DrillState& s, const QString& modeText) {
    const QDate date = at.date();
    const QTime time = at.time();
    SavedResult result;
    result.year = date.year();
    result.month = date.month();
    result.day = date.day();
    result.hour = time.hour();
    result.minute = time.minute();
    result.second = time.second();
    result.answers = s.intMonsu;
    result.correct = s.intOk;
    result.wrong = s.intNg;
    result.timeLimit = s.intJikan;
    result.modeText = modeText.toStdU16String();
    return result;
}

}  // namespace

ResultSaver::ResultSaver(const DrillState& state, HistoryModel& grid, HistoryFile& file,
                         MessageBoxes& boxes, std::function<QString()> modeText,
                         std::function<QDateTime()> now)
    : state_(state),
      grid_(grid),
      file_(file),
      boxes_(boxes),
      modeText_(std::move(modeText)),
      now_(std::move(now)) {}

void ResultSaver::cmdHozon_Click() {
    const DrillState& s = state_;
    if ((s.intOk == 0 && s.intNg == 0) || s.blnPlay != False || s.blnCountdown != False) return;

    const int oldTopRow = grid_.TopRow();
    const int oldCurrentRow = grid_.CurrentRow();
    grid_.SetRows(grid_.Rows() + 1);
    const int row = grid_.Rows() - 1;
    grid_.SetCurrentRow(row);
    // One reading for the row, the line and the log's stamp: separate readings could put a
    // row and its line a second apart (the log then misses the row's round) or, at midnight,
    // pair one day's date with the next day's time.
    const SavedResult result = ResultAt(now_(), s, modeText_());
    const QString date = ToQString(HistoryDateText(result));
    const QString time = ToQString(HistoryTimeText(result));
    const QString cells[HistoryModel::kGridColumns] = {
        QString::number(row),
        date,
        time,
        QString::number(result.answers),
        QString::number(result.correct),
        QString::number(result.wrong),
        ToQString(AccuracyText(result.correct, result.answers)),
        ToQString(PerSecondText(result.correct, result.timeLimit)),
        ToQString(TimeLimitText(result.timeLimit)),
        ToQString(result.modeText),
    };
    for (int col = 0; col < HistoryModel::kGridColumns; ++col) {
        grid_.SetCurrentCol(col);
        grid_.SetCurrentText(cells[col]);
    }
    ScrollToNewest(grid_);

    const std::optional<std::string> line = HistoryRecordLine(result);
    if (line && file_.AppendLine(ToQByteArray(*line))) {
        if (saved_) saved_(date, time);
        return;
    }

    grid_.SetRows(row);
    grid_.SetCurrentRow(oldCurrentRow);
    if (grid_.TopRow() != oldTopRow) grid_.SetTopRow(oldTopRow);
    boxes_.ReportError(
        line ? QStringLiteral("履歴.txt に書き込めませんでした。結果は保存されていません。"
                              "（ディスクの空きや書き込み権限を確かめてください）")
             : QStringLiteral("モードの表示に履歴.txt に書けない文字があるため、結果を"
                              "保存できませんでした。"),
        QStringLiteral("保存エラー"));
}

}  // namespace keta
