// The practice calendar over a fixture log and history file: the figures as a screen reader
// hears them, a day's tooltip, the focus cell moved by the arrow keys, the daily goal
// saved through the window into the log, with the drill's own files left as they were, and
// the figures brought up to date when the window comes back to the front.

#include "practice/calendar_window.h"

#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QToolTip>

#include "analysis/analysis_menu.h"
#include "analysis/figure_label.h"
#include "answer_log.h"
#include "calendar_source.h"
#include "history_grid.h"
#include "practice/calendar_heat_map.h"
#include "ui_fixture.h"

namespace keta {
namespace {

using test::ReadBytes;
using test::WriteBytes;

// One history record of `seconds` ("60秒") in the file's own code page.
QByteArray HistoryLine(const char* date, int seconds) {
    return QByteArray("\"") + date + "\",\"10:00:00\",4,2,2,\"50.0%\",\"0.20/\x95\x62\",\"" +
           QByteArray::number(seconds) + "\x95\x62\",\"\x81\x7B\"\r\n";
}

void Exec(QSqlDatabase db, const QString& sql) {
    QVERIFY2(QSqlQuery(db).exec(sql), qPrintable(sql));
}

// Rounds and a session in the log: across midnight, a gap, the history's days before.
void MakeLog(const QString& path) {
    {
        AnswerLog log(path);
        QVERIFY(log.Open());
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fixture");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        const char* rounds[][2] = {{"2026-12-05T23:59:30", "60"},
                                   {"2026-12-06T10:00:00", "120"},
                                   {"2026-12-07T09:00:00", "60"}};
        for (const auto& r : rounds) {
            Exec(db,
                 QStringLiteral("INSERT INTO rounds (started_at, time_limit, mode_text, answers,"
                                " correct, wrong) VALUES ('%1', %2, '＋', 1, 1, 0)")
                     .arg(QLatin1String(r[0]), QLatin1String(r[1])));
        }
        Exec(db, QStringLiteral("INSERT INTO sessions (id, started_at, line_seconds, first_lines,"
                                " second_lines, rest_minutes, mode, show_marks, show_time_left,"
                                " state) VALUES (1, '2026-12-07T20:00:00', 60, 3, 0, 0, 0, 1, 1,"
                                " 'stopped')"));
        for (int line = 1; line <= 3; ++line) {
            Exec(db,
                 QStringLiteral("INSERT INTO session_lines VALUES (1, 1, %1, 0, 10, 0)").arg(line));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
}

QString Figure(QWidget& window, const QString& caption) {
    for (FigureLabel* label : window.findChildren<FigureLabel*>()) {
        if (label->Caption() != caption) continue;
        if (label->isHidden()) return QStringLiteral("<hidden>");
        return label->accessibleName();
    }
    return QStringLiteral("<none>");
}

QString TooltipAt(CalendarHeatMap* map, int index) {
    const QPoint pos = map->CellCentre(index);
    QHelpEvent help(QEvent::ToolTip, pos, map->mapToGlobal(pos));
    QApplication::sendEvent(map, &help);
    return QToolTip::text();
}

class CalendarWindowTest : public QObject {
    Q_OBJECT

private slots:
    void figuresCellsAndGoalFromTheFixture() {
        QTemporaryDir dir;
        const QString logPath = dir.filePath(AnswerLog::FileName());
        const QString historyPath = dir.filePath(QStringLiteral("履歴.txt"));
        const QString settingsPath = dir.filePath(QStringLiteral("設定.txt"));
        // 11/30: two rounds before the log began; 12/05 is in the log already.
        const QByteArray history = HistoryLine("2026/11/30", 60) + HistoryLine("2026/11/30", 90) +
                                   HistoryLine("2026/12/05", 60);
        WriteBytes(historyPath, history);
        WriteBytes(settingsPath, "10,1\r\n");
        MakeLog(logPath);
        const auto today = [] { return QDate(2026, 12, 7); };

        auto* window = new CalendarWindow(logPath, historyPath, nullptr, today);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), QStringLiteral("練習カレンダー"));
        QCOMPARE(Figure(*window, "今日の練習"), QStringLiteral("今日の練習 4 分・2 回"));
        QCOMPARE(Figure(*window, "連続日数（今）"), QStringLiteral("連続日数（今） 3 日"));
        QCOMPARE(Figure(*window, "最長の連続日数"), QStringLiteral("最長の連続日数 3 日"));
        QCOMPARE(Figure(*window, "今日の目標"), QStringLiteral("<hidden>"));

        CalendarHeatMap* map = window->HeatMap();
        const int last = static_cast<int>(map->Calendar().days.size()) - 1;
        QCOMPARE(TooltipAt(map, last), QStringLiteral("2026/12/07 （月） 4 分・2 回"));
        QCOMPARE(TooltipAt(map, last - 1), QStringLiteral("2026/12/06 （日） 2 分・1 回"));
        QCOMPARE(TooltipAt(map, last - 2), QStringLiteral("2026/12/05 （土） 1 分・1 回"));
        QCOMPARE(TooltipAt(map, last - 3), QStringLiteral("2026/12/04 （金） 0 分・0 回"));

        // The keyboard: a week back is the history's day, its two rounds of 60 and 90 s.
        map->setFocus();
        QTest::keyClick(map, Qt::Key_Left);
        QCOMPARE(map->accessibleName(), QStringLiteral("2026/11/30 （月） 2 分・2 回"));
        QTest::keyClick(map, Qt::Key_Down);
        QCOMPARE(map->accessibleName(), QStringLiteral("2026/12/01 （火） 0 分・0 回"));

        // A goal of 4 minutes, typed and saved: reached today, kept in the log.
        QSpinBox* box = window->GoalBox();
        QCOMPARE(box->value(), 0);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, QStringLiteral("4"));
        QTest::mouseClick(window->SaveButton(), Qt::LeftButton);
        QTRY_COMPARE(LoadDailyGoal(logPath), 4);
        QTRY_COMPARE(Figure(*window, "今日の目標"), QStringLiteral("今日の目標 4 / 4 分 達成"));
        QCOMPARE(TooltipAt(map, last), QStringLiteral("2026/12/07 （月） 4 分・2 回 目標達成"));
        QCOMPARE(TooltipAt(map, last - 1), QStringLiteral("2026/12/06 （日） 2 分・1 回"));
        delete window;

        // Opened again: the goal comes back from the log, not yet met at 5 minutes.
        const std::shared_ptr<LogOwner> owner = LogOwner::Of(logPath);
        QVERIFY(SaveDailyGoal(*owner, 5, nullptr));
        QVERIFY(owner->WaitUntilIdle(5000));
        CalendarWindow again(logPath, historyPath, nullptr, today);
        QCOMPARE(again.GoalBox()->value(), 5);
        QCOMPARE(Figure(again, "今日の目標"), QStringLiteral("今日の目標 4 / 5 分"));
        QString why;
        QVERIFY(!SaveDailyGoal(*owner, -1, &why));
        QVERIFY(!why.isEmpty());

        QCOMPARE(ReadBytes(historyPath), history);
        QCOMPARE(ReadBytes(settingsPath), QByteArray("10,1\r\n"));
    }

    // Left open while a round is saved elsewhere and past midnight: the figures follow when
    // the window is activated again, and a goal typed but not saved stays in its box.
    void followsNewRoundsAndTheDayWhenActivatedAgain() {
        QTemporaryDir dir;
        const QString logPath = dir.filePath(AnswerLog::FileName());
        const QString historyPath = dir.filePath(QStringLiteral("履歴.txt"));
        WriteBytes(historyPath, HistoryLine("2026/11/30", 60));
        MakeLog(logPath);
        QDate day(2026, 12, 7);
        CalendarWindow window(logPath, historyPath, nullptr, [&day] { return day; });
        QWidget elsewhere;
        const auto activate = [](QWidget& w) {
            w.show();
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
        };
        activate(window);
        QCOMPARE(Figure(window, "今日の練習"), QStringLiteral("今日の練習 4 分・2 回"));
        window.GoalBox()->setFocus();
        QTest::keyClick(window.GoalBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(window.GoalBox(), QStringLiteral("3"));

        activate(elsewhere);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "round");
            db.setDatabaseName(logPath);
            QVERIFY(db.open());
            Exec(db, QStringLiteral("INSERT INTO rounds (started_at, time_limit, mode_text,"
                                    " answers, correct, wrong) VALUES ('2026-12-07T21:00:00',"
                                    " 120, '＋', 1, 1, 0)"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("round"));
        activate(window);
        QCOMPARE(Figure(window, "今日の練習"), QStringLiteral("今日の練習 6 分・3 回"));
        QCOMPARE(window.GoalBox()->value(), 3);

        activate(elsewhere);
        day = QDate(2026, 12, 8);
        activate(window);
        QCOMPARE(Figure(window, "今日の練習"), QStringLiteral("今日の練習 0 分・0 回"));
        CalendarHeatMap* map = window.HeatMap();
        const int last = static_cast<int>(map->Calendar().days.size()) - 1;
        QCOMPARE(TooltipAt(map, last), QStringLiteral("2026/12/08 （火） 0 分・0 回"));
    }

    // A focus round is in its day's minutes and count, and the day says so; a session stopped
    // before its first line is no practice (grey, a gap in the runs), while 30 s is a day of
    // practice (coloured, in the runs).
    void focusRoundsSessionsOfNoLineAndShortDays() {
        QTemporaryDir dir;
        const QString logPath = dir.filePath(AnswerLog::FileName());
        {
            AnswerLog log(logPath);
            QVERIFY(log.Open());
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "short");
            db.setDatabaseName(logPath);
            QVERIFY(db.open());
            const char* rounds[][3] = {{"2026-12-03T10:00:00", "60", "0"},
                                       {"2026-12-05T10:00:00", "30", "0"},
                                       {"2026-12-06T10:00:00", "60", "0"},
                                       {"2026-12-06T11:00:00", "120", "1"}};
            for (const auto& r : rounds) {
                Exec(db, QStringLiteral("INSERT INTO rounds (started_at, time_limit, mode_text,"
                                        " answers, correct, wrong, kind) VALUES ('%1', %2, '＋',"
                                        " 1, 1, 0, %3)")
                             .arg(QLatin1String(r[0]), QLatin1String(r[1]), QLatin1String(r[2])));
            }
            for (const char* day : {"2026-12-04T20:00:00", "2026-12-07T08:00:00"}) {
                Exec(db, QStringLiteral("INSERT INTO sessions (started_at, line_seconds,"
                                        " first_lines, second_lines, rest_minutes, mode,"
                                        " show_marks, show_time_left, state) VALUES ('%1', 60,"
                                        " 3, 0, 0, 0, 1, 1, 'stopped')")
                             .arg(QLatin1String(day)));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("short"));

        CalendarWindow window(logPath, dir.filePath(QStringLiteral("履歴.txt")), nullptr,
                              [] { return QDate(2026, 12, 7); });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // 12/03, then the gap of the 4th; 12/05 and 12/06 run up to yesterday.
        QCOMPARE(Figure(window, "今日の練習"), QStringLiteral("今日の練習 0 分・0 回"));
        QCOMPARE(Figure(window, "連続日数（今）"), QStringLiteral("連続日数（今） 2 日"));
        QCOMPARE(Figure(window, "最長の連続日数"), QStringLiteral("最長の連続日数 2 日"));

        CalendarHeatMap* map = window.HeatMap();
        const int last = static_cast<int>(map->Calendar().days.size()) - 1;
        QCOMPARE(TooltipAt(map, last - 1),
                 QStringLiteral("2026/12/06 （日） 3 分・2 回（苦手克服 1 回を含む）"));
        map->setFocus();
        const struct {
            const char* text;
            std::int64_t minutesShade;
        } days[] = {{"2026/12/06 （日） 3 分・2 回（苦手克服 1 回を含む）", 3},
                    {"2026/12/05 （土） 0 分・1 回", 1},
                    {"2026/12/04 （金） 0 分・0 回", 0},
                    {"2026/12/03 （木） 1 分・1 回", 1}};
        for (int i = 0; i < static_cast<int>(std::size(days)); ++i) {
            QTest::keyClick(map, Qt::Key_Up);
            QCOMPARE(map->accessibleName(), QString::fromUtf8(days[i].text));
            const QImage shown = map->grab().toImage();
            const QPoint centre = map->CellCentre(last - 1 - i) * shown.devicePixelRatio();
            QCOMPARE(shown.pixelColor(centre),
                     CalendarHeatMap::MinutesColour(days[i].minutesShade));
        }
        QVERIFY(CalendarHeatMap::MinutesColour(1) != CalendarHeatMap::MinutesColour(0));
    }

    void openedFromTheHistoryGridMenu() {
        test::Program p;
        test::WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        test::WriteBytes(p.Path(QStringLiteral("履歴.txt")), HistoryLine("2004/05/01", 10));
        FrmMain& w = p.Start();
        QWidget* viewport = w.msgRireki->viewport();
        const QPoint pos = w.msgRireki->visualRect(w.msgRireki->model()->index(0, 1)).center();
        QTest::mousePress(viewport, Qt::RightButton, {}, pos);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &event);
        QTest::mouseRelease(viewport, Qt::RightButton, {}, pos);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
        QAction* entry = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->objectName() == QStringLiteral("actionCalendar")) entry = a;
        }
        QVERIFY(entry != nullptr);
        QCOMPARE(entry->text(), QStringLiteral("練習カレンダー(&C)"));
        menu->setActiveAction(entry);
        QTest::keyClick(menu, Qt::Key_Return);
        CalendarWindow* calendar = nullptr;
        QTRY_VERIFY((calendar = p.shell->analysis().Calendar()) != nullptr);
        QTRY_VERIFY(calendar->isVisible());
        // Only the old record: one day of practice, long ago.
        QCOMPARE(Figure(*calendar, "最長の連続日数"), QStringLiteral("最長の連続日数 1 日"));
        QCOMPARE(Figure(*calendar, "連続日数（今）"), QStringLiteral("連続日数（今） 0 日"));
        // Esc closes it, wherever the focus is in it.
        const QPointer<CalendarWindow> shown = calendar;
        QApplication::setActiveWindow(calendar);
        QTRY_VERIFY(QApplication::activeWindow() == calendar);
        QTest::keyClick(calendar->focusWidget() ? calendar->focusWidget() : calendar,
                        Qt::Key_Escape);
        QTRY_VERIFY(shown.isNull() || !shown->isVisible());
    }
};

}  // namespace
}  // namespace keta

QTEST_MAIN(keta::CalendarWindowTest)
#include "calendar_window_test.moc"
