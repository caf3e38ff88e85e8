#include "csv_export.h"

#include <QFileInfo>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "answer_log.h"
#include "csv_cells.h"
#include "export_target.h"
#include "history_points.h"
#include "qt_text.h"
#include "session_store.h"

namespace keta {
namespace {

constexpr std::size_t kChunk = std::size_t{64} * 1024;

// Writes the rows of one CSV into its target, opened only when the first bytes come, so that
// a source that cannot be read leaves the target untouched.
class CsvWriter {
public:
    CsvWriter(const QString& sourcePath, const QString& csvPath)
        : sink_(ResolveExportTarget(QFileInfo(sourcePath).absolutePath(), csvPath)) {}

    bool Refused(QString* error) const {
        if (sink_.Target().kind != ExportTarget::Kind::Refused) return false;
        SetError(error, sink_.Target().reason);
        return true;
    }

    // One row, by the shared cell rules (csv_cells.h).
    void Row(const QStringList& fields, const std::vector<bool>& isText) {
        cells_.clear();
        for (const QString& field : fields) cells_.push_back(field.toStdU16String());
        AppendCsvRow(buffer_, cells_, isText);
        Pass();
    }

    // The history export's header row.
    void HistoryHeader() {
        AppendHistoryCsvHeader(buffer_);
        Pass();
    }

    // Writes the rest; false with the reason when any of it could not be written.
    bool Finish(QString* error) {
        Pass(true);
        if (!failed_ && sink_.Commit()) return true;
        SetError(error, sink_.ErrorText());
        return false;
    }

    static void SetError(QString* error, const QString& text) {
        if (error != nullptr) *error = text;
    }

private:
    // Hands the rows over once a chunk has gathered, or all of them at the end.
    void Pass(bool all = false) {
        if (!all && buffer_.size() < kChunk) return;
        if (failed_) {
            buffer_.clear();  // nothing more is written
            return;
        }
        if (!opened_) {
            opened_ = true;
            if (!sink_.Open()) {
                failed_ = true;
                return;
            }
            if (sink_.Target().kind == ExportTarget::Kind::File) {
                buffer_.insert(0, kCsvByteOrderMark);
            }
        }
        if (!sink_.Write(QByteArrayView(buffer_.data(), static_cast<qsizetype>(buffer_.size())))) {
            failed_ = true;
        }
        buffer_.clear();
    }

    ExportSink sink_;
    std::string buffer_;
    std::vector<std::u16string> cells_;
    bool opened_ = false;
    bool failed_ = false;
};

}  // namespace

bool ExportHistoryCsv(const QString& historyPath, const QString& csvPath, QString* error) {
    CsvWriter csv(historyPath, csvPath);
    if (csv.Refused(error)) return false;
    csv.HistoryHeader();  // kept until the history has been read far enough
    // Lines that are no record are left out, as the history grid leaves them out.
    QStringList fields;
    const HistoryPointsRead::Status status =
        ForEachHistoryRecord(historyPath, [&](const HistoryRecord& record) {
            fields.clear();
            for (std::size_t i = 0; i < record.items.size(); ++i) {
                if (i == 3) {
                    fields << QString::number(record.correct);
                } else if (i == 4) {
                    fields << QString::number(record.wrong);
                } else {
                    fields << ToQString(record.items[i].text);
                }
            }
            csv.Row(fields, HistoryCsvTextColumns());
        });
    if (status != HistoryPointsRead::Status::Read) {
        const QString why = status == HistoryPointsRead::Status::Missing
                                ? QStringLiteral("見つかりません")
                            : status == HistoryPointsRead::Status::NotRegular
                                ? QStringLiteral("通常のファイルではありません")
                                : QStringLiteral("読み取れません");
        CsvWriter::SetError(
            error,
            QStringLiteral("履歴ファイル %1 を読み込めませんでした（%2）。").arg(historyPath, why));
        return false;
    }
    return csv.Finish(error);
}

bool ExportAnswersCsv(const QString& logPath, const QString& csvPath, QString* error) {
    CsvWriter csv(logPath, csvPath);
    if (csv.Refused(error)) return false;
    AnswerLog log(logPath, nullptr, 2000, AnswerLog::Access::ReadOnly);
    if (!log.Open()) {
        CsvWriter::SetError(
            error,
            QStringLiteral("解答ログ %1 を読み込めませんでした。%2").arg(logPath, log.LastError()));
        return false;
    }
    const std::vector<bool> isText{false, true,  false, true,  false, false, false, true, true,
                                   false, false, false, false, true,  false, false, false};
    csv.Row({QStringLiteral("回番号"), QStringLiteral("開始日時"), QStringLiteral("制限時間"),
             QStringLiteral("モード"), QStringLiteral("問数"), QStringLiteral("ＯＫ"),
             QStringLiteral("ＮＧ"), QStringLiteral("保存日付"), QStringLiteral("保存時間"),
             QStringLiteral("経過ミリ秒"), QStringLiteral("枠"), QStringLiteral("左の数字"),
             QStringLiteral("右の数字"), QStringLiteral("入力"), QStringLiteral("正解"),
             QStringLiteral("正誤"), QStringLiteral("クリック消去")},
            {});
    QStringList fields;
    std::int64_t savesOf = -1;
    QString dates, times;
    const bool read =
        log.ForEachAnswer([&](const analysis::RoundRecord& r, const std::vector<SaveStamp>& saves,
                              const analysis::AnswerRecord& a) {
            // Every save of the round, oldest first, the n-th date beside the n-th time.
            if (r.id != savesOf) {
                savesOf = r.id;
                QStringList d, t;
                for (const SaveStamp& save : saves) {
                    d << save.date;
                    t << save.time;
                }
                dates = d.join(QStringLiteral("; "));
                times = t.join(QStringLiteral("; "));
            }
            // The digits of a clearing are not known.
            const QString none;
            fields.clear();
            fields << QString::number(r.id) << QString::fromStdString(r.startedAt)
                   << QString::number(r.timeLimit) << QString::fromStdString(r.modeText)
                   << QString::number(r.answers) << QString::number(r.correct)
                   << QString::number(r.wrong) << dates << times << QString::number(a.ms)
                   << QString::number(a.box) << (a.cleared ? none : QString::number(a.left))
                   << (a.cleared ? none : QString::number(a.right))
                   << QString::fromStdString(a.typed)
                   << (a.cleared ? none : QString::number(a.expected))
                   << (a.cleared ? none : QString::number(a.correct ? 1 : 0))
                   << QString::number(a.cleared ? 1 : 0);
            csv.Row(fields, isText);
        });
    if (!read) {
        CsvWriter::SetError(
            error,
            QStringLiteral("解答ログ %1 を読み込めませんでした。%2").arg(logPath, log.LastError()));
        return false;
    }
    return csv.Finish(error);
}

bool ExportSessionsCsv(const QString& logPath, const QString& csvPath, QString* error) {
    CsvWriter csv(logPath, csvPath);
    if (csv.Refused(error)) return false;
    const auto unreadable = [&](const QString& why) {
        CsvWriter::SetError(
            error, QStringLiteral("解答ログ %1 を読み込めませんでした。%2").arg(logPath, why));
        return false;
    };
    if (!QFileInfo(logPath).isFile()) return unreadable(QStringLiteral("ファイルがありません。"));
    QString why;
    const std::optional<std::vector<StoredSession>> sessions = LoadSessions(logPath, &why);
    if (!sessions) return unreadable(why);
    const auto modeText = [](SessionMode mode) {
        return mode == SessionMode::Sum          ? QStringLiteral("＋")
               : mode == SessionMode::Difference ? QStringLiteral("－")
                                                 : QStringLiteral("交互");
    };
    const std::vector<bool> isText{false, true,  true,  false, false, false,
                                   true,  false, false, false, true};
    csv.Row({QStringLiteral("セッション番号"), QStringLiteral("開始日時"), QStringLiteral("モード"),
             QStringLiteral("行の時間"), QStringLiteral("前半・後半"), QStringLiteral("行"),
             QStringLiteral("行のモード"), QStringLiteral("答えた数"), QStringLiteral("正解"),
             QStringLiteral("誤り"), QStringLiteral("状態")},
            {});
    QStringList fields;
    for (const StoredSession& s : *sessions) {
        const QString state = s.running                           ? QStringLiteral("未終了")
                              : s.state == SessionState::Finished ? QStringLiteral("完了")
                                                                  : QStringLiteral("中止");
        for (const LineResult& line : s.lines) {
            const int errors = line.Errors();
            fields.clear();
            fields << QString::number(s.id) << QString::fromStdString(s.startedAt)
                   << modeText(s.settings.mode) << QString::number(s.settings.lineSeconds)
                   << (line.half == 1 ? QStringLiteral("前半") : QStringLiteral("後半"))
                   << QString::number(line.line)
                   << (line.difference ? QStringLiteral("－") : QStringLiteral("＋"))
                   << QString::number(line.Answers()) << QString::number(line.Answers() - errors)
                   << QString::number(errors) << state;
            csv.Row(fields, isText);
        }
    }
    return csv.Finish(error);
}

}  // namespace keta
