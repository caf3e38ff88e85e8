#include "csv_export.h"

#include <QSaveFile>
#include <QStringList>
#include <vector>

#include "answer_log.h"
#include "history_points.h"

namespace keta {
namespace {

// One field, quoted when it must be. Texts a spreadsheet would take for a formula get a
// leading apostrophe: a mode or an answer is whatever was typed, and must stay text.
void AppendField(QByteArray& out, QStringView text, bool isText) {
    QString value = text.toString();
    if (isText && !value.isEmpty() && QStringView(u"=+-@\t\r").contains(value.front()))
        value.prepend(u'\'');
    const bool quote = value.contains(u',') || value.contains(u'"') || value.contains(u'\n') ||
                       value.contains(u'\r') || value.startsWith(u' ') || value.endsWith(u' ');
    if (quote) {
        value.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        out += '"';
        out += value.toUtf8();
        out += '"';
    } else {
        out += value.toUtf8();
    }
}

void AppendRow(QByteArray& out, const QStringList& fields, const std::vector<bool>& isText) {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        AppendField(
            out, fields[i],
            static_cast<std::size_t>(i) < isText.size() && isText[static_cast<std::size_t>(i)]);
    }
    out += "\r\n";
}

void SetError(QString* error, const QString& text) {
    if (error != nullptr) *error = text;
}

// Writes `bytes` whole or not at all: a failed export leaves no half file behind.
bool WriteWhole(const QString& csvPath, const QByteArray& bytes, QString* error) {
    QSaveFile file(csvPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        SetError(
            error,
            QStringLiteral("%1 に書き込めませんでした（%2）。").arg(csvPath, file.errorString()));
        return false;
    }
    return true;
}

}  // namespace

bool ExportHistoryCsv(const QString& historyPath, const QString& csvPath, QString* error) {
    QByteArray out;
    // The grid's own headers, so that the file reads like the window.
    const std::vector<bool> isText{true, true, false, false, false, true, true, true, true};
    AppendRow(out,
              {QStringLiteral("日付"), QStringLiteral("時間"), QStringLiteral("問数"),
               QStringLiteral("ＯＫ"), QStringLiteral("ＮＧ"), QStringLiteral("正解率"),
               QStringLiteral("秒当たり"), QStringLiteral("表示秒数"), QStringLiteral("モード")},
              {});
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
                    fields << record.items[i].text.toString();
                }
            }
            AppendRow(out, fields, isText);
        });
    if (status != HistoryPointsRead::Status::Read) {
        const QString why = status == HistoryPointsRead::Status::Missing
                                ? QStringLiteral("見つかりません")
                            : status == HistoryPointsRead::Status::NotRegular
                                ? QStringLiteral("通常のファイルではありません")
                                : QStringLiteral("読み取れません");
        SetError(
            error,
            QStringLiteral("履歴ファイル %1 を読み込めませんでした（%2）。").arg(historyPath, why));
        return false;
    }
    return WriteWhole(csvPath, out, error);
}

bool ExportAnswersCsv(const QString& logPath, const QString& csvPath, QString* error) {
    AnswerLog log(logPath, nullptr, 2000, AnswerLog::Access::ReadOnly);
    if (!log.Open()) {
        SetError(
            error,
            QStringLiteral("解答ログ %1 を読み込めませんでした。%2").arg(logPath, log.LastError()));
        return false;
    }
    QByteArray out;
    const std::vector<bool> isText{false, true,  false, true,  false, false, false, true, true,
                                   false, false, false, false, true,  false, false, false};
    AppendRow(out,
              {QStringLiteral("回番号"), QStringLiteral("開始日時"), QStringLiteral("制限時間"),
               QStringLiteral("モード"), QStringLiteral("問数"), QStringLiteral("ＯＫ"),
               QStringLiteral("ＮＧ"), QStringLiteral("保存日付"), QStringLiteral("保存時間"),
               QStringLiteral("経過ミリ秒"), QStringLiteral("枠"), QStringLiteral("左の数字"),
               QStringLiteral("右の数字"), QStringLiteral("入力"), QStringLiteral("正解"),
               QStringLiteral("正誤"), QStringLiteral("クリック消去")},
              {});
    QStringList fields;
    const bool read =
        log.ForEachAnswer([&](const analysis::RoundRecord& r, const std::vector<SaveStamp>& saves,
                              const analysis::AnswerRecord& a) {
            // A round saved twice shows its first save; the digits of a clearing are not known.
            const QString none;
            fields.clear();
            fields << QString::number(r.id) << QString::fromStdString(r.startedAt)
                   << QString::number(r.timeLimit) << QString::fromStdString(r.modeText)
                   << QString::number(r.answers) << QString::number(r.correct)
                   << QString::number(r.wrong) << (saves.empty() ? none : saves.front().date)
                   << (saves.empty() ? none : saves.front().time) << QString::number(a.ms)
                   << QString::number(a.box) << (a.cleared ? none : QString::number(a.left))
                   << (a.cleared ? none : QString::number(a.right))
                   << QString::fromStdString(a.typed)
                   << (a.cleared ? none : QString::number(a.expected))
                   << (a.cleared ? none : QString::number(a.correct ? 1 : 0))
                   << QString::number(a.cleared ? 1 : 0);
            AppendRow(out, fields, isText);
        });
    if (!read) {
        SetError(
            error,
            QStringLiteral("解答ログ %1 を読み込めませんでした。%2").arg(logPath, log.LastError()));
        return false;
    }
    return WriteWhole(csvPath, out, error);
}

}  // namespace keta
