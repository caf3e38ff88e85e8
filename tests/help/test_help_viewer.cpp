// The help viewer's contract (keta::HtmlHelp): commands 0 and 18, the windows it opens, the
// message box when a file cannot be shown, the lookup of a bare file name, and the page view.
#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "help_browser.h"
#include "help_window.h"
#include "html_help.h"

using keta::help::HelpBrowser;
using keta::help::HelpWindow;

namespace {

const QString kName = QStringLiteral("VexoHelp.chm");

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(data) == data.size();
}

bool copyTo(const QString& from, const QString& to) { return writeFile(to, readAll(from)); }

QList<HelpWindow*> helpWindows() {
    QList<HelpWindow*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* h = qobject_cast<HelpWindow*>(w)) found.append(h);
    return found;
}

QList<QMessageBox*> messageBoxes() {
    QList<QMessageBox*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) found.append(box);
    return found;
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Catches the URLs that QDesktopServices would open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

}  // namespace

class TestHelpViewer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void searchPathFollowsTheProgramsFolder();
    void displayReturnsAtOnceWithAVisibleOwnedWindow();
    void defaultTopicIsTheStartPage();
    void pagesImagesAndStylesLoadThroughLoadResource();
    void linksNavigateWithHistory();
    void externalLinksOpenWithDesktopServices();
    void missingPageShowsANotice();
    void secondDisplayRaisesTheSameWindow();
    void closeAllClosesEveryHelpWindow();
    void deletingTheOwnerClosesItsHelpWindows();
    void helpWindowDoesNotKeepTheApplicationAlive();
    void missingFileShowsAMessageBox();
    void garbageFileShowsAMessageBox();
    void truncatedFileShowsAMessageBox();
    void fileThatCrashesChmlibShowsAMessageBox();
    void workingDirectoryWinsOverInstalledFolders();
    void bareNameIgnoresLetterCase();
    void topicCanBeNamedAfterTheFile();
    void otherCommandsDoNothing();

private:
    QString realChm() const { return QStringLiteral(KETATOBI_HELP_CHM); }
    QString orderChm() const { return QStringLiteral(KETATOBI_TEST_CHM_DIR "/Order.chm"); }
    QString installedDir() const { return searchPath_.value(0); }
    QString buildTreeDir() const { return searchPath_.value(1); }
    void clearSearchFolders();
    HelpWindow* openReal(QWidget* owner);
    // Runs HtmlHelp with a guard: if the call blocks in a nested event loop (a modal exec()),
    // the guard closes the modal widget and the test fails instead of hanging.
    QWidget* callGuarded(QWidget* owner, const QString& file, int command);

    QString originalCwd_;
    QStringList searchPath_;
    std::unique_ptr<QTemporaryDir> cwd_;
    std::unique_ptr<QWidget> owner_;
};

void TestHelpViewer::initTestCase() {
    QVERIFY2(QFile::exists(realChm()), "the help file has not been built (target help_chm)");
    QVERIFY(QFile::exists(orderChm()));
    originalCwd_ = QDir::currentPath();
    searchPath_ = keta::HelpSearchPath();
    QCOMPARE(searchPath_.size(), 2);
    clearSearchFolders();
}

void TestHelpViewer::init() {
    cwd_ = std::make_unique<QTemporaryDir>();
    QVERIFY(cwd_->isValid());
    QVERIFY(QDir::setCurrent(cwd_->path()));
    owner_ = std::make_unique<QWidget>();
    owner_->setWindowTitle(QStringLiteral("owner"));
    owner_->resize(300, 200);
    owner_->show();
}

void TestHelpViewer::cleanup() {
    keta::HtmlHelp(owner_.get(), kName, keta::HH_CLOSE_ALL, 0);
    owner_.reset();  // also deletes message boxes it owns
    for (QMessageBox* box : messageBoxes()) delete box;
    flushDeletes();
    QVERIFY(helpWindows().isEmpty());
    QDir::setCurrent(originalCwd_);
    cwd_.reset();
    clearSearchFolders();
}

void TestHelpViewer::cleanupTestCase() {
    clearSearchFolders();
    QDir(installedDir()).removeRecursively();
    QDir(buildTreeDir()).removeRecursively();
}

void TestHelpViewer::clearSearchFolders() {
    for (const QString& dir : searchPath_) {
        QDir folder(dir);
        for (const QString& f : folder.entryList({QStringLiteral("*.chm")}, QDir::Files))
            folder.remove(f);
    }
}

HelpWindow* TestHelpViewer::openReal(QWidget* owner) {
    if (!QFile::exists(kName)) copyTo(realChm(), kName);
    return qobject_cast<HelpWindow*>(keta::HtmlHelp(owner, kName, keta::HH_DISPLAY_TOPIC, 0));
}

QWidget* TestHelpViewer::callGuarded(QWidget* owner, const QString& file, int command) {
    bool blocked = false;
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [&blocked] {
        blocked = true;
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    guard.start(5000);
    QWidget* result = keta::HtmlHelp(owner, file, command, 0);
    guard.stop();
    if (blocked) qWarning("HtmlHelp blocked in a nested event loop");
    return blocked ? reinterpret_cast<QWidget*>(-1) : result;
}

// -------------------------------------------------------------------------------------------------

void TestHelpViewer::searchPathFollowsTheProgramsFolder() {
    const QString appDir = QCoreApplication::applicationDirPath();
    QCOMPARE(searchPath_.at(0),
             QDir::cleanPath(appDir + QStringLiteral("/../share/ketatobi/help")));
    QCOMPARE(searchPath_.at(1), QDir::cleanPath(appDir + QStringLiteral("/../help")));
}

void TestHelpViewer::displayReturnsAtOnceWithAVisibleOwnedWindow() {
    QVERIFY(copyTo(realChm(), kName));
    QElapsedTimer clock;
    clock.start();
    QWidget* result = callGuarded(owner_.get(), kName, keta::HH_DISPLAY_TOPIC);
    QVERIFY(result != reinterpret_cast<QWidget*>(-1));
    QVERIFY(clock.elapsed() < 5000);
    auto* window = qobject_cast<HelpWindow*>(result);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(window->isWindow());
    QVERIFY(window->windowFlags() & Qt::Window);
    QCOMPARE(window->parentWidget(), owner_.get());
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!window->testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(!window->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(window->filePath(), QFileInfo(kName).absoluteFilePath());
    QVERIFY(messageBoxes().isEmpty());
    QCOMPARE(helpWindows().size(), 1);
}

void TestHelpViewer::defaultTopicIsTheStartPage() {
    HelpWindow* window = openReal(owner_.get());
    QVERIFY(window);
    HelpBrowser* browser = window->browser();
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:///index.html")));
    QCOMPARE(browser->documentTitle(), QStringLiteral("ケタトビ ヘルプ"));
    QCOMPARE(window->windowTitle(), QStringLiteral("ケタトビ ヘルプ"));
    QVERIFY(browser->toPlainText().contains(
        QStringLiteral("ケタトビは、暗算とキー入力の速さをきたえる")));
}

void TestHelpViewer::pagesImagesAndStylesLoadThroughLoadResource() {
    HelpWindow* window = openReal(owner_.get());
    QVERIFY(window);
    HelpBrowser* browser = window->browser();

    // A page linked from the start page, relative to it.
    const QVariant page =
        browser->loadResource(QTextDocument::HtmlResource, QUrl(QStringLiteral("play.html")));
    QCOMPARE(page.userType(), QMetaType::QString);
    QVERIFY(page.toString().contains(QStringLiteral("<title>遊び方</title>")));

    // Pictures: SVG files inside the .chm, at their own size.
    for (const auto& [name, size] :
         {std::pair{QStringLiteral("pictures/hand_key.svg"), QSize(32, 32)},
          std::pair{QStringLiteral("pictures/floppy_small.svg"), QSize(16, 16)},
          std::pair{QStringLiteral("pictures/title.svg"), QSize(306, 61)},
          std::pair{QStringLiteral("Pictures/Light_Green.SVG"), QSize(32, 32)}}) {
        const QVariant image = browser->loadResource(QTextDocument::ImageResource, QUrl(name));
        QCOMPARE(image.userType(), QMetaType::QImage);
        const QImage img = image.value<QImage>();
        QVERIFY2(!img.isNull(), qPrintable(name));
        QCOMPARE(img.deviceIndependentSize().toSize(), size);
        // Something was drawn: not all transparent.
        bool painted = false;
        for (int y = 0; y < img.height() && !painted; ++y)
            for (int x = 0; x < img.width() && !painted; ++x) painted = qAlpha(img.pixel(x, y)) > 0;
        QVERIFY2(painted, qPrintable(name));
    }

    // The style sheet.
    const QVariant css =
        browser->loadResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("style.css")));
    QCOMPARE(css.userType(), QMetaType::QString);
    QVERIFY(css.toString().contains(QStringLiteral("font-family")));

    // The pictures of the start page reached the document itself.
    const QVariant inDocument = browser->document()->resource(
        QTextDocument::ImageResource, QUrl(QStringLiteral("chm:///pictures/title.svg")));
    QVERIFY(inDocument.isValid());

    // Nothing outside the file is served.
    QVERIFY(browser
                ->loadResource(QTextDocument::HtmlResource,
                               QUrl::fromLocalFile(QFileInfo(kName).absoluteFilePath()))
                .isNull());
    QVERIFY(
        browser
            ->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("pictures/none.svg")))
            .isNull());
}

void TestHelpViewer::linksNavigateWithHistory() {
    HelpWindow* window = openReal(owner_.get());
    QVERIFY(window);
    HelpBrowser* browser = window->browser();
    QSignalSpy backAvailable(browser, &QTextBrowser::backwardAvailable);

    browser->setSource(QUrl(QStringLiteral("modes.html")));  // as a clicked relative link
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:///modes.html")));
    QCOMPARE(window->windowTitle(), QStringLiteral("＋モードと－モード - ケタトビ ヘルプ"));
    QVERIFY(browser->toPlainText().contains(QStringLiteral("7 ＋ 5 ＝ 12")));
    QVERIFY(browser->isBackwardAvailable());

    browser->setSource(QUrl(QStringLiteral("KEYS.HTML")));  // letter case differs from the file's
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:///keys.html")));
    QCOMPARE(browser->documentTitle(), QStringLiteral("キーボードとマウス"));

    browser->backward();
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:///modes.html")));
    browser->backward();
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:///index.html")));
    QVERIFY(browser->isForwardAvailable());
    browser->forward();
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:///modes.html")));
    QVERIFY(!backAvailable.isEmpty());

    // Alt+Left goes back, as the tool bar's 戻る does.
    window->activateWindow();
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:///index.html")));
    QTest::keyClick(browser, Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:///modes.html")));
}

void TestHelpViewer::externalLinksOpenWithDesktopServices() {
    HelpWindow* window = openReal(owner_.get());
    QVERIFY(window);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    window->browser()->setSource(QUrl(QStringLiteral("https://example.org/ketatobi")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("https://example.org/ketatobi"))});
    QCOMPARE(window->browser()->source(), QUrl(QStringLiteral("chm:///index.html")));
    // A local file is neither shown nor opened.
    window->browser()->setSource(QUrl::fromLocalFile(QStringLiteral("/etc/hostname")));
    QCOMPARE(window->browser()->source(), QUrl(QStringLiteral("chm:///index.html")));
}

void TestHelpViewer::missingPageShowsANotice() {
    HelpWindow* window = openReal(owner_.get());
    QVERIFY(window);
    window->browser()->setSource(QUrl(QStringLiteral("nothere.html")));
    QVERIFY(window->browser()->toPlainText().contains(QStringLiteral("ページが見つかりません")));
}

void TestHelpViewer::secondDisplayRaisesTheSameWindow() {
    HelpWindow* first = openReal(owner_.get());
    QVERIFY(first);
    first->browser()->setSource(QUrl(QStringLiteral("files.html")));
    QWidget* second = keta::HtmlHelp(owner_.get(), kName, keta::HH_DISPLAY_TOPIC, 0);
    QCOMPARE(second, first);
    QCOMPARE(helpWindows().size(), 1);
    // Back at the default topic, as HH_DISPLAY_TOPIC asks.
    QCOMPARE(first->browser()->source(), QUrl(QStringLiteral("chm:///index.html")));
    // Another owner gets a window of its own.
    QWidget other;
    other.show();
    QWidget* third = keta::HtmlHelp(&other, kName, keta::HH_DISPLAY_TOPIC, 0);
    QVERIFY(third && third != first);
    QCOMPARE(third->parentWidget(), &other);
    QCOMPARE(helpWindows().size(), 2);
}

void TestHelpViewer::closeAllClosesEveryHelpWindow() {
    QVERIFY(copyTo(realChm(), kName));
    QVERIFY(copyTo(orderChm(), QStringLiteral("Order.chm")));
    QWidget otherOwner;
    otherOwner.show();
    QPointer<QWidget> a = keta::HtmlHelp(owner_.get(), kName, keta::HH_DISPLAY_TOPIC, 0);
    QPointer<QWidget> b =
        keta::HtmlHelp(owner_.get(), QStringLiteral("Order.chm"), keta::HH_DISPLAY_TOPIC, 0);
    QPointer<QWidget> c = keta::HtmlHelp(&otherOwner, kName, keta::HH_DISPLAY_TOPIC, 0);
    QVERIFY(a && b && c);
    QVERIFY(a != b && a != c && b != c);
    QCOMPARE(helpWindows().size(), 3);

    QWidget* result = keta::HtmlHelp(owner_.get(), kName, keta::HH_CLOSE_ALL, 0);
    QCOMPARE(result, nullptr);
    // Closed at once...
    QVERIFY(a && !a->isVisible());
    QVERIFY(b && !b->isVisible());
    QVERIFY(c && !c->isVisible());
    // ... and deleted by the event loop.
    flushDeletes();
    QVERIFY(a.isNull());
    QVERIFY(b.isNull());
    QVERIFY(c.isNull());
    QVERIFY(helpWindows().isEmpty());
    QVERIFY(otherOwner.isVisible());
    QVERIFY(owner_->isVisible());

    // With nothing open, command 18 does nothing, and help opens again afterwards.
    QCOMPARE(keta::HtmlHelp(nullptr, QString(), keta::HH_CLOSE_ALL, 0), nullptr);
    QVERIFY(keta::HtmlHelp(owner_.get(), kName, keta::HH_DISPLAY_TOPIC, 0));
}

void TestHelpViewer::deletingTheOwnerClosesItsHelpWindows() {
    auto owner = std::make_unique<QWidget>();
    owner->show();
    QPointer<QWidget> window = openReal(owner.get());
    QVERIFY(window);
    owner.reset();
    QVERIFY(window.isNull());
    QVERIFY(helpWindows().isEmpty());
    // Command 18 afterwards is harmless.
    QCOMPARE(keta::HtmlHelp(nullptr, kName, keta::HH_CLOSE_ALL, 0), nullptr);
}

void TestHelpViewer::helpWindowDoesNotKeepTheApplicationAlive() {
    QPointer<QWidget> window = openReal(owner_.get());
    QVERIFY(window && window->isVisible());
    QVERIFY(QGuiApplication::quitOnLastWindowClosed());
    // Closing the owner, the last window that counts, ends the event loop although the help
    // window is still open.
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        QCoreApplication::exit(99);
    });
    watchdog.start(5000);
    QTimer::singleShot(0, owner_.get(), &QWidget::close);
    const int code = QApplication::exec();
    watchdog.stop();
    QVERIFY2(!timedOut, "the open help window kept the application running");
    QCOMPARE(code, 0);
}

void TestHelpViewer::missingFileShowsAMessageBox() {
    QWidget* result = callGuarded(owner_.get(), kName, keta::HH_DISPLAY_TOPIC);
    QVERIFY2(result != reinterpret_cast<QWidget*>(-1), "HtmlHelp waited for the message box");
    QCOMPARE(result, nullptr);
    const QList<QMessageBox*> boxes = messageBoxes();
    QCOMPARE(boxes.size(), 1);
    QMessageBox* box = boxes.first();
    QCOMPARE(box->text(), QStringLiteral("ヘルプファイル「VexoHelp.chm」を開けません。"));
    QCOMPARE(box->icon(), QMessageBox::Warning);
    QCOMPARE(box->parentWidget(), owner_.get());
    QVERIFY(box->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(helpWindows().isEmpty());
    // Dismissing it deletes it.
    QPointer<QMessageBox> guard = box;
    box->button(QMessageBox::Ok)->click();
    flushDeletes();
    QVERIFY(guard.isNull());
}

void TestHelpViewer::garbageFileShowsAMessageBox() {
    QByteArray garbage(50000, '\0');
    QRandomGenerator rng(7);
    for (char& c : garbage) c = static_cast<char>(rng.bounded(256));
    QVERIFY(writeFile(kName, garbage));
    QWidget* result = callGuarded(owner_.get(), kName, keta::HH_DISPLAY_TOPIC);
    QCOMPARE(result, nullptr);
    const QList<QMessageBox*> boxes = messageBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes.first()->text().contains(kName));
    QVERIFY(helpWindows().isEmpty());
}

void TestHelpViewer::truncatedFileShowsAMessageBox() {
    const QByteArray real = readAll(realChm());
    QVERIFY(writeFile(kName, real.left(real.size() / 2)));
    QCOMPARE(callGuarded(owner_.get(), kName, keta::HH_DISPLAY_TOPIC), nullptr);
    QCOMPARE(messageBoxes().size(), 1);
    QVERIFY(helpWindows().isEmpty());
}

void TestHelpViewer::fileThatCrashesChmlibShowsAMessageBox() {
    QByteArray damaged = readAll(realChm());
    const qsizetype lzxc = damaged.indexOf("LZXC");
    QVERIFY(lzxc > 0);
    for (int i = 0; i < 4; ++i) damaged[lzxc + 12 + i] = 0;  // window size 0: chmlib divides by it
    QVERIFY(writeFile(kName, damaged));
    QCOMPARE(callGuarded(owner_.get(), kName, keta::HH_DISPLAY_TOPIC), nullptr);
    QCOMPARE(messageBoxes().size(), 1);
    QVERIFY(helpWindows().isEmpty());
}

void TestHelpViewer::workingDirectoryWinsOverInstalledFolders() {
    // Only in the build tree's help folder (bin/../help).
    QVERIFY(copyTo(orderChm(), QDir(buildTreeDir()).filePath(kName)));
    auto* window =
        qobject_cast<HelpWindow*>(keta::HtmlHelp(owner_.get(), kName, keta::HH_DISPLAY_TOPIC, 0));
    QVERIFY(window);
    QCOMPARE(window->filePath(), QDir(buildTreeDir()).filePath(kName));
    QCOMPARE(window->browser()->source(), QUrl(QStringLiteral("chm:///zeta.html")));
    keta::HtmlHelp(owner_.get(), kName, keta::HH_CLOSE_ALL, 0);
    flushDeletes();

    // The installed folder (bin/../share/ketatobi/help) comes before the build tree's.
    QVERIFY(copyTo(realChm(), QDir(installedDir()).filePath(kName)));
    window =
        qobject_cast<HelpWindow*>(keta::HtmlHelp(owner_.get(), kName, keta::HH_DISPLAY_TOPIC, 0));
    QVERIFY(window);
    QCOMPARE(window->filePath(), QDir(installedDir()).filePath(kName));
    QCOMPARE(window->browser()->source(), QUrl(QStringLiteral("chm:///index.html")));
    keta::HtmlHelp(owner_.get(), kName, keta::HH_CLOSE_ALL, 0);
    flushDeletes();

    // The working directory comes first of all.
    QVERIFY(copyTo(orderChm(), kName));
    window =
        qobject_cast<HelpWindow*>(keta::HtmlHelp(owner_.get(), kName, keta::HH_DISPLAY_TOPIC, 0));
    QVERIFY(window);
    QCOMPARE(window->filePath(), QFileInfo(kName).absoluteFilePath());
    QCOMPARE(window->browser()->source(), QUrl(QStringLiteral("chm:///zeta.html")));
    QVERIFY(messageBoxes().isEmpty());

    // A damaged file in the working directory is reported, not skipped in favour of the next.
    keta::HtmlHelp(owner_.get(), kName, keta::HH_CLOSE_ALL, 0);
    flushDeletes();
    QVERIFY(writeFile(kName, "garbage"));
    QCOMPARE(keta::HtmlHelp(owner_.get(), kName, keta::HH_DISPLAY_TOPIC, 0), nullptr);
    QCOMPARE(messageBoxes().size(), 1);
}

void TestHelpViewer::bareNameIgnoresLetterCase() {
    QVERIFY(copyTo(realChm(), kName));
    auto* window = qobject_cast<HelpWindow*>(
        keta::HtmlHelp(owner_.get(), QStringLiteral("vexohelp.CHM"), keta::HH_DISPLAY_TOPIC, 0));
    QVERIFY(window);
    QCOMPARE(window->filePath(), QFileInfo(kName).absoluteFilePath());
}

void TestHelpViewer::topicCanBeNamedAfterTheFile() {
    QVERIFY(copyTo(realChm(), kName));
    auto* window = qobject_cast<HelpWindow*>(keta::HtmlHelp(
        owner_.get(), kName + QStringLiteral("::/time.html"), keta::HH_DISPLAY_TOPIC, 0));
    QVERIFY(window);
    QCOMPARE(window->browser()->source(), QUrl(QStringLiteral("chm:///time.html")));
    // A path with a folder is taken as it stands.
    keta::HtmlHelp(owner_.get(), kName, keta::HH_CLOSE_ALL, 0);
    flushDeletes();
    window = qobject_cast<HelpWindow*>(
        keta::HtmlHelp(owner_.get(), orderChm(), keta::HH_DISPLAY_TOPIC, 0));
    QVERIFY(window);
    QCOMPARE(window->filePath(), orderChm());
}

void TestHelpViewer::otherCommandsDoNothing() {
    QVERIFY(copyTo(realChm(), kName));
    QCOMPARE(keta::HtmlHelp(owner_.get(), kName, 1, 0), nullptr);
    QCOMPARE(keta::HtmlHelp(owner_.get(), kName, 0x0F, 0), nullptr);
    QVERIFY(helpWindows().isEmpty());
    QVERIFY(messageBoxes().isEmpty());
}

QTEST_MAIN(TestHelpViewer)
#include "test_help_viewer.moc"
