#include "log_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace keta {
namespace {

constexpr char kMagic[8] = {'K', 'T', 'T', 'B', 'J', 'R', 'N', '1'};
// No record of a day's practice comes near this; a longer length is damage.
constexpr quint32 kMaxRecordBytes = 64u << 20;

// FNV-1a over the record: enough to tell a record cut short or overwritten from a whole one.
quint64 Checksum(const QByteArray& bytes) {
    quint64 h = 0xcbf29ce484222325ULL;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ULL;
    }
    return h;
}

QString Text(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
std::string Std(const QString& s) { return s.toUtf8().toStdString(); }

void Put(QDataStream& out, const LogOp& op) {
    out << quint8(op.kind) << quint64(op.ticket) << qint64(op.targetId);
    switch (op.kind) {
        case LogOp::Kind::Round: {
            const analysis::RoundRecord& r = op.round;
            out << Text(r.startedAt) << qint32(r.timeLimit) << Text(r.modeText) << qint32(r.answers)
                << qint32(r.correct) << qint32(r.wrong) << qint32(static_cast<int>(r.kind))
                << qint32(r.focusPercent) << Text(r.focusPairs) << quint32(r.events.size());
            for (const analysis::AnswerRecord& e : r.events) {
                out << qint64(e.ms) << qint8(e.box) << qint8(e.left) << qint8(e.right)
                    << Text(e.typed) << qint8(e.expected) << e.correct << e.cleared;
            }
            out << quint32(op.saves.size());
            for (const SaveStamp& s : op.saves) out << s.date << s.time;
            break;
        }
        case LogOp::Kind::Save:
            out << op.saves.front().date << op.saves.front().time;
            break;
        case LogOp::Kind::SessionStart: {
            const SessionSettings& s = op.settings;
            out << Text(op.startedAt) << qint32(s.lineSeconds) << qint32(s.firstHalfLines)
                << qint32(s.secondHalfLines) << qint32(s.restMinutes)
                << qint32(static_cast<int>(s.mode)) << s.showMarks << s.showTimeLeft;
            break;
        }
        case LogOp::Kind::SessionLine: {
            const LineResult& l = op.line;
            out << qint32(l.half) << qint32(l.line) << l.difference << qint64(l.startMs)
                << quint32(l.answers.size());
            for (const LineAnswer& a : l.answers) {
                out << qint64(a.ms) << qint8(a.box) << qint8(a.left) << qint8(a.right)
                    << Text(a.typed) << qint8(a.expected) << a.correct;
            }
            break;
        }
        case LogOp::Kind::SessionEnd:
            out << qint32(static_cast<int>(op.state));
            break;
        case LogOp::Kind::Preference:
            out << op.key << op.value;
            break;
    }
}

// Reads one op; false when the record does not hold one whole.
bool Get(QDataStream& in, LogOp& op) {
    quint8 kind = 0;
    quint64 ticket = 0;
    qint64 target = 0;
    in >> kind >> ticket >> target;
    if (kind < 1 || kind > 6) return false;
    op.kind = static_cast<LogOp::Kind>(kind);
    op.ticket = ticket;
    op.targetId = target;
    QString a, b;
    qint32 i1 = 0, i2 = 0, i3 = 0, i4 = 0, i5 = 0, i6 = 0, i7 = 0;
    quint32 count = 0;
    switch (op.kind) {
        case LogOp::Kind::Round: {
            analysis::RoundRecord& r = op.round;
            QString pairs;
            in >> a >> i1 >> b >> i2 >> i3 >> i4 >> i5 >> i6 >> pairs >> count;
            if (in.status() != QDataStream::Ok || count > kMaxRecordBytes / 16) return false;
            r.startedAt = Std(a);
            r.timeLimit = i1;
            r.modeText = Std(b);
            r.answers = i2;
            r.correct = i3;
            r.wrong = i4;
            r.kind = i5 == 1 ? analysis::RoundKind::Focus : analysis::RoundKind::Drill;
            r.focusPercent = i6;
            r.focusPairs = Std(pairs);
            r.events.resize(count);
            for (analysis::AnswerRecord& e : r.events) {
                qint64 ms = 0;
                qint8 box = 0, left = 0, right = 0, expected = 0;
                in >> ms >> box >> left >> right >> a >> expected >> e.correct >> e.cleared;
                e.ms = ms;
                e.box = box;
                e.left = left;
                e.right = right;
                e.typed = Std(a);
                e.expected = expected;
            }
            in >> count;
            if (in.status() != QDataStream::Ok || count > 1024) return false;
            op.saves.resize(count);
            for (SaveStamp& s : op.saves) in >> s.date >> s.time;
            break;
        }
        case LogOp::Kind::Save:
            in >> a >> b;
            op.saves = {{a, b}};
            break;
        case LogOp::Kind::SessionStart: {
            SessionSettings& s = op.settings;
            in >> a >> i1 >> i2 >> i3 >> i4 >> i5 >> s.showMarks >> s.showTimeLeft;
            op.startedAt = Std(a);
            s.lineSeconds = i1;
            s.firstHalfLines = i2;
            s.secondHalfLines = i3;
            s.restMinutes = i4;
            s.mode = static_cast<SessionMode>(std::clamp(i5, 0, 2));
            s = s.Clamped();
            break;
        }
        case LogOp::Kind::SessionLine: {
            LineResult& l = op.line;
            qint64 startMs = 0;
            in >> i1 >> i2 >> l.difference >> startMs >> count;
            if (in.status() != QDataStream::Ok || count > kMaxRecordBytes / 16) return false;
            l.half = i1;
            l.line = i2;
            l.startMs = startMs;
            l.answers.resize(count);
            for (LineAnswer& x : l.answers) {
                qint64 ms = 0;
                qint8 box = 0, left = 0, right = 0, expected = 0;
                in >> ms >> box >> left >> right >> a >> expected >> x.correct;
                x.ms = ms;
                x.box = box;
                x.left = left;
                x.right = right;
                x.typed = Std(a);
                x.expected = expected;
            }
            break;
        }
        case LogOp::Kind::SessionEnd:
            in >> i7;
            op.state = i7 == static_cast<int>(SessionState::Stopped) ? SessionState::Stopped
                                                                     : SessionState::Finished;
            break;
        case LogOp::Kind::Preference:
            in >> op.key >> op.value;
            break;
    }
    return in.status() == QDataStream::Ok && in.atEnd();
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

LogJournal::LogJournal(QString logPath) : logPath_(std::move(logPath)) {}

LogJournal::~LogJournal() { Release(fd_); }

bool LogJournal::Append(const std::vector<LogOp>& ops, QString* why) {
    const auto fail = [&](const QString& text) {
        if (why != nullptr) *why = text;
        return false;
    };
    if (fd_ < 0) {
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
        file_ = logPath_ + QLatin1String(kSuffix) + stamp +
                QStringLiteral("-%1").arg(QRandomGenerator::system()->generate(), 8, 16,
                                          QLatin1Char('0'));
        const QByteArray name = QFile::encodeName(file_);
        fd_ = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd_ < 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
        // Held for the life of this run: a later run replays only journals nobody holds.
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 || !WriteAll(fd_, kMagic, sizeof kMagic)) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            Remove();
            return fail(reason);
        }
    }
    QByteArray block;
    for (const LogOp& op : ops) {
        QByteArray record;
        {
            QDataStream out(&record, QIODevice::WriteOnly);
            out.setVersion(QDataStream::Qt_6_0);
            Put(out, op);
        }
        QDataStream head(&block, QIODevice::Append);
        head.setVersion(QDataStream::Qt_6_0);
        head << quint32(record.size()) << quint64(Checksum(record));
        block += record;
    }
    const off_t before = ::lseek(fd_, 0, SEEK_END);
    if (!WriteAll(fd_, block.constData(), static_cast<std::size_t>(block.size())) ||
        ::fsync(fd_) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        // Nothing of a refused append may come back at the next run: the person is told that
        // those writes are lost.
        if (before <= static_cast<off_t>(sizeof kMagic) || ::ftruncate(fd_, before) != 0) {
            Remove();
        } else {
            (void)::fsync(fd_);
        }
        return fail(reason);
    }
    return true;
}

void LogJournal::Remove() {
    if (!file_.isEmpty()) QFile::remove(file_);
    Release(fd_);
    fd_ = -1;
    file_.clear();
}

std::vector<QString> LogJournal::Orphans(const QString& logPath) {
    const QFileInfo log(logPath);
    const QString prefix = log.fileName() + QLatin1String(kSuffix);
    QStringList names =
        QDir(log.absolutePath()).entryList({prefix + u'*'}, QDir::Files | QDir::Hidden, QDir::Name);
    std::vector<QString> files;
    for (const QString& name : names) {
        const QString file = log.absoluteDir().filePath(name);
        const int fd = Claim(file);
        if (fd < 0) continue;  // a live run's
        Release(fd);
        files.push_back(file);
    }
    return files;
}

int LogJournal::Claim(const QString& file) {
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void LogJournal::Release(int fd) {
    if (fd >= 0) ::close(fd);
}

std::optional<std::vector<LogOp>> LogJournal::Read(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return std::nullopt;
    if (in.read(sizeof kMagic) != QByteArray(kMagic, sizeof kMagic)) return std::nullopt;
    std::vector<LogOp> ops;
    QDataStream heads(&in);
    heads.setVersion(QDataStream::Qt_6_0);
    for (;;) {
        quint32 size = 0;
        quint64 sum = 0;
        heads >> size >> sum;
        if (heads.status() != QDataStream::Ok || size > kMaxRecordBytes) break;
        const QByteArray record = in.read(size);
        if (record.size() != static_cast<qsizetype>(size) || Checksum(record) != sum) break;
        QDataStream body(record);
        body.setVersion(QDataStream::Qt_6_0);
        LogOp op;
        if (!Get(body, op)) break;
        ops.push_back(std::move(op));
    }
    return ops;
}

}  // namespace keta
