// One whole start-up of the program in a fresh process, as the start-up benchmark runs it:
// the application object, the window, the ten start-up steps, then the event queue until
// the window is shown and idle. Exits at once after that. Run inside a data folder.
//
// Given "open <what>" (progress, session or help), it then opens that window as the menu bar
// or F1 would, the first time in this process, and prints the milliseconds from the request
// until the window has painted and the event queue is idle again.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "main_frame.h"
#include "shell.h"
#include "start_style.h"
#include "translations.h"

namespace {

// Notes the first paint of any window other than the main one.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget& main) : main_(main) {}
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() != &main_) {
            painted = true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget& main_;
};

void Open(keta::Shell& shell, const char* what) {
    if (std::strcmp(what, "help") == 0) return shell.cmdHelp_Click();
    const char* action = std::strcmp(what, "session") == 0 ? "actionSession" : "actionProgress";
    if (auto* found = shell.frame().findChild<QAction*>(QString::fromLatin1(action))) {
        found->trigger();
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // What the program does before its window, so that its cost is counted too.
    QCoreApplication::setApplicationName(QStringLiteral("ketatobi"));
    QApplication app(argc, argv);
    keta::PrepareApplication();
    keta::InstallQtTranslations(app);
    keta::Shell shell(nullptr, [] {});
    shell.Form_Load();
    if (argc < 3 || std::strcmp(argv[1], "open") != 0) {
        // A zero timer fires once every pending event, the showing of the window included, has
        // been handled: that is the moment the program waits for the user.
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
        return QApplication::exec();
    }
    FirstPaint paint(shell.frame());
    QElapsedTimer clock;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (paint.painted) {
            std::printf("%.1f\n", static_cast<double>(clock.nsecsElapsed()) / 1e6);
            QCoreApplication::exit(0);
        } else if (clock.elapsed() > 5000) {
            QCoreApplication::exit(1);
        }
    });
    QTimer::singleShot(0, &app, [&] {
        app.installEventFilter(&paint);
        clock.start();
        Open(shell, argv[2]);
        poll.start(0);
    });
    return QApplication::exec();
}
