// The practice session window driven by keys with a clock the test moves: settings, lines,
// boundaries, the stop question and the result window, against a real answer log.

#include "practice/session_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "analysis/figure_label.h"
#include "answer_log.h"
#include "calendar_source.h"
#include "history_grid.h"
#include "log_owner.h"
#include "practice/session_curve_view.h"
#include "practice/session_list_window.h"
#include "practice/session_log_link.h"
#include "practice/session_result_window.h"
#include "session_store.h"
#include "ui_fixture.h"

namespace keta {
namespace {

class FakeClock : public MonotonicClock {
public:
    std::int64_t now = 0;
    std::int64_t NowMs() override { return now; }
};

// Presses `key` in the next message box that opens (its text kept in *text).
void PressInNextBox(Qt::Key key, QString* text, int polls = 400) {
    QTimer::singleShot(5, [=] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            QTest::keyClick(box, key);
        } else if (polls > 0) {
            PressInNextBox(key, text, polls - 1);
        }
    });
}

void SetSpin(QWidget& w, const char* name, int value) {
    auto* spin = w.findChild<QSpinBox*>(QString::fromLatin1(name));
    QVERIFY(spin);
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(spin, QString::number(value));
    QTest::keyClick(spin, Qt::Key_Tab);
    QCOMPARE(spin->value(), value);
}

QString Text(QWidget& w, const QString& name) { return w.findChild<QLabel*>(name)->text(); }

// Types into the focused boxes: `answers` of them, all right but those listed in `wrong`.
void TypeAnswers(QWidget& w, int answers, std::vector<int> wrong = {}) {
    for (int i = 0; i < answers; ++i) {
        auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(box);
        const int b = box->objectName().mid(3).toInt();
        const int l = Text(w, QStringLiteral("digit%1").arg(b)).toInt();
        const int r = Text(w, QStringLiteral("digit%1").arg(b + 1)).toInt();
        const bool minus = Text(w, QStringLiteral("modeLabel")) == QStringLiteral("－");
        int answer = minus ? std::abs(l - r) : (l + r) % 10;
        if (std::find(wrong.begin(), wrong.end(), i) != wrong.end()) answer = (answer + 1) % 10;
        QTest::keyClick(box, static_cast<char>('0' + answer));
        QCOMPARE(box->text(), QString::number(answer));
    }
}

struct Fixture {
    QTemporaryDir dir;
    FakeClock clock;
    QString log = dir.filePath(AnswerLog::FileName());
    bool blocked;
    // Made before the window, whose log owner may take its first look at once.
    bool folderMade = !blocked || QDir(dir.path()).mkdir(AnswerLog::FileName());
    SessionWindow window{log, [this] { return MakeSessionLogLink(log); }, &clock};

    // `blocked`: a folder stands where the log would be, so nothing can be kept. The window
    // says so as soon as it opens; `told` has that box's text.
    explicit Fixture(bool blockedLog = false, QString* told = nullptr) : blocked(blockedLog) {
        if (blocked) {
            QVERIFY(folderMade);
            PressInNextBox(Qt::Key_Return, told, 4000);  // slow under the sanitizers
        }
        window.show();
        window.activateWindow();
        [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(&window);
        if (blocked)
            QTRY_VERIFY_WITH_TIMEOUT(LogOwner::Of(log)->IsOff() && !told->isEmpty(), 20000);
    }
    // Moves the clock and lets the window's timer see it.
    void At(std::int64_t ms) {
        clock.now = ms;
        QTest::qWait(60);
    }
    void Start(int first, int second, int rest = 0) {
        // Back from the result window of a session before, as a person clicks into the window.
        QApplication::setActiveWindow(&window);
        QTRY_VERIFY(QApplication::activeWindow() == &window);
        SetSpin(window, "lineSeconds", 10);
        SetSpin(window, "firstHalfLines", first);
        SetSpin(window, "secondHalfLines", second);
        SetSpin(window, "restMinutes", rest);
        auto* mode = window.findChild<QComboBox*>(QStringLiteral("mode"));
        mode->setFocus();
        QTest::keyClick(mode, Qt::Key_End);
        QCOMPARE(mode->currentText(), QStringLiteral("交互"));
        auto* start = window.findChild<QPushButton*>(QStringLiteral("start"));
        start->setFocus();
        // Pressed two seconds before the time the test gives line 1: the ready lights come
        // first, with no row to work on, and line 1 starts with the last of them.
        const std::int64_t lineOne = clock.now;
        clock.now = lineOne - 2'000;
        QTest::keyClick(start, Qt::Key_Space);
        QCOMPARE(Text(window, QStringLiteral("lineLabel")), QStringLiteral("用意"));
        QCOMPARE(Text(window, QStringLiteral("status")), QStringLiteral("前半を始めます。"));
        QVERIFY(!window.findChild<QLineEdit*>(QStringLiteral("box1"))->isEnabled());
        At(lineOne - 1);
        QVERIFY(window.Session()->State() == SessionState::ReadySignal);
        At(lineOne);
        QVERIFY(window.Session()->Working());
        QCOMPARE(window.Session()->CurrentLine().startMs, lineOne);
    }
};

}  // namespace

class SessionWindowTest : public QObject {
    Q_OBJECT

private slots:
    void theHistoryMenuEndsWithTheSessionEntries() {
        test::Program p;
        test::WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        test::WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        w.msgRireki->setFocus();
        QTest::keyClick(w.msgRireki, Qt::Key_F10, Qt::ShiftModifier);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
        const QList<QAction*> actions = menu->actions();
        // The session entries follow a separator; later windows add their entries after them.
        qsizetype at = 0;
        while (at < actions.size() && actions[at]->text() != QStringLiteral("本番形式で練習(&S)"))
            ++at;
        QVERIFY(at >= 1 && at + 1 < actions.size());
        QVERIFY(actions[at - 1]->isSeparator());
        QCOMPARE(actions[at + 1]->text(), QStringLiteral("本番形式の記録(&R)"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(actions[at]).center());
        SessionWindow* session = nullptr;
        QTRY_VERIFY((session = w.findChild<SessionWindow*>()) && session->isVisible());
    }

    // Another program holds the log while a session runs and the window is closed midway (as
    // 終了 closes it): the person is asked, the completed line is kept beside the log at the
    // end of the run and told, and the next start writes it with the session's end.
    void aSessionClosedUnderALockKeepsItsCompletedLines() {
        Fixture f;
        { AnswerLog(f.log).Open(); }
        QSqlDatabase lock = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "lock");
        lock.setDatabaseName(f.log);
        QVERIFY(lock.open() && QSqlQuery(lock).exec(QStringLiteral("BEGIN IMMEDIATE")));
        f.Start(2, 0);
        TypeAnswers(f.window, 3);
        f.At(10'000);  // the first line is complete
        TypeAnswers(f.window, 2);
        QString asked;
        PressInNextBox(Qt::Key_Y, &asked);
        QVERIFY(f.window.close());
        QVERIFY(asked.contains(QStringLiteral("中止")));
        QVERIFY(f.window.Session()->State() == SessionState::Stopped);

        // The end of the run, as the program ends it; every box it opens is read and closed.
        QString told;
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&told] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                told += box->text();
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        answerer.start(5);
        const std::shared_ptr<LogOwner> owner = LogOwner::Of(f.log);
        QVERIFY(owner->Finish().Empty());
        answerer.stop();
        QVERIFY2(told.contains(QStringLiteral("本番形式の練習の 1 行")) &&
                     told.contains(QStringLiteral(".pending-")),
                 qPrintable(told));
        QSqlQuery(lock).exec(QStringLiteral("ROLLBACK"));
        lock.close();
        lock = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("lock"));

        auto next = std::make_shared<LogOwner>(f.log);
        next->OpenSoon();
        QVERIFY(next->WaitUntilIdle(5000));
        const auto sessions = LoadSessions(f.log);
        QVERIFY(sessions && sessions->size() == 1u);
        QCOMPARE(sessions->front().state, SessionState::Stopped);
        QVERIFY(!sessions->front().running);
        QCOMPARE(sessions->front().lines.size(), 1u);
        QCOMPARE(sessions->front().lines.front().Answers(), 3);
    }

    void settingsAreNamedByTheirCaptions() {
        Fixture f;
        for (const auto& [name, caption] : {std::pair{"lineSeconds", "行の時間"},
                                            {"firstHalfLines", "前半の行数"},
                                            {"secondHalfLines", "後半の行数"},
                                            {"restMinutes", "休憩"},
                                            {"mode", "モード"},
                                            {"showMarks", "答え合わせ"},
                                            {"showTimeLeft", "残り時間を表示"}}) {
            QWidget* control = f.window.findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(control, name);
            QCOMPARE(control->accessibleName(), QString::fromUtf8(caption));
        }
        QCOMPARE(f.window.findChild<QSpinBox*>(QStringLiteral("lineSeconds"))->value(), 60);
    }

    void aWholeSessionByKeys() {
        Fixture f;
        const QByteArray history = "1,2026/12/07,10:00:00,30,28,2\r\n";
        const QByteArray settings = "60,＋,0\r\n";
        for (const auto& [name, bytes] : {std::pair{"履歴.txt", history}, {"設定.txt", settings}}) {
            QFile file(f.dir.filePath(QString::fromUtf8(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        f.Start(2, 2);
        QCOMPARE(Text(f.window, QStringLiteral("lineLabel")), QStringLiteral("前半 1 / 2"));
        const QString firstMode = Text(f.window, QStringLiteral("modeLabel"));
        TypeAnswers(f.window, 3, {1});

        f.At(10'000);
        QCOMPARE(Text(f.window, QStringLiteral("lineLabel")), QStringLiteral("前半 2 / 2"));
        QVERIFY(Text(f.window, QStringLiteral("modeLabel")) != firstMode);  // 交互
        QVERIFY(f.window.findChild<QLineEdit*>(QStringLiteral("box1"))->text().isEmpty());
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("box1"));
        TypeAnswers(f.window, 1);

        // No rest: the ready lights, then the second half two seconds later.
        f.At(20'000);
        QVERIFY(!f.window.findChild<QLineEdit*>(QStringLiteral("box1"))->isEnabled());
        f.At(22'000);
        QCOMPARE(Text(f.window, QStringLiteral("lineLabel")), QStringLiteral("後半 1 / 2"));

        // Esc, then No (the default, taken by Enter): the session goes on.
        QString asked;
        PressInNextBox(Qt::Key_Return, &asked);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(asked.contains(QStringLiteral("中止")));
        QVERIFY(f.window.Session()->Working());
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        TypeAnswers(f.window, 2, {0});
        f.At(32'000);
        QCOMPARE(Text(f.window, QStringLiteral("lineLabel")), QStringLiteral("後半 2 / 2"));
        TypeAnswers(f.window, 1);
        f.At(42'000);
        QTRY_VERIFY(f.window.Result() != nullptr);
        QWidget* result = f.window.Result();
        result->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(result));
        QTest::keyClick(result->windowHandle(), Qt::Key_Tab);
        QCOMPARE(test::UnnamedTabStops(result), QStringList());

        const std::vector<std::pair<QString, QString>> expected = {
            {QStringLiteral("解答数"), QStringLiteral("7")},
            {QStringLiteral("正答数"), QStringLiteral("5")},
            {QStringLiteral("平均（前半）"), QStringLiteral("2.0 問/行")},
            {QStringLiteral("平均（後半）"), QStringLiteral("1.5 問/行")},
            {QStringLiteral("休憩効果"), QStringLiteral("0.75")},
            {QStringLiteral("誤りのある行（後半）"), QStringLiteral("1")},
            {QStringLiteral("初頭努力（前半）"), QStringLiteral("なし")},  // two lines: no middle
        };
        for (const auto& [caption, value] : expected) {
            FigureLabel* label = f.window.Result()->Figure(caption);
            QVERIFY2(label, qPrintable(caption));
            QCOMPARE(label->accessibleName(), caption + QLatin1Char(' ') + value);
        }

        std::optional<std::vector<StoredSession>> kept;
        QTRY_VERIFY((kept = LoadSessions(f.log)) && kept->size() == 1 &&
                    kept->front().state == SessionState::Finished);
        std::vector<int> counts;
        for (const LineResult& line : kept->front().lines) counts.push_back(line.Answers());
        QCOMPARE(counts, (std::vector<int>{3, 1, 2, 1}));
        QCOMPARE(kept->front().lines[0].Errors(), 1);

        // The list of kept sessions opens the same result with Enter.
        SessionListWindow list(f.log);
        list.show();
        QCOMPARE(list.List()->topLevelItemCount(), 1);
        list.List()->setFocus();
        QTest::keyClick(list.List(), Qt::Key_Return);
        QVERIFY(list.Result() != nullptr);
        QCOMPARE(list.Result()->Figure(QStringLiteral("解答数"))->accessibleName(),
                 QStringLiteral("解答数 7"));

        // Its CSV: a header and one row per line; the log itself is refused as the target.
        const QByteArray logBytes = [&] {
            QFile file(f.log);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        for (const QString& target : {f.dir.filePath(QStringLiteral("s.csv")), f.log}) {
            list.SetPathAsker([target](const QString&) { return target; });
            QString told;
            PressInNextBox(Qt::Key_Return, &told);
            QTest::keyClick(list.findChild<QPushButton*>(QStringLiteral("exportCsv")),
                            Qt::Key_Space);
            QVERIFY(!told.isEmpty());
        }
        QFile csv(f.dir.filePath(QStringLiteral("s.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count('\n'), 5);
        QFile logAfter(f.log);
        QVERIFY(logAfter.open(QIODevice::ReadOnly));
        QCOMPARE(logAfter.readAll(), logBytes);

        QFile h(f.dir.filePath(QStringLiteral("履歴.txt")));
        QFile s(f.dir.filePath(QStringLiteral("設定.txt")));
        QVERIFY(h.open(QIODevice::ReadOnly) && s.open(QIODevice::ReadOnly));
        QCOMPARE(h.readAll(), history);
        QCOMPARE(s.readAll(), settings);
    }

    void theRestEndsEarlyWithSpace() {
        Fixture f;
        f.Start(1, 1, 1);
        f.At(10'000);
        QVERIFY(Text(f.window, QStringLiteral("status")).contains(QStringLiteral("1:00")));
        QCOMPARE(Text(f.window, QStringLiteral("lineLabel")), QStringLiteral("休憩"));
        f.At(40'000);
        QVERIFY(Text(f.window, QStringLiteral("status")).contains(QStringLiteral("0:30")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        f.At(41'000);  // two of the three ready lights on
        QVERIFY(!f.window.findChild<QLabel*>(QStringLiteral("light2"))->pixmap().isNull());
        QVERIFY(f.window.findChild<QLabel*>(QStringLiteral("light3"))->pixmap().isNull());
        f.At(42'000);  // the ready lights take two seconds
        QCOMPARE(Text(f.window, QStringLiteral("lineLabel")), QStringLiteral("後半 1 / 1"));
        QVERIFY(f.window.findChild<QLineEdit*>(QStringLiteral("box1"))->hasFocus());
    }

    void anUnwritableLogIsToldAndTheSessionStillRuns() {
        QString atOpen;
        Fixture f(true, &atOpen);
        QVERIFY(atOpen.contains(QStringLiteral("フォルダー")));
        QString told;
        PressInNextBox(Qt::Key_Return, &told);
        f.Start(1, 0);
        QVERIFY(told.contains(QStringLiteral("記録されません")));
        QTRY_VERIFY(f.window.Session()->Working());
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        TypeAnswers(f.window, 3);
        f.At(10'000);
        QTRY_VERIFY(f.window.Result() != nullptr);
        QCOMPARE(f.window.Result()->Figure(QStringLiteral("解答数"))->accessibleName(),
                 QStringLiteral("解答数 3"));
        QVERIFY(f.window.Result()
                    ->findChild<QLabel*>(QStringLiteral("title"))
                    ->text()
                    .contains(QStringLiteral("記録されていません")));
    }

    // Earlier sessions of the same format are averaged; each counts only in the figures it has
    // (one whose middle line had no answers has no 初頭努力).
    void earlierSessionsInTheSameFormatAreAveraged() {
        Fixture f;
        const auto run = [&f](int lines, std::vector<int> counts, std::int64_t from) {
            f.Start(lines, 0);
            for (std::size_t i = 0; i < counts.size(); ++i) {
                TypeAnswers(f.window, counts[i]);
                f.At(from + 10'000 * static_cast<std::int64_t>(i + 1));
            }
            QTRY_VERIFY(f.window.Result() != nullptr && !f.window.Result()->ReadingEarlier() &&
                        f.window.Session()->State() == SessionState::Finished);
        };
        run(3, {2, 0, 3}, 0);
        run(2, {7, 1}, 30'000);  // another format: not compared
        run(3, {2, 1, 3}, 50'000);
        run(3, {1, 1, 1}, 80'000);
        const auto earlier = [&f](const QString& caption) -> FigureLabel* {
            for (FigureLabel* label : f.window.Result()->findChildren<FigureLabel*>()) {
                if (label->Caption() == caption + QStringLiteral("（これまでの平均）"))
                    return label;
            }
            return nullptr;
        };
        QVERIFY(earlier(QStringLiteral("解答数")) && earlier(QStringLiteral("初頭努力（前半）")));
        QCOMPARE(earlier(QStringLiteral("解答数"))->accessibleName(),
                 QStringLiteral("解答数（これまでの平均） 5.5"));  // (5 + 6) ÷ 2
        QCOMPARE(f.window.Result()->Figure(QStringLiteral("解答数"))->text(), QStringLiteral("3"));
        FigureLabel* effort = earlier(QStringLiteral("初頭努力（前半）"));
        QCOMPARE(effort->text(), QStringLiteral("2.00"));  // 2 ÷ 1; the other has 2 ÷ 0
        QVERIFY2(effort->accessibleDescription().contains(
                     QStringLiteral("2 回のうち値のある 1 回の比の平均")),
                 qPrintable(effort->accessibleDescription()));
        QCOMPARE(f.window.Result()->Figure(QStringLiteral("初頭努力（前半）"))->text(),
                 QStringLiteral("1.00"));  // 1 ÷ 1
        // Three sessions in this format on one day, told apart on the chart.
        auto* trend = f.window.Result()->findChild<SessionCurveView*>(QStringLiteral("trend"));
        QVERIFY(trend != nullptr);
        QStringList ticks;
        for (const auto& tick : trend->Ticks()) ticks << tick.second;
        const QString day = QDate::currentDate().toString(QStringLiteral("MM/dd"));
        QCOMPARE(ticks, (QStringList{day + QStringLiteral(" (1)"), day + QStringLiteral(" (2)"),
                                     day + QStringLiteral(" (3)")}));

        // The first session left out of the means in the list, and put back.
        SessionListWindow list(f.log);
        list.show();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        list.List()->setFocus();
        QTest::keyClick(list.List(), Qt::Key_End);  // the oldest, at the foot
        QCOMPARE(list.List()->currentItem()->text(6), QStringLiteral("5"));
        const auto openNewest = [&list]() -> QString {
            list.List()->setFocus();
            QTest::keyClick(list.List(), Qt::Key_Home);
            QTest::keyClick(list.List(), Qt::Key_Return);
            if (!QTest::qWaitFor([&list] {
                    return list.Result() != nullptr && !list.Result()->ReadingEarlier();
                }))
                return QStringLiteral("not read");
            for (FigureLabel* label : list.Result()->findChildren<FigureLabel*>()) {
                if (label->Caption() == QStringLiteral("解答数（これまでの平均）"))
                    return label->text();
            }
            return QString();
        };
        const auto toggleOldest = [&list, &f] {
            list.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&list));
            list.List()->setFocus();
            QTest::keyClick(list.List(), Qt::Key_End);
            QVERIFY(list.LeaveOutButton()->isEnabled());
            QTest::mouseClick(list.LeaveOutButton(), Qt::LeftButton);
            QVERIFY(LogOwner::Of(f.log)->WaitUntilTried(5000));
        };
        toggleOldest();
        QCOMPARE(list.List()->currentItem()->text(5), QStringLiteral("終了・平均から外した"));
        QCOMPARE(list.LeaveOutButton()->text(), QStringLiteral("平均に戻す(&X)"));
        QCOMPARE(openNewest(), QStringLiteral("6.0"));  // the third session's 6 alone
        toggleOldest();
        QCOMPARE(list.List()->currentItem()->text(5), QStringLiteral("終了"));
        QCOMPARE(openNewest(), QStringLiteral("5.5"));
        // Put back: the log keeps an empty list, not a refused write.
        QCOMPARE(LoadPreference(f.log, LeftOutKey()), QString());
        QCOMPARE(LoadLeftOutSessions(f.log), (std::set<std::int64_t>{}));
    }

    // 12 s pass behind the stop question; "no" goes on with the line where it was.
    void theStopQuestionHoldsTheLineItCameIn() {
        Fixture f;
        f.Start(2, 0);
        TypeAnswers(f.window, 2);
        f.At(4'000);
        std::function<void()> answerLater;
        answerLater = [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                f.clock.now = 16'000;
                QTimer::singleShot(200, box, [box] { QTest::keyClick(box, Qt::Key_Escape); });
            } else {
                QTimer::singleShot(5, answerLater);
            }
        };
        QTimer::singleShot(5, answerLater);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(f.window.Session()->Working());
        QCOMPARE(Text(f.window, QStringLiteral("lineLabel")), QStringLiteral("前半 1 / 2"));
        QVERIFY(f.window.Session()->Lines().empty());
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        TypeAnswers(f.window, 1);
        f.At(21'999);  // the line's 10 s, less the 4 s before the question, end at 22 000
        QCOMPARE(Text(f.window, QStringLiteral("lineLabel")), QStringLiteral("前半 1 / 2"));
        f.At(22'000);
        QCOMPARE(Text(f.window, QStringLiteral("lineLabel")), QStringLiteral("前半 2 / 2"));
        QCOMPARE(f.window.Session()->Lines().front().Answers(), 3);
    }

    void escYesStopsKeepingTheEndedLines() {
        Fixture f;
        f.Start(3, 0);
        TypeAnswers(f.window, 2);
        f.At(10'000);
        TypeAnswers(f.window, 4);  // the line cut short is not counted
        QString asked;
        PressInNextBox(Qt::Key_Y, &asked);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(f.window.Session()->State(), SessionState::Stopped);
        QTRY_VERIFY(f.window.Result() != nullptr);
        QCOMPARE(f.window.Result()->Figure(QStringLiteral("解答数"))->accessibleName(),
                 QStringLiteral("解答数 2"));
    }

    // Stopped in the second half: a figure about a line never reached has no value; the
    // figures of the lines done keep theirs.
    void aStoppedSessionShowsNothingForLinesItNeverReached() {
        Fixture f;
        f.Start(3, 3);
        for (const auto& [answers, end] : {std::pair{2, 10'000}, {1, 20'000}, {3, 30'000}}) {
            TypeAnswers(f.window, answers);
            f.At(end);
        }
        f.At(32'000);  // the ready lights take two seconds
        QCOMPARE(Text(f.window, QStringLiteral("lineLabel")), QStringLiteral("後半 1 / 3"));
        TypeAnswers(f.window, 2);
        f.At(42'000);
        TypeAnswers(f.window, 4);
        f.At(52'000);
        TypeAnswers(f.window, 1);  // the line cut short is not counted
        QString asked;
        PressInNextBox(Qt::Key_Y, &asked);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(asked.contains(QStringLiteral("中止")));
        QCOMPARE(f.window.Session()->State(), SessionState::Stopped);
        QTRY_VERIFY(f.window.Result() != nullptr);

        // Lines 2, 1, 3 and 2, 4 of 3 + 3.
        const std::vector<std::pair<QString, QString>> expected = {
            {QStringLiteral("終末努力（後半）"), QStringLiteral("なし")},  // line 3 never came
            {QStringLiteral("休憩効果"), QStringLiteral("なし")},  // the second half is short
            {QStringLiteral("初頭努力（後半）"), QStringLiteral("なし")},   // two lines: no middle
            {QStringLiteral("初頭努力（前半）"), QStringLiteral("2.00")},   // 2 ÷ 1
            {QStringLiteral("終末努力（前半）"), QStringLiteral("3.00")},   // 3 ÷ 1
            {QStringLiteral("最大差（前半）"), QStringLiteral("1.00")},     // (3 − 1) ÷ 2
            {QStringLiteral("平均（後半）"), QStringLiteral("3.0 問/行")},  // (2 + 4) ÷ 2
            {QStringLiteral("動揺（後半）"), QStringLiteral("0.67")},       // |4 − 2| ÷ 3
            {QStringLiteral("となりの行との差（後半）"), QStringLiteral("2.0 問/行")},
            {QStringLiteral("解答数"), QStringLiteral("12")},  // 2 + 1 + 3 + 2 + 4
        };
        for (const auto& [caption, value] : expected) {
            FigureLabel* label = f.window.Result()->Figure(caption);
            QVERIFY2(label, qPrintable(caption));
            QCOMPARE(label->accessibleName(), caption + QLatin1Char(' ') + value);
        }
    }
};

}  // namespace keta

QTEST_MAIN(keta::SessionWindowTest)
#include "session_window_test.moc"
