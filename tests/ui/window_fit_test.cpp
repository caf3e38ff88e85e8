// Every window of the program on a 1280 × 1024 screen at scale 2 (640 × 512 logical pixels),
// opened as a person opens it: the grid's menu by the keyboard and each entry by its letter.
// Each opens inside the screen with room for a title bar, and its layout needs no more.

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QScreen>
#include <QTest>

#include "analysis/analysis_menu.h"
#include "frm_main.h"
#include "history_grid.h"
#include "ui_fixture.h"

namespace keta {

using test::Program;
using test::WriteBytes;

class WindowFitTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The run's small screen, as the test's environment sets it.
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry().size(), QSize(640, 512));
    }

    void everyWindowFitsTheScreen() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "60,1\r\n");
        QByteArray history;
        for (int day = 1; day <= 28; ++day) {
            history += QStringLiteral(
                           "\"2026/02/%1\",\"21:00:00\",120,110,10,\"91.7%\","
                           "\"1.83/秒\",\"60秒\",\"＋\"\r\n")
                           .arg(day, 2, 10, QLatin1Char('0'))
                           .toUtf8();
        }
        // The history file is in the program's code page; only the ASCII and these marks matter.
        history.replace("秒", "\x95\x62").replace("＋", "\x81\x7B");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), history);
        FrmMain& w = p.Start();

        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        // What a window manager's title bar takes above the window.
        const QRect room = screen.adjusted(0, 24, 0, 0);
        QStringList misfits;
        const auto check = [&](QWidget* window, const QString& name, bool centred = false) {
            const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
            if (least.width() > room.width() || least.height() > room.height())
                misfits << QStringLiteral("%1 needs %2 × %3")
                               .arg(name)
                               .arg(least.width())
                               .arg(least.height());
            // A window the program places itself must be inside; one left at 0,0 is placed by
            // the window manager, which keeps its title bar on the screen.
            const QRect at = window->frameGeometry();
            const bool placed = at.topLeft() != QPoint(0, 0);
            if (at.width() > room.width() || at.height() > room.height() ||
                (placed && !centred && !room.contains(at)) || !screen.contains(at))
                misfits << QStringLiteral("%1 opens at %2,%3 %4 × %5")
                               .arg(name)
                               .arg(at.x())
                               .arg(at.y())
                               .arg(at.width())
                               .arg(at.height());
        };
        // A choice is read out by what it is for ("モード"), never by its item alone ("＋").
        const auto checkChoices = [&](QWidget* window, const QString& name) {
            for (QComboBox* box : window->findChildren<QComboBox*>()) {
                const QString heard =
                    QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name);
                if (heard.isEmpty() || heard == box->currentText())
                    misfits << QStringLiteral("%1: a choice read as \"%2\"").arg(name, heard);
            }
        };
        // The main window is centred by its frame once a window manager has framed it: its
        // title bar comes out of the space above and below alike.
        check(w.window(), QStringLiteral("main"), true);

        struct Entry {
            Qt::Key letter;
            const char* name;
        };
        for (const Entry& e :
             {Entry{Qt::Key_P, "上達の記録"}, Entry{Qt::Key_D, "苦手な数字の組"},
              Entry{Qt::Key_S, "本番形式で練習"}, Entry{Qt::Key_R, "本番形式の記録"},
              Entry{Qt::Key_C, "練習カレンダー"}, Entry{Qt::Key_F, "苦手克服"}}) {
            const QString name = QString::fromUtf8(e.name);
            const QWidgetList before = QApplication::topLevelWidgets();
            w.msgRireki->setFocus();
            QTest::keyClick(w.msgRireki, Qt::Key_F10, Qt::ShiftModifier);
            QMenu* menu = nullptr;
            QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
            QTest::keyClick(menu, e.letter);
            QWidget* opened = nullptr;
            QTRY_VERIFY2(
                [&] {
                    for (QWidget* t : QApplication::topLevelWidgets()) {
                        if (!before.contains(t) && t->isVisible() &&
                            t->windowTitle().startsWith(name))
                            opened = t;
                    }
                    return opened != nullptr;
                }(),
                qPrintable(name));
            QVERIFY(QTest::qWaitForWindowExposed(opened));
            QTest::qWait(100);  // a window that reads its data settles its layout
            check(opened, name);
            checkChoices(opened, name);
            opened->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(opened));
            if (QApplication::focusWidget() == nullptr)
                QTest::keyClick(opened->windowHandle(), Qt::Key_Tab);
            for (const QString& stop : test::UnnamedTabStops(opened))
                misfits << QStringLiteral("%1: a Tab stop without a name: %2").arg(name, stop);
        }
        QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join(QStringLiteral("; "))));
        p.shell->analysis().ClosePractice();
    }
};

}  // namespace keta

QTEST_MAIN(keta::WindowFitTest)
#include "window_fit_test.moc"
