#include "result_saver.h"

#include <optional>

#include "number_text.h"
#include "record_line.h"

namespace keta {
namespace {

// Fixed separators whatever the locale: the file format depends on them.
QString DateText(const QDateTime& t) { return t.toString(QStringLiteral("yyyy/MM/dd")); }
QString TimeText(const QDateTime& t) { return t.toString(QStringLiteral("HH:mm:ss")); }

QString AccuracyText(const DrillState& s) {
    return QString::fromStdString(FormatPercent(SafeRatio(s.intOk, s.intMonsu)));
}

QString PerSecondText(const DrillState& s) {
    return QString::fromStdString(FormatPerSecond(SafeRatio(s.intOk, s.intJikan)));
}

QString TimeLimitText(const DrillState& s) {
    return QString::number(s.intJikan) + QStringLiteral("秒");
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
    const QDateTime at = now_();
    const QString date = DateText(at);
    const QString time = TimeText(at);
    const QString cells[HistoryModel::kGridColumns] = {
        QString::number(row),
        date,
        time,
        QString::number(s.intMonsu),
        QString::number(s.intOk),
        QString::number(s.intNg),
        AccuracyText(s),
        PerSecondText(s),
        TimeLimitText(s),
        modeText_(),
    };
    for (int col = 0; col < HistoryModel::kGridColumns; ++col) {
        grid_.SetCurrentCol(col);
        grid_.SetCurrentText(cells[col]);
    }
    ScrollToNewest(grid_);

    const std::optional<QByteArray> line = FormatRecordLine({
        date,
        time,
        static_cast<long long>(s.intMonsu),
        static_cast<long long>(s.intOk),
        static_cast<long long>(s.intNg),
        AccuracyText(s),
        PerSecondText(s),
        TimeLimitText(s),
        modeText_(),
    });
    if (line && file_.AppendLine(*line)) {
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
