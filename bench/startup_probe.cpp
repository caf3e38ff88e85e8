// One whole start-up of the program in a fresh process, as the start-up benchmark runs it:
// the application object, the window, the ten start-up steps, then the event queue until
// the window is shown and idle. Exits at once after that. Run inside a data folder.

#include <QApplication>
#include <QTimer>

#include "shell.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    keta::Shell shell(nullptr, [] {});
    shell.Form_Load();
    // A zero timer fires once every pending event, the showing of the window included, has
    // been handled: that is the moment the program waits for the user.
    QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
