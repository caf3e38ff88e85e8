// The history file read from the disk: whole files at once and larger ones piece by piece, the
// records taken out by the shared collection of records/.

#include "history_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <array>
#include <cerrno>
#include <cstdint>
#include <new>
#include <vector>

namespace keta {
namespace {

// Reads what is left of the file behind `fd` into `bytes`: `expected` bytes at once, then
// whatever it has gained since it was measured.
HistoryReadResult ReadWhole(int fd, std::size_t expected, std::string& bytes, int& error) {
    bytes.resize(expected);
    std::size_t filled = 0;
    std::array<char, 4096> more{};
    while (true) {
        const bool inPlace = filled < expected;
        char* const to = inPlace ? bytes.data() + filled : more.data();
        const std::size_t room = inPlace ? expected - filled : more.size();
        const ssize_t got = ::read(fd, to, room);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = errno;
            return HistoryReadResult::Failed;
        }
        if (got == 0) break;
        if (inPlace) {
            filled += static_cast<std::size_t>(got);
        } else {
            bytes.append(more.data(), static_cast<std::size_t>(got));
        }
    }
    if (filled < expected) bytes.resize(filled);  // it has shrunk meanwhile
    return HistoryReadResult::Done;
}

// Files up to this size are read whole and checked where they lie; larger ones, which can only
// be mostly something else than records, piece by piece, keeping only the records.
constexpr std::size_t kReadWhole = std::size_t{64} << 20;
static_assert(kReadWhole <= HistoryLines::kMostBytes);

HistoryReadResult ReadRecords(int fd, HistoryLines& lines, HistoryLoadReport& report, int& error) {
    try {
        struct stat st {};
        const off_t size = ::fstat(fd, &st) == 0 ? st.st_size : -1;
        if (size >= 0 && static_cast<std::size_t>(size) <= kReadWhole) {
            const HistoryReadResult read =
                ReadWhole(fd, static_cast<std::size_t>(size), lines.bytes, error);
            if (read == HistoryReadResult::Done) CollectHistoryRecords(lines, report);
            return read;
        }
        if (size > 0) {
            // Room for the records at once when the file is all records, without committing
            // more than a modest amount to a file that is mostly something else.
            lines.bytes.reserve(kReadWhole);
            lines.starts.reserve(kReadWhole / 48 + 1);
        }
        HistoryRecordCollector collector(lines, report);
        std::vector<char> buffer(std::size_t{64} << 10);
        while (true) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error = errno;
                return HistoryReadResult::Failed;
            }
            if (got == 0) break;
            collector.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        }
        collector.Finish();
        lines.bytes.shrink_to_fit();
        lines.starts.shrink_to_fit();
        return HistoryReadResult::Done;
    } catch (const std::bad_alloc&) {
        return HistoryReadResult::TooLarge;
    }
}

}  // namespace

FileStamp StampOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, st.st_dev, st.st_ino, st.st_size,
            std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

std::unique_ptr<HistoryRead> ReadHistory(const QString& path) {
    auto read = std::make_unique<HistoryRead>();
    read->stamp = StampOf(path);
    RegularFile file;
    read->status = file.Open(path, O_RDONLY);
    if (read->status == RegularFile::Status::Missing) return read;
    if (read->status == RegularFile::Status::Open) {
        read->result = ReadRecords(file.Descriptor(), read->lines, read->report, read->error);
    }
    file.Close();
    read->errorText = file.ErrorText();
    return read;
}

}  // namespace keta
