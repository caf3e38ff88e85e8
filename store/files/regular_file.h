#pragma once
// Opening a data file only when it is a regular file. Anything else in its place would hang or
// mislead: a FIFO blocks the open until a writer comes, a device such as /dev/zero never ends
// and swallows what is written to it.

#include <QString>

namespace keta {

class RegularFile {
public:
    enum class Status { Open, Missing, NotRegular, Failed };

    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // Opens `path` with the open(2) `flags` (O_RDONLY, O_RDWR | O_APPEND | O_CREAT, ...).
    // Never blocks, and never truncates: emptying is Truncate, once the file is known to be
    // regular. Missing is only given without O_CREAT.
    Status Open(const QString& path, int flags);
    int Descriptor() const { return fd_; }
    // Empties the open file.
    bool Truncate();
    // Hands the descriptor over; the caller closes it.
    int Release();
    void Close();
    // What went wrong last, for the log.
    QString ErrorText() const;

private:
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace keta
