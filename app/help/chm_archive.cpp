#include "chm_archive.h"

#include <chm_lib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace keta::help {

namespace {

// ---------------------------------------------------------------------------------------------
// The stream from the child: "KCHM" then frames. 'O' u32 pathLength, path bytes, u64 dataLength,
// data bytes: one object. 'E': the end. Integers in host byte order (same machine).
constexpr char kMagic[4] = {'K', 'C', 'H', 'M'};
constexpr int kMaxPathBytes = CHM_MAX_PATHLEN;

// ---- child side: only chmlib, plain memory and write(2); never Qt, never exit() ------------

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

struct EnumContext {
    std::vector<std::string> paths;
    uint64_t contentOffset = 0;
    uint64_t fileSize = 0;
    bool beyondTheEnd = false;  // an object the directory lists runs past the end of the file
};

int collectPath(chmFile*, chmUnitInfo* ui, void* context) {
    auto* ctx = static_cast<EnumContext*>(context);
    // Every uncompressed object, the compressed stream and the storage internals included,
    // must lie inside the file.
    if (ui->space == CHM_UNCOMPRESSED &&
        (ui->start > ctx->fileSize || ui->length > ctx->fileSize - ui->start ||
         ctx->contentOffset > ctx->fileSize - ui->start - ui->length))
        ctx->beyondTheEnd = true;
    if (ctx->paths.size() >= static_cast<size_t>(ChmArchive::kMaxObjects))
        return CHM_ENUMERATOR_SUCCESS;  // stop: enough is enough
    const size_t len = strnlen(ui->path, sizeof ui->path);
    // Only the content objects ("/..."), no directories ("/.../") and no storage internals.
    if (len < 2 || ui->path[0] != '/' || ui->path[len - 1] == '/') return CHM_ENUMERATOR_CONTINUE;
    ctx->paths.emplace_back(ui->path, len);
    return CHM_ENUMERATOR_CONTINUE;
}

// Where the uncompressed content section starts and how long the file is, from the file's own
// header; false when the header cannot be read. chmlib reads past the end of a cut-off file
// without complaint when the missing part only holds compressed data it has not needed yet.
bool ContentBounds(const char* filePath, uint64_t* contentOffset, uint64_t* fileSize) {
    const int file = ::open(filePath, O_RDONLY | O_CLOEXEC);
    if (file < 0) return false;
    unsigned char header[0x60];
    const off_t size = ::lseek(file, 0, SEEK_END);
    const bool read = size >= 0 && ::pread(file, header, sizeof header, 0) == sizeof header;
    ::close(file);
    if (!read || std::memcmp(header, "ITSF", 4) != 0) return false;
    const auto u32 = [&header](int at) {
        uint32_t v;
        std::memcpy(&v, header + at, sizeof v);
        return v;
    };
    const auto u64 = [&header](int at) {
        uint64_t v;
        std::memcpy(&v, header + at, sizeof v);
        return v;
    };
    // Version 3 names the content offset; version 2 puts the content right after the
    // directory (the second header section).
    *contentOffset = u32(4) >= 3 ? u64(0x58) : u64(0x48) + u64(0x50);
    *fileSize = static_cast<uint64_t>(size);
    return true;
}

// Runs in the child. Returns the exit status.
int extractToPipe(const char* filePath, int fd) {
    EnumContext ctx;
    if (!ContentBounds(filePath, &ctx.contentOffset, &ctx.fileSize)) return 2;
    chmFile* chm = chm_open(filePath);
    if (!chm) return 2;
    if (chm_enumerate(
            chm,
            CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_META | CHM_ENUMERATE_SPECIAL | CHM_ENUMERATE_FILES,
            collectPath, &ctx) == 0 &&
        ctx.paths.empty()) {
        chm_close(chm);
        return 3;
    }
    if (ctx.beyondTheEnd) {
        chm_close(chm);
        return 5;
    }
    if (!writeAll(fd, kMagic, sizeof kMagic)) return 4;
    std::vector<unsigned char> buffer;
    uint64_t total = 0;
    for (const std::string& path : ctx.paths) {
        chmUnitInfo ui{};
        if (chm_resolve_object(chm, path.c_str(), &ui) != CHM_RESOLVE_SUCCESS) {
            chm_close(chm);
            return 5;  // listed in the directory but not there: damaged
        }
        if (ui.length > static_cast<uint64_t>(ChmArchive::kMaxObjectSize)) continue;
        if (total + ui.length > static_cast<uint64_t>(ChmArchive::kMaxTotalSize)) continue;
        buffer.resize(static_cast<size_t>(ui.length));
        uint64_t got = 0;
        while (got < ui.length) {
            const LONGINT64 n = chm_retrieve_object(chm, &ui, buffer.data() + got, got,
                                                    static_cast<LONGINT64>(ui.length - got));
            if (n <= 0) break;
            got += static_cast<uint64_t>(n);
        }
        if (got != ui.length) {
            // A short read: the file is cut off or damaged. Rather than show a help with holes
            // in it, the whole file counts as damaged.
            chm_close(chm);
            return 5;
        }
        total += ui.length;
        const char tag = 'O';
        const uint32_t pathLength = static_cast<uint32_t>(path.size());
        const uint64_t dataLength = ui.length;
        if (!writeAll(fd, &tag, 1) || !writeAll(fd, &pathLength, sizeof pathLength) ||
            !writeAll(fd, path.data(), path.size()) ||
            !writeAll(fd, &dataLength, sizeof dataLength) ||
            !writeAll(fd, buffer.data(), buffer.size()))
            return 4;
    }
    chm_close(chm);
    const char end = 'E';
    return writeAll(fd, &end, 1) ? 0 : 4;
}

// ---- parent side ------------------------------------------------------------------------------

// Forks the child, collects its stream. Returns false when the child failed in any way.
bool runExtraction(const QString& filePath, QByteArray* stream) {
    const QByteArray nativePath = QFile::encodeName(filePath);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        // Child. _exit() and not exit(): no atexit handlers, no Qt or static destructors.
        ::close(fds[0]);
        // Handlers inherited from the parent (crash reporters, test frameworks) must not run
        // here: a fault in chmlib just ends the child, and the parent sees it in the status.
        for (const int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS, SIGPIPE})
            ::signal(sig, SIG_DFL);
        const int status = extractToPipe(nativePath.constData(), fds[1]);
        ::_exit(status);
    }
    ::close(fds[1]);

    const qint64 cap = ChmArchive::kMaxTotalSize + 64LL * ChmArchive::kMaxObjects * 1024;
    bool ok = true;
    QElapsedTimer clock;
    clock.start();
    char chunk[65536];
    for (;;) {
        const qint64 left = ChmArchive::kLoadTimeoutMs - clock.elapsed();
        if (left <= 0) {
            ok = false;
            break;
        }
        pollfd pfd{fds[0], POLLIN, 0};
        const int r = ::poll(&pfd, 1, static_cast<int>(left));
        if (r < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (r == 0) continue;  // deadline is checked at the top
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            ok = false;
            break;
        }
        if (n == 0) break;  // EOF: the child is done
        if (stream->size() + n > cap) {
            ok = false;
            break;
        }
        stream->append(chunk, n);
    }
    ::close(fds[0]);
    if (!ok) ::kill(pid, SIGKILL);
    int status = 0;
    pid_t w;
    do {
        w = ::waitpid(pid, &status, 0);
    } while (w < 0 && errno == EINTR);
    if (w == pid) return ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    // Reaped elsewhere (SIGCHLD ignored by the application): the stream's end marker, which the
    // child writes only after reading everything, still tells a complete run.
    return ok && w < 0 && errno == ECHILD;
}

// Bounds-checked reader over the child's stream.
class StreamReader {
public:
    explicit StreamReader(const QByteArray& data) : data_(data) {}
    bool take(void* out, qint64 n) {
        if (n < 0 || pos_ + n > data_.size()) return false;
        std::memcpy(out, data_.constData() + pos_, static_cast<size_t>(n));
        pos_ += n;
        return true;
    }
    bool takeBytes(QByteArray* out, qint64 n) {
        if (n < 0 || pos_ + n > data_.size()) return false;
        *out = data_.mid(pos_, n);
        pos_ += n;
        return true;
    }
    bool atEnd() const { return pos_ == data_.size(); }

private:
    const QByteArray& data_;
    qint64 pos_ = 0;
};

QString foldCase(const QString& path) { return path.toCaseFolded(); }

// Text of a metadata entry: UTF-8 (what chmcmd writes) when valid, else the Japanese ANSI code
// page of the original compilers (Shift-JIS) when this Qt can decode it, else Latin-1.
QString decodeMetaText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    QStringDecoder sjis("Shift_JIS");
    if (sjis.isValid()) {
        text = sjis(bytes);
        if (!sjis.hasError()) return text;
    }
    return QString::fromLatin1(bytes);
}

}  // namespace

// -------------------------------------------------------------------------------------------------

QString ChmArchive::normalizePath(const QString& path) {
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = p.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList out;
    for (const QString& part : parts) {
        if (part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            if (!out.isEmpty()) out.removeLast();
            continue;
        }
        out.append(part);
    }
    return QLatin1Char('/') + out.join(QLatin1Char('/'));
}

QString ChmArchive::resolve(const QString& path) const {
    if (path.isEmpty()) return {};
    QString normal = normalizePath(path);
    if (objects_.contains(normal)) return normal;
    return folded_.value(foldCase(normal));
}

QByteArray ChmArchive::object(const QString& path) const {
    const QString exact = resolve(path);
    if (exact.isEmpty()) return {};
    return objects_.value(exact);
}

QStringList ChmArchive::objectPaths() const {
    QStringList paths = objects_.keys();
    paths.sort();
    return paths;
}

std::shared_ptr<const ChmArchive> ChmArchive::load(const QString& filePath, QString* error) {
    auto fail = [error](const QString& why) -> std::shared_ptr<const ChmArchive> {
        if (error) *error = why;
        return nullptr;
    };
    const QFileInfo info(filePath);
    if (!info.exists()) return fail(QStringLiteral("ファイルが見つかりません。"));
    if (!info.isFile() || !info.isReadable())
        return fail(QStringLiteral("ファイルを読み込めません。"));

    QByteArray stream;
    if (!runExtraction(info.absoluteFilePath(), &stream))
        return fail(QStringLiteral("ヘルプファイルではないか、ファイルが壊れています。"));

    std::shared_ptr<ChmArchive> archive(new ChmArchive);
    archive->filePath_ = info.absoluteFilePath();
    StreamReader in(stream);
    char magic[4];
    if (!in.take(magic, 4) || std::memcmp(magic, kMagic, 4) != 0)
        return fail(QStringLiteral("ヘルプファイルではないか、ファイルが壊れています。"));
    bool ended = false;
    while (!ended) {
        char tag = 0;
        if (!in.take(&tag, 1)) break;
        if (tag == 'E') {
            ended = true;
            break;
        }
        uint32_t pathLength = 0;
        uint64_t dataLength = 0;
        QByteArray pathBytes, data;
        if (tag != 'O' || !in.take(&pathLength, sizeof pathLength) || pathLength == 0 ||
            pathLength > static_cast<uint32_t>(kMaxPathBytes) ||
            !in.takeBytes(&pathBytes, pathLength) || !in.take(&dataLength, sizeof dataLength) ||
            dataLength > static_cast<uint64_t>(kMaxObjectSize) ||
            !in.takeBytes(&data, static_cast<qint64>(dataLength)))
            break;
        const QString path = QString::fromUtf8(pathBytes);
        if (archive->objects_.size() >= kMaxObjects) break;
        archive->objects_.insert(path, data);
        archive->folded_.insert(foldCase(path), path);  // the last of case twins wins; harmless
    }
    if (!ended || !in.atEnd())
        return fail(QStringLiteral("ヘルプファイルではないか、ファイルが壊れています。"));
    if (!archive->findMetadata()) return fail(QStringLiteral("表示するページがありません。"));
    return archive;
}

bool ChmArchive::findMetadata() {
    // /#SYSTEM: u32 version, then entries of u16 code, u16 length, length bytes.
    const QByteArray system = objects_.value(QStringLiteral("/#SYSTEM"));
    QString systemTopic;
    if (system.size() >= 4) {
        qsizetype pos = 4;
        while (pos + 4 <= system.size()) {
            const auto* p = reinterpret_cast<const unsigned char*>(system.constData() + pos);
            const int code = p[0] | (p[1] << 8);
            const int length = p[2] | (p[3] << 8);
            pos += 4;
            if (pos + length > system.size()) break;  // damaged entry: stop reading
            QByteArray value = system.mid(pos, length);
            pos += length;
            const qsizetype nul = value.indexOf('\0');
            if (nul >= 0) value.truncate(nul);
            switch (code) {
                case 0:
                    contentsFile_ = decodeMetaText(value);
                    break;
                case 2:
                    systemTopic = decodeMetaText(value);
                    break;
                case 3:
                    title_ = decodeMetaText(value);
                    break;
                default:
                    break;
            }
        }
    }
    if (!systemTopic.isEmpty()) {
        const QString exact = resolve(systemTopic);
        if (!exact.isEmpty()) {
            defaultTopic_ = exact;
            defaultTopicSource_ = QStringLiteral("system");
            return true;
        }
    }

    // Fallback 1: the first page of the table of contents.
    QString hhc = contentsFile_.isEmpty() ? QString() : resolve(contentsFile_);
    if (hhc.isEmpty()) {
        for (const QString& path : objectPaths()) {
            if (path.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive)) {
                hhc = path;
                break;
            }
        }
    }
    if (!hhc.isEmpty()) {
        if (contentsFile_.isEmpty()) contentsFile_ = hhc;
        const QString text = decodeMetaText(objects_.value(hhc));
        static const QRegularExpression local(
            QStringLiteral(
                "<param\\s+name\\s*=\\s*[\"']?local[\"']?\\s+value\\s*=\\s*[\"']([^\"']*)[\"']"),
            QRegularExpression::CaseInsensitiveOption);
        auto it = local.globalMatch(text);
        while (it.hasNext()) {
            QString target = it.next().captured(1);
            const qsizetype hash = target.indexOf(QLatin1Char('#'));
            if (hash >= 0) target.truncate(hash);
            const QString exact = resolve(target);
            if (!exact.isEmpty()) {
                defaultTopic_ = exact;
                defaultTopicSource_ = QStringLiteral("contents");
                return true;
            }
        }
    }

    // Fallback 2: the first HTML page.
    for (const QString& path : objectPaths()) {
        if (path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive) ||
            path.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive)) {
            defaultTopic_ = path;
            defaultTopicSource_ = QStringLiteral("first-page");
            return true;
        }
    }
    return false;
}

}  // namespace keta::help
