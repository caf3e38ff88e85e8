// Without the windows' module (run with KETATOBI_WINDOWS_MODULE naming a missing file): the
// person is told what is missing when a window beyond the main one is asked for, and the drill
// goes on as before.

#include <QMenu>

#include "frm_main.h"
#include "main_frame.h"
#include "ui_fixture.h"

namespace keta::test {

class WindowModuleTest : public QObject {
    Q_OBJECT

private slots:
    void MissingModuleIsToldAndTheDrillStillWorks() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        FrmMain& w = p.Start();
        MainFrame& frame = p.shell->frame();
        const QWidgetList before = QApplication::topLevelWidgets();

        // 記録 → 上達の記録 by keys, then F1.
        BoxAnswerer boxes;
        boxes.Arm(1);
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(frame.windowHandle(), Qt::Key_R, Qt::AltModifier);
        QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr);
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_P);
        QTRY_COMPARE(boxes.texts.size(), 1);
        boxes.Arm(1);
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(frame.windowHandle(), Qt::Key_F1);
        QTRY_COMPARE(boxes.texts.size(), 2);
        for (const QString& text : boxes.texts) {
            QVERIFY2(text.contains(QStringLiteral("ketatobi_windows.so")) &&
                         text.contains(QStringLiteral("入れ直して")) &&
                         text.contains(qEnvironmentVariable("KETATOBI_WINDOWS_MODULE")),
                     qPrintable(text));
        }
        for (QWidget* t : QApplication::topLevelWidgets()) {
            QVERIFY(before.contains(t) || !t->isVisible());
        }

        // A round as before: the lights, then the first answer scored.
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(w.cmdStart, Qt::Key_Return);
        for (int k = 0; k < 3; ++k) w.drill().tmrStart_Timer();
        QCOMPARE(QApplication::focusWidget(), w.txtKaitou[1]);
        const int sum = w.lblMondai[1]->text().toInt() + w.lblMondai[2]->text().toInt();
        QTest::keyClicks(QApplication::focusWidget(), QString::number(sum % 10));
        QCOMPARE(w.lblOk->text(), QStringLiteral("1"));
        // And the program ends without the module.
        QTest::mouseClick(w.cmdEnd, Qt::LeftButton);
        QCOMPARE(p.quits, 1);
    }
};

}  // namespace keta::test

QTEST_MAIN(keta::test::WindowModuleTest)
#include "window_module_test.moc"
