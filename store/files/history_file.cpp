#include "history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
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
        const GridColumn& column = kColumns[static_cast<std::size_t>(col)];
        grid_.SetCurrentText(QStringView(column.header));
        grid_.SetColWidth(col, column.widthTwips);
    }
    for (int col = 0; col < HistoryModel::kGridColumns; ++col) {
        grid_.SetColAlignmentFixed(col, Qt::AlignHCenter);
    }
    for (int col = 0; col < HistoryModel::kGridColumns; ++col) {
        grid_.SetColAlignment(col, Qt::AlignRight);
    }
    for (const int col : {1, 2, 9}) grid_.SetColAlignment(col, Qt::AlignHCenter);
}

void HistoryFile::PrefetchRireki() {
    if (prefetch_.valid()) return;
    prefetch_ = std::async(std::launch::async, &ReadHistory, path_);
}

void HistoryFile::LoadRireki() {
    lastLoad_ = HistoryLoadReport();
    std::unique_ptr<HistoryRead> read;
    if (prefetch_.valid()) {
        read = prefetch_.get();
        if (!(read->stamp == StampOf(path_))) read.reset();  // changed since: read it as it is
    }
    if (!read) read = ReadHistory(path_);
    // No file yet is an empty history; the first save creates it.
    if (read->status == RegularFile::Status::Missing) return;

    HistoryLines& lines = read->lines;
    const HistoryLoadReport report = read->report;
    const HistoryReadResult result = read->result;
    const int error = read->error;
    if (result != HistoryReadResult::Done) {
        const QString why = result == HistoryReadResult::TooLarge ? QStringLiteral("out of memory")
                            : error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                         : read->errorText;
        qCWarning(lcFiles).noquote() << "cannot read" << path_ << ":" << why;
        lines = HistoryLines();  // what was read goes before the box asks for memory
        grid_.SetRows(1);
        boxes_.ReportError(
            result == HistoryReadResult::TooLarge
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
        qCWarning(lcFiles).noquote()
            << path_ << ":" << lastLoad_.skippedLines << "lines are not records, the first is line"
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
        // When the end of the file cannot be seen, the record takes a line of its own all the
        // same; a blank line this may leave is skipped silently when the file is read.
        const bool seen = readable && ::pread(fd, &last, 1, oldSize - 1) == 1;
        if (seen && last == '\r') {
            record = "\n";  // a last line without its line end: a hand-made file, a torn write
        } else if (!seen || last != '\n') {
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
            qCWarning(lcFiles).noquote()
                << "cannot flush" << path << "to the disk:" << strerror(errno);
        }
        ::close(fd);
    });
}

}  // namespace keta
