#pragma once
// The history file "履歴.txt", one record line per saved result, and its grid: laying the
// grid out, filling it at start-up, clearing both, and appending one line.

#include <QByteArray>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <future>
#include <memory>

#include "history_model.h"
#include "history_read.h"
#include "message_boxes.h"

namespace keta {

class HistoryFile {
public:
    HistoryFile(HistoryModel& grid, MessageBoxes& boxes, QString path = QStringLiteral("履歴.txt"));
    // Waits for the saves still being flushed to the disk.
    ~HistoryFile();
    HistoryFile(const HistoryFile&) = delete;
    HistoryFile& operator=(const HistoryFile&) = delete;

    // Lays out the grid: headers, column widths and alignments.
    void InitRireki();
    // Fills the grid from the file and scrolls to the newest record. Lines that are not
    // records are skipped and reported once; the file itself is never changed here. Only a
    // regular file is read, and only its records are kept; when even they do not fit in
    // memory (or pass 4 GiB), the user is told and the grid stays empty.
    void LoadRireki();
    // Starts reading and checking the file on a thread of its own, so that the LoadRireki that
    // follows finds the work done while the window was being built. LoadRireki reads the file
    // again when it has changed in between, so what it shows is always the file as it is then.
    void PrefetchRireki();
    // Asks, then empties the file and the grid. When the file cannot be emptied, says so and
    // leaves the grid as it is.
    void cmdClear_Click();

    // Appends one encoded record line (with its CR LF) in a single write, on a line of its
    // own even when the file's last line lacks its line end or cannot be read. Returns false
    // when it cannot; the file then holds exactly what it held before. The line is then
    // flushed to the disk in the background, so that the keystroke that closed a round does
    // not wait for the disk.
    bool AppendLine(const QByteArray& line);

    const HistoryLoadReport& LastLoad() const { return lastLoad_; }
    // Waits until every append so far has been flushed to the disk (or has failed to be).
    void WaitForSyncs() { syncs_.waitForDone(); }
    // Appends and clears that have reached the disk.
    int SyncedWrites() const { return synced_.load(); }

private:
    // Flushes the file behind `fd` to the disk off this thread, then closes `fd`.
    void SyncAndClose(int fd);

    HistoryModel& grid_;
    MessageBoxes& boxes_;
    QString path_;
    HistoryLoadReport lastLoad_;
    std::future<std::unique_ptr<HistoryRead>> prefetch_;
    std::atomic<int> synced_{0};
    std::atomic<int> waiting_{0};  // writes whose flush has not started yet
    QThreadPool syncs_;            // last: waited for before anything else goes
};

}  // namespace keta
