// The program's menu bar, driven by the keys, and where the windows it opens appear: on a
// 1366 × 768 screen, beside the main window or clear of its start and save buttons, and where
// the person last put them.

#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>

#include "analysis/analysis_menu.h"
#include "calendar_source.h"
#include "frm_main.h"
#include "main_frame.h"
#include "practice/calendar_window.h"
#include "practice/today_goal_label.h"
#include "twips.h"
#include "ui_fixture.h"
#include "window_place.h"

namespace keta {

using test::Program;

namespace {

// The visible window whose title starts with `title`, opened after `before` was taken.
QWidget* Opened(const QWidgetList& before, const QString& title) {
    for (QWidget* t : QApplication::topLevelWidgets()) {
        if (!before.contains(t) && t->isVisible() && t->windowTitle().startsWith(title)) return t;
    }
    return nullptr;
}

// Opens menu `menuKey` of the bar with Alt and picks the entry of `entryKey`, as a person does.
QWidget* OpenByKeys(MainFrame& frame, Qt::Key menuKey, Qt::Key entryKey, const QString& title) {
    const QWidgetList before = QApplication::topLevelWidgets();
    frame.activateWindow();
    if (!QTest::qWaitForWindowActive(&frame)) return nullptr;
    QTest::keyClick(frame.windowHandle(), menuKey, Qt::AltModifier);
    QMenu* menu = nullptr;
    for (int i = 0; i < 100 && menu == nullptr; ++i) {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) QTest::qWait(10);
    }
    if (menu == nullptr) return nullptr;
    QTest::keyClick(menu, entryKey);
    QWidget* opened = nullptr;
    for (int i = 0; i < 200 && opened == nullptr; ++i) {
        opened = Opened(before, title);
        if (opened == nullptr) QTest::qWait(10);
    }
    return opened;
}

}  // namespace

class MenuBarTest : public QObject {
    Q_OBJECT

private slots:
    void theBarSitsAboveAnUnchangedClientArea() {
        Program p;
        FrmMain& w = p.Start();
        MainFrame& frame = p.shell->frame();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const int bar = frame.MenuBar()->height();
        QVERIFY(bar > 10);
        // The client area keeps its size and its corner; the window grows by the bar only.
        QCOMPARE(w.size(), QSize(TwipsToPixels(9465), TwipsToPixels(6780)));
        QCOMPARE(w.pos(), QPoint(0, bar));
        QCOMPARE(frame.size(), w.size() + QSize(0, bar));
        QCOMPARE(frame.windowTitle(), QStringLiteral("ケタトビ"));
        QVERIFY(!frame.windowIcon().isNull());

        // Every menu and every entry carries a letter.
        QStringList titles;
        QStringList missing;
        for (QAction* top : frame.MenuBar()->actions()) {
            titles << top->text();
            QList<QAction*> entries = top->menu()->actions();
            for (int i = 0; i < entries.size(); ++i) {
                QAction* entry = entries[i];
                if (entry->isSeparator()) continue;
                if (!entry->text().contains(u'&')) missing << entry->text();
                if (entry->menu() != nullptr) entries << entry->menu()->actions();
            }
        }
        QCOMPARE(titles, (QStringList{QStringLiteral("練習(&P)"), QStringLiteral("記録(&R)"),
                                      QStringLiteral("ヘルプ(&H)")}));
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u' ')));
        // Without a saved round the work curve's entry is grey.
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(frame.windowHandle(), Qt::Key_R, Qt::AltModifier);
        QMenu* records = nullptr;
        QTRY_VERIFY((records = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
        QCOMPARE(records->actions().front()->text(), QStringLiteral("作業曲線(&W)"));
        QVERIFY(!records->actions().front()->isEnabled());
        QTest::keyClick(records, Qt::Key_Escape);
        // So does every entry of the grid's menu.
        for (QAction* entry : p.shell->analysis().Menu()->actions()) {
            if (!entry->isSeparator())
                QVERIFY2(entry->text().contains(u'&'), qPrintable(entry->text()));
        }
    }

    void eachWindowOpensInsideTheScreenClearOfTheButtonsAndClosesWithEsc() {
        Program p;
        FrmMain& w = p.Start();
        MainFrame& frame = p.shell->frame();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QRect screen = frame.screen()->availableGeometry();
        const QRect buttons(w.mapToGlobal(w.cmdStart->pos()),
                            w.cmdStart->geometry().united(w.cmdHozon->geometry()).size());
        struct Entry {
            Qt::Key menu, entry;
            const char* title;
        };
        for (const Entry& e :
             {Entry{Qt::Key_P, Qt::Key_C, "練習カレンダー"},
              Entry{Qt::Key_P, Qt::Key_S, "本番形式で練習"},
              Entry{Qt::Key_P, Qt::Key_F, "苦手克服"}, Entry{Qt::Key_R, Qt::Key_P, "上達の記録"},
              Entry{Qt::Key_R, Qt::Key_D, "苦手な数字の組"},
              Entry{Qt::Key_R, Qt::Key_R, "本番形式の記録"}}) {
            const QString title = QString::fromUtf8(e.title);
            QWidget* opened = OpenByKeys(frame, e.menu, e.entry, title);
            QVERIFY2(opened != nullptr, qPrintable(title));
            QVERIFY(QTest::qWaitForWindowExposed(opened));
            QTest::qWait(100);  // a window that reads its data settles its layout
            const QRect at = opened->frameGeometry();
            QVERIFY2(screen.contains(at), qPrintable(title));
            QVERIFY2(!at.intersects(buttons), qPrintable(title));
            QVERIFY2(at.topLeft() != QPoint(0, 0), qPrintable(title));
            // Esc closes every one of them (the calendar is deleted once closed).
            const QPointer<QWidget> window(opened);
            opened->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(opened));
            QTest::keyClick(opened->windowHandle(), Qt::Key_Escape);
            QTRY_VERIFY2(window.isNull() || !window->isVisible(), qPrintable(title));
        }
    }

    void aWindowReturnsWhereThePersonPutItNextRun() {
        Program p;
        p.Start();
        QWidget* calendar =
            OpenByKeys(p.shell->frame(), Qt::Key_P, Qt::Key_C, QStringLiteral("練習カレンダー"));
        QVERIFY(calendar != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(calendar));
        const QPoint put(40, 300);
        calendar->move(put);  // as the window manager does when the person drags the window
        QTRY_COMPARE(calendar->pos(), put);
        calendar->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(calendar));
        const QPointer<QWidget> closing(calendar);  // deleted once closed
        QTest::keyClick(calendar->windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(closing.isNull() || !closing->isVisible());
        // Shown again in this run, and in the next, where it was left.
        calendar =
            OpenByKeys(p.shell->frame(), Qt::Key_P, Qt::Key_C, QStringLiteral("練習カレンダー"));
        QVERIFY(calendar != nullptr);
        QCOMPARE(calendar->pos(), put);
        QVERIFY(p.shell->window().SettleAnswerLog(3000));
        p.shell.reset();
        p.Start();
        calendar =
            OpenByKeys(p.shell->frame(), Qt::Key_P, Qt::Key_C, QStringLiteral("練習カレンダー"));
        QVERIFY(calendar != nullptr);
        QCOMPARE(calendar->pos(), put);
    }

    void besideTheMainWindowElseUnderItsButtons() {
        // Beside on the right when there is room; else on the left; else below the buttons,
        // shortened if need be; covering them only on a screen too small for anything else.
        const QRect area(0, 0, 1366, 768);
        const QRect main(367, 120, 633, 500);
        const QRect buttons(720, 160, 112, 61);  // bottom edge 220
        const QSize least(300, 300);
        QCOMPARE(BesideRect(main, {300, 400}, least, area, buttons, 0), QRect(1008, 120, 300, 400));
        QCOMPARE(BesideRect(main.translated(300, 0), {300, 400}, least, area, buttons, 0),
                 QRect(359, 120, 300, 400));
        // Too wide for either side: over the main window (centred: left 683 - 399), its top
        // under the buttons.
        QCOMPARE(BesideRect(main, {800, 400}, least, area, buttons, 0), QRect(284, 229, 800, 400));
        // Too tall to go under them whole: shortened to the screen's foot (767).
        QCOMPARE(BesideRect(main, {800, 700}, least, area, buttons, 0), QRect(284, 229, 800, 539));
        // Not even at its least: inside the screen, room kept for a title bar.
        QCOMPARE(BesideRect(main, {800, 700}, {800, 600}, area, buttons, 24),
                 QRect(284, 24, 800, 700));
    }

    void todaysGoalShowsInTheBarOnceSet() {
        QCOMPARE(TodayGoalLabel::TextFor(359, 15), QStringLiteral("今日 5 / 15 分"));
        QCOMPARE(TodayGoalLabel::TextFor(900, 15), QStringLiteral("今日 15 / 15 分 達成"));
        QCOMPARE(TodayGoalLabel::TextFor(900, 0), QString());

        Program p;
        p.Start();
        MainFrame& frame = p.shell->frame();
        TodayGoalLabel* today = frame.TodayGoal();
        QTest::qWait(200);
        QVERIFY(!today->isVisible());  // no goal: nothing in the corner
        auto* calendar = qobject_cast<CalendarWindow*>(
            OpenByKeys(frame, Qt::Key_P, Qt::Key_C, QStringLiteral("練習カレンダー")));
        QVERIFY(calendar != nullptr);
        calendar->GoalBox()->setFocus();
        calendar->GoalBox()->selectAll();
        QTest::keyClicks(calendar->GoalBox(), QStringLiteral("15"));
        QTest::mouseClick(calendar->SaveButton(), Qt::LeftButton);
        QVERIFY(p.shell->window().SettleAnswerLog(3000));
        QTest::keyClick(calendar->windowHandle(), Qt::Key_Escape);
        frame.activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(today->isVisible(), 10000);
        QCOMPARE(today->text(), QStringLiteral("今日 0 / 15 分"));
    }
};

}  // namespace keta

QTEST_MAIN(keta::MenuBarTest)
#include "menu_bar_test.moc"
