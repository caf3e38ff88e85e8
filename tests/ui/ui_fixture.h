#pragma once
// Runs the real program's start-up in a temporary working directory, with a clock the test
// moves by hand and an exit that only records that it was asked for.

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "clock.h"
#include "shell.h"

namespace keta::test {

class HandClock : public Clock {
public:
    double now = 10 * 3600 + 0.5;
    double SecondsSinceMidnight() override { return now; }
};

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

inline QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Answers the next `boxes` message boxes that open, recording their texts.
struct BoxAnswerer {
    QStringList texts;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    void Arm(int boxes) {
        left_ = boxes;
        Poll();
    }

private:
    void Poll() {
        QTimer::singleShot(0, [this] {
            if (left_ == 0) return;
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                --left_;
                if (QAbstractButton* button = box->button(answer)) {
                    button->click();
                } else {
                    box->accept();
                }
                Poll();
            } else if (polls_++ < 400) {
                QTimer::singleShot(5, [this] { Poll(); });
            }
        });
    }
    int left_ = 0;
    int polls_ = 0;
};

// Goes round `window`'s Tab chain from the widget with the focus, with real Tab presses, and
// gives the stops a screen reader would announce without a name ("QScrollArea sideScroll");
// `visited`, when given, gets every stop in the order reached.
inline QStringList UnnamedTabStops(QWidget* window, QList<QWidget*>* visited = nullptr) {
    QStringList unnamed;
    QList<QWidget*> stops;
    for (int k = 0; k < 300; ++k) {
        QWidget* at = QApplication::focusWidget();
        if (at == nullptr || at->window() != window || stops.contains(at)) break;
        stops << at;
        QAccessibleInterface* heard = QAccessible::queryAccessibleInterface(at);
        if (heard == nullptr || heard->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << QString::fromLatin1(at->metaObject()->className()) + u' ' + at->objectName();
        QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
    }
    if (visited != nullptr) *visited = stops;
    return unnamed;
}

struct Program {
    QTemporaryDir dir;
    QString oldCwd = QDir::currentPath();
    HandClock clock;
    int quits = 0;
    std::unique_ptr<Shell> shell;

    Program() { QDir::setCurrent(dir.path()); }
    ~Program() {
        shell.reset();
        QDir::setCurrent(oldCwd);
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    FrmMain& Start() {
        shell = std::make_unique<Shell>(&clock, [this] { ++quits; });
        shell->Form_Load();
        FrmMain& w = shell->window();
        w.activateWindow();
        (void)QTest::qWaitForWindowActive(&w);
        return w;
    }
};

}  // namespace keta::test
