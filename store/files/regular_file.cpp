#include "regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace keta {

RegularFile::~RegularFile() { Close(); }

RegularFile::Status RegularFile::Open(const QString& path, int flags) {
    Close();
    error_ = 0;
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that a FIFO without a writer is opened at once and then refused.
    fd_ = ::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = errno;
        return error_ == ENOENT && (flags & O_CREAT) == 0 ? Status::Missing : Status::Failed;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        error_ = errno;
        Close();
        return Status::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        error_ = EINVAL;
        Close();
        return Status::NotRegular;
    }
    const int status = ::fcntl(fd_, F_GETFL);
    if (status != -1) ::fcntl(fd_, F_SETFL, status & ~O_NONBLOCK);
    return Status::Open;
}

bool RegularFile::Truncate() {
    if (fd_ >= 0 && ::ftruncate(fd_, 0) == 0) return true;
    error_ = fd_ >= 0 ? errno : EBADF;
    return false;
}

int RegularFile::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void RegularFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

QString RegularFile::ErrorText() const {
    if (error_ == EINVAL) return QStringLiteral("not a regular file");
    return QString::fromLocal8Bit(std::strerror(error_));
}

}  // namespace keta
