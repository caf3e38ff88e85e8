// What a person at the keyboard and the mouse meets beyond a round: picking the time limit,
// Tab through the window, clicks on answer boxes, the input method, and how the grid and the
// top strip are drawn.

#include <QAbstractItemView>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <functional>

#include "fonts.h"
#include "history_grid.h"
#include "translations.h"
#include "ui_fixture.h"

namespace keta::test {

class KeyboardMouseTest : public QObject {
    Q_OBJECT

private:
    static QByteArray Settings(Program& p) { return ReadBytes(p.Path(QStringLiteral("設定.txt"))); }
    static FrmMain& StartWith(Program& p, const QByteArray& settings,
                              const QByteArray& history = {}) {
        WriteBytes(p.Path(QStringLiteral("設定.txt")), settings);
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), history);
        return p.Start();
    }
    // `n` saved results, as the program writes them.
    static QByteArray Records(int n) {
        return QByteArray(
                   "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/\x95\x62\","
                   "\"60\x95\x62\",\"\x81\x7B\"\r\n")
            .repeated(n);
    }
    static void Wheel(QWidget* target, int angle) {
        const QPointF at(target->rect().center());
        QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    }
    static void TypeInto(QComboBox* combo, const QString& text) {
        combo->lineEdit()->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), text);
    }

private slots:
    void onlyAPickFromTheListSetsTheTimeLimit_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("limit");  // what intJikan and the file hold afterwards
        QTest::newRow("typed 120, then Tab") << "type120tab" << 60;
        QTest::newRow("typed 90, then Enter") << "type90enter" << 60;
        QTest::newRow("Down steps from the shown limit") << "down" << 70;
        QTest::newRow("Up steps from the shown limit") << "up" << 50;
        QTest::newRow("the wheel steps from the shown limit") << "wheel" << 70;
        QTest::newRow("an entry chosen in the opened list") << "popup" << 120;
    }
    void onlyAPickFromTheListSetsTheTimeLimit() {
        QFETCH(QString, how);
        QFETCH(int, limit);
        Program p;
        FrmMain& w = StartWith(p, "60,1\r\n");
        auto* combo = w.cboJikan;
        if (how == QLatin1String("type120tab")) {
            TypeInto(combo, QStringLiteral("120"));
            QTest::keyClick(combo->lineEdit(), Qt::Key_Tab);
        } else if (how == QLatin1String("type90enter")) {
            TypeInto(combo, QStringLiteral("90"));
            QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        } else if (how == QLatin1String("down") || how == QLatin1String("up")) {
            combo->lineEdit()->setFocus();
            QTest::keyClick(QApplication::focusWidget(),
                            how == QLatin1String("down") ? Qt::Key_Down : Qt::Key_Up);
        } else if (how == QLatin1String("wheel")) {
            Wheel(combo, -120);
        } else {
            combo->showPopup();
            QAbstractItemView* list = combo->view();
            QTRY_VERIFY(list->isVisible());
            QCOMPARE(list->currentIndex().row(), 5);  // the list opens on the shown limit
            for (int k = 0; k < 6; ++k) QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
            QTRY_VERIFY(!list->isVisible());
        }
        QCOMPARE(int(w.state().intJikan), limit);
        QCOMPARE(Settings(p), QByteArray::number(limit) + ",1\r\n");
    }

    void aLimitOutsideTheListIsTextOnlyAndDownPicksTheFirstEntry() {
        Program p;
        FrmMain& w = StartWith(p, "25,0\r\n");
        QCOMPARE(w.cboJikan->currentText(), QStringLiteral("25"));
        QCOMPARE(w.cboJikan->currentIndex(), -1);
        QCOMPARE(Settings(p), QByteArray("25,0\r\n"));  // showing it was no pick
        w.cboJikan->lineEdit()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(int(w.state().intJikan), 10);
        QCOMPARE(Settings(p), QByteArray("10,0\r\n"));
    }

    void tabLeavesTheHistoryGridForTheStartButton() {
        Program p;
        const QByteArray history = Records(3);
        FrmMain& w = StartWith(p, "60,1\r\n", history);
        w.msgRireki->setFocus();
        w.msgRireki->setCurrentIndex(w.msgRireki->model()->index(0, 0));
        QTest::keyClick(w.msgRireki, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.cmdStart);
        // The arrow keys still move between the cells.
        w.msgRireki->setFocus();
        QTest::keyClick(w.msgRireki, Qt::Key_Right);
        QCOMPARE(w.msgRireki->currentIndex().column(), 1);
    }

    void aBoxIsEmptiedByAClickNotByThePress() {
        Program p;
        FrmMain& w = StartWith(p, "10,0\r\n");
        QTest::mouseClick(w.cmdStart, Qt::LeftButton);
        for (int k = 0; k < 3; ++k) w.drill().tmrStart_Timer();
        QLineEdit* box = w.txtKaitou[1];
        QTest::keyClicks(box, QStringLiteral("7"));
        p.clock.now += 10;
        w.drill().tmrBp_Timer();  // time is up: the next change of a box closes the round

        // Pressed in box 1, released in box 2: no click anywhere.
        QTest::mousePress(box, Qt::LeftButton, {}, box->rect().center());
        QTest::mouseRelease(box, Qt::LeftButton, {},
                            box->mapFrom(w.Frame1, w.txtKaitou[2]->geometry().center()));
        QCOMPARE(box->text(), QStringLiteral("7"));
        QCOMPARE(w.state().blnOwari, False);
        // The right button is no click either.
        QTest::mouseClick(box, Qt::RightButton);
        QCOMPARE(box->text(), QStringLiteral("7"));
        // Pressed and released inside: the box is emptied, and the round closes.
        QTest::mousePress(box, Qt::LeftButton);
        QCOMPARE(box->text(), QStringLiteral("7"));
        QTest::mouseRelease(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
        QCOMPARE(w.state().blnOwari, True);
        QCOMPARE(w.state().intMonsu, 1);
    }

    void enteringABoxSwitchesTheInputMethodOffButTheUserMaySwitchItOn() {
        Program p;
        FrmMain& w = StartWith(p, "60,0\r\n");
        for (int i = 1; i <= kBoxCount; ++i) w.txtKaitou[i]->show();
        QLineEdit* box = w.txtKaitou[3];
        box->setFocus();
        QVERIFY(!box->testAttribute(Qt::WA_InputMethodEnabled));
        // The 半角/全角 key; QTest has no text for it, so the event is made by hand.
        QKeyEvent toggle(QEvent::KeyPress, Qt::Key_Zenkaku_Hankaku, Qt::NoModifier);
        QApplication::sendEvent(box, &toggle);
        QVERIFY(box->testAttribute(Qt::WA_InputMethodEnabled));
        QTest::keyClick(box, Qt::Key_Tab);
        box->setFocus();
        QVERIFY(!box->testAttribute(Qt::WA_InputMethodEnabled));
        QTest::keyClicks(box, QStringLiteral("5"));
        QCOMPARE(box->text(), QStringLiteral("5"));
    }

    void theGridIsGreyBelowItsRowNumbers() {
        Program p;
        FrmMain& w = StartWith(p, "60,1\r\n", Records(1));
        HistoryGrid* grid = w.msgRireki;
        const QImage shot = grid->grab().toImage();
        const QHeaderView* rowNumbers = grid->verticalHeader();
        const QPoint belowNumbers = rowNumbers->mapTo(
            grid, QPoint(rowNumbers->width() / 2, rowNumbers->sectionSize(0) + 10));
        const QPoint besideCells(grid->width() - 30,
                                 rowNumbers->mapTo(grid, QPoint(0, 0)).y() + 40);
        const qreal dpr = shot.devicePixelRatio();
        QCOMPARE(shot.pixelColor(belowNumbers * dpr), QColor(128, 128, 128));
        QCOMPARE(shot.pixelColor(besideCells * dpr), QColor(128, 128, 128));
    }

    void gridRowsFollowTheGridsFontNotTheDesktops() {
        const QFont desktop = QApplication::font();
        QFont large = desktop;
        large.setPointSizeF(20);
        QApplication::setFont(large);
        Program p;
        const QByteArray history = Records(6);
        FrmMain& w = StartWith(p, "60,1\r\n", history);
        QApplication::setFont(desktop);
        HistoryGrid* grid = w.msgRireki;
        QCOMPARE(grid->rowHeight(0), QFontMetrics(GothicFont(9)).height() + 4);
        // Six records fit without scrolling, as the scroll rule expects.
        QVERIFY(grid->rowAt(grid->viewport()->height() - 1) == -1 ||
                grid->rowAt(grid->viewport()->height() - 1) == 5);
        QCOMPARE(grid->rowAt(0), 0);
    }

    // However the grid is scrolled, by keys or by the wheel, the row under the header is whole.
    void scrollingTheGridKeepsTheTopRowWhole() {
        Program p;
        FrmMain& w = StartWith(p, "60,1\r\n", Records(40));
        HistoryGrid* grid = w.msgRireki;
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 0));
        const std::pair<const char*, std::function<void()>> steps[] = {
            {"Ctrl+End", [&] { QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier); }},
            {"Page Up", [&] { QTest::keyClick(grid, Qt::Key_PageUp); }},
            {"Ctrl+Home", [&] { QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier); }},
            {"the wheel to the end",
             [&] {
                 for (int k = 0; k < 20; ++k) Wheel(grid->viewport(), -120);
             }},
        };
        for (const auto& [what, act] : steps) {
            act();
            const QRect top = grid->visualRect(grid->model()->index(grid->rowAt(0), 0));
            QVERIFY2(top.isValid() && top.top() == 0, what);
        }
    }

    void earlierTopButtonsLieInFront() {
        Program p;
        FrmMain& w = StartWith(p, "60,1\r\n");
        // Each button overlaps the next one by a pixel; the one further right lies in front.
        const QList<QToolButton*> strip{w.cmdStart, w.cmdHozon, w.cmdClear, w.cmdHelp, w.cmdEnd};
        for (qsizetype k = 1; k < strip.size(); ++k) {
            const QRect shared = strip[k - 1]->geometry() & strip[k]->geometry();
            QVERIFY(!shared.isEmpty());
            QCOMPARE(w.childAt(shared.center()), strip[k]);
        }
    }

    void bothTimersArePrecise() {
        Program p;
        FrmMain& w = StartWith(p, "60,1\r\n");
        for (QTimer* timer : {w.tmrStart, w.tmrBp}) {
            QCOMPARE(timer->timerType(), Qt::PreciseTimer);
            QCOMPARE(timer->interval(), 1000);
        }
    }

    void standardButtonsReadInJapanese() {
        QVERIFY(InstallQtTranslations(*qApp));
        QMessageBox box(QMessageBox::Warning, QStringLiteral("クリア確認"), QStringLiteral("?"),
                        QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
    }
};

}  // namespace keta::test

QTEST_MAIN(keta::test::KeyboardMouseTest)
#include "keyboard_mouse_test.moc"
