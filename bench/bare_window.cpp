// The floor the toolkit sets: a bare Qt program that shows one empty window (or, given
// "label", one label with Japanese text, so that the fonts for it are found and loaded), then
// quits from a zero timer as the start-up probe does. The start-up benchmark runs it beside
// the probe.

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstring>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const bool label = argc > 1 && std::strcmp(argv[1], "label") == 0;
    QLabel text(QStringLiteral("隣り合う数字の和の一の位を入力してください"));
    QWidget empty;
    QWidget& window = label ? static_cast<QWidget&>(text) : empty;
    window.resize(631, 452);
    window.show();
    QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
