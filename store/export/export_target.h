#pragma once
// Where an export may write, decided once for the menu and the command line alike: never over
// one of the program's own data files, into standard output or a device or a FIFO as a
// stream (as a shell's `>` would), and over a regular file only by writing beside it and
// renaming, so that a failed export leaves the old file whole.

#include <QByteArrayView>
#include <QString>
#include <memory>

class QSaveFile;

namespace keta {

struct ExportTarget {
    enum class Kind {
        Refused,         // a data file of the folder, a folder, a disk: `reason` says which
        StandardOutput,  // "-" or /dev/stdout: the program's own standard output
        Stream,          // an existing device or FIFO, written into and never replaced
        File,            // a regular file, or a new one: written beside and renamed
    };
    Kind kind = Kind::File;
    QString path;    // what is opened: absolute, links resolved for an existing file
    QString reason;  // with Refused, in Japanese, for the person to read
    bool exists = false;
};

// True for the names of the data files a folder may hold: the settings, the history, the
// answer log with its journals, and the logs set aside as corrupt.
bool IsDataFileName(const QString& name);

// Decides what `target` (relative to the current folder) is for an export that reads the data
// files of `dataFolder`. Touches no file.
ExportTarget ResolveExportTarget(const QString& dataFolder, const QString& target);

// Writes an export into its target. Nothing is opened before Open; a file that was opened and
// is not committed is removed again, and the old one stays as it was.
class ExportSink {
public:
    explicit ExportSink(ExportTarget target);
    ~ExportSink();
    ExportSink(const ExportSink&) = delete;
    ExportSink& operator=(const ExportSink&) = delete;

    const ExportTarget& Target() const { return target_; }
    // False, with ErrorText, when the target is refused or cannot be opened; a FIFO that no
    // program reads is not waited for.
    bool Open();
    bool Write(QByteArrayView bytes);
    // Writes what is left; a file then takes the place of the old one.
    bool Commit();
    // The last failure in Japanese, naming the target.
    const QString& ErrorText() const { return error_; }

private:
    bool Fail(const QString& why);
    bool Flush();

    ExportTarget target_;
    std::unique_ptr<QSaveFile> file_;
    int fd_ = -1;
    bool ownsFd_ = false;
    bool failed_ = false;
    QByteArray pending_;
    QString error_;
};

}  // namespace keta
