// The analysis windows as a person reaches them: a round typed through the widgets, the history
// grid's context menu opened with the keyboard or the mouse and an entry picked with keys, and
// the figures read back from the windows by the names a screen reader hears.

#include <QAccessible>
#include <QCategoryAxis>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QToolTip>
#include <QTreeWidget>
#include <QValueAxis>
#include <cmath>
#include <tuple>

#include "analysis/analysis_menu.h"
#include "analysis/chart_support.h"
#include "analysis/pairs_window.h"
#include "analysis/progress_chart.h"
#include "analysis/progress_window.h"
#include "analysis/work_curve_window.h"
#include "answer_log.h"
#include "answer_log_rounds.h"
#include "history_grid.h"
#include "history_model.h"
#include "qt_text.h"
#include "ui_fixture.h"

namespace keta::test {

class AnalysisWindowsTest : public QObject {
    Q_OBJECT

private:
    static int Expected(FrmMain& w, int i) {
        const int a = w.lblMondai[i]->text().toInt(), b = w.lblMondai[i + 1]->text().toInt();
        return (a + b) % 10;
    }
    // A round of the given answers (true: right), closed by a right answer after the time is up.
    static void PlayRound(Program& p, FrmMain& w, const std::vector<bool>& answers) {
        QTest::mouseClick(w.cmdStart, Qt::LeftButton);
        for (int k = 0; k < 3; ++k) w.drill().tmrStart_Timer();
        int box = 1;
        for (const bool right : answers) {
            const int digit = right ? Expected(w, box) : (Expected(w, box) + 1) % 10;
            QTest::keyClicks(w.txtKaitou[box], QString::number(digit));
            ++box;
        }
        p.clock.now += w.state().intJikan;
        w.drill().tmrBp_Timer();
        QTest::keyClicks(w.txtKaitou[box], QString::number(Expected(w, box)));
    }
    // The answer log is written on a thread of its own: waits until it holds `rounds` rounds,
    // `saved` of them with a save.
    static bool WaitForLog(Program& p, std::size_t rounds, std::size_t saved) {
        const auto holds = [&] {
            const auto list = ListLoggedRounds(p.Path(AnswerLog::FileName()));
            if (!list || list->size() != rounds) return false;
            return static_cast<std::size_t>(std::count_if(
                       list->begin(), list->end(), [](const LoggedRound& r) { return r.saved; })) ==
                   saved;
        };
        return QTest::qWaitFor(holds, 5000);
    }
    static QString Figure(QWidget* window, const QString& name) {
        for (FigureLabel* label : window->findChildren<FigureLabel*>()) {
            if (label->Caption() == name) {
                // A screen reader hears the caption with the value, never the caption alone;
                // a label named otherwise gives a text no comparison accepts.
                if (label->accessibleName() != name + u' ' + label->text()) {
                    return QStringLiteral("<label %1 is read as %2>")
                        .arg(name, label->accessibleName());
                }
                return label->text();
            }
        }
        return QStringLiteral("<no label named %1>").arg(name);
    }
    static QMenu* OpenMenu() {
        QMenu* menu = nullptr;
        [&] { QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))); }();
        return menu;
    }
    // Picks the menu's `n`-th entry (1 = first) with the arrow keys and Enter.
    static void PickWithKeys(QMenu* menu, int n) {
        for (int k = 0; k < n; ++k) QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    }
    // A right click as the windowing system delivers it: the press, then the context menu
    // event it raises (Qt Test's widget clicks skip that step), then the release.
    static void RightClick(HistoryGrid* grid, const QPoint& pos) {
        QWidget* viewport = grid->viewport();
        QTest::mousePress(viewport, Qt::RightButton, {}, pos);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &event);
        QTest::mouseRelease(viewport, Qt::RightButton, {}, pos);
    }
    static QPoint RowCentre(HistoryGrid* grid, int gridRow) {
        return grid->visualRect(grid->model()->index(gridRow - 1, 1)).center();
    }

private slots:
    void theWorkCurveOfAPlayedRoundThroughTheKeyboardMenu() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        PlayRound(p, w, {true, false, true, true});  // 5 answers, 4 right, saved
        QCOMPARE(w.historyModel().Rows(), 2);
        QVERIFY(WaitForLog(p, 1, 1));

        // The grid gets the focus as a person gives it, then Shift+F10 opens the menu.
        QTest::mouseClick(w.msgRireki->viewport(), Qt::LeftButton, {}, RowCentre(w.msgRireki, 1));
        QTest::keyClick(w.msgRireki, Qt::Key_F10, Qt::ShiftModifier);
        QMenu* menu = OpenMenu();
        QVERIFY(menu != nullptr);
        QVERIFY(menu->actions().front()->isEnabled());
        PickWithKeys(menu, 1);

        AnalysisWindows& a = p.shell->analysis();
        QTRY_VERIFY(a.WorkCurve() != nullptr && a.WorkCurve()->isVisible());
        WorkCurveWindow* curve = a.WorkCurve();
        // The round in words; the speed is the grid's own 秒当たり of that row.
        const QString when =
            w.historyModel().TextMatrix(1, 1) + u' ' + w.historyModel().TextMatrix(1, 2);
        QCOMPARE(curve->Heading(), when + QStringLiteral("・＋・10秒・正解 4/5・") +
                                       w.historyModel().TextMatrix(1, 7));
        QVERIFY(curve->windowTitle().contains(curve->Heading()));
        QCOMPARE(Figure(curve, QStringLiteral("秒当たり（正解）")),
                 w.historyModel().TextMatrix(1, 7));
        QCOMPARE(Figure(curve, QStringLiteral("解答数")), QStringLiteral("5"));
        QCOMPARE(Figure(curve, QStringLiteral("正解")), QStringLiteral("4"));
        QCOMPARE(Figure(curve, QStringLiteral("ミス")), QStringLiteral("1"));
        QCOMPARE(Figure(curve, QStringLiteral("正解率")), QStringLiteral("80.0%"));
        QCOMPARE(Figure(curve, QStringLiteral("連続正解")), QStringLiteral("3 問"));
        // 5 answers in a 10 s limit, whatever the real clock did.
        QCOMPARE(Figure(curve, QStringLiteral("全解答の速さ")), QStringLiteral("0.50 問/秒"));
        QCOMPARE(curve->Curve().bins.size(), std::size_t{2});  // 5 s bins
        // Every index shows its figure from the logged round, or "なし" where it has none.
        AnswerLog log(p.Path(AnswerLog::FileName()));
        const std::vector<analysis::RoundRecord> rounds = log.LoadAllRounds();
        QCOMPARE(rounds.size(), std::size_t{1});
        const analysis::RoundIndices indices = analysis::ComputeIndices(rounds[0]);
        for (const analysis::IndexId id : analysis::kAllIndices) {
            QCOMPARE(Figure(curve, IndexName(id)), IndexText(indices, id));
        }
        curve->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(curve));
        QTest::keyClick(curve->windowHandle(), Qt::Key_Tab);
        QCOMPARE(test::UnnamedTabStops(curve), QStringList());

        // One window of each kind: a second round replaces the first in the same window.
        PlayRound(p, w, {true});
        QCOMPARE(w.historyModel().Rows(), 3);
        QVERIFY(WaitForLog(p, 2, 2));
        a.OpenWorkCurve(2);
        QCOMPARE(a.WorkCurve(), curve);
        QCOMPARE(Figure(curve, QStringLiteral("解答数")), QStringLiteral("2"));
        QVERIFY(!curve->isModal());
    }

    void progressAndPairsThroughTheMouseMenu() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        // An older result, saved before any answer log: counts for progress, has no curve.
        WriteBytes(p.Path(QStringLiteral("履歴.txt")),
                   "\"2004/05/01\",\"13:05:09\",4,2,2,\"50.0%\",\"0.20/\x95\x62\","
                   "\"10\x95\x62\",\"\x81\x7B\"\r\n");
        FrmMain& w = p.Start();
        AnalysisWindows& a = p.shell->analysis();
        QStringList told;
        a.SetTeller([&](const QString& text, bool) { told << text; });

        // The right button over the old row: no log yet, and the program says so.
        RightClick(w.msgRireki, RowCentre(w.msgRireki, 1));
        QMenu* menu = OpenMenu();
        QVERIFY(menu != nullptr);
        PickWithKeys(menu, 1);
        QTRY_COMPARE(told.size(), 1);
        QVERIFY(told[0].contains(QStringLiteral("ありません")));
        QVERIFY(a.WorkCurve() == nullptr);

        PlayRound(p, w, {true, true, false});  // 4 answers, 3 right
        QVERIFY(WaitForLog(p, 1, 1));
        RightClick(w.msgRireki, RowCentre(w.msgRireki, 2));
        menu = OpenMenu();
        PickWithKeys(menu, 2);  // progress
        QTRY_VERIFY(a.Progress() != nullptr && a.Progress()->isVisible());
        ProgressWindow* progress = a.Progress();
        QTRY_VERIFY(!progress->IsBusy());  // read off the window's thread
        QCOMPARE(progress->ModeBox()->currentText(), QStringLiteral("＋"));
        QCOMPARE(progress->LimitBox()->currentText(), QStringLiteral("10秒"));
        QCOMPARE(Figure(progress, QStringLiteral("記録の数")), QStringLiteral("2"));
        // Best rate: 3 right in 10 s beats 2 right in 10 s.
        QVERIFY(
            Figure(progress, QStringLiteral("最高の速さ")).startsWith(QStringLiteral("0.30 /秒")));
        QVERIFY(
            Figure(progress, QStringLiteral("最高の正解率")).startsWith(QStringLiteral("75.0%")));
        // Average of 0.20 and 0.30.
        QCOMPARE(Figure(progress, QStringLiteral("最近の速さ")), QStringLiteral("0.25 /秒"));

        RightClick(w.msgRireki, RowCentre(w.msgRireki, 1));
        menu = OpenMenu();
        PickWithKeys(menu, 3);  // weak pairs
        QTRY_VERIFY(a.Pairs() != nullptr && a.Pairs()->isVisible());
        PairsWindow* pairs = a.Pairs();
        QTRY_VERIFY(!pairs->IsBusy());
        QCOMPARE(pairs->Figures().rounds, 1);
        QCOMPARE(pairs->Figures().sum.answers, 4);
        QCOMPARE(pairs->Figures().sum.errors, 1);
        // Every pair answered five times or more shows its median time; the others "なし".
        int shown = 0;
        for (int l = 0; l <= 9; ++l) {
            for (int r = 0; r <= 9; ++r) {
                const analysis::PairCell& cell = pairs->Figures().sum.at(l, r);
                const QString text = pairs->HeatMap()->item(l, r)->text();
                QCOMPARE(text == kNoFigure, cell.answers < analysis::kFewestAnswersRated);
                shown += cell.answers > 0 ? 1 : 0;
            }
        }
        QVERIFY(shown >= 1);
        // Five answers of a pair at least before it is ranked: none yet.
        QCOMPARE(pairs->WeakestList()->topLevelItemCount(), 0);
        pairs->ModeBox()->setCurrentIndex(1);
        QCOMPARE(pairs->ShownMode(), analysis::Mode::Difference);
        QCOMPARE(pairs->HeatMap()->item(3, 4)->text(), kNoFigure);
    }

    void theExportsWriteCsvAndNeverOverTheDataFiles() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        PlayRound(p, w, {true});
        AnalysisWindows& a = p.shell->analysis();
        QStringList told;
        QList<bool> problems;
        a.SetTeller([&](const QString& text, bool problem) {
            told << text;
            problems << problem;
        });
        QString answer = p.Path(QStringLiteral("out.csv"));
        a.SetPathAsker([&](const QString&, const QString&) { return answer; });

        a.ExportHistory();
        QByteArray csv = ReadBytes(answer);
        QVERIFY(csv.startsWith("\xEF\xBB\xBF" + QStringLiteral("日付,時間,問数").toUtf8()));
        QCOMPARE(csv.count("\r\n"), 2);
        QCOMPARE(problems, QList<bool>{false});

        answer = p.Path(QStringLiteral("answers.csv"));
        a.ExportAnswers();
        csv = ReadBytes(answer);
        QCOMPARE(csv.count("\r\n"), 3);  // header and two answers
        QCOMPARE(problems, (QList<bool>{false, false}));

        const QByteArray history = ReadBytes(p.Path(QStringLiteral("履歴.txt")));
        for (const QString& own :
             {QStringLiteral("履歴.txt"), QStringLiteral("設定.txt"), AnswerLog::FileName()}) {
            answer = p.Path(own);
            a.ExportHistory();
            QCOMPARE(problems.back(), true);
        }
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("履歴.txt"))), history);
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("設定.txt"))), QByteArray("10,1\r\n"));

        answer.clear();  // cancelled: nothing written, nothing said
        const qsizetype before = told.size();
        a.ExportAnswers();
        QCOMPARE(told.size(), before);
    }

    // Through the menu: a data file is refused before any question, an existing file is
    // replaced only when the person says yes, a new one is written without a question.
    void theMenuRefusesADataFileBeforeAnyReplaceQuestion() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        PlayRound(p, w, {true});
        AnalysisWindows& a = p.shell->analysis();
        QList<bool> told;
        a.SetTeller([&](const QString&, bool problem) { told << problem; });
        QString answer;
        a.SetPathAsker([&](const QString&, const QString&) { return answer; });
        int questions = 0;
        bool yes = false;
        a.SetReplaceAsker([&](const QString&) { return ++questions > 0 && yes; });
        WriteBytes(p.Path(QStringLiteral("out.csv")), "old");
        const QByteArray history = ReadBytes(p.Path(QStringLiteral("履歴.txt")));
        const QByteArray csv = "\xEF\xBB\xBF" + QStringLiteral("日付,").toUtf8();
        // The target, the answer to a question, then the questions and the problems told so
        // far, and what the target starts with.
        const std::tuple<const char*, bool, int, QList<bool>, QByteArray> steps[] = {
            {"履歴.txt", true, 0, {true}, ""},
            {"out.csv", false, 1, {true}, "old"},
            {"out.csv", true, 2, {true, false}, csv},
            {"new.csv", false, 2, {true, false, false}, csv}};
        for (const auto& [target, say, asked, problems, output] : steps) {
            answer = p.Path(QString::fromUtf8(target));
            yes = say;
            RightClick(w.msgRireki, RowCentre(w.msgRireki, 1));
            QMenu* menu = OpenMenu();
            QVERIFY(menu != nullptr);
            PickWithKeys(menu, 4);  // 履歴をCSVに書き出す
            QTRY_COMPARE(told, problems);
            QTRY_COMPARE(questions, asked);
            QVERIFY2(ReadBytes(answer).startsWith(output), target);
        }
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("履歴.txt"))), history);
    }

    void theMenuOverNoRowOffersNoCurve() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        RightClick(w.msgRireki, QPoint(5, 5));
        QMenu* menu = OpenMenu();
        QVERIFY(menu != nullptr);
        QVERIFY(!menu->actions().front()->isEnabled());
        menu->close();
    }

    void aLongSeriesIsDrawnAsItsRange_data() {
        QTest::addColumn<int>("results");
        QTest::addColumn<bool>("oneByOne");
        QTest::newRow("few") << 12 << true;
        QTest::newRow("at the limit") << 400 << true;
        QTest::newRow("many") << 5000 << false;
    }
    void aLongSeriesIsDrawnAsItsRange() {
        QFETCH(int, results);
        QFETCH(bool, oneByOne);
        std::vector<analysis::HistoryPoint> history;
        for (int n = 0; n < results; ++n) {
            analysis::HistoryPoint h;
            h.date = QStringLiteral("2024/%1/%2")
                         .arg(1 + n / 28 % 12, 2, 10, QChar(u'0'))
                         .arg(1 + n % 28, 2, 10, QChar(u'0'))
                         .toStdString();
            h.date.replace(0, 4, std::to_string(2000 + n / 336));
            h.time = "12:00:00";
            h.correct = 10 + (n * 37) % 50;
            h.wrong = n % 3;
            h.answers = h.correct + h.wrong;
            h.timeLimit = 60;
            h.modeText = "＋";
            history.push_back(h);
        }
        const analysis::ProgressReport report = analysis::ComputeProgress(history);
        QCOMPARE(report.series.size(), std::size_t{1});
        const analysis::ProgressSeries& series = report.series[0];
        const ProgressWindow::ChartPoints points = ProgressWindow::PointsFor(series);
        double lowest = 1e9, highest = 0;
        for (const analysis::ProgressPoint& pt : series.points) {
            lowest = std::min(lowest, pt.rate);
            highest = std::max(highest, pt.rate);
        }
        if (oneByOne) {
            QCOMPARE(points.raw.size(), qsizetype(results));
            QVERIFY(points.low.isEmpty());
        } else {
            QVERIFY(points.raw.isEmpty());
            QCOMPARE(points.low.size(), qsizetype(400));
            double low = 1e9, high = 0;
            for (qsizetype i = 0; i < points.low.size(); ++i) {
                QVERIFY(points.low[i].y() <= points.high[i].y());
                QVERIFY(i == 0 || points.low[i].x() > points.low[i - 1].x());
                low = std::min(low, points.low[i].y());
                high = std::max(high, points.high[i].y());
            }
            // The range keeps the extremes of every result.
            QCOMPARE(low, lowest);
            QCOMPARE(high, highest);
        }
        QCOMPARE(points.moving.back().y(), series.points.back().movingRate);
        QVERIFY(points.bestRate.has_value());
        QCOMPARE(points.bestRate->y(), highest);
    }

    // Rounds played and saved or not, then one damaged by hand in the file: the work curve
    // steps through all of them with its buttons, and keeps its name.
    void theWorkCurveStepsThroughEveryLoggedRound() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        PlayRound(p, w, {true, true});               // row 1: 3 answers
        QTest::mouseClick(w.chkAs, Qt::LeftButton);  // auto-save off
        PlayRound(p, w, {true, false, true});        // never saved: 4 answers, 3 right
        QTest::mouseClick(w.chkAs, Qt::LeftButton);  // on again
        PlayRound(p, w, {true});                     // row 2: 2 answers
        PlayRound(p, w, {false});                    // row 3, damaged below
        QCOMPARE(w.historyModel().Rows(), 4);
        QVERIFY(WaitForLog(p, 4, 3));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "damage");
            db.setDatabaseName(p.Path(AnswerLog::FileName()));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(
                QStringLiteral("UPDATE rounds SET time_limit = -5 WHERE id = (SELECT MAX(id) "
                               "FROM rounds)")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("damage"));

        AnalysisWindows& a = p.shell->analysis();
        a.OpenWorkCurve(2);
        WorkCurveWindow* curve = a.WorkCurve();
        QVERIFY(curve != nullptr);
        const HistoryModel& m = w.historyModel();
        const auto saved = [&m](int row, const QString& rest) {
            return m.TextMatrix(row, 1) + u' ' + m.TextMatrix(row, 2) + rest;
        };
        const auto readName = [curve] {
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(curve);
            return reader != nullptr ? reader->text(QAccessible::Name) : QString();
        };
        QCOMPARE(curve->Heading(), saved(2, QStringLiteral("・＋・10秒・正解 2/2・0.20/秒")));
        QCOMPARE(Figure(curve, QStringLiteral("秒当たり（正解）")), m.TextMatrix(2, 7));

        const struct {
            QPushButton* button;
            QString heading;  // empty: the unsaved round, checked by its parts
            QString answers;
            bool previousOn, nextOn;
        } steps[] = {
            {curve->PreviousButton(), {}, QStringLiteral("4"), true, true},
            {curve->PreviousButton(), saved(1, QStringLiteral("・＋・10秒・正解 3/3・0.30/秒")),
             QStringLiteral("3"), false, true},
            {curve->NextButton(), {}, QStringLiteral("4"), true, true},
            {curve->NextButton(), saved(2, QStringLiteral("・＋・10秒・正解 2/2・0.20/秒")),
             QStringLiteral("2"), true, true},
            {curve->NextButton(), saved(3, QStringLiteral("・記録が壊れている回")), kNoFigure, true,
             false},
        };
        for (const auto& step : steps) {
            QTest::mouseClick(step.button, Qt::LeftButton);
            if (step.heading.isEmpty()) {
                QVERIFY2(
                    curve->Heading().contains(QStringLiteral(" 開始・＋・10秒・正解 3/4・0.30/秒・"
                                                             "保存しなかった回")),
                    qPrintable(curve->Heading()));
            } else {
                QCOMPARE(curve->Heading(), step.heading);
            }
            QCOMPARE(Figure(curve, QStringLiteral("解答数")), step.answers);
            QCOMPARE(curve->PreviousButton()->isEnabled(), step.previousOn);
            QCOMPARE(curve->NextButton()->isEnabled(), step.nextOn);
            QCOMPARE(readName(), QStringLiteral("作業曲線"));
        }
        // A damaged round is shown as such and computed on nowhere.
        QVERIFY(curve->Curve().bins.empty());
        QCOMPARE(curve->BinTable()->rowCount(), 0);
        QCOMPARE(Figure(curve, QStringLiteral("全解答の速さ")), kNoFigure);
    }

    void aLongRoundShowsEveryBinAndFitsTheScreen() {
        analysis::RoundRecord round;
        round.id = 1;
        round.startedAt = "2026-12-07T19:37:12";
        round.timeLimit = 180;
        round.modeText = "＋";
        for (int k = 0; k < 300; ++k) {
            analysis::AnswerRecord answer;
            answer.ms = 600 * k;
            answer.correct = k % 9 != 0;
            round.events.push_back(answer);
        }
        round.answers = 300;
        round.wrong = 34;
        round.correct = 266;
        WorkCurveWindow curve;
        curve.ShowRound(round, {"2026/12/07", "19:40:12", true});
        FitToScreen(curve);
        curve.show();
        QVERIFY(QTest::qWaitForWindowExposed(&curve));
        QCOMPARE(curve.BinTable()->rowCount(), 18);
        QRect area = curve.screen()->availableGeometry();
        QVERIFY2(area.contains(curve.frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2").arg(curve.width()).arg(curve.height())));
        // Each table column as wide as its widest text; the chart holds a bar per bin.
        QCOMPARE(curve.BinTable()->columnCount(), 5);
        QVERIFY(curve.ChartView()->accessibleDescription().startsWith(QStringLiteral("18 区間")));
    }

    // The weak-pairs figures of one mode, by hand: ＋ has four rounds, － two.
    void weakPairsShowPlainRatesForTheChosenMode() {
        using test_rounds = std::vector<analysis::RoundRecord>;
        const auto round = [](const std::string& mode,
                              std::initializer_list<std::tuple<int, int, bool>> answers) {
            analysis::RoundRecord r;
            r.timeLimit = 60;
            r.modeText = mode;
            std::int64_t ms = 0;
            for (const auto& [left, right, correct] : answers) {
                analysis::AnswerRecord a;
                a.ms = ms += 1000;
                a.left = left;
                a.right = right;
                a.correct = correct;
                r.events.push_back(a);
            }
            return r;
        };
        // 3+4: 1 miss in 5; 5+5: 1 miss in 4 (too few to rate); 1+2: none in 6.
        const test_rounds rounds{
            round("＋", {{3, 4, false}, {3, 4, true}, {5, 5, false}, {1, 2, true}}),
            round("＋", {{3, 4, true}, {5, 5, true}, {1, 2, true}, {1, 2, true}}),
            round("－", {{7, 7, false}}),
            round("＋", {{3, 4, true}, {5, 5, true}, {1, 2, true}}),
            round("＋", {{3, 4, true}, {5, 5, true}, {1, 2, true}, {1, 2, true}}),
            round("－", {{7, 7, true}}),
        };
        PairsWindow pairs;
        pairs.ShowRounds(rounds);
        pairs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pairs));
        QVERIFY2(pairs.Summary()->text().startsWith(QStringLiteral("＋ モードの 4 回・解答 15、")),
                 qPrintable(pairs.Summary()->text()));
        QCOMPARE(pairs.Summary()->accessibleName(),
                 QStringLiteral("集計 ") + pairs.Summary()->text());

        QTreeWidget* list = pairs.WeakestList();
        QCOMPARE(list->headerItem()->text(4), QStringLiteral("ミス率"));
        QCOMPARE(list->headerItem()->text(5), QStringLiteral("順位の点"));
        const struct {
            QString pair, answers, errors, rate;
        } rows[] = {
            {QStringLiteral("3＋4"), QStringLiteral("5"), QStringLiteral("1"),
             QStringLiteral("20.0%")},
            {QStringLiteral("1＋2"), QStringLiteral("6"), QStringLiteral("0"),
             QStringLiteral("0.0%")},
        };
        QCOMPARE(list->topLevelItemCount(), 2);
        for (int i = 0; i < 2; ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            QCOMPARE(item->text(1), rows[i].pair);
            QCOMPARE(item->text(2), rows[i].answers);
            QCOMPARE(item->text(3), rows[i].errors);
            QCOMPARE(item->text(4), rows[i].rate);
            QVERIFY(item->text(5) != item->text(4));
        }
        for (int c = 0; c < list->columnCount(); ++c) {
            QVERIFY(list->columnWidth(c) >= list->header()->sectionSizeHint(c));
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                QVERIFY(list->columnWidth(c) >=
                        list->fontMetrics().horizontalAdvance(list->topLevelItem(i)->text(c)));
            }
        }
        // Four answers are too few for a rate: no colour, no figure.
        QTableWidgetItem* few = pairs.HeatMap()->item(5, 5);
        QCOMPARE(few->text(), kNoFigure);
        QCOMPARE(few->background().color().red(), few->background().color().green());
        QVERIFY(pairs.HeatMap()->item(3, 4)->background().color().green() < 255);
        // The top of the legend is the highest rate on show.
        QVERIFY2(pairs.LegendText().contains(QStringLiteral("20.0%（表の最高）")),
                 qPrintable(pairs.LegendText()));

        pairs.ModeBox()->setFocus();
        QTest::keyClick(pairs.ModeBox(), Qt::Key_Down);
        QCOMPARE(pairs.ShownMode(), analysis::Mode::Difference);
        QVERIFY2(pairs.Summary()->text().startsWith(QStringLiteral("－ モードの 2 回・解答 2、")),
                 qPrintable(pairs.Summary()->text()));
        // Nothing to rank yet: the list says what is missing and how to get it.
        QVERIFY(!list->isVisible());
        QVERIFY(pairs.WeakestNote()->isVisible());
        QVERIFY(pairs.WeakestNote()->text().contains(QStringLiteral("5問")));
        QVERIFY(pairs.WeakestNote()->text().contains(QStringLiteral("遊ぶと")));
    }

    void weakPairsCountOffTheDrillsThread() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        AnalysisWindows& a = p.shell->analysis();
        // Nothing played yet (the log may not even have its tables): said plainly.
        a.OpenPairs();
        PairsWindow* pairs = a.Pairs();
        QTRY_VERIFY(!pairs->IsBusy());
        QVERIFY2(pairs->Summary()->text().contains(QStringLiteral("まだ")),
                 qPrintable(pairs->Summary()->text()));
        QVERIFY(pairs->WeakestNote()->isVisible());
        QVERIFY(pairs->WeakestNote()->text().contains(QStringLiteral("まだ")));

        PlayRound(p, w, {true, false});
        QVERIFY(WaitForLog(p, 1, 1));
        a.OpenPairs();
        // The window is up at once and says it is counting; the figures follow.
        QVERIFY(pairs->isVisible());
        QVERIFY(pairs->IsBusy());
        QCOMPARE(pairs->Summary()->text(), QStringLiteral("集計中…"));
        QTRY_VERIFY(!pairs->IsBusy());
        QCOMPARE(pairs->Figures().sum.rounds, 1);
        QCOMPARE(pairs->Figures().sum.answers, 3);
        QVERIFY(pairs->screen()->availableGeometry().contains(pairs->frameGeometry()));
        // Closed while counting: the count finishes into nothing.
        a.OpenPairs();
        QVERIFY(pairs->IsBusy());
        delete pairs;
        QVERIFY(a.Pairs() == nullptr);
    }

    void axesTickOnRoundSteps_data() {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        QTest::newRow("a work curve's rates") << 0.0 << 0.94 << 0.0 << 1.0 << 0.2 << 1;
        QTest::newRow("whole answers per second") << 0.0 << 4.3 << 0.0 << 5.0 << 1.0 << 0;
        QTest::newRow("a bound already on a step") << 0.0 << 0.5 << 0.0 << 0.5 << 0.1 << 1;
        QTest::newRow("counts") << 0.0 << 12.0 << 0.0 << 12.0 << 2.0 << 0;
        QTest::newRow("a narrow band high up") << 0.82 << 0.97 << 0.8 << 1.0 << 0.05 << 2;
        QTest::newRow("nothing yet") << 0.0 << 0.0 << 0.0 << 1.0 << 0.2 << 1;
        QTest::newRow("reversed") << 30.0 << 10.0 << 10.0 << 30.0 << 5.0 << 0;
    }
    void axesTickOnRoundSteps() {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(double, step);
        QFETCH(int, decimals);
        const AxisScale scale = RoundScale(low, high, 6);
        QCOMPARE(scale.low, from);
        QCOMPARE(scale.high, to);
        QCOMPARE(scale.step, step);
        QCOMPARE(scale.decimals, decimals);
        QVERIFY(scale.intervals >= 1 && scale.intervals <= 6);
        QCOMPARE(scale.low + scale.intervals * scale.step, scale.high);
        // The axis labels every tick with the step's own decimals: 0.2, not 0.31.
        QValueAxis axis;
        ApplyScale(axis, scale);
        QCOMPARE(axis.tickCount(), scale.intervals + 1);
        QCOMPARE(axis.labelFormat(), QStringLiteral("%.%1f").arg(decimals));
    }

    // The weak pairs read the log as a stream; it must see what the log's own reading sees,
    // damaged rounds included, whatever the damage.
    void theStreamedLogIsTheLoadedLog_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("damaged");  // 1-based round, 0: none
        QTest::newRow("whole") << QString() << 0;
        QTest::newRow("a limit out of bounds")
            << QStringLiteral("UPDATE rounds SET time_limit = -5 WHERE id = 2") << 2;
        QTest::newRow("a digit out of bounds")
            << QStringLiteral("UPDATE answers SET left_digit = 12 WHERE round_id = 3 AND seq = 1")
            << 3;
        QTest::newRow("time going back")
            << QStringLiteral("UPDATE answers SET ms = -1 WHERE round_id = 1 AND seq = 2") << 1;
        QTest::newRow("counts that do not add up")
            << QStringLiteral("UPDATE rounds SET wrong = wrong + 1 WHERE id = 3") << 3;
    }
    void theStreamedLogIsTheLoadedLog() {
        QFETCH(QString, damage);
        QFETCH(int, damaged);
        QTemporaryDir dir;
        const QString path = dir.filePath(AnswerLog::FileName());
        {
            AnswerLog log(path);
            for (int r = 0; r < 4; ++r) {
                analysis::RoundRecord round;
                round.startedAt = "2026-12-07T19:00:00";
                round.timeLimit = 10;
                round.modeText = r % 2 == 0 ? "＋" : "－";
                for (int k = 0; k < 6 + r; ++k) {
                    analysis::AnswerRecord a;
                    a.ms = 700 * (k + 1);
                    a.box = 1 + k % 14;
                    a.left = (k * 3 + r) % 10;
                    a.right = (k * 7) % 10;
                    a.correct = k % 4 != 1;
                    a.typed = "5";
                    round.events.push_back(a);
                    ++round.answers;
                    ++(a.correct ? round.correct : round.wrong);
                }
                QCOMPARE(log.WriteRound(round), AnswerLog::WriteResult::Written);
            }
        }
        if (!damage.isEmpty()) {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "harm");
                db.setDatabaseName(path);
                QVERIFY(db.open());
                QVERIFY(QSqlQuery(db).exec(damage));
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("harm"));
        }
        AnswerLog log(path, nullptr, 2000, AnswerLog::Access::ReadOnly);
        const std::vector<analysis::RoundRecord> loaded = log.LoadAllRounds();
        std::vector<analysis::RoundRecord> streamed;
        QVERIFY(ForEachLoggedRound(
            path, [&streamed](const analysis::RoundRecord& r) { streamed.push_back(r); }));
        QCOMPARE(streamed.size(), std::size_t{4});
        QCOMPARE(loaded.size(), streamed.size());
        QVERIFY(!LoadLoggedRound(path, 99).has_value());
        for (std::size_t i = 0; i < loaded.size(); ++i) {
            // One round alone reads as it does among the others.
            const std::optional<analysis::RoundRecord> one = LoadLoggedRound(path, loaded[i].id);
            QVERIFY(one.has_value());
            QCOMPARE(one->damaged, loaded[i].damaged);
            QCOMPARE(one->events.size(), loaded[i].events.size());
            QCOMPARE(streamed[i].id, loaded[i].id);
            QCOMPARE(streamed[i].damaged, loaded[i].damaged);
            QCOMPARE(streamed[i].damaged, static_cast<int>(i) + 1 == damaged);
            QCOMPARE(streamed[i].modeText, loaded[i].modeText);
            QCOMPARE(streamed[i].timeLimit, loaded[i].timeLimit);
            QCOMPARE(streamed[i].events.size(), loaded[i].events.size());
            for (std::size_t k = 0; k < loaded[i].events.size(); ++k) {
                QCOMPARE(streamed[i].events[k].ms, loaded[i].events[k].ms);
                QCOMPARE(streamed[i].events[k].left, loaded[i].events[k].left);
                QCOMPARE(streamed[i].events[k].right, loaded[i].events[k].right);
                QCOMPARE(streamed[i].events[k].correct, loaded[i].events[k].correct);
            }
        }
    }

    void heatColoursRunFromWhiteToRed() {
        QCOMPARE(PairsWindow::HeatColour(0.0, 0.2), QColor(255, 255, 255));
        const QColor half = PairsWindow::HeatColour(0.1, 0.2);
        const QColor full = PairsWindow::HeatColour(0.2, 0.2);
        QVERIFY(full.green() < half.green() && half.green() < 255);
        QCOMPARE(PairsWindow::HeatColour(0.9, 0.2), full);  // clamped
        QVERIFY(full.red() > 200 && full.green() < 60);
    }

    // Progress: history lines written as the drill writes them, in code page 932.
    static QByteArray Record(const char* date, const char* time, int answers, int correct,
                             int limit, bool difference = false) {
        const int wrong = answers - correct;
        const QString line =
            QStringLiteral("\"%1\",\"%2\",%3,%4,%5,\"x\",\"y\",\"%6秒\",\"%7\"\r\n")
                .arg(QLatin1String(date), QLatin1String(time))
                .arg(answers)
                .arg(correct)
                .arg(wrong)
                .arg(limit)
                .arg(difference ? QStringLiteral("－") : QStringLiteral("＋"));
        return *Cp932Bytes(line);
    }
    static ProgressWindow* OpenProgressFromMenu(FrmMain& w, AnalysisWindows& a) {
        RightClick(w.msgRireki, QPoint(5, 5));
        QTest::keyClick(OpenMenu(), Qt::Key_P);  // the entry's access key
        [&] { QTRY_VERIFY(a.Progress() != nullptr && a.Progress()->isVisible()); }();
        [&] { QTRY_VERIFY(a.Progress() != nullptr && !a.Progress()->IsBusy()); }();
        return a.Progress();
    }

private slots:
    void progressCountsAResultSavedTwiceOnce() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        PlayRound(p, w, {true, true, false});  // saved on its own
        // Saved again by hand until two lines in a row are the same (a save can straddle a
        // change of second).
        QList<QByteArray> lines;
        for (int tries = 0; tries < 3; ++tries) {
            QTest::mouseClick(w.cmdHozon, Qt::LeftButton);
            lines = ReadBytes(p.Path(QStringLiteral("履歴.txt"))).split('\n');
            lines.removeAll(QByteArray());
            if (lines[lines.size() - 1] == lines[lines.size() - 2]) break;
        }
        QVERIFY(lines.size() >= 2 && lines[lines.size() - 1] == lines[lines.size() - 2]);
        int distinct = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) distinct += i == 0 || lines[i] != lines[i - 1];
        QCOMPARE(w.historyModel().Rows(), int(lines.size()) + 1);  // the grid keeps every save

        ProgressWindow* progress = OpenProgressFromMenu(w, p.shell->analysis());
        QVERIFY(progress != nullptr);
        QCOMPARE(Figure(progress, QStringLiteral("記録の数")), QString::number(distinct));
        QCOMPARE(Figure(progress, QStringLiteral("重複した記録")),
                 QString::number(lines.size() - distinct));
        QCOMPARE(progress->Table()->model()->rowCount(), distinct);
    }

    void progressCountsAResultSavedAgainSecondsLaterOnce() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        // An older result, saved before any answer log: 2 right in 10 s, 50 %.
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), Record("2004/05/01", "13:05:09", 4, 2, 10));
        FrmMain& w = p.Start();
        PlayRound(p, w, {true, true, false});  // 4 answers, 3 right, saved at the end
        const QString saved = w.historyModel().TextMatrix(2, 2);
        // 保存 pressed in a later second: a line that differs from the first only in its time.
        QTRY_VERIFY(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) != saved);
        QTest::mouseClick(w.cmdHozon, Qt::LeftButton);
        QCOMPARE(w.historyModel().Rows(), 4);
        QVERIFY(w.historyModel().TextMatrix(3, 2) != saved);
        // The log ties both saves to the one round.
        const QString logPath = p.Path(AnswerLog::FileName());
        QVERIFY(QTest::qWaitFor(
            [&] {
                AnswerLog log(logPath);
                const std::vector<analysis::RoundRecord> rounds = log.LoadAllRounds();
                return rounds.size() == 1 && log.SavesOf(rounds[0].id).size() == 2;
            },
            5000));

        ProgressWindow* progress = OpenProgressFromMenu(w, p.shell->analysis());
        QVERIFY(progress != nullptr);
        QCOMPARE(Figure(progress, QStringLiteral("記録の数")), QStringLiteral("2"));
        QCOMPARE(Figure(progress, QStringLiteral("重複した記録")), QStringLiteral("1"));
        QCOMPARE(progress->Table()->model()->rowCount(), 2);
        // The best is the first save (3 right in 10 s, 75 %); the average (0.20 + 0.30) / 2.
        const QString first = w.historyModel().TextMatrix(2, 1) + u' ' + saved;
        QCOMPARE(Figure(progress, QStringLiteral("最高の速さ")),
                 QStringLiteral("0.30 /秒（%1）").arg(first));
        QCOMPARE(Figure(progress, QStringLiteral("最高の正解率")),
                 QStringLiteral("75.0%（%1、正解 3）").arg(first));
        QCOMPARE(Figure(progress, QStringLiteral("最近の速さ")), QStringLiteral("0.25 /秒"));
    }

    void progressSaysWhatIsMissing_data() {
        QTest::addColumn<QByteArray>("history");
        QTest::addColumn<QString>("says");
        QTest::newRow("no history")
            << QByteArray() << QStringLiteral("保存された記録がありません。");
        QTest::newRow("only unusable lines") << Record("2024/02/30", "10:00:00", 5, 5, 10) +
                                                    Record("2024/02/01", "10:00:00", 5, 5, 0)
                                             << QStringLiteral("使える記録がありません（2 件");
    }
    void progressSaysWhatIsMissing() {
        QFETCH(QByteArray, history);
        QFETCH(QString, says);
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), history);
        FrmMain& w = p.Start();
        ProgressWindow* progress = OpenProgressFromMenu(w, p.shell->analysis());
        QVERIFY(progress != nullptr);
        QVERIFY2(progress->Message().startsWith(says), qPrintable(progress->Message()));
        QVERIFY(progress->Message().contains(QStringLiteral("保存すると")));  // how to get one
        QVERIFY(progress->accessibleName().contains(says));
        // No empty filters and no chart over nothing.
        QVERIFY(!progress->ModeBox()->isVisible());
        QVERIFY(!progress->Chart()->isVisible());
    }

    void progressFiguresPeriodsAndTableByKeys() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        // 60 s: two results on 2023/01/10, three in the last month up to 2024/03/20.
        WriteBytes(p.Path(QStringLiteral("履歴.txt")),
                   Record("2023/01/10", "09:00:00", 40, 30, 60) +
                       Record("2023/01/10", "21:00:00", 40, 39, 60) +
                       Record("2024/03/01", "10:00:00", 30, 24, 60) +
                       Record("2024/03/20", "08:00:00", 30, 27, 60) +
                       Record("2024/03/20", "08:30:00", 36, 33, 60) +
                       Record("2024/03/21", "10:00:00", 10, 10, 10, true));
        FrmMain& w = p.Start();
        ProgressWindow* progress = OpenProgressFromMenu(w, p.shell->analysis());
        QVERIFY(progress != nullptr);
        // The newest result is a difference round: its series shows first.
        QCOMPARE(progress->ModeBox()->currentText(), QStringLiteral("－"));
        QVERIFY(progress->accessibleName().contains(QStringLiteral("－ モード・10秒")));
        progress->ModeBox()->setFocus();
        QTest::keyClick(progress->ModeBox(), Qt::Key_Up);
        QCOMPARE(progress->LimitBox()->currentText(), QStringLiteral("60秒"));

        const struct {
            int period;  // index in the period box
            QString count, bestRate, bestAccuracy;
        } periods[] = {
            {3, QStringLiteral("5"), QStringLiteral("0.65 /秒（2023/01/10 21:00:00）"),
             QStringLiteral("97.5%（2023/01/10 21:00:00、正解 39）")},
            {0, QStringLiteral("3"), QStringLiteral("0.55 /秒（2024/03/20 08:30:00）"),
             QStringLiteral("91.7%（2024/03/20 08:30:00、正解 33）")},
        };
        for (const auto& c : periods) {
            progress->PeriodBox()->setFocus();
            while (progress->PeriodBox()->currentIndex() > c.period)
                QTest::keyClick(progress->PeriodBox(), Qt::Key_Up);
            while (progress->PeriodBox()->currentIndex() < c.period)
                QTest::keyClick(progress->PeriodBox(), Qt::Key_Down);
            QCOMPARE(Figure(progress, QStringLiteral("記録の数")), c.count);
            QCOMPARE(Figure(progress, QStringLiteral("最高の速さ")), c.bestRate);
            QCOMPARE(Figure(progress, QStringLiteral("最高の正解率")), c.bestAccuracy);
            QCOMPARE(progress->Table()->model()->rowCount(), c.count.toInt());
        }
        // The moving average of the newest ten, whatever the period: (30+39+24+27+33)/5/60.
        QCOMPARE(Figure(progress, QStringLiteral("最近の速さ")), QStringLiteral("0.51 /秒"));

        // The table tab, reached with the keyboard, holds what the chart shows.
        progress->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(progress));
        // Through the window, as the windowing system delivers keys, so that access keys work.
        QTest::keyClick(progress->windowHandle(), Qt::Key_B, Qt::AltModifier);
        QCOMPARE(progress->Tabs()->currentWidget(), static_cast<QWidget*>(progress->Table()));
        const QAbstractItemModel* table = progress->Table()->model();
        const QStringList row = {QStringLiteral("2024/03/20"), QStringLiteral("08:30:00"),
                                 QStringLiteral("0.55"), QStringLiteral("91.7%"),
                                 QStringLiteral("0.51")};
        for (int column = 0; column < row.size(); ++column)
            QCOMPARE(table->index(2, column).data().toString(), row[column]);

        // Per day: one row a day with its median and range.
        progress->ViewBox()->setFocus();
        QTest::keyClick(progress->ViewBox(), Qt::Key_Down);
        QCOMPARE(table->rowCount(), 2);
        const QStringList day = {QStringLiteral("2024/03/20"), QStringLiteral("2"),
                                 QStringLiteral("0.50"),       QStringLiteral("0.45"),
                                 QStringLiteral("0.55"),       QStringLiteral("90.8%")};
        for (int column = 0; column < day.size(); ++column)
            QCOMPARE(table->index(1, column).data().toString(), day[column]);
        QVERIFY(progress->accessibleName().contains(QStringLiteral("日ごと")));
        // Every figure is read with its value.
        for (FigureLabel* label : progress->findChildren<FigureLabel*>())
            QCOMPARE(label->accessibleName(), label->Caption() + u' ' + label->text());
    }

    void progressAxesAreRoundAndFollowTheData() {
        std::vector<analysis::HistoryPoint> history;
        for (int n = 0; n < 40; ++n) {
            analysis::HistoryPoint h;
            h.date = "2024/05/" + std::to_string(10 + n / 4);
            h.time = "1" + std::to_string(n % 4) + ":00:00";
            h.answers = 40;
            h.correct = 33 + n % 6;  // 82.5 % to 95 %
            h.wrong = h.answers - h.correct;
            h.timeLimit = 60;
            h.modeText = "＋";
            history.push_back(h);
        }
        ProgressWindow window;
        window.resize(900, 560);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.ShowHistory(history, 0);
        for (QValueAxis* axis : {window.Chart()->RateAxis(), window.Chart()->AccuracyAxis()}) {
            const double step = axis->tickInterval();
            const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
            QVERIFY2(qFuzzyCompare(mantissa, 1.0) || qFuzzyCompare(mantissa, 2.0) ||
                         qFuzzyCompare(mantissa, 5.0),
                     qPrintable(QString::number(step)));
            const double ticks = axis->tickAnchor() / step;
            QVERIFY(std::abs(ticks - std::round(ticks)) < 1e-6);
        }
        // The accuracy axis follows the data rather than 0–100 %; no marker sits on an edge.
        QValueAxis* accuracy = window.Chart()->AccuracyAxis();
        QVERIFY(accuracy->min() >= 70.0 && accuracy->min() < 82.5);
        QVERIFY(accuracy->max() > 95.0 && accuracy->max() <= 101.0);
        QVERIFY(window.Chart()->RateAxis()->min() < 0.55);
        QVERIFY(window.Chart()->RateAxis()->max() > 38.0 / 60);
        // The legend shows each series' own marker; the accuracy and its best differ in colour.
        QMap<QString, QString> colourOf;  // entry name -> colour
        const QRegularExpression entry(
            QStringLiteral("color:(#[0-9a-f]+)\">(.)</span>&nbsp;([^<&]+)"));
        for (auto it = entry.globalMatch(window.Chart()->Legend()->text()); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            QString name = m.captured(3);
            name = name.remove(QChar(0x2060)).trimmed();
            colourOf[m.captured(2) + name] = m.captured(1);
        }
        QVERIFY2(colourOf.contains(QStringLiteral("★最高の速さ")),
                 qPrintable(colourOf.keys().join(u',')));
        QVERIFY(colourOf.contains(QStringLiteral("▲最高の正解率")));
        QVERIFY(colourOf.contains(QStringLiteral("●各回の速さ")));
        const QString accuracyLine =
            QStringLiteral("━正解率（直近%1回の平均）").arg(analysis::kMovingAverageWindow);
        QVERIFY(colourOf.contains(accuracyLine));
        QVERIFY(colourOf[accuracyLine] != colourOf[QStringLiteral("▲最高の正解率")]);
        // Date labels on whole days, each one different, within the range.
        const QStringList labels = window.Chart()->TimeAxis()->categoriesLabels();
        QVERIFY(labels.size() >= 2);
        QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), labels.size());
        for (const QString& label : labels)
            QVERIFY2(QRegularExpression(QStringLiteral("^05/\\d\\d$")).match(label).hasMatch(),
                     qPrintable(label));
    }

    void progressDateTicksSuitTheSpan_data() {
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("to");
        QTest::addColumn<QString>("pattern");
        const QDate day(2024, 5, 10);
        QTest::newRow("hours") << QDateTime(day, QTime(9, 10)) << QDateTime(day, QTime(17, 40))
                               << QStringLiteral("^\\d\\d:00$");
        // The rounds of one sitting: minutes, not a single hour's tick.
        QTest::newRow("one sitting")
            << QDateTime(day, QTime(21, 3)) << QDateTime(day, QTime(21, 21))
            << QStringLiteral("^21:[0-5][05]$");
        QTest::newRow("over midnight")
            << QDateTime(day, QTime(20, 0)) << QDateTime(day.addDays(1), QTime(6, 0))
            << QStringLiteral("^\\d\\d:00$");
        QTest::newRow("two days") << QDateTime(day, QTime(8, 0))
                                  << QDateTime(day.addDays(2), QTime(8, 0))
                                  << QStringLiteral("^05/1[12]$");
        QTest::newRow("months") << QDateTime(day, QTime(8, 0))
                                << QDateTime(day.addDays(300), QTime(8, 0))
                                << QStringLiteral("^\\d\\d/\\d\\d$");
        QTest::newRow("years") << QDateTime(day, QTime(8, 0))
                               << QDateTime(day.addYears(6), QTime(8, 0))
                               << QStringLiteral("^20\\d\\d/\\d\\d$");
    }
    void progressDateTicksSuitTheSpan() {
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, to);
        QFETCH(QString, pattern);
        for (const int most : {2, 4, 8}) {
            const auto ticks =
                ProgressChart::DateTicks(from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch(), most);
            QVERIFY(!ticks.isEmpty());
            QVERIFY(ticks.size() <= most);
            QSet<QString> seen;
            for (const auto& [at, label] : ticks) {
                QVERIFY(at >= from.toMSecsSinceEpoch() && at <= to.toMSecsSinceEpoch());
                QVERIFY2(QRegularExpression(pattern).match(label).hasMatch(), qPrintable(label));
                QVERIFY(!seen.contains(label));
                seen.insert(label);
            }
        }
    }

    void progressOpensInsideTheScreen() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")),
                   Record("2024/03/01", "10:00:00", 30, 24, 60));
        FrmMain& w = p.Start();
        ProgressWindow* progress = OpenProgressFromMenu(w, p.shell->analysis());
        QVERIFY(progress != nullptr);
        const QRect area = progress->screen()->availableGeometry();
        QVERIFY2(area.contains(progress->frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2 in %3x%4")
                                .arg(progress->frameGeometry().width())
                                .arg(progress->frameGeometry().height())
                                .arg(area.width())
                                .arg(area.height())));
        // Every figure is shown whole, as tall as its wrapped text needs, once laid out.
        for (FigureLabel* label : progress->findChildren<FigureLabel*>()) {
            QVERIFY(label->isVisible());
            QTRY_VERIFY(label->height() >= label->heightForWidth(label->width()));
        }

        // At scale 2 on a 1280 × 1024 screen there are 640 × 512 logical pixels: the window
        // must fit 640 × 480 with room for a title bar, with every filter still on show.
        const QSize small(640, 480 - 24);
        const QSize least = progress->minimumSizeHint().expandedTo(progress->minimumSize());
        QVERIFY2(least.width() <= small.width() && least.height() <= small.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));
        progress->resize(small);
        QTRY_COMPARE(progress->size(), small);
        QApplication::processEvents();
        const QList<QWidget*> filters{progress->ModeBox(), progress->LimitBox(),
                                      progress->PeriodBox(), progress->ViewBox(),
                                      progress->FocusBox()};
        for (QWidget* filter : filters) {
            const QRect at(filter->mapTo(progress, QPoint(0, 0)), filter->size());
            QVERIFY2(filter->isVisible() && progress->rect().contains(at),
                     qPrintable(filter->accessibleName()));
        }
        QVERIFY(progress->Chart()->isVisible() && progress->Chart()->height() > 0);
        for (FigureLabel* label : progress->findChildren<FigureLabel*>())
            QVERIFY(label->isVisible());
    }

    void progressNamesEveryTabStop() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")),
                   Record("2024/03/01", "10:00:00", 30, 24, 60) +
                       Record("2024/03/02", "10:00:00", 30, 27, 60));
        FrmMain& w = p.Start();
        ProgressWindow* progress = OpenProgressFromMenu(w, p.shell->analysis());
        QVERIFY(progress != nullptr);
        progress->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(progress));
        // With either tab on show (picked by its access key), round the whole Tab chain as a
        // keyboard user goes, until it comes back to where it began.
        for (const Qt::Key tab : {Qt::Key_G, Qt::Key_B}) {
            QTest::keyClick(progress->windowHandle(), tab, Qt::AltModifier);
            progress->ModeBox()->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(progress->ModeBox()));
            QList<QWidget*> stops;
            QCOMPARE(UnnamedTabStops(progress, &stops), QStringList());
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(progress->ModeBox()));
            // The filters, the tabs, the figures' area and its six figures at least.
            QVERIFY(stops.size() >= 13);
            QCOMPARE(stops.contains(progress->Table()), tab == Qt::Key_B);
        }
    }

    void clickingAResultOpensItsWorkCurve() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        // An older result, saved before any answer log: it has no work curve.
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), Record("2004/05/01", "13:05:09", 4, 2, 10));
        FrmMain& w = p.Start();
        PlayRound(p, w, {true, true, false});
        AnalysisWindows& a = p.shell->analysis();
        QStringList told;
        a.SetTeller([&](const QString& text, bool) { told << text; });
        ProgressWindow* progress = OpenProgressFromMenu(w, a);
        QVERIFY(progress != nullptr);
        QCOMPARE(progress->Shown()->points.size(), std::size_t{2});
        ProgressChart* chart = progress->Chart();
        chart->chart()->setAnimationOptions(QChart::NoAnimation);
        QApplication::processEvents();

        const std::optional<QPoint> old = chart->PositionOf(0);
        QVERIFY(old.has_value());
        // Moved through the window, as the windowing system reports a moving pointer.
        QTest::mouseMove(progress->windowHandle(), chart->viewport()->mapTo(progress, *old));
        // Pointing at a result tells it: date, time, rate and accuracy.
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("2004/05/01 13:05:09\n速さ 0.20 /秒（正解 2）\n"
                                                  "正解率 50.0%\nクリックで作業曲線"));
        // The pointer comes to rest: the help event Qt then sends keeps the text up.
        QHelpEvent rest(QEvent::ToolTip, *old, chart->viewport()->mapToGlobal(*old));
        QApplication::sendEvent(chart->viewport(), &rest);
        QTest::qWait(600);
        QVERIFY(QToolTip::isVisible());
        QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, *old);
        QTRY_COMPARE(told.size(), 1);
        QVERIFY(told[0].contains(QStringLiteral("ありません")));
        QVERIFY(a.WorkCurve() == nullptr);

        const std::optional<QPoint> played = chart->PositionOf(1);
        QVERIFY(played.has_value());
        QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, *played);
        QTRY_VERIFY(a.WorkCurve() != nullptr && a.WorkCurve()->isVisible());
        QCOMPARE(told.size(), 1);  // found in the log: nothing more said
    }

    void aLongHistoryLoadsWhileTheProgramRuns() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        QByteArray history;
        for (int n = 0; n < 6000; ++n) {
            const QByteArray date = QStringLiteral("2024/%1/%2")
                                        .arg(1 + n / 500, 2, 10, QChar(u'0'))
                                        .arg(1 + n / 20 % 25, 2, 10, QChar(u'0'))
                                        .toLatin1();
            const QByteArray time = QStringLiteral("%1:%2:00")
                                        .arg(8 + n % 12, 2, 10, QChar(u'0'))
                                        .arg(0, 2, 10, QChar(u'0'))
                                        .toLatin1();
            history += Record(date.constData(), time.constData(), 40, 20 + n % 17, 60);
        }
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), history);
        FrmMain& w = p.Start();
        AnalysisWindows& a = p.shell->analysis();
        RightClick(w.msgRireki, QPoint(5, 5));
        QTest::keyClick(OpenMenu(), Qt::Key_P);
        QTRY_VERIFY(a.Progress() != nullptr);
        ProgressWindow* progress = a.Progress();
        // Busy at first, saying so, then the figures.
        QVERIFY(progress->IsBusy());
        QVERIFY(progress->Message().contains(QStringLiteral("読み込んでいます")));
        QTRY_VERIFY(!progress->IsBusy());
        QVERIFY(progress->Message().isEmpty());
        QCOMPARE(Figure(progress, QStringLiteral("記録の数")), QStringLiteral("6000"));
        // So many results show per day first.
        QCOMPARE(progress->ViewBox()->currentIndex(), 1);

        // Each result, chosen with the keys: drawn as ranges of runs, and pointing at a run's
        // range tells which results it stands for.
        progress->ViewBox()->setFocus();
        QTest::keyClick(progress->ViewBox(), Qt::Key_Up);
        QTRY_VERIFY(!progress->IsBusy());
        ProgressChart* chart = progress->Chart();
        chart->chart()->setAnimationOptions(QChart::NoAnimation);
        QApplication::processEvents();
        const analysis::ProgressSpan& span = progress->Span();
        QVERIFY(span.end - span.begin > 400);
        const std::optional<QPoint> run = chart->RunPosition(0);
        QVERIFY(run.has_value());
        QTest::mouseMove(progress->windowHandle(), chart->viewport()->mapTo(progress, *run));
        QTRY_VERIFY(QToolTip::isVisible());
        const std::size_t size = (span.end - span.begin) / 400;
        const analysis::ProgressPoint& first = progress->Shown()->points[span.begin];
        const analysis::ProgressPoint& last = progress->Shown()->points[span.begin + size - 1];
        const QString head =
            QStringLiteral("%1 %2 〜 %3 %4（%5 回）\n速さ ")
                .arg(QString::fromStdString(first.date), QString::fromStdString(first.time),
                     QString::fromStdString(last.date), QString::fromStdString(last.time))
                .arg(size);
        QVERIFY2(QToolTip::text().startsWith(head), qPrintable(QToolTip::text()));
    }
};

}  // namespace keta::test

QTEST_MAIN(keta::test::AnalysisWindowsTest)
#include "analysis_windows_test.moc"
