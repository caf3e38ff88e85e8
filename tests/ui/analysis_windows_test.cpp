// The analysis windows as a person reaches them: a round typed through the widgets, the history
// grid's context menu opened with the keyboard or the mouse and an entry picked with keys, and
// the figures read back from the windows by the names a screen reader hears.

#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "analysis/analysis_menu.h"
#include "analysis/chart_support.h"
#include "analysis/pairs_window.h"
#include "analysis/progress_window.h"
#include "analysis/work_curve_window.h"
#include "answer_log.h"
#include "history_grid.h"
#include "history_model.h"
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
    static QString Figure(QWidget* window, const QString& name) {
        for (FigureLabel* label : window->findChildren<FigureLabel*>()) {
            if (label->Caption() == name) {
                // A screen reader hears the caption with the value, never the caption alone.
                EXPECT_EQ(label->accessibleName(), name + u' ' + label->text());
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
        QCOMPARE(curve->windowTitle(), AnalysisWindows::RowLine(w.historyModel(), 1));
        QVERIFY(curve->windowTitle().contains(QStringLiteral("5 4 1 80.0%")));
        QCOMPARE(Figure(curve, QStringLiteral("解答数")), QStringLiteral("5"));
        QCOMPARE(Figure(curve, QStringLiteral("正解")), QStringLiteral("4"));
        QCOMPARE(Figure(curve, QStringLiteral("ミス")), QStringLiteral("1"));
        QCOMPARE(Figure(curve, QStringLiteral("正解率")), QStringLiteral("80.0%"));
        QCOMPARE(Figure(curve, QStringLiteral("連続正解")), QStringLiteral("3 問"));
        // 5 answers in a 10 s limit, whatever the real clock did.
        QCOMPARE(Figure(curve, QStringLiteral("平均の速さ")), QStringLiteral("0.50 問/秒"));
        QCOMPARE(curve->Curve().bins.size(), std::size_t{2});  // 5 s bins
        // Every index shows its figure from the logged round, or "—" where it has none.
        AnswerLog log(p.Path(AnswerLog::FileName()));
        const std::vector<analysis::RoundRecord> rounds = log.LoadAllRounds();
        QCOMPARE(rounds.size(), std::size_t{1});
        const analysis::RoundIndices indices = analysis::ComputeIndices(rounds[0]);
        for (const analysis::IndexId id : analysis::kAllIndices) {
            QCOMPARE(Figure(curve, IndexName(id)), IndexText(indices, id));
        }

        // One window of each kind: a second round replaces the first in the same window.
        PlayRound(p, w, {true});
        QCOMPARE(w.historyModel().Rows(), 3);
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
        RightClick(w.msgRireki, RowCentre(w.msgRireki, 2));
        menu = OpenMenu();
        PickWithKeys(menu, 2);  // progress
        QTRY_VERIFY(a.Progress() != nullptr && a.Progress()->isVisible());
        ProgressWindow* progress = a.Progress();
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
        QCOMPARE(pairs->Figures().rounds, 1);
        QCOMPARE(pairs->Figures().sum.answers, 4);
        QCOMPARE(pairs->Figures().sum.errors, 1);
        // Every pair answered shows its median time; the others "—".
        int shown = 0;
        for (int l = 0; l <= 9; ++l) {
            for (int r = 0; r <= 9; ++r) {
                const analysis::PairCell& cell = pairs->Figures().sum.at(l, r);
                const QString text = pairs->HeatMap()->item(l, r)->text();
                QCOMPARE(text == kNoFigure, cell.answers == 0);
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
        QVERIFY(csv.startsWith(QStringLiteral("日付,時間,問数").toUtf8()));
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

    void heatColoursRunFromWhiteToRed() {
        QCOMPARE(PairsWindow::HeatColour(0.0, 0.2), QColor(255, 255, 255));
        const QColor half = PairsWindow::HeatColour(0.1, 0.2);
        const QColor full = PairsWindow::HeatColour(0.2, 0.2);
        QVERIFY(full.green() < half.green() && half.green() < 255);
        QCOMPARE(PairsWindow::HeatColour(0.9, 0.2), full);  // clamped
        QVERIFY(full.red() > 200 && full.green() < 60);
    }
};

}  // namespace keta::test

QTEST_MAIN(keta::test::AnalysisWindowsTest)
#include "analysis_windows_test.moc"
