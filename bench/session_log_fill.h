#pragma once
// A log holding many finished practice sessions, written straight through SQL in one
// transaction (the recorder's commit per line would make the set-up take minutes), for the
// benchmarks that read sessions back.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <string>

#include "answer_log.h"
#include "practice_session.h"

namespace keta::bench {

inline constexpr int kFilledSessions = 500, kLinesPerHalf = 15, kAnswersPerLine = 40;

// Line `line` of half `half`: forty right answers, 1.4 s apart.
inline LineResult FilledLine(int half, int line) {
    LineResult r{half, line, false, 0, {}};
    for (int k = 0; k < kAnswersPerLine; ++k) {
        const int left = k % 10, right = (k * 3 + line) % 10;
        r.answers.push_back({1400 * (k + 1), k % 14 + 1, left, right,
                             std::to_string((left + right) % 10), (left + right) % 10, true});
    }
    return r;
}

// kFilledSessions finished sessions of 2 × kLinesPerHalf lines in the log at `path`.
inline bool FillSessionLog(const QString& path) {
    if (!AnswerLog(path).Open()) return false;
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fill");
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        ok = ok && q.exec(QStringLiteral("BEGIN"));
        QSqlQuery line(db), answer(db);
        line.prepare(QStringLiteral("INSERT INTO session_lines VALUES (?, ?, ?, 0, ?, 0)"));
        answer.prepare(
            QStringLiteral("INSERT INTO session_answers VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1)"));
        for (int s = 1; ok && s <= kFilledSessions; ++s) {
            ok = q.exec(QStringLiteral("INSERT INTO sessions VALUES (%1, '2026-01-01T09:00:00',"
                                       " 60, 15, 15, 5, 0, 0, 0, 'finished')")
                            .arg(s));
            for (int half = 1; ok && half <= 2; ++half) {
                for (int l = 1; ok && l <= kLinesPerHalf; ++l) {
                    const LineResult r = FilledLine(half, l);
                    for (const int v : {s, half, l, r.Answers()}) line.addBindValue(v);
                    ok = line.exec();
                    int seq = 0;
                    for (const LineAnswer& a : r.answers) {
                        for (const QVariant& v :
                             {QVariant(s), QVariant(half), QVariant(l), QVariant(++seq),
                              QVariant(qlonglong{a.ms}), QVariant(a.box), QVariant(a.left),
                              QVariant(a.right), QVariant(QString::fromStdString(a.typed)),
                              QVariant(a.expected)})
                            answer.addBindValue(v);
                        ok = ok && answer.exec();
                    }
                }
            }
        }
        ok = ok && q.exec(QStringLiteral("COMMIT"));
    }
    QSqlDatabase::removeDatabase("fill");
    return ok;
}

}  // namespace keta::bench
