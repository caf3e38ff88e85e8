// The help file as built, and reading .chm files (keta::help::ChmArchive): metadata, lookup,
// and damaged files.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "chm_archive.h"
#include "help_browser.h"

using keta::help::ChmArchive;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(data) == data.size();
}

const QStringList kPages = {"/index.html",    "/play.html",    "/modes.html", "/time.html",
                            "/autosave.html", "/history.html", "/keys.html",  "/files.html"};
const QStringList kPictures = {
    "hand_key.svg",     "floppy.svg",    "sheets.svg",       "help_disc.svg",   "exit_door.svg",
    "floppy_small.svg", "light_red.svg", "light_yellow.svg", "light_green.svg", "title.svg"};

}  // namespace

class TestHelpArchive : public QObject {
    Q_OBJECT

private slots:
    void builtHelpFileLoads();
    void builtHelpFileHoldsEveryPagePictureAndStyle();
    void builtHelpFileLinksResolve();
    void defaultTopicComesFromSystemMetadata();
    void defaultTopicFallsBackToContents();
    void defaultTopicFallsBackToFirstPage();
    void lookupIgnoresLetterCaseAndSeparators();
    void normalizePath();
    void decodeHtmlByMetaCharset();
    void missingFileIsRefused();
    void garbageAndEmptyFilesAreRefused();
    void truncatedFilesAreRefused();
    void filesThatCrashChmlibAreRefused();
    void randomlyDamagedFilesNeverCrash();
};

void TestHelpArchive::builtHelpFileLoads() {
    QString error;
    const auto archive = ChmArchive::load(QStringLiteral(KETATOBI_HELP_CHM), &error);
    QVERIFY2(archive, qPrintable(error));
    QCOMPARE(archive->defaultTopic(), QStringLiteral("/index.html"));
    QCOMPARE(archive->defaultTopicSource(), QStringLiteral("system"));
    QCOMPARE(archive->title(), QStringLiteral("ケタトビ ヘルプ"));
    QCOMPARE(archive->filePath(), QFileInfo(QStringLiteral(KETATOBI_HELP_CHM)).absoluteFilePath());
    const QString start = keta::help::decodeHtml(archive->object(archive->defaultTopic()));
    QVERIFY(start.contains(QStringLiteral("<title>ケタトビ ヘルプ</title>")));
}

void TestHelpArchive::builtHelpFileHoldsEveryPagePictureAndStyle() {
    const auto archive = ChmArchive::load(QStringLiteral(KETATOBI_HELP_CHM));
    QVERIFY(archive);
    for (const QString& page : kPages) {
        QVERIFY2(archive->contains(page), qPrintable(page));
        // The compiled page is the source page, byte for byte.
        const QByteArray source = readAll(QStringLiteral(KETATOBI_HELP_SOURCE_DIR) + page);
        QVERIFY2(!source.isEmpty(), qPrintable(page));
        QCOMPARE(archive->object(page), source);
        QVERIFY2(source.contains("<meta charset=\"utf-8\">"), qPrintable(page));
    }
    QVERIFY(archive->contains(QStringLiteral("/style.css")));
    for (const QString& picture : kPictures) {
        const QString path = QStringLiteral("/pictures/") + picture;
        QVERIFY2(archive->contains(path), qPrintable(path));
        QVERIFY2(archive->object(path).contains("<svg"), qPrintable(path));
    }
}

// Every href and src of every page names a page, picture or style sheet inside the file.
void TestHelpArchive::builtHelpFileLinksResolve() {
    const auto archive = ChmArchive::load(QStringLiteral(KETATOBI_HELP_CHM));
    QVERIFY(archive);
    static const QRegularExpression ref(QStringLiteral("(?:href|src)=\"([^\"#]*)(?:#[^\"]*)?\""));
    int links = 0;
    for (const QString& page : kPages) {
        const QString html = keta::help::decodeHtml(archive->object(page));
        auto it = ref.globalMatch(html);
        while (it.hasNext()) {
            const QString target = it.next().captured(1);
            if (target.isEmpty()) continue;
            QVERIFY2(!target.contains(QLatin1Char(':')), qPrintable(page + " -> " + target));
            const QString resolved =
                QUrl(QStringLiteral("chm://") + page).resolved(QUrl(target)).path();
            QVERIFY2(archive->contains(resolved), qPrintable(page + " -> " + target));
            ++links;
        }
    }
    QVERIFY(links > 50);
}

void TestHelpArchive::defaultTopicComesFromSystemMetadata() {
    const auto archive = ChmArchive::load(QStringLiteral(KETATOBI_TEST_CHM_DIR "/Order.chm"));
    QVERIFY(archive);
    // alpha.html comes first by name and in the directory; the metadata names zeta.html.
    QCOMPARE(archive->defaultTopic(), QStringLiteral("/zeta.html"));
    QCOMPARE(archive->defaultTopicSource(), QStringLiteral("system"));
    QCOMPARE(archive->title(), QStringLiteral("Order Test"));
}

void TestHelpArchive::defaultTopicFallsBackToContents() {
    const auto archive = ChmArchive::load(QStringLiteral(KETATOBI_TEST_CHM_DIR "/Contents.chm"));
    QVERIFY(archive);
    QCOMPARE(archive->defaultTopic(), QStringLiteral("/beta.html"));
    QCOMPARE(archive->defaultTopicSource(), QStringLiteral("contents"));
}

void TestHelpArchive::defaultTopicFallsBackToFirstPage() {
    const auto archive = ChmArchive::load(QStringLiteral(KETATOBI_TEST_CHM_DIR "/Plain.chm"));
    QVERIFY(archive);
    QCOMPARE(archive->defaultTopic(), QStringLiteral("/alpha.html"));
    QCOMPARE(archive->defaultTopicSource(), QStringLiteral("first-page"));
}

void TestHelpArchive::lookupIgnoresLetterCaseAndSeparators() {
    const auto archive = ChmArchive::load(QStringLiteral(KETATOBI_TEST_CHM_DIR "/Order.chm"));
    QVERIFY(archive);
    QCOMPARE(archive->resolve(QStringLiteral("pictures/dot.svg")),
             QStringLiteral("/pictures/dot.svg"));
    QCOMPARE(archive->resolve(QStringLiteral("PICTURES\\Dot.SVG")),
             QStringLiteral("/pictures/dot.svg"));
    QCOMPARE(archive->resolve(QStringLiteral("/x/../Zeta.HTML")), QStringLiteral("/zeta.html"));
    QVERIFY(archive->resolve(QStringLiteral("/nothere.html")).isEmpty());
    QVERIFY(archive->object(QStringLiteral("/nothere.html")).isNull());
    QVERIFY(archive->object(QStringLiteral("Pictures/DOT.svg")).contains("<svg"));
}

void TestHelpArchive::normalizePath() {
    QCOMPARE(ChmArchive::normalizePath(QStringLiteral("a.html")), QStringLiteral("/a.html"));
    QCOMPARE(ChmArchive::normalizePath(QStringLiteral("/a/./b/../c.html")),
             QStringLiteral("/a/c.html"));
    QCOMPARE(ChmArchive::normalizePath(QStringLiteral("\\a\\b.html")), QStringLiteral("/a/b.html"));
    QCOMPARE(ChmArchive::normalizePath(QStringLiteral("../../a.html")), QStringLiteral("/a.html"));
    QCOMPARE(ChmArchive::normalizePath(QString()), QStringLiteral("/"));
}

void TestHelpArchive::decodeHtmlByMetaCharset() {
    const QString text = QStringLiteral("遊び方");
    QByteArray utf8 =
        "<html><head><meta charset=\"utf-8\"></head><body>" + text.toUtf8() + "</body></html>";
    QVERIFY(keta::help::decodeHtml(utf8).contains(text));
    QByteArray latin1 =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
        "charset=iso-8859-1\"></head><body>caf\xe9</body></html>";
    QVERIFY(keta::help::decodeHtml(latin1).contains(QStringLiteral("café")));
    QByteArray none = "<html><body>" + text.toUtf8() + "</body></html>";
    QVERIFY(keta::help::decodeHtml(none).contains(text));
}

void TestHelpArchive::missingFileIsRefused() {
    QTemporaryDir dir;
    QString error;
    QVERIFY(!ChmArchive::load(dir.filePath(QStringLiteral("VexoHelp.chm")), &error));
    QCOMPARE(error, QStringLiteral("ファイルが見つかりません。"));
    QVERIFY(!ChmArchive::load(dir.path(), &error));  // a folder
}

void TestHelpArchive::garbageAndEmptyFilesAreRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VexoHelp.chm"));
    QString error;
    QVERIFY(writeFile(path, QByteArray()));
    QVERIFY(!ChmArchive::load(path, &error));
    QVERIFY(!error.isEmpty());
    QByteArray garbage(20000, '\0');
    QRandomGenerator rng(42);
    for (char& c : garbage) c = static_cast<char>(rng.bounded(256));
    QVERIFY(writeFile(path, garbage));
    QVERIFY(!ChmArchive::load(path, &error));
    QVERIFY(writeFile(path, "ITSF" + garbage));  // the right signature, nothing behind it
    QVERIFY(!ChmArchive::load(path, &error));
    QVERIFY(writeFile(path, "<html><body>not a chm</body></html>"));
    QVERIFY(!ChmArchive::load(path, &error));
}

void TestHelpArchive::truncatedFilesAreRefused() {
    const QByteArray real = readAll(QStringLiteral(KETATOBI_HELP_CHM));
    QVERIFY(real.size() > 4096);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VexoHelp.chm"));
    for (const qsizetype length :
         {qsizetype(1), qsizetype(0x38), qsizetype(0x60), qsizetype(0x200), real.size() / 4,
          real.size() / 2, real.size() * 3 / 4, real.size() - 1}) {
        QVERIFY(writeFile(path, real.left(length)));
        QString error;
        QVERIFY2(!ChmArchive::load(path, &error), qPrintable(QString::number(length)));
        QVERIFY(!error.isEmpty());
    }
}

// Two damaged control blocks on which chmlib itself faults (a division by zero inside chm_open,
// and a null decoder state on the first compressed read). The reading runs in a child process,
// so this process lives on and reports the file as damaged.
void TestHelpArchive::filesThatCrashChmlibAreRefused() {
    const QByteArray real = readAll(QStringLiteral(KETATOBI_HELP_CHM));
    const qsizetype lzxc = real.indexOf("LZXC");
    QVERIFY(lzxc > 0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VexoHelp.chm"));
    auto put32 = [](QByteArray& data, qsizetype at, quint32 value) {
        for (int i = 0; i < 4; ++i) data[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
    };

    QByteArray zeroWindow = real;  // window size 0
    put32(zeroWindow, lzxc + 12, 0);
    QVERIFY(writeFile(path, zeroWindow));
    QString error;
    QVERIFY(!ChmArchive::load(path, &error));
    QCOMPARE(error, QStringLiteral("ヘルプファイルではないか、ファイルが壊れています。"));

    QByteArray hugeWindow = real;  // a window of 4 MiB, beyond LZX
    put32(hugeWindow, lzxc + 8, 128);
    put32(hugeWindow, lzxc + 12, 128);
    QVERIFY(writeFile(path, hugeWindow));
    QVERIFY(!ChmArchive::load(path, &error));

    // The real file still loads afterwards.
    QVERIFY(ChmArchive::load(QStringLiteral(KETATOBI_HELP_CHM)));
}

void TestHelpArchive::randomlyDamagedFilesNeverCrash() {
    const QByteArray real = readAll(QStringLiteral(KETATOBI_HELP_CHM));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VexoHelp.chm"));
    QRandomGenerator rng(20240501);
    int loaded = 0, refused = 0;
    for (int round = 0; round < 150; ++round) {
        QByteArray damaged = real;
        const int flips = 1 + static_cast<int>(rng.bounded(16));
        for (int i = 0; i < flips; ++i) {
            // Mostly the headers and the directory, where a few bytes do the most harm.
            const qsizetype span =
                rng.bounded(3) == 0 ? damaged.size() : qMin<qsizetype>(damaged.size(), 0x2400);
            damaged[rng.bounded(static_cast<quint32>(span))] = static_cast<char>(rng.bounded(256));
        }
        QVERIFY(writeFile(path, damaged));
        QString error;
        const auto archive = ChmArchive::load(path, &error);
        if (archive) {
            ++loaded;
            QVERIFY(!archive->defaultTopic().isEmpty());
            QVERIFY(!archive->object(archive->defaultTopic()).isNull());
        } else {
            ++refused;
            QVERIFY(!error.isEmpty());
        }
    }
    qInfo("damaged files: %d loaded, %d refused", loaded, refused);
}

QTEST_GUILESS_MAIN(TestHelpArchive)
#include "test_help_archive.moc"
