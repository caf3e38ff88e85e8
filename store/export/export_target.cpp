#include "export_target.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "answer_log.h"

namespace keta {
namespace {

// Links followed by hand when a link's target does not exist yet; the system stops at 40.
constexpr int kMostLinks = 40;
constexpr qsizetype kStreamChunk = qsizetype{64} * 1024;

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

// The folder a path names, with its links resolved when it exists.
QString RealFolder(const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir::current().absoluteFilePath(folder))
                               : canonical;
}

// The data file's name when `path` names one in the data folder `dataReal`, else empty.
QString NamedDataFile(const QString& dataReal, const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString name = path.mid(slash + 1);
    if (!IsDataFileName(name)) return {};
    const QString folder = slash <= 0 ? QStringLiteral("/") : path.left(slash);
    return RealFolder(folder) == dataReal ? name : QString();
}

// The data file that `target` is, by its device and inode: a hard link, a bind mount or a
// /proc path names the same file under another name.
QString SameAsDataFile(const QString& dataReal, const struct stat& target) {
    const QDir data(dataReal);
    const QStringList names =
        data.entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!IsDataFileName(name)) continue;
        struct stat own {};
        if (::stat(Native(data.filePath(name)).constData(), &own) == 0 &&
            own.st_dev == target.st_dev && own.st_ino == target.st_ino) {
            return name;
        }
    }
    return {};
}

ExportTarget Refuse(ExportTarget target, const QString& why) {
    target.kind = ExportTarget::Kind::Refused;
    target.reason = why;
    return target;
}

QString Shown(const ExportTarget& target) {
    return target.kind == ExportTarget::Kind::StandardOutput
               ? QStringLiteral("標準出力")
               : QDir::toNativeSeparators(target.path);
}

// Writes all of `data` into `fd`. A reader that went away gives EPIPE here instead of the
// signal that would end the program (the menu's export runs inside the window).
bool WriteAll(int fd, const char* data, qsizetype size, int* error) {
    sigset_t pipeOnly, before, pending;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &before);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    *error = 0;
    while (size > 0) {
        const ssize_t put = ::write(fd, data, static_cast<std::size_t>(size));
        if (put >= 0) {
            data += put;
            size -= put;
            continue;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {  // a descriptor set non-blocking by someone else: wait for room
            pollfd room{fd, POLLOUT, 0};
            ::poll(&room, 1, -1);
            continue;
        }
        *error = errno;
        break;
    }
    if (*error == EPIPE && !wasPending) {
        const timespec now{};
        sigtimedwait(&pipeOnly, nullptr, &now);  // the signal this write raised, not delivered
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return *error == 0;
}

}  // namespace

bool IsDataFileName(const QString& name) {
    const QString log = AnswerLog::FileName();
    // The log's journals are "-wal", "-shm", "-journal" and SQLite's "-mj..." files, and the
    // program's own ".pending-" files of writes the log could not take yet.
    return name == QStringLiteral("設定.txt") || name == QStringLiteral("履歴.txt") ||
           name == log || name.startsWith(log + u'-') ||
           name.startsWith(log + QStringLiteral(".corrupt-")) ||
           name.startsWith(log + QStringLiteral(".pending-"));
}

ExportTarget ResolveExportTarget(const QString& dataFolder, const QString& target) {
    ExportTarget t;
    const QString dataReal = RealFolder(dataFolder);
    const auto refuseDataFile = [&](const QString& name) {
        return Refuse(t, QStringLiteral("%1 はケタトビのデータファイル（%2）です。書き出し先には"
                                        "使えません。別のファイルを選んでください。")
                             .arg(Shown(t), name));
    };
    if (target == QLatin1String("-") || target == QLatin1String("/dev/stdout")) {
        t.kind = ExportTarget::Kind::StandardOutput;
        t.path = target;
        t.exists = true;
        struct stat out {};
        if (::fstat(STDOUT_FILENO, &out) == 0 && S_ISREG(out.st_mode)) {
            const QString name = SameAsDataFile(dataReal, out);
            if (!name.isEmpty()) return refuseDataFile(name);
        }
        return t;
    }

    t.path = QDir::current().absoluteFilePath(target);
    const QByteArray native = Native(t.path);
    struct stat st {};
    t.exists = ::stat(native.constData(), &st) == 0;
    QString name = NamedDataFile(dataReal, t.path);
    if (name.isEmpty() && t.exists) {
        const QString canonical = QFileInfo(t.path).canonicalFilePath();
        if (!canonical.isEmpty()) name = NamedDataFile(dataReal, canonical);
        if (name.isEmpty()) name = SameAsDataFile(dataReal, st);
    }
    if (name.isEmpty() && !t.exists) {
        // A link to where a data file is not yet: writing through it would make one.
        QString link = t.path;
        for (int i = 0; i < kMostLinks && name.isEmpty(); ++i) {
            const QFileInfo info(link);
            if (!info.isSymLink()) break;
            link = info.symLinkTarget();
            name = NamedDataFile(dataReal, link);
        }
    }
    if (!name.isEmpty()) return refuseDataFile(name);

    if (!t.exists) return t;  // a new file
    if (S_ISREG(st.st_mode)) {
        // Through a link, the file it names is replaced and the link stays.
        const QString canonical = QFileInfo(t.path).canonicalFilePath();
        if (!canonical.isEmpty()) t.path = canonical;
        return t;
    }
    if (S_ISDIR(st.st_mode)) {
        return Refuse(
            t, QStringLiteral("%1 はフォルダです。ファイルの名前を選んでください。").arg(Shown(t)));
    }
    if (S_ISBLK(st.st_mode)) {
        // A CSV written over a disk destroys what is on it; no one means that.
        return Refuse(
            t, QStringLiteral("%1 はディスク装置です。書き出し先には使えません。").arg(Shown(t)));
    }
    t.kind = ExportTarget::Kind::Stream;
    return t;
}

ExportSink::ExportSink(ExportTarget target) : target_(std::move(target)) {}

ExportSink::~ExportSink() {
    if (ownsFd_) ::close(fd_);
}

bool ExportSink::Fail(const QString& why) {
    failed_ = true;
    error_ = QStringLiteral("%1 に書き出せませんでした（%2）。").arg(Shown(target_), why);
    return false;
}

bool ExportSink::Open() {
    switch (target_.kind) {
        case ExportTarget::Kind::Refused:
            failed_ = true;
            error_ = target_.reason;
            return false;
        case ExportTarget::Kind::StandardOutput:
            fd_ = STDOUT_FILENO;
            return true;
        case ExportTarget::Kind::File:
            file_ = std::make_unique<QSaveFile>(target_.path);
            if (!file_->open(QIODevice::WriteOnly)) return Fail(file_->errorString());
            return true;
        case ExportTarget::Kind::Stream:
            break;
    }
    // Non-blocking first, so that a FIFO nobody reads fails at once instead of waiting for
    // ever; no truncation, as a device or a FIFO has nothing to lose.
    fd_ = ::open(Native(target_.path).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        const int why = errno;
        return Fail(why == ENXIO ? QStringLiteral("読み出しているプログラムがありません")
                                 : QString::fromLocal8Bit(std::strerror(why)));
    }
    ownsFd_ = true;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
        // Replaced by a file since it was looked at: that needs a file's safe replacement.
        return Fail(QStringLiteral("書き出す前に別のファイルに置き換わりました"));
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags == -1 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == -1)
        return Fail(QString::fromLocal8Bit(std::strerror(errno)));
    return true;
}

bool ExportSink::Write(QByteArrayView bytes) {
    if (failed_) return false;
    if (file_ != nullptr) {
        if (file_->write(bytes.data(), bytes.size()) != bytes.size())
            return Fail(file_->errorString());
        return true;
    }
    pending_.append(bytes);
    return pending_.size() < kStreamChunk || Flush();
}

bool ExportSink::Flush() {
    int error = 0;
    const bool written = WriteAll(fd_, pending_.constData(), pending_.size(), &error);
    pending_.resize(0);
    return written || Fail(QString::fromLocal8Bit(std::strerror(error)));
}

bool ExportSink::Commit() {
    if (failed_) return false;
    if (file_ != nullptr) return file_->commit() || Fail(file_->errorString());
    if (!Flush()) return false;
    if (ownsFd_) {
        ownsFd_ = false;
        if (::close(fd_) != 0) return Fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return true;
}

}  // namespace keta
