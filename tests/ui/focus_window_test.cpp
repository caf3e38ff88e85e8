// The focus round window driven by keys and clicks, with a clock the test moves, over a real
// answer log whose weakest pairs are known.

#include "practice/focus_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <array>
#include <span>
#include <string>

#include "analysis/analysis_menu.h"
#include "analysis/pairs_window.h"
#include "analysis/progress_window.h"
#include "answer_log.h"
#include "frm_main.h"
#include "history_grid.h"
#include "log_owner.h"
#include "practice/focus_pairs.h"
#include "ui_fixture.h"

namespace keta {
namespace {

class FakeClock : public MonotonicClock {
public:
    std::int64_t now = 0;
    std::int64_t NowMs() override { return now; }
};

// Every sum pair answered six times, right and quick; 7＋8 and 9＋6 slow with half wrong.
void WriteWeakLog(const QString& path) {
    AnswerLog log(path);
    analysis::RoundRecord r;
    r.startedAt = "2026-03-01T10:00:00";
    r.timeLimit = 180;
    r.modeText = "＋";
    std::int64_t ms = 0;
    for (int k = 0; k < 6; ++k) {
        for (int a = 0; a < 10; ++a) {
            for (int b = 0; b < 10; ++b) {
                const bool weak = (a == 7 && b == 8) || (a == 9 && b == 6);
                ms += weak ? 3000 : 800;
                const int expected = (a + b) % 10;
                const bool right = !weak || k % 2 == 0;
                r.events.push_back({ms, 1, a, b, std::to_string(right ? expected : expected + 1),
                                    expected, right, false});
                ++(right ? r.correct : r.wrong);
                ++r.answers;
            }
        }
    }
    QCOMPARE(log.WriteRound(r), AnswerLog::WriteResult::Written);
}

QString Text(QWidget& w, const QString& name) { return w.findChild<QLabel*>(name)->text(); }

// A sum round of answers to pairs: each (left, right, wrong answers, right answers).
analysis::RoundRecord SumRound(const std::vector<std::array<int, 4>>& answers) {
    analysis::RoundRecord r;
    r.modeText = "＋";
    r.timeLimit = 60;
    std::int64_t ms = 0;
    for (const auto& [left, right, wrong, correct] : answers) {
        for (int k = 0; k < wrong + correct; ++k) {
            const int expected = (left + right) % 10;
            const bool ok = k >= wrong;
            r.events.push_back({ms += 500, 1, left, right,
                                std::to_string(ok ? expected : 9 - expected), expected, ok, false});
        }
    }
    return r;
}

class FocusWindowTest : public QObject {
    Q_OBJECT

private slots:
    // Only a pair answered often enough this round is said to have left the weakest.
    void theResultSaysOfEachPairOnlyWhatTheRoundBacks() {
        // Eleven pairs rated before: ten weak (one wrong in five), and 7＋8 the weakest.
        std::vector<std::array<int, 4>> answers{{7, 8, 4, 1}};
        for (const auto& [a, b] : {std::pair{0, 1},
                                   {1, 2},
                                   {2, 3},
                                   {3, 4},
                                   {4, 5},
                                   {5, 6},
                                   {6, 7},
                                   {8, 9},
                                   {9, 0},
                                   {0, 2}})
            answers.push_back({a, b, 1, 4});
        const analysis::RoundRecord earlier = SumRound(answers);
        const analysis::PairFigures before = analysis::ComputePairs(std::span(&earlier, 1));
        // This round: 7＋8 right 30 times (out of the ten weakest), 1＋2 right 6 times but
        // still weak, 2＋3 twice, 9＋0 never.
        const analysis::RoundRecord round = SumRound({{7, 8, 0, 30}, {1, 2, 2, 4}, {2, 3, 0, 2}});
        const analysis::RoundRecord both[] = {earlier, round};
        const analysis::PairFigures after = analysis::ComputePairs(both);
        const std::vector<DigitPair> pairs{{7, 8}, {1, 2}, {2, 3}, {9, 0}};
        const std::vector<FocusPairResult> rows = FocusResults(pairs, round, before, after);
        using Verdict = FocusPairResult::Verdict;
        const Verdict expected[] = {Verdict::DroppedOut, Verdict::StillWeak, Verdict::TooFew,
                                    Verdict::NotDrilled};
        QCOMPARE(rows.size(), 4u);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            QCOMPARE(static_cast<int>(rows[i].verdict), static_cast<int>(expected[i]));
        }
        QCOMPARE(rows[0].round.answers, 30);
        QCOMPARE(rows[3].round.answers, 0);
    }

    void aRoundOnTheWeakestPairsLeansTowardsThemAndIsLoggedAsFocus() {
        QTemporaryDir dir;
        const QString log = dir.filePath(AnswerLog::FileName());
        const QString history = dir.filePath(QStringLiteral("履歴.txt"));
        WriteWeakLog(log);
        test::WriteBytes(history, "2026/03/01,10:03:00,5,4,1\r\n");
        FakeClock clock;
        FocusWindow w(log, &clock);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // The pairs that will be drilled are named before the start, the weakest first.
        QTRY_VERIFY(Text(w, QStringLiteral("share"))
                        .startsWith(QStringLiteral("練習する組（10 組）：7＋8、9＋6、")));
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("start")), Qt::LeftButton);
        QTRY_VERIFY(w.Playing());  // once the log is read
        QCOMPARE(w.Pairs().size(), 10u);
        QCOMPARE(w.Pairs()[0], (DigitPair{7, 8}));
        QCOMPARE(w.Pairs()[1], (DigitPair{9, 6}));

        int neighbours = 0;
        int focus = 0;
        const auto isFocus = [&w](int a, int b) {
            const auto& p = w.Pairs();
            return std::find(p.begin(), p.end(), DigitPair{a, b}) != p.end();
        };
        for (int row = 0; row < 40; ++row) {
            for (int b = 1; b <= 14; ++b) {
                const int l = Text(w, QStringLiteral("digit%1").arg(b)).toInt();
                const int r = Text(w, QStringLiteral("digit%1").arg(b + 1)).toInt();
                ++neighbours;
                focus += isFocus(l, r) ? 1 : 0;
                auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget());
                QVERIFY(box);
                QCOMPARE(box->objectName(), QStringLiteral("box%1").arg(b));
                // Every third answer wrong, so that the round has errors to count.
                QTest::keyClick(box, static_cast<char>('0' + (l + r + (b % 3 == 0)) % 10));
            }
            clock.now += 1000;
        }
        const double share = 100.0 * focus / neighbours;
        QVERIFY2(share > 40.0 && share < 60.0, qPrintable(QString::number(share)));

        clock.now = 60'000;
        QTRY_VERIFY(!w.Playing());
        // The round goes to the log's owner, which writes it on its own thread.
        QTRY_COMPARE(AnswerLog(log).LoadAllRounds().size(), 2u);
        const auto rounds = AnswerLog(log).LoadAllRounds();
        QCOMPARE(rounds.size(), 2u);
        QCOMPARE(rounds[1].kind, analysis::RoundKind::Focus);
        QCOMPARE(rounds[1].focusPercent, 50);
        QVERIFY(QString::fromStdString(rounds[1].focusPairs).startsWith(QStringLiteral("78 96")));
        QCOMPARE(rounds[1].answers, 40 * 14);
        QCOMPARE(rounds[1].wrong, 40 * 4);
        QCOMPARE(test::ReadBytes(history), QByteArray("2026/03/01,10:03:00,5,4,1\r\n"));

        auto* table = w.findChild<QTableWidget*>(QStringLiteral("results"));
        QVERIFY(table->isVisible());
        QCOMPARE(table->rowCount(), 10);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("7＋8"));
        QCOMPARE(table->item(0, 4)->text(), QStringLiteral("6"));  // answers before the round
        QCOMPARE(table->item(0, 5)->text(), QStringLiteral("3"));
        for (int i = 0; i < table->rowCount(); ++i) {
            const int answers = table->item(i, 1)->text().toInt();
            const QString said = table->item(i, 7)->text();
            if (said == QStringLiteral("苦手から外れました")) QVERIFY(answers >= 5);
            QCOMPARE(said == QStringLiteral("この回は出ませんでした"), answers == 0);
        }
    }

    // A round logged elsewhere while the window is open (by the main window) counts at the
    // next start: the weakest pairs are read again, off the GUI thread, before the round begins.
    void roundsLoggedMeanwhileCountAtTheStart() {
        QTemporaryDir dir;
        const QString log = dir.filePath(AnswerLog::FileName());
        WriteWeakLog(log);
        FakeClock clock;
        FocusWindow w(log, &clock);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_VERIFY(Text(w, QStringLiteral("share")).contains(QStringLiteral("最大")));
        {
            AnswerLog other(log);
            analysis::RoundRecord r;
            r.startedAt = "2026-03-02T10:00:00";
            r.timeLimit = 60;
            r.modeText = "＋";
            for (int k = 1; k <= 12; ++k) {  // 1＋1 twelve times wrong, five seconds each
                r.events.push_back({k * 5000, 1, 1, 1, "3", 2, false, false});
                ++r.wrong;
                ++r.answers;
            }
            QCOMPARE(other.WriteRound(r), AnswerLog::WriteResult::Written);
        }
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("start")), Qt::LeftButton);
        QVERIFY(!w.Playing());
        QVERIFY(Text(w, QStringLiteral("note")).contains(QStringLiteral("読んでいます")));
        QTRY_VERIFY(w.Playing());
        QCOMPARE(w.Pairs().front(), (DigitPair{1, 1}));
    }

    void tooLittleDataOffersTheTickedPairs() {
        QTemporaryDir dir;
        const QString log = dir.filePath(AnswerLog::FileName());
        FakeClock clock;
        FocusWindow w(log, &clock);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* start = w.findChild<QPushButton*>(QStringLiteral("start"));
        QTest::mouseClick(start, Qt::LeftButton);
        QTRY_VERIFY(Text(w, QStringLiteral("note")).contains(QStringLiteral("少なく")));
        QVERIFY(!w.Playing());
        QVERIFY(Text(w, QStringLiteral("note")).contains(QStringLiteral("少なく")));
        QVERIFY(w.findChild<QRadioButton*>(QStringLiteral("ticked"))->isChecked());
        auto* pair = w.findChild<QCheckBox*>(QStringLiteral("pair33"));
        QCOMPARE(pair->accessibleName(), QStringLiteral("3＋3"));
        QTest::mouseClick(pair, Qt::LeftButton);
        // Said before the start. 3＋3 alone, planted two digits at a time at the capped rate
        // 0.55, with the joins that make 3＋3 too: 0.5694 of a row's pairs at most (worked over
        // every way to cut a row of 15 into planted pairs and free digits).
        QTRY_COMPARE(Text(w, QStringLiteral("share")),
                     QStringLiteral("練習する組（1 組）：3＋3\nこの組み合わせでは最大 57 %。50 % で"
                                    "出します。"));
        auto* percent = w.findChild<QComboBox*>(QStringLiteral("percent"));
        percent->setFocus();
        QTest::keyClick(percent, Qt::Key_Down);  // 75 %
        QTRY_COMPARE(Text(w, QStringLiteral("share")),
                     QStringLiteral("練習する組（1 組）：3＋3\nこの組み合わせでは最大 56.9 %。75 % "
                                    "には届かないため、56.9 % で出します。"));
        auto* limit = w.findChild<QComboBox*>(QStringLiteral("limit"));
        limit->setFocus();
        QTest::keyClick(limit, Qt::Key_Home);  // 10 s
        QTest::mouseClick(start, Qt::LeftButton);
        QTRY_VERIFY(w.Playing());  // once the log is read
        QCOMPARE(w.Pairs(), (std::vector<DigitPair>{{3, 3}}));
        // The chosen time is what the next window, in this run or the next, offers.
        QVERIFY(LogOwner::Of(log)->WaitUntilTried(5000));
        QCOMPARE(
            FocusWindow(log, &clock).findChild<QComboBox*>(QStringLiteral("limit"))->currentText(),
            QStringLiteral("10 秒"));
        // Closing asks first; a No keeps the round going, a Yes stops it and nothing is logged,
        // not even once the time is up.
        QString asked;
        const auto answerNextBox = [&asked](Qt::Key key) {
            QTimer::singleShot(20, [&asked, key] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                asked = box->text();
                QTest::keyClick(box, key);
            });
        };
        answerNextBox(Qt::Key_N);
        QVERIFY(!w.close());
        QVERIFY(w.Playing());
        QVERIFY(asked.contains(QStringLiteral("中止")));
        answerNextBox(Qt::Key_Y);
        QVERIFY(w.close());
        QVERIFY(!w.Playing());
        clock.now = 600'000;
        w.Tick();
        QVERIFY(AnswerLog(log).LoadAllRounds().empty());
    }

    // A round finished while another program holds the log, then a second one stopped: the
    // finished round is kept and written once the lock goes; the stopped one never is.
    void aRoundFinishedUnderALockIsKeptThroughAStoppedOne() {
        QTemporaryDir dir;
        const QString log = dir.filePath(AnswerLog::FileName());
        WriteWeakLog(log);
        QSqlDatabase lock = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "lock");
        lock.setDatabaseName(log);
        QVERIFY(lock.open() && QSqlQuery(lock).exec(QStringLiteral("BEGIN IMMEDIATE")));
        FakeClock clock;
        // The person is told that the finished round waits for the log.
        QStringList told;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, [&told] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                told << box->text();
                box->accept();
            }
        });
        answerer.start(5);
        {
            FocusWindow w(log, &clock);
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            auto* start = w.findChild<QPushButton*>(QStringLiteral("start"));
            QTest::mouseClick(start, Qt::LeftButton);
            QTRY_VERIFY(w.Playing());  // once the log is read
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_3);
            clock.now += 60'000;
            QTRY_VERIFY(!w.Playing());
            QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("back")), Qt::LeftButton);
            QTest::mouseClick(start, Qt::LeftButton);
            QTRY_VERIFY(w.Playing());  // once the log is read
            // Back in the window after the warning, as a person clicks into it.
            QTRY_VERIFY(told.join(QString()).contains(QStringLiteral("預かり")));
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_3);
            QTest::keyClick(&w, Qt::Key_Escape);
            QVERIFY(!w.Playing());
            QSqlQuery(lock).exec(QStringLiteral("ROLLBACK"));
            QTRY_COMPARE(AnswerLog(log).LoadAllRounds().size(), 2u);
        }
        lock.close();
        lock = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("lock"));
        const auto rounds = AnswerLog(log).LoadAllRounds();
        QCOMPARE(rounds.back().kind, analysis::RoundKind::Focus);
        QCOMPARE(rounds.back().answers, 1);
    }

    void theProgressWindowShowsFocusRoundsOnlyWhenAsked() {
        QTemporaryDir dir;
        const QString log = dir.filePath(AnswerLog::FileName());
        {
            AnswerLog writer(log);
            for (const int k : {1, 2}) {
                analysis::RoundRecord r;
                r.startedAt = QStringLiteral("2026-03-0%1T10:00:00").arg(k).toStdString();
                r.timeLimit = 60;
                r.modeText = "＋";
                r.answers = 200;  // far above the saved results: a best if it were counted
                r.correct = 200;
                r.kind = k == 1 ? analysis::RoundKind::Focus : analysis::RoundKind::Drill;
                QCOMPARE(writer.WriteRound(r), AnswerLog::WriteResult::Written);
            }
        }
        ProgressWindow w;
        w.SetLogPath(log);
        std::vector<analysis::HistoryPoint> history(2);
        history[0] = {"2026/03/01", "09:00:00", 40, 38, 2, 60, "＋", false};
        history[1] = {"2026/03/02", "09:00:00", 45, 44, 1, 60, "＋", false};
        w.ShowHistory(history, 0);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.ModeBox()->count(), 1);
        const double bestRate = w.Shown()->points[*w.Span().bestRate].rate;
        QCOMPARE(w.Shown()->points.size(), 2u);

        QTest::mouseClick(w.FocusBox(), Qt::LeftButton);
        QCOMPARE(w.ModeBox()->count(), 2);
        QCOMPARE(w.ModeBox()->itemText(1), QStringLiteral("＋（苦手克服）"));
        QCOMPARE(w.Shown()->points.size(), 2u);  // the history's series still on show
        QCOMPARE(w.Shown()->points[*w.Span().bestRate].rate, bestRate);
        w.ModeBox()->setFocus();
        QTest::keyClick(w.ModeBox(), Qt::Key_Down);
        QCOMPARE(w.Shown()->points.size(), 1u);  // the focus round alone, not the drill's
        QCOMPARE(w.Shown()->points[0].answers, 200);

        QTest::mouseClick(w.FocusBox(), Qt::LeftButton);
        QCOMPARE(w.ModeBox()->count(), 1);
        QCOMPARE(w.Shown()->points.size(), 2u);
        QCOMPARE(w.Shown()->points[*w.Span().bestRate].rate, bestRate);
    }

    void reachedFromTheGridMenuAndTheWeakPairsWindow() {
        test::Program p;
        test::WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        test::WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        WriteWeakLog(p.Path(AnswerLog::FileName()));
        FrmMain& w = p.Start();
        QWidget* viewport = w.msgRireki->viewport();
        const QPoint pos = w.msgRireki->visualRect(w.msgRireki->model()->index(0, 1)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &event);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
        QAction* entry = menu->actions().last();
        QCOMPARE(entry->text(), QStringLiteral("苦手克服(&F)"));
        menu->setActiveAction(entry);
        QTest::keyClick(menu, Qt::Key_Return);
        AnalysisWindows& a = p.shell->analysis();
        QTRY_VERIFY(a.Focus() != nullptr && a.Focus()->isVisible());
        QVERIFY(a.Focus()->findChild<QRadioButton*>(QStringLiteral("weakest"))->isChecked());

        a.OpenPairs();
        QTRY_VERIFY(!a.Pairs()->IsBusy());
        auto* button = a.Pairs()->findChild<QPushButton*>(QStringLiteral("focusRound"));
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        FocusWindow* focus = a.Focus();
        QVERIFY(focus->findChild<QRadioButton*>(QStringLiteral("ticked"))->isChecked());
        QVERIFY(focus->findChild<QCheckBox*>(QStringLiteral("pair78"))->isChecked());
        QVERIFY(focus->findChild<QCheckBox*>(QStringLiteral("pair96"))->isChecked());
        QVERIFY(!focus->findChild<QCheckBox*>(QStringLiteral("pair11"))->isChecked());

        // 終了 while the round runs asks, as Esc in a session does: No goes on playing and the
        // program stays; Yes stops the round, which is not logged, and the program ends.
        QTest::mouseClick(focus->findChild<QPushButton*>(QStringLiteral("start")), Qt::LeftButton);
        QTRY_VERIFY(focus->Playing());
        for (const Qt::Key answer : {Qt::Key_N, Qt::Key_Y}) {
            QString asked;
            QTimer::singleShot(20, [&asked, answer] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                asked = box->text();
                QTest::keyClick(box, answer);
            });
            QTest::mouseClick(w.cmdEnd, Qt::LeftButton);
            QVERIFY(asked.contains(QStringLiteral("中止")));
            QCOMPARE(focus->Playing(), answer == Qt::Key_N);
            QCOMPARE(p.quits, answer == Qt::Key_N ? 0 : 1);
        }
        QVERIFY(p.shell->window().SettleAnswerLog(5000));
        QCOMPARE(AnswerLog(p.Path(AnswerLog::FileName())).LoadAllRounds().size(), 1u);
    }
};

}  // namespace
}  // namespace keta

QTEST_MAIN(keta::FocusWindowTest)
#include "focus_window_test.moc"
