// ケタトビ: a drill in mental arithmetic and typing speed.

#include <QApplication>

#include "shell.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ketatobi"));
    QApplication::setApplicationDisplayName(QStringLiteral("ケタトビ"));
    keta::Shell shell;
    shell.Form_Load();
    return QApplication::exec();
}
