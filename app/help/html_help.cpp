#include "html_help.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "chm_archive.h"
#include "help_window.h"

#ifndef KETATOBI_HELP_INSTALL_RELDIR
#define KETATOBI_HELP_INSTALL_RELDIR "../share/ketatobi/help"
#endif

namespace keta {

namespace {

// Every help window opened by HtmlHelp and not yet destroyed (a window deletes itself on close,
// and with its owner).
QList<QPointer<help::HelpWindow>>& openWindows() {
    static QList<QPointer<help::HelpWindow>> windows;
    windows.removeIf([](const QPointer<help::HelpWindow>& w) { return w.isNull(); });
    return windows;
}

// The file to open for `name`: a name with a folder in it is taken as it stands; a bare name is
// looked for in the working directory and then in HelpSearchPath(), first with its exact
// spelling, then (as on Windows, where help file names ignore letter case) in any letter case.
QString findHelpFile(const QString& name) {
    if (name.isEmpty()) return {};
    if (name.contains(QLatin1Char('/'))) {
        const QFileInfo info(name);
        return info.isFile() ? info.absoluteFilePath() : QString();
    }
    QStringList dirs{QDir::currentPath()};
    dirs += HelpSearchPath();
    for (const QString& dir : std::as_const(dirs)) {
        const QFileInfo info(QDir(dir).filePath(name));
        if (info.isFile()) return info.absoluteFilePath();
    }
    if (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?')) ||
        name.contains(QLatin1Char('[')))
        return {};  // would be read as a wildcard pattern below
    for (const QString& dir : std::as_const(dirs)) {
        const QDir folder(dir);
        const QStringList hits = folder.entryList({name}, QDir::Files | QDir::Readable, QDir::Name);
        if (!hits.isEmpty()) return folder.absoluteFilePath(hits.first());
    }
    return {};
}

void showOpenError(QWidget* owner, const QString& file, const QString& reason) {
    QString shown = QFileInfo(file).fileName();
    if (shown.isEmpty()) shown = file;
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("ヘルプ"),
                                QStringLiteral("ヘルプファイル「%1」を開けません。").arg(shown),
                                QMessageBox::Ok, owner);
    if (!reason.isEmpty()) box->setInformativeText(reason);
    box->setObjectName(QStringLiteral("keta_help_error"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_QuitOnClose, false);
    box->open();  // not exec(): the caller goes on at once
}

QWidget* displayTopic(QWidget* owner, const QString& file) {
    // "file.chm::/topic.html>window", as the HTML Help API accepts it.
    QString name = file.trimmed();
    QString topic;
    const qsizetype separator = name.indexOf(QLatin1String("::"));
    if (separator >= 0) {
        topic = name.mid(separator + 2);
        name.truncate(separator);
        const qsizetype window = topic.indexOf(QLatin1Char('>'));
        if (window >= 0) topic.truncate(window);
    }

    const QString path = findHelpFile(name);
    if (path.isEmpty()) {
        showOpenError(owner, name, QStringLiteral("ファイルが見つかりません。"));
        return nullptr;
    }

    // One window per file and owner: asking again brings that window forward.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    for (const QPointer<help::HelpWindow>& window : openWindows()) {
        if (window && window->parentWidget() == owner &&
            QFileInfo(window->filePath()).canonicalFilePath() == canonical) {
            window->showTopic(topic);
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
            window->show();
            window->raise();
            window->activateWindow();
            return window;
        }
    }

    QString error;
    const auto archive = help::ChmArchive::load(path, &error);
    if (!archive) {
        showOpenError(owner, name, error);
        return nullptr;
    }
    auto* window = new help::HelpWindow(archive, owner, topic);
    openWindows().append(window);
    window->show();
    return window;
}

void closeAll() {
    const QList<QPointer<help::HelpWindow>> windows = openWindows();
    openWindows().clear();
    for (const QPointer<help::HelpWindow>& window : windows) {
        // Hidden at once; WA_DeleteOnClose then deletes it from the event loop (deleteLater),
        // which is safe even if this call came from inside that window's own event handling.
        if (window) window->close();
    }
}

}  // namespace

QWidget* HtmlHelp(QWidget* owner, const QString& file, int command, int data) {
    Q_UNUSED(data);
    switch (command) {
        case HH_DISPLAY_TOPIC:
            return displayTopic(owner, file);
        case HH_CLOSE_ALL:
            closeAll();
            return nullptr;
        default:
            return nullptr;
    }
}

QStringList HelpSearchPath() {
    if (!QCoreApplication::instance()) return {};
    const QString appDir = QCoreApplication::applicationDirPath();
    QStringList dirs{
        QDir::cleanPath(appDir + QLatin1Char('/') + QLatin1String(KETATOBI_HELP_INSTALL_RELDIR)),
        QDir::cleanPath(appDir + QLatin1String("/../help")),
    };
    dirs.removeDuplicates();
    return dirs;
}

}  // namespace keta
