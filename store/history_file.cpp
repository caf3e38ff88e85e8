#include "history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "cp932.h"
#include "file_log.h"
#include "record_line.h"
#include "regular_file.h"

namespace keta {
namespace {

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

// Takes the records out of the history file's bytes as they come, piece by piece. Only the
// lines that are records are kept; the bytes of a line are kept while it may still be one, so
// that an endless line of commas or zeros costs no memory.
class RecordCollector {
public:
    RecordCollector(HistoryLines& lines, HistoryLoadReport& report)
        : lines_(lines), report_(report), scanner_(decoder_) {}

    void Feed(QByteArrayView piece) {
        const char* data = piece.data();
        const qsizetype size = piece.size();
        qsizetype pos = 0;
        if (afterCr_ && size > 0 && data[0] == '\n') pos = 1;  // the LF of a CR LF cut in two
        afterCr_ = false;
        while (pos < size) {
            const qsizetype end = LineEnd(data, pos, size);
            if (end > pos) Take(piece.sliced(pos, end - pos));
            if (end == size) break;  // the line goes on in the next piece
            EndLine();
            pos = end + 1;
            if (data[end] == '\r') {
                if (pos == size) {
                    afterCr_ = true;
                } else if (data[pos] == '\n') {
                    ++pos;
                }
            }
        }
    }

    // The end of the file: a last line without a line end is a line too.
    void Finish() {
        if (inLine_) EndLine();
    }

private:
    // Where the line from `pos` ends: at a CR or an LF, or at `size` when it goes on.
    static qsizetype LineEnd(const char* data, qsizetype pos, qsizetype size) {
        const auto* lf = static_cast<const char*>(
            std::memchr(data + pos, '\n', static_cast<std::size_t>(size - pos)));
        const qsizetype lfAt = lf != nullptr ? lf - data : size;
        const auto* cr = static_cast<const char*>(
            std::memchr(data + pos, '\r', static_cast<std::size_t>(lfAt - pos)));
        return cr != nullptr ? cr - data : lfAt;
    }

    void Take(QByteArrayView bytes) {
        inLine_ = true;
        if (scanner_.Failed()) return;
        scanner_.Feed(bytes);
        if (scanner_.Failed()) {
            lines_.bytes.truncate(lines_.starts.back());
        } else {
            lines_.bytes.append(bytes);
        }
    }

    void EndLine() {
        ++lineNumber_;
        const qsizetype start = lines_.starts.back();
        const RecordScanner::Verdict verdict = scanner_.Finish();
        if (verdict == RecordScanner::Verdict::Record && CountsAreNumbers(start)) {
            lines_.starts.push_back(lines_.bytes.size());
        } else {
            lines_.bytes.truncate(start);
            if (verdict != RecordScanner::Verdict::Blank && report_.skippedLines++ == 0) {
                report_.firstSkippedLine = lineNumber_;
            }
        }
        scanner_.Reset();
        inLine_ = false;
    }

    // Items 4 and 5, the correct and the wrong answers, are 16-bit integers.
    bool CountsAreNumbers(qsizetype start) const {
        for (const std::size_t i : {3u, 4u}) {
            const RecordScanner::Item& item = scanner_.Items()[i];
            const QByteArrayView text(lines_.bytes.constData() + start + item.begin,
                                      item.end - item.begin);
            if (!ReadInt16Item(text, item.quoted, AfterNumber::MustEnd)) return false;
        }
        return true;
    }

    HistoryLines& lines_;
    HistoryLoadReport& report_;
    Cp932Decoder decoder_;
    RecordScanner scanner_;
    int lineNumber_ = 0;  // a full int: a long history must not overflow the line numbers
    bool inLine_ = false;
    bool afterCr_ = false;
};

enum class ReadResult { Done, Failed, TooLarge };

ReadResult ReadRecords(int fd, HistoryLines& lines, HistoryLoadReport& report, int& error) {
    try {
        struct stat st {};
        if (::fstat(fd, &st) == 0) {
            // Room for the records at once when the file is all records, without committing
            // more than a modest amount to a file that is mostly something else.
            constexpr qsizetype kMostReserved = qsizetype{64} << 20;
            const auto size = static_cast<qsizetype>(st.st_size);
            lines.bytes.reserve(std::min(size, kMostReserved));
            lines.starts.reserve(static_cast<std::size_t>(std::min(size, kMostReserved) / 48 + 1));
        }
        RecordCollector collector(lines, report);
        std::vector<char> buffer(std::size_t{64} << 10);
        while (true) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error = errno;
                return ReadResult::Failed;
            }
            if (got == 0) break;
            collector.Feed(QByteArrayView(buffer.data(), static_cast<qsizetype>(got)));
        }
        collector.Finish();
        lines.bytes.squeeze();
        lines.starts.shrink_to_fit();
        return ReadResult::Done;
    } catch (const std::bad_alloc&) {
        return ReadResult::TooLarge;
    }
}

}  // namespace

HistoryFile::HistoryFile(HistoryModel& grid, MessageBoxes& boxes, QString path)
    : grid_(grid), boxes_(boxes), path_(std::move(path)) {
    // One flush at a time, in the order of the writes.
    syncs_.setMaxThreadCount(1);
}

HistoryFile::~HistoryFile() { syncs_.waitForDone(); }

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
    RegularFile file;
    const RegularFile::Status status = file.Open(path_, O_RDONLY);
    // No file yet is an empty history; the first save creates it.
    if (status == RegularFile::Status::Missing) return;

    HistoryLines lines;
    HistoryLoadReport report;
    ReadResult result = ReadResult::Failed;
    int error = 0;
    if (status == RegularFile::Status::Open) {
        result = ReadRecords(file.Descriptor(), lines, report, error);
    }
    file.Close();
    if (result != ReadResult::Done) {
        const QString why = result == ReadResult::TooLarge ? QStringLiteral("out of memory")
                            : error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                         : file.ErrorText();
        qCWarning(lcFiles).noquote() << "cannot read" << path_ << ":" << why;
        lines = HistoryLines();  // what was read goes before the box asks for memory
        grid_.SetRows(1);
        boxes_.ReportError(
            result == ReadResult::TooLarge
                ? QStringLiteral("履歴.txt が大きすぎて読み込めませんでした。これまでの履歴を"
                                 "表示せずに始めます。ファイルはそのまま残してあります。")
                : QStringLiteral("履歴.txt を読み込めませんでした。これまでの履歴を表示せずに"
                                 "始めます。（ファイルの読み取り権限を確かめてください）"),
            kTitleLoad);
        return;
    }

    grid_.BeginBulkUpdate();
    grid_.SetFileRows(std::move(lines));
    grid_.EndBulkUpdate();
    lastLoad_ = report;
    lastLoad_.records = grid_.Rows() - 1;
    ScrollToNewest(grid_);

    if (lastLoad_.skippedLines > 0) {
        qCWarning(lcFiles).noquote() << path_ << ":" << lastLoad_.skippedLines
                                     << "lines are not records, the first is line"
                                     << lastLoad_.firstSkippedLine;
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
    RegularFile file;
    if (file.Open(path_, O_WRONLY | O_CREAT) != RegularFile::Status::Open || !file.Truncate()) {
        qCWarning(lcFiles).noquote() << "cannot empty" << path_ << ":" << file.ErrorText();
        boxes_.ReportError(
            QStringLiteral("履歴.txt を空にできませんでした。履歴はそのまま残っています。"
                           "（書き込み権限を確かめてください）"),
            QStringLiteral("クリアエラー"));
        return;
    }
    SyncAndClose(file.Release());
    grid_.SetRows(1);
    boxes_.InformOk(QStringLiteral("履歴データをクリアしました"), QStringLiteral("クリア終了"));
}

bool HistoryFile::AppendLine(const QByteArray& line) {
    RegularFile file;
    // Opened for reading too, to look at the last byte; for writing only when that is all
    // the permissions allow. O_APPEND: two running copies cannot interleave within a line.
    RegularFile::Status status = file.Open(path_, O_RDWR | O_APPEND | O_CREAT);
    const bool readable = status == RegularFile::Status::Open;
    if (status == RegularFile::Status::Failed) status = file.Open(path_, O_WRONLY | O_APPEND);
    if (status != RegularFile::Status::Open) {
        qCWarning(lcFiles).noquote() << "cannot append to" << path_ << ":" << file.ErrorText();
        return false;
    }
    const int fd = file.Descriptor();
    struct stat st {};
    const off_t oldSize = ::fstat(fd, &st) == 0 ? st.st_size : 0;

    QByteArray record;
    if (oldSize > 0) {
        char last = 0;
        if (!readable || ::pread(fd, &last, 1, oldSize - 1) != 1) {
            // The end of the file cannot be seen: a line of its own all the same. A blank
            // line this may leave is skipped silently when the file is read.
            record = "\r\n";
        } else if (last == '\r') {
            record = "\n";  // a last line without its line end: a hand-made file, a torn write
        } else if (last != '\n') {
            record = "\r\n";
        }
    }
    record += line;
    // One write for the whole record: a second call for a rest could land after another
    // running copy's line.
    ssize_t written = -1;
    do {
        written = ::write(fd, record.constData(), static_cast<std::size_t>(record.size()));
    } while (written < 0 && errno == EINTR);
    if (written == record.size()) {
        SyncAndClose(file.Release());
        return true;
    }
    const int error = written < 0 ? errno : ENOSPC;
    // Take back the part of the record that got written, unless another running copy has
    // appended meanwhile: cutting would then take its line too.
    if (written > 0 && ::fstat(fd, &st) == 0 && st.st_size == oldSize + written) {
        if (::ftruncate(fd, oldSize) != 0) {
            qCWarning(lcFiles).noquote() << "cannot take back a part record from" << path_;
        }
    }
    qCWarning(lcFiles).noquote() << "cannot append to" << path_ << ":" << strerror(error);
    return false;
}

void HistoryFile::SyncAndClose(int fd) {
    // One flush covers every write made before it starts, whichever descriptor made it: while
    // one is waiting, later writes only join it. Saves in quick succession then hold no more
    // than one descriptor open.
    if (waiting_++ > 0) {
        ::close(fd);
        return;
    }
    const QString path = path_;
    syncs_.start([this, fd, path] {
        const int covered = waiting_.exchange(0);
        if (::fdatasync(fd) == 0) {
            synced_ += covered;
        } else {
            qCWarning(lcFiles).noquote() << "cannot flush" << path << "to the disk:"
                                         << strerror(errno);
        }
        ::close(fd);
    });
}

}  // namespace keta
