// The answer log behind the real window: rounds typed through the widgets land in the log with
// every answer, the data files stay exactly as the drill writes them, and a log that cannot be
// used costs one warning and nothing else.

#include <QDir>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <functional>
#include <memory>

#include "answer_log.h"
#include "qt_text.h"
#include "ui_fixture.h"

namespace keta::test {

// Answers every message box that opens while alive, noting its text and icon; `seen` runs
// first, while the box is open.
struct BoxWatcher {
    QStringList texts;
    QList<QMessageBox::Icon> icons;
    std::function<void()> seen;
    QTimer timer;
    BoxWatcher() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                if (seen) seen();
                texts << box->text();
                icons << box->icon();
                box->accept();
            }
        });
        timer.start(5);
    }
};

// Another program's connection to the log, holding its write lock while alive.
struct OtherProgramLock {
    QString name = QStringLiteral("other-program");
    explicit OtherProgramLock(const QString& path) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE")));
    }
    void Release() {
        if (!QSqlDatabase::contains(name)) return;
        {
            QSqlDatabase db = QSqlDatabase::database(name);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    ~OtherProgramLock() { Release(); }
};

class AnswerLogWindowTest : public QObject {
    Q_OBJECT

private:
    static int Expected(FrmMain& w, int i) {
        const int a = w.lblMondai[i]->text().toInt(), b = w.lblMondai[i + 1]->text().toInt();
        return (a + b) % 10;
    }
    // Into the box itself: after a message box the window may not be active again, and then
    // no widget has the focus.
    static void Type(FrmMain& w, int box, int digit) {
        QTest::keyClicks(w.txtKaitou[box], QString::number(digit));
    }
    // A round of the given answers (true: right) and one click that empties box 2, closed by
    // a right answer after the time is up.
    static void PlayRound(Program& p, FrmMain& w, const std::vector<bool>& answers) {
        QTest::mouseClick(w.cmdStart, Qt::LeftButton);
        for (int k = 0; k < 3; ++k) w.drill().tmrStart_Timer();
        int box = 1;
        for (bool right : answers) {
            Type(w, box, right ? Expected(w, box) : (Expected(w, box) + 1) % 10);
            ++box;
        }
        QTest::mouseClick(w.txtKaitou[2], Qt::LeftButton);
        p.clock.now += w.state().intJikan;
        w.drill().tmrBp_Timer();
        Type(w, box, Expected(w, box));
    }
    static QStringList Files(const Program& p) {
        return QDir(p.dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }

private slots:
    void twoRoundsOneSavedLandInTheLogAndTheFilesStayAsTheyWere() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        FrmMain& w = p.Start();
        BoxWatcher boxes;

        PlayRound(p, w, {true, false, true});        // saved by auto-save: 4 answers, 3 right
        QTest::mouseClick(w.chkAs, Qt::LeftButton);  // auto-save off
        PlayRound(p, w, {false, true});              // not saved
        QCOMPARE(w.state().intMonsu, 3);

        // Written on the log's own thread, a moment after each close.
        const auto logged = [&p] {
            return AnswerLog(p.Path(AnswerLog::FileName()), nullptr, 2000,
                             AnswerLog::Access::ReadOnly)
                .LoadAllRounds()
                .size();
        };
        QTRY_COMPARE(logged(), std::size_t{2});
        AnswerLog log(p.Path(AnswerLog::FileName()));
        const std::vector<analysis::RoundRecord> rounds = log.LoadAllRounds();
        const analysis::RoundRecord& first = rounds[0];
        QCOMPARE(std::tie(first.answers, first.correct, first.wrong, first.timeLimit),
                 std::make_tuple(4, 3, 1, 10));
        QCOMPARE(QString::fromStdString(first.modeText), QStringLiteral("＋"));
        QCOMPARE(first.events.size(), std::size_t{5});  // four answers and the click
        QVERIFY(first.events[0].correct && !first.events[1].correct && first.events[2].correct);
        QVERIFY(first.events[3].cleared && first.events[3].box == 2);
        QCOMPARE(first.events[4].box, 4);
        QVERIFY(first.events[4].correct);
        for (const analysis::AnswerRecord& a : first.events) {
            if (a.cleared) continue;
            QCOMPARE(a.expected, (a.left + a.right) % 10);
            QCOMPARE(a.typed, std::to_string(a.correct ? a.expected : (a.expected + 1) % 10));
        }
        const std::vector<SaveStamp> saves = log.SavesOf(first.id);
        QCOMPARE(saves.size(), std::size_t{1});
        QVERIFY(log.SavesOf(rounds[1].id).empty());
        QCOMPARE(std::tie(rounds[1].answers, rounds[1].correct, rounds[1].wrong),
                 std::make_tuple(3, 2, 1));
        QCOMPARE(rounds[1].events.size(), std::size_t{4});
        const auto found = log.FindRoundBySave(saves[0].date, saves[0].time, 4, 3, 1);
        QVERIFY(found);
        QCOMPARE(found->id, first.id);

        // The history holds exactly the line the drill writes, stamped as the log says.
        const QByteArray expected =
            Cp932Bytes(QStringLiteral("\"%1\",\"%2\",4,3,1,\"75.0%\",\"0.30/秒\",\"10秒\","
                                      "\"＋\"\r\n")
                           .arg(saves[0].date, saves[0].time))
                .value();
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("履歴.txt"))), expected);
        QCOMPARE(ReadBytes(p.Path(QStringLiteral("設定.txt"))), QByteArray("10,0\r\n"));
        for (const QString& name : Files(p)) {
            QVERIFY2(name == QStringLiteral("設定.txt") || name == QStringLiteral("履歴.txt") ||
                         name.startsWith(AnswerLog::FileName()),
                     qPrintable(name));
        }
        QVERIFY(boxes.texts.isEmpty());
    }

    void aLogThatCannotBeOpenedWarnsOnceAndTheDrillGoesOn() {
        BoxWatcher boxes;  // outlives the program, whose end says what the log did not get
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        QVERIFY(QDir(p.dir.path()).mkdir(AnswerLog::FileName()));
        FrmMain& w = p.Start();  // the warning may come while the window is still opening

        // Told at the first look, before a round is at stake.
        QTRY_COMPARE(boxes.texts.size(), 1);
        QCOMPARE(boxes.icons[0], QMessageBox::Warning);
        QVERIFY2(boxes.texts[0].contains(QStringLiteral("フォルダー")), qPrintable(boxes.texts[0]));
        PlayRound(p, w, {true, true});
        PlayRound(p, w, {true});
        QTest::qWait(50);
        QCOMPARE(boxes.texts.size(), 1);  // quiet after the first time

        // Both rounds saved as always; the drill is closed and ready for the next round.
        const QByteArray history = ReadBytes(p.Path(QStringLiteral("履歴.txt")));
        QCOMPARE(history.count("\r\n"), 2);
        QVERIFY(history.contains(",3,3,0,\"100.0%\",\"0.30/\x95\x62\""));
        QVERIFY(history.contains(",2,2,0,\"100.0%\",\"0.20/\x95\x62\""));
        QVERIFY(w.cmdStart->isEnabled());
        QCOMPARE(w.state().blnOwari, True);
        QVERIFY(QFileInfo(p.Path(AnswerLog::FileName())).isDir());
        // The end of the run counts the rounds the log never took.
        p.shell.reset();
        QCOMPARE(boxes.texts.size(), 2);
        QVERIFY2(boxes.texts[1].contains(QStringLiteral("2 回分の解答")),
                 qPrintable(boxes.texts[1]));
    }

    // The close's own steps come first: the warning about the lock opens after the start
    // button is back, the rate is shown and the result is in the history; the round is kept
    // and written once the lock is gone.
    void aLockedLogWarnsAfterTheCloseAndKeepsTheRound() {
        Program p;
        WriteBytes(p.Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p.Path(QStringLiteral("履歴.txt")), "");
        const QString logPath = p.Path(AnswerLog::FileName());
        {
            AnswerLog seed(logPath);
            analysis::RoundRecord r;
            r.startedAt = "2026-01-02T10:00:00";
            r.timeLimit = 10;
            r.modeText = "＋";
            QCOMPARE(seed.WriteRound(r), AnswerLog::WriteResult::Written);
        }
        OtherProgramLock lock(logPath);
        FrmMain& w = p.Start();
        BoxWatcher boxes;
        struct Seen {
            bool startEnabled;
            QString rate;
            int historyLines;
        };
        QList<Seen> seen;
        boxes.seen = [&] {
            seen.push_back(
                {w.cmdStart->isEnabled(), w.lblByou->text(),
                 static_cast<int>(ReadBytes(p.Path(QStringLiteral("履歴.txt"))).count("\r\n"))});
        };

        PlayRound(p, w, {true, true});
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, 10000);
        QVERIFY(seen[0].startEnabled);
        QCOMPARE(seen[0].rate, QStringLiteral("0.30/秒"));
        QCOMPARE(seen[0].historyLines, 1);
        QCOMPARE(boxes.icons[0], QMessageBox::Warning);
        QVERIFY2(boxes.texts[0].contains(QStringLiteral("書き込めるようになりしだい")),
                 qPrintable(boxes.texts[0]));

        // Written once the lock is gone, without waiting for another round.
        lock.Release();
        const auto rounds = [&] {
            return AnswerLog(logPath, nullptr, 2000, AnswerLog::Access::ReadOnly)
                .LoadAllRounds()
                .size();
        };
        QTRY_COMPARE_WITH_TIMEOUT(rounds(), std::size_t{2}, 10000);
        PlayRound(p, w, {true});
        QTRY_COMPARE_WITH_TIMEOUT(rounds(), std::size_t{3}, 10000);
        QCOMPARE(boxes.texts.size(), 1);
    }

    // Closing the program while the lock still holds: the rounds are kept beside the log, the
    // user is told how many and where, and the next start writes them.
    void roundsStillUnwrittenAtTheEndAreCounted() {
        BoxWatcher boxes;  // outlives the window, whose end shows the last warning
        auto p = std::make_unique<Program>();
        WriteBytes(p->Path(QStringLiteral("設定.txt")), "10,1\r\n");
        WriteBytes(p->Path(QStringLiteral("履歴.txt")), "");
        const QString logPath = p->Path(AnswerLog::FileName());
        { AnswerLog(logPath).Open(); }
        OtherProgramLock lock(logPath);
        FrmMain& w = p->Start();
        PlayRound(*p, w, {true});
        PlayRound(*p, w, {true, false});
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, 10000);  // the lock, once
        p->shell.reset();
        QCOMPARE(boxes.texts.size(), 2);
        QCOMPARE(boxes.icons[1], QMessageBox::Warning);
        QVERIFY2(boxes.texts[1].contains(QStringLiteral("2 回分の解答")) &&
                     boxes.texts[1].contains(QStringLiteral("を 解答ログ.db.pending-")),
                 qPrintable(boxes.texts[1]));
        lock.Release();
        QCOMPARE(QDir(p->dir.path()).entryList({QStringLiteral("*.pending-*")}).size(), 1);
        FrmMain& again = p->Start();
        const auto rounds = [&] {
            return AnswerLog(logPath, nullptr, 2000, AnswerLog::Access::ReadOnly)
                .LoadAllRounds()
                .size();
        };
        QTRY_COMPARE_WITH_TIMEOUT(rounds(), std::size_t{2}, 10000);
        QTRY_COMPARE(QDir(p->dir.path()).entryList({QStringLiteral("*.pending-*")}).size(), 0);
        QVERIFY(again.cmdStart->isEnabled());
        QCOMPARE(boxes.texts.size(), 2);
        p.reset();
    }
};

}  // namespace keta::test

QTEST_MAIN(keta::test::AnswerLogWindowTest)
#include "answer_log_window_test.moc"
