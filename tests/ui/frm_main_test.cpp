// The window as a person meets it: start-up, a whole round typed through the real widgets,
// the layout, the history grid and the message boxes.

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <functional>

#include "fonts.h"
#include "history_grid.h"
#include "ui_fixture.h"

namespace keta::test {

class FrmMainTest : public QObject {
    Q_OBJECT

private:
    static QColor BoxColour(FrmMain& w, int i) {
        return w.txtKaitou[i]->palette().color(QPalette::Base);
    }
    static int Expected(FrmMain& w, int i) {
        const int a = w.lblMondai[i]->text().toInt(), b = w.lblMondai[i + 1]->text().toInt();
        return w.cboMode->currentText() == QStringLiteral("－") ? std::abs(a - b) : (a + b) % 10;
    }
    static QByteArray Record(int n) {
        return "\"2004/05/01\",\"13:05:09\"," + QByteArray::number(n) +
               ",22,3,\"88.0%\","
               "\"0.37/\x95\x62\",\"60\x95\x62\",\"\x81\x7B\"\r\n";
    }

private slots:
    void startUpEndsIdleWithTheStartButtonFocused() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "45,0\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        for (int j = 1; j <= kDigitCount; ++j) QCOMPARE(w.lblMondai[j]->text(), QString());
        for (int i = 1; i <= kBoxCount; ++i) {
            QVERIFY(!w.txtKaitou[i]->isVisible());
            QCOMPARE(w.txtKaitou[i]->text(), QString());
        }
        QCOMPARE(QApplication::focusWidget(), w.cmdStart);
        QVERIFY(w.cmdStart->isEnabled());
        QCOMPARE(w.cboJikan->count(), 18);
        QCOMPARE(w.cboJikan->itemText(0), QStringLiteral("10"));
        QCOMPARE(w.cboJikan->itemText(17), QStringLiteral("180"));
        QCOMPARE(w.cboJikan->currentText(), QStringLiteral("45"));  // shown though not listed
        QCOMPARE(w.cboMode->count(), 2);
        QCOMPARE(w.cboMode->currentText(), QStringLiteral("＋"));
        for (QLabel* label : {w.lblOk, w.lblNg, w.lblRitu, w.lblByou})
            QCOMPARE(label->text(), QString());
        QCOMPARE(w.state().intJikan, 45);
        QCOMPARE(w.state().intHaba, 8745);
        QCOMPARE(w.state().blnOwari, True);
        QVERIFY(!w.chkAs->isChecked());
        // The flag differed from the box's design state, so the file was rewritten, same values.
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("設定.txt"))), QByteArray("45,0\r\n"));
        QVERIFY(w.imgStart[1]->isVisible());  // the red light shows until the first tick
    }

    void aWholeRoundTypedThroughTheWidgets() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();

        QTest::keyClick(w.cmdStart, Qt::Key_Return);  // Enter presses the focused button
        QVERIFY(!w.cmdStart->isEnabled());
        QCOMPARE(w.lblOk->text(), QStringLiteral("0"));
        QCOMPARE(w.lblRitu->text(), QStringLiteral("0.0%"));
        QCOMPARE(w.lblByou->text(), QString());
        w.drill().tmrStart_Timer();
        QVERIFY(w.imgStart[1]->isVisible() && !w.imgStart[2]->isVisible());
        w.drill().tmrStart_Timer();
        w.drill().tmrStart_Timer();
        QVERIFY(w.imgStart[3]->isVisible() && !w.imgStart[1]->isVisible());
        QCOMPARE(QApplication::focusWidget(), w.txtKaitou[1]);
        for (int i = 1; i <= kBoxCount; ++i) QVERIFY(w.txtKaitou[i]->isVisible());

        // Right, wrong, right: each key scored at once, the focus moving on.
        QTest::keyClicks(QApplication::focusWidget(), QString::number(Expected(w, 1)));
        QCOMPARE(BoxColour(w, 1), QColor(0, 255, 0));
        QCOMPARE(QApplication::focusWidget(), w.txtKaitou[2]);
        QTest::keyClicks(QApplication::focusWidget(), QString::number((Expected(w, 2) + 1) % 10));
        QCOMPARE(BoxColour(w, 2), QColor(255, 0, 0));
        QCOMPARE(w.lblNg->text(), QStringLiteral("1"));
        QCOMPARE(w.lblRitu->text(), QStringLiteral("50.0%"));
        // Clicking a box empties it without scoring.
        QTest::mouseClick(w.txtKaitou[2], Qt::LeftButton);
        QCOMPARE(w.txtKaitou[2]->text(), QString());
        QCOMPARE(w.state().intMonsu, 2);

        // Answer up to box 14: a new row, the boxes white and empty, the focus back in box 1.
        w.txtKaitou[3]->setFocus();
        for (int i = 3; i <= kBoxCount; ++i)
            QTest::keyClicks(QApplication::focusWidget(), QString::number(Expected(w, i)));
        QCOMPARE(w.state().intOk, 13);
        QCOMPARE(QApplication::focusWidget(), w.txtKaitou[1]);
        for (int i = 1; i <= kBoxCount; ++i) {
            QCOMPARE(BoxColour(w, i), QColor(255, 255, 255));
            QCOMPARE(w.txtKaitou[i]->text(), QString());
        }

        // Time runs out; the bar goes to nothing and the next key closes the round.
        p.clock.now += 10;
        w.drill().tmrBp_Timer();
        QCOMPARE(w.state().blnPlay, False);
        QCOMPARE(w.shpJikanK->width(), 0);
        QTest::keyClicks(QApplication::focusWidget(), QString::number(Expected(w, 1)));
        QCOMPARE(w.state().intOk, 14);
        QCOMPARE(w.lblByou->text(), QStringLiteral("1.40/秒"));
        QVERIFY(w.cmdStart->isEnabled());
        QCOMPARE(QApplication::focusWidget(), w.cmdStart);

        // Auto-save stored the result in the grid and as the file's one line.
        QAbstractItemModel* model = w.msgRireki->model();
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->data(model->index(0, 2)).toString(), QStringLiteral("15"));
        QCOMPARE(model->data(model->index(0, 7)).toString(), QStringLiteral("10秒"));
        const QByteArray line = ReadBytes(p.Path(QStringLiteral("履歴.txt")));
        QVERIFY(
            line.endsWith(",15,14,1,\"93.3%\",\"1.40/\x95\x62\",\"10\x95\x62\",\"\x81\x7B\"\r\n"));
        QCOMPARE(line.count("\r\n"), 1);

        // After the close, typing changes nothing.
        QTest::keyClicks(w.txtKaitou[5], QStringLiteral("7"));
        QCOMPARE(w.txtKaitou[5]->text(), QStringLiteral("7"));
        QCOMPARE(w.state().intMonsu, 15);
    }

    void tabFromTheExitButtonGoesToTheLastBox() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "60,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        for (int i = 1; i <= kBoxCount; ++i) w.txtKaitou[i]->show();
        QList<QWidget*> expected{w.cmdStart, w.cmdHozon, w.cmdClear, w.cmdHelp, w.cmdEnd};
        for (int i = kBoxCount; i >= 1; --i) expected << w.txtKaitou[i];
        expected << w.cboJikan << w.chkAs << w.cboMode << w.msgRireki;
        w.cmdStart->setFocus();
        for (int k = 1; k < expected.size(); ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // An editable combo gives the focus to its line edit.
            if (focus && focus->parentWidget() && qobject_cast<QComboBox*>(focus->parentWidget()))
                focus = focus->parentWidget();
            QCOMPARE(focus, expected[k]);
        }
    }

    void controlsStandWhereTheyBelong() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "60,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        QCOMPARE(w.size(), QSize(631, 452));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        // The program's window: the client area under the menu bar, fixed in size.
        QWidget& top = *w.window();
        QCOMPARE(top.minimumSize(), top.maximumSize());
        QVERIFY(!(top.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(top.windowTitle(), QStringLiteral("ケタトビ"));
        QCOMPARE(w.Image1->geometry(), QRect(10, 10, 306, 61));
        QCOMPARE(w.cmdStart->geometry(), QRect(345, 10, 56, 61));
        QCOMPARE(w.cmdEnd->geometry(), QRect(565, 10, 56, 61));
        QCOMPARE(w.Frame1->geometry(), QRect(6, 87, 616, 358));
        QCOMPARE(w.lblMondai[1]->geometry(), QRect(15, 72, 37, 65));
        QCOMPARE(w.lblMondai[15]->geometry().right(), 597);  // 8970 twips
        QCOMPARE(w.txtKaitou[14]->geometry(), QRect(540, 141, 38, 65));
        QCOMPARE(w.shpJikanB->geometry(), QRect(15, 63, 583, 5));
        QCOMPARE(w.msgRireki->geometry(), QRect(15, 215, 586, 131));
        QCOMPARE(w.lblByou->parentWidget(), w.Frame2);
        QCOMPARE(w.Frame2->parentWidget(), w.Frame1);
        QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("txtKaitou_14")), w.txtKaitou[14]);
        // The green bar lies over the red one, the red light over the others.
        QVERIFY(w.Frame1->children().indexOf(w.shpJikanK) >
                w.Frame1->children().indexOf(w.shpJikanB));
        QCOMPARE(w.Frame1->childAt(w.imgStart[1]->geometry().center()), w.imgStart[1]);
        w.SetBarWidth(4372);
        QCOMPARE(w.shpJikanK->geometry(), QRect(15, 63, 291, 5));
    }

    void tooltipsReadCharacterForCharacter() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "60,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        QCOMPARE(w.cmdStart->toolTip(), QStringLiteral("ゲームをスタートします"));
        QCOMPARE(w.cmdHozon->toolTip(), QStringLiteral("データを保存します"));
        QCOMPARE(w.cmdClear->toolTip(), QStringLiteral("履歴データをクリアします"));
        QCOMPARE(w.cmdHelp->toolTip(), QStringLiteral("ヘルプファイルを開きます"));
        QCOMPARE(w.cmdEnd->toolTip(), QStringLiteral("プログラムを終了します"));
        QCOMPARE(w.chkAs->toolTip(), QStringLiteral("履歴の自動保存を制御します"));
        QCOMPARE(w.cmdStart->text(), QStringLiteral("スタート"));
        QCOMPARE(w.cmdEnd->text(), QStringLiteral("終了"));
    }

    void historyGridLaysOutAndScrollsToTheNewestRow() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "60,1\r\n");
        QByteArray history;
        for (int n = 1; n <= 40; ++n) history += Record(n);
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), history);
        FrmMain& w = p.Start();
        HistoryGrid* grid = w.msgRireki;
        QAbstractItemModel* model = grid->model();
        const QStringList headers{
            QStringLiteral("日付"),     QStringLiteral("時間"),     QStringLiteral("問数"),
            QStringLiteral("ＯＫ"),     QStringLiteral("ＮＧ"),     QStringLiteral("正解率"),
            QStringLiteral("秒当たり"), QStringLiteral("表示秒数"), QStringLiteral("モード")};
        for (int c = 0; c < 9; ++c)
            QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), headers[c]);
        QCOMPARE(grid->CornerText(), QStringLiteral("回"));
        QCOMPARE(model->headerData(39, Qt::Vertical).toString(), QStringLiteral("40"));
        const int widths[] = {93, 67, 40, 40, 40, 60, 67, 68, 47};
        for (int c = 0; c < 9; ++c) QCOMPARE(grid->columnWidth(c), widths[c]);
        QCOMPARE(grid->verticalHeader()->width(), 40);
        const auto align = [&](int c) {
            return Qt::Alignment(model->data(model->index(0, c), Qt::TextAlignmentRole).toInt()) &
                   Qt::AlignHorizontal_Mask;
        };
        QCOMPARE(align(0), Qt::AlignHCenter);
        QCOMPARE(align(2), Qt::AlignRight);
        QCOMPARE(align(8), Qt::AlignHCenter);
        QCOMPARE(model->data(model->index(39, 8)).toString(), QStringLiteral("＋"));
        // The newest row is in view.
        const int last = model->rowCount() - 1;
        QVERIFY(grid->rowAt(0) <= last);
        QVERIFY(grid->rowAt(grid->viewport()->height() - 1) == last ||
                grid->rowAt(grid->viewport()->height() - 1) == -1);
        QVERIFY(grid->verticalScrollBar()->value() > 0);
    }

    // The grid scrolls in whole rows: the row under the header is never cut, neither after
    // the start-up scroll to the newest row nor after a save adds one.
    void theTopRowIsAlwaysWhole() {
        for (const int records : {8, 40, 10050}) {
            Program p;
            WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
            WriteBytes(p.Path(QStringLiteral("履歴.txt")), Record(1).repeated(records));
            FrmMain& w = p.Start();
            HistoryGrid* grid = w.msgRireki;
            const auto topWholeAndNewestShown = [grid, model = grid->model()] {
                QCoreApplication::processEvents();
                const QRect top = grid->visualRect(model->index(grid->rowAt(0), 0));
                const QRect newest = grid->visualRect(model->index(model->rowCount() - 1, 0));
                return top.isValid() && top.top() == 0 && newest.top() >= 0 &&
                       newest.bottom() < grid->viewport()->height();
            };
            QVERIFY2(topWholeAndNewestShown(), qPrintable(QString::number(records)));
            // A round closed with auto-save on.
            QTest::keyClick(w.cmdStart, Qt::Key_Return);
            for (int k = 0; k < 3; ++k) w.drill().tmrStart_Timer();
            p.clock.now += 10;
            w.drill().tmrBp_Timer();
            QTest::keyClicks(QApplication::focusWidget(), QString::number(Expected(w, 1)));
            QCOMPARE(grid->model()->rowCount(), records + 1);
            QVERIFY2(topWholeAndNewestShown(), qPrintable(QString::number(records)));
        }
    }

    // Five-digit row numbers (the history holds up to 32 766 rows) fit the row-number column
    // whatever size the grid's font comes out in pixels; the laid-out width is the least.
    void rowNumbersFitFiveDigitsWhateverTheFontSize() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "60,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        QHeaderView* numbers = w.msgRireki->verticalHeader();
        for (const double points : {9.0, 13.5, 27.0}) {
            w.msgRireki->setFont(GothicFont(points));
            const QFontMetricsF metrics(numbers->font());
            QVERIFY(metrics.horizontalAdvance(QStringLiteral("32766")) + 1 <= numbers->width());
        }
        w.msgRireki->setFont(GothicFont(9));
        QCOMPARE(numbers->width(), 40);
    }

    // Centred by the frame, title bar included, not by the client area.
    void theWindowOpensWithItsFrameCentred() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "60,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        const QPoint off =
            w.window()->frameGeometry().center() - w.screen()->availableGeometry().center();
        QVERIFY(std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1);
        // A title bar of 20 pixels puts the client area 10 pixels below the middle.
        QCOMPARE(CentredFramePosition({0, 0, 1280, 1024}, {631, 452}, {1, 20, 1, 1}),
                 QPoint(323, 275));
    }

    // A box that opens during start-up shows the window behind it as start-up leaves it, not
    // with the layout's sample digits and results.
    void aStartUpBoxShowsNoSampleDigitsBehindIt() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "abc\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), Record(1) + "broken\r\n");
        QStringList seen;  // what the window showed while each box was open
        std::function<void()> poll = [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                FrmMain& w = p.shell->window();
                QString shown;
                for (int j = 1; j <= kDigitCount; ++j) shown += w.lblMondai[j]->text();
                for (int i = 1; i <= kBoxCount; ++i)
                    if (w.txtKaitou[i]->isVisibleTo(&w)) shown += w.txtKaitou[i]->text();
                for (QLabel* label : {w.lblOk, w.lblNg, w.lblRitu, w.lblByou})
                    shown += label->text();
                seen << shown;
                box->accept();
            }
            if (seen.size() < 2) QTimer::singleShot(5, poll);
        };
        QTimer::singleShot(0, poll);
        p.Start();
        QTRY_COMPARE(seen, QStringList({QString(), QString()}));
    }

    void typedTimeLimitChangesNothingButAPickDoes() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "60,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        w.cboJikan->lineEdit()->clear();
        QTest::keyClicks(w.cboJikan->lineEdit(), QStringLiteral("25"));
        QCOMPARE(w.state().intJikan, 60);
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("設定.txt"))), QByteArray("60,1\r\n"));
        // Down steps through the list from the entry of the stored limit: each step is a pick.
        w.cboJikan->setEditText(QStringLiteral("60"));
        for (int k = 0; k < 3; ++k) QTest::keyClick(w.cboJikan->lineEdit(), Qt::Key_Down);
        QCOMPARE(w.state().intJikan, 90);
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("設定.txt"))), QByteArray("90,1\r\n"));
        QTest::mouseClick(w.chkAs, Qt::LeftButton);
        QCOMPARE(w.state().intAs, 0);
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("設定.txt"))), QByteArray("90,0\r\n"));
    }

    void aBadSettingsFileIsReportedAndTheProgramRuns() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "abc\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), Record(1) + "broken\r\n");
        BoxAnswerer answerer;
        answerer.Arm(2);
        FrmMain& w = p.Start();
        QTRY_COMPARE(answerer.texts.size(), 2);
        QVERIFY(answerer.texts.join(QString()).contains(QStringLiteral("設定.txt")));
        QVERIFY(answerer.texts.join(QString()).contains(QStringLiteral("履歴.txt")));
        QCOMPARE(w.state().intJikan, 60);
        QCOMPARE(w.msgRireki->model()->rowCount(), 1);
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("設定.txt"))), QByteArray("abc\r\n"));
    }

    void clearAsksFirstThenEmptiesGridAndFile() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "60,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), Record(1) + Record(2));
        FrmMain& w = p.Start();
        BoxAnswerer cancel;
        cancel.answer = QMessageBox::Cancel;
        cancel.Arm(1);
        QTest::mouseClick(w.cmdClear, Qt::LeftButton);
        QCOMPARE(cancel.texts,
                 QStringList{QStringLiteral("履歴データをクリアします。よろしいですか？")});
        QCOMPARE(w.msgRireki->model()->rowCount(), 2);
        BoxAnswerer ok;
        ok.Arm(2);
        QTest::mouseClick(w.cmdClear, Qt::LeftButton);
        QCOMPARE(ok.texts.size(), 2);
        QCOMPARE(ok.texts[1], QStringLiteral("履歴データをクリアしました"));
        QCOMPARE(w.msgRireki->model()->rowCount(), 0);
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("履歴.txt"))), QByteArray());
    }

    void helpOpensBesideTheWindowAndExitClosesIt() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "60,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        QVERIFY(QFile::copy(QStringLiteral(HELP_CHM), p.Path(QStringLiteral("VexoHelp.chm"))));
        FrmMain& w = p.Start();
        const auto helpWindows = [&w] {
            int n = 0;
            for (QWidget* top : QApplication::topLevelWidgets())
                n += top != &w && top->parentWidget() == &w && top->isVisible() &&
                     !qobject_cast<QMessageBox*>(top);
            return n;
        };
        QTest::mouseClick(w.cmdHelp, Qt::LeftButton);
        QCOMPARE(helpWindows(), 1);
        QCOMPARE(p.quits, 0);
        QTest::mouseClick(w.cmdEnd, Qt::LeftButton);
        QCOMPARE(helpWindows(), 0);
        QCOMPARE(p.quits, 1);
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("設定.txt"))), QByteArray("60,1\r\n"));
    }
};

}  // namespace keta::test

QTEST_MAIN(keta::test::FrmMainTest)
#include "frm_main_test.moc"
