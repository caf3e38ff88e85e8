#include "history_file.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "cp932.h"
#include "record_line.h"

namespace keta {
namespace {

constexpr int kRecordItems = 9;

struct GridColumn {
    const char16_t* header;
    int widthTwips;
};

constexpr std::array<GridColumn, HistoryModel::kGridColumns> kColumns{{
    {u"回", 600},
    {u"日付", 1400},
    {u"時間", 1000},
    {u"問数", 600},
    {u"ＯＫ", 600},
    {u"ＮＧ", 600},
    {u"正解率", 900},
    {u"秒当たり", 1000},
    {u"表示秒数", 1025},
    {u"モード", 700},
}};

const QString kTitleLoad = QStringLiteral("履歴ファイルの読み込み");

// Items 4 and 5 (correct and wrong answers) are read as 16-bit integers; the others keep
// their characters.
bool IsCountItem(int item) { return item == 3 || item == 4; }

// The items of one line when it is a well-formed record; false otherwise.
// Decimal text of a number without an allocation; the view lives as long as `buffer`.
QStringView NumberText(int value, std::array<char16_t, 12>& buffer) {
    auto pos = buffer.size();
    const bool negative = value < 0;
    unsigned magnitude =
        negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        buffer[--pos] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) buffer[--pos] = u'-';
    return QStringView(buffer.data() + pos, static_cast<qsizetype>(buffer.size() - pos));
}

bool ReadRecord(Cp932Decoder& decoder, QByteArrayView raw, QString& line,
                std::vector<RecordItem>& items, std::array<std::int16_t, 2>& counts) {
    std::optional<QString> decoded = decoder.Decode(raw);
    // NUL bytes are what a crash leaves in place of a record that was never written.
    if (!decoded || decoded->contains(QChar(0))) return false;
    line = std::move(*decoded);
    if (!SplitRecordLine(line, items) || items.size() != kRecordItems) return false;
    for (int i = 0; i < 2; ++i) {
        const auto count = ReadInt16Item(items[3 + i], AfterNumber::MustEnd);
        if (!count) return false;
        counts[i] = *count;
    }
    return true;
}

}  // namespace

HistoryFile::HistoryFile(HistoryModel& grid, MessageBoxes& boxes, QString path)
    : grid_(grid), boxes_(boxes), path_(std::move(path)) {}

void HistoryFile::InitRireki() {
    grid_.SetFontWidth(11.0f);
    grid_.SetRows(1);
    grid_.SetCurrentRow(0);
    for (int col = 0; col < HistoryModel::kGridColumns; ++col) {
        grid_.SetCurrentCol(col);
        grid_.SetCurrentText(QStringView(kColumns[col].header));
        grid_.SetColWidth(col, kColumns[col].widthTwips);
    }
    for (int col = 0; col < HistoryModel::kGridColumns; ++col) {
        grid_.SetColAlignmentFixed(col, Qt::AlignHCenter);
    }
    for (int col = 0; col < HistoryModel::kGridColumns; ++col) {
        grid_.SetColAlignment(col, Qt::AlignRight);
    }
    for (const int col : {1, 2, 9}) grid_.SetColAlignment(col, Qt::AlignHCenter);
}

void HistoryFile::LoadRireki() {
    lastLoad_ = HistoryLoadReport();
    QFile file(path_);
    // No file yet is an empty history; the first save creates it.
    if (!file.exists()) return;
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        boxes_.ReportError(
            QStringLiteral("履歴.txt を読み込めませんでした。これまでの履歴を表示せずに"
                           "始めます。（ファイルの読み取り権限を確かめてください）"),
            kTitleLoad);
        return;
    }
    file.close();

    // Every line is at most one record of about as many characters as it has bytes.
    grid_.BeginBulkUpdate(std::count(bytes.cbegin(), bytes.cend(), '\n') + 1, bytes.size());
    Cp932Decoder decoder;
    LineReader reader(bytes);
    QByteArrayView raw;
    QString line;
    std::vector<RecordItem> items;
    std::array<std::int16_t, 2> counts{};
    std::array<char16_t, 12> digits{};
    int n = 1;  // a full int: a long history must not overflow the row numbers
    while (reader.Next(raw)) {
        if (IsBlankLine(raw)) continue;
        if (!ReadRecord(decoder, raw, line, items, counts)) {
            if (lastLoad_.skippedLines++ == 0) lastLoad_.firstSkippedLine = reader.LineNumber();
            continue;
        }
        grid_.SetRows(n + 1);
        grid_.SetCurrentRow(n);
        grid_.SetCurrentCol(0);
        grid_.SetCurrentText(NumberText(n, digits));
        for (int item = 0; item < kRecordItems; ++item) {
            grid_.SetCurrentCol(item + 1);
            if (IsCountItem(item)) {
                grid_.SetCurrentText(NumberText(counts[item - 3], digits));
            } else {
                grid_.SetCurrentText(items[item].text);
            }
        }
        ++n;
    }
    grid_.EndBulkUpdate();
    lastLoad_.records = n - 1;
    ScrollToNewest(grid_);

    if (lastLoad_.skippedLines > 0) {
        boxes_.ReportError(
            QStringLiteral("履歴.txt の %1 行は記録の形になっていないため表示していません"
                           "（最初は %2 行目）。ファイルはそのまま残してあります。")
                .arg(lastLoad_.skippedLines)
                .arg(lastLoad_.firstSkippedLine),
            kTitleLoad);
    }
}

void HistoryFile::cmdClear_Click() {
    const MessageBoxes::Answer answer = boxes_.AskOkCancelWarning(
        QStringLiteral("履歴データをクリアします。よろしいですか？"), QStringLiteral("クリア確認"));
    if (answer != MessageBoxes::Answer::Ok) return;
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        boxes_.ReportError(
            QStringLiteral("履歴.txt を空にできませんでした。履歴はそのまま残っています。"
                           "（書き込み権限を確かめてください）"),
            QStringLiteral("クリアエラー"));
        return;
    }
    file.close();
    grid_.SetRows(1);
    boxes_.InformOk(QStringLiteral("履歴データをクリアしました"), QStringLiteral("クリア終了"));
}

bool HistoryFile::AppendLine(const QByteArray& line) {
    QFile file(path_);
    // Unbuffered, so that the record goes out in one write; with O_APPEND two running copies
    // then cannot interleave within a line.
    const QIODevice::OpenMode append = QIODevice::Append | QIODevice::Unbuffered;
    const bool readable = file.open(QIODevice::ReadWrite | append);
    if (!readable && !file.open(QIODevice::WriteOnly | append)) return false;
    const qint64 oldSize = file.size();

    QByteArray record;
    if (readable && oldSize > 0) {
        char last = '\n';
        if (file.seek(oldSize - 1) && file.getChar(&last)) {
            // A last line without its line end (a hand-made file, a torn write): start anew.
            if (last == '\r') {
                record = "\n";
            } else if (last != '\n') {
                record = "\r\n";
            }
        }
    }
    record += line;
    const qint64 written = file.write(record);
    if (written == record.size()) return true;
    // Take back the part of the record that got written, unless another running copy has
    // appended meanwhile: cutting would then take its line too.
    if (written > 0 && file.size() == oldSize + written) file.resize(oldSize);
    return false;
}

}  // namespace keta
