// Starts the program (the same Shell that main() runs) in a temporary folder holding one hostile
// data file, answers the message boxes it shows, presses its exit button, and checks what came
// out. One case per process, so that the memory limit applies to each start alone.
//
// Sizes are chosen to prove the bound: each big file would need several GiB under a loader
// that builds texts or reserves per byte, but runs in 1 GiB here.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <map>

#include "history_model.h"
#include "shell.h"

namespace {

using namespace Qt::Literals::StringLiterals;

int failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok) ++failures;
}

// Writes `count` copies of `pattern` in large blocks.
bool WriteRepeated(const QString& path, const QByteArray& pattern, qint64 count) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const qint64 perBlock = std::max<qint64>(1, (1 << 20) / pattern.size());
    const QByteArray block = pattern.repeated(perBlock);
    for (qint64 left = count; left > 0; left -= perBlock) {
        const QByteArray part = left >= perBlock ? block : pattern.repeated(left);
        if (f.write(part) != part.size()) return false;
    }
    return true;
}

// What shows that a file was left alone: its inode, size, modification time and content.
struct Fingerprint {
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    QByteArray hash;
    bool operator==(const Fingerprint& o) const {
        return inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec && hash == o.hash;
    }
};

Fingerprint Take(const QString& path) {
    Fingerprint f;
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return f;
    f.inode = st.st_ino;
    f.size = st.st_size;
    f.modified = st.st_mtim;
    if (S_ISREG(st.st_mode)) {
        QFile file(path);
        QCryptographicHash hash(QCryptographicHash::Sha1);
        if (file.open(QIODevice::ReadOnly)) hash.addData(&file);
        f.hash = hash.result();
    }
    return f;
}

struct Case {
    const char* file;  // the hostile one
    std::function<bool(const QString&)> make;
    const char16_t* boxText;  // part of the one box due, or nullptr for none
    int rows;                 // grid rows after start-up, header included
};

const std::map<std::string, Case>& Cases() {
    static const std::map<std::string, Case> cases{
        {"blank_lines",  // 96 Mi line ends: 4.5 GiB at 48 bytes each
         {"履歴.txt", [](const QString& p) { return WriteRepeated(p, "\n", 96 << 20); }, nullptr,
          1}},
        {"commas",  // one line of 64 Mi commas: 1.5 GiB of items if every one were kept
         {"履歴.txt", [](const QString& p) { return WriteRepeated(p, ",", 64 << 20); },
          u"記録の形になっていない", 1}},
        {"zeros_sparse",  // larger than the memory limit itself: zeros a crash could leave
         {"履歴.txt",
          [](const QString& p) {
              QFile f(p);
              return f.open(QIODevice::WriteOnly) && f.resize(qint64{5} << 28);
          },
          u"記録の形になっていない", 1}},
        {"huge_item",  // a record whose accuracy is 10 MB long, between two plain ones
         {"履歴.txt",
          [](const QString& p) {
              const QByteArray plain =
                  "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/\x95\x62\","
                  "\"60\x95\x62\",\"\x81\x7B\"\r\n";
              QByteArray huge = plain;
              huge.replace("88.0%", QByteArray(10 << 20, '9'));
              QFile f(p);
              const QByteArray all = plain + huge + plain;
              return f.open(QIODevice::WriteOnly) && f.write(all) == all.size();
          },
          nullptr, 4}},
        {"dev_zero",
         {"履歴.txt", [](const QString& p) { return QFile::link(u"/dev/zero"_s, p); },
          u"履歴.txt を読み込めませんでした", 1}},
        {"fifo_history",
         {"履歴.txt",
          [](const QString& p) { return ::mkfifo(QFile::encodeName(p).constData(), 0600) == 0; },
          u"履歴.txt を読み込めませんでした", 1}},
        {"fifo_settings",
         {"設定.txt",
          [](const QString& p) { return ::mkfifo(QFile::encodeName(p).constData(), 0600) == 0; },
          u"設定.txt を読み込めませんでした", 1}},
    };
    return cases;
}

}  // namespace

int main(int argc, char* argv[]) {
    const auto found = argc == 2 ? Cases().find(argv[1]) : Cases().end();
    if (found == Cases().end()) {
        std::fprintf(stderr, "usage: hostile_start <case>\n");
        return 2;
    }
    const Case& c = found->second;
#if !defined(__SANITIZE_ADDRESS__)
    // The sanitizers reserve terabytes of address space up front; the limit is for the
    // plain build.
    const rlimit limit{rlim_t{1} << 30, rlim_t{1} << 30};
    Check(setrlimit(RLIMIT_AS, &limit) == 0, "memory limited to 1 GiB");
#endif

    QTemporaryDir dir;
    const QString hostile = dir.filePath(QString::fromUtf8(c.file));
    Check(c.make(hostile), "the hostile file is made");
    for (const char* name : {"履歴.txt", "設定.txt"}) {
        const QString path = dir.filePath(QString::fromUtf8(name));
        QFile f(path);
        const bool settings = QString::fromUtf8(name) == u"設定.txt"_s;
        if (path != hostile) {
            Check(f.open(QIODevice::WriteOnly) && f.write(settings ? "60,1\r\n" : "") >= 0,
                  "the other file is made");
        }
    }
    const Fingerprint before = Take(hostile);
    QDir::setCurrent(dir.path());

    QApplication app(argc, argv);
    bool quitAsked = false;
    keta::Shell shell(nullptr, [&] {
        quitAsked = true;
        QCoreApplication::exit(0);
    });

    // Answers every message box with OK, keeping its text.
    QStringList boxes;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    watcher.start(10);
    QTimer::singleShot(120'000, [] { QCoreApplication::exit(3); });  // never hang the tests

    QElapsedTimer timer;
    timer.start();
    shell.Form_Load();
    const qint64 startMs = timer.elapsed();
    QTimer::singleShot(0, [&] {
        Check(shell.window().isVisible(), "the window is shown");
        shell.cmdEnd_Click();
    });
    const int exitCode = QApplication::exec();
    watcher.stop();

    std::printf("start-up took %lld ms\n", static_cast<long long>(startMs));
    Check(startMs < 30'000, "start-up within 30 s");
    Check(exitCode == 0 && quitAsked, "exits cleanly when asked");
    if (c.boxText == nullptr) {
        Check(boxes.isEmpty(), "no box");
    } else {
        Check(boxes.size() == 1 && boxes[0].contains(QStringView(c.boxText)), "its box is shown");
    }
    for (const QString& text : boxes) std::printf("box: %s\n", qPrintable(text));
    keta::HistoryModel& grid = shell.window().historyModel();
    Check(grid.Rows() == c.rows, "the grid holds the records");
    for (int row = 0; row < grid.rowCount(); ++row) {
        for (int col = 0; col < grid.columnCount(); ++col) {
            if (grid.data(grid.index(row, col)).toString().size() > 257) {
                Check(false, "cells show at most 256 characters and the mark");
            }
        }
    }
    Check(Take(hostile) == before, "the file is left as it was");
    return failures == 0 ? 0 : 1;
}
