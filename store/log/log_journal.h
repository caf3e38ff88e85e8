#pragma once
// Writes the answer log could not take yet, kept on disk beside it: "<log>.pending-<id>", one
// file per run of the program, locked while that run lives, synced at every append, and
// replayed into the log by the next owner that opens it. A record cut short by a power cut is
// recognised by its checksum and ends the file.

#include <QString>
#include <optional>
#include <vector>

#include "log_ops.h"

namespace keta {

class LogJournal {
public:
    // This run's journal beside `logPath`; no file is made before the first append.
    explicit LogJournal(QString logPath);
    ~LogJournal();
    LogJournal(const LogJournal&) = delete;
    LogJournal& operator=(const LogJournal&) = delete;

    // Appends the ops and syncs the file. False, with the reason, when the disk refused them.
    bool Append(const std::vector<LogOp>& ops, QString* why);
    // This run's file, empty before the first append.
    const QString& File() const { return file_; }
    // Removes this run's file once everything in it is in the log.
    void Remove();

    // The journal files of runs that have ended (none holds its lock), oldest first.
    static std::vector<QString> Orphans(const QString& logPath);
    // The ops of a journal file, up to the first record that is cut short or damaged;
    // std::nullopt when the file is not a journal.
    static std::optional<std::vector<LogOp>> Read(const QString& file);
    // Takes an orphan's lock so that no other run replays it meanwhile; -1 when another has it.
    static int Claim(const QString& file);
    static void Release(int fd);

    // The part of a journal's name after the log's: "<log>" + kSuffix + id.
    static constexpr const char* kSuffix = ".pending-";

private:
    QString logPath_;
    QString file_;
    int fd_ = -1;
};

}  // namespace keta
