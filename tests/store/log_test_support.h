#pragma once
// Rounds to write and a plain second connection to the log, for the answer log's tests.

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <string>

#include "round_record.h"

namespace keta::test {

using analysis::AnswerRecord;
using analysis::RoundRecord;

// A round of `answers` answers, every fifth wrong, 350 ms apart.
inline RoundRecord MakeRound(int answers, const std::string& mode = "＋", int limit = 60) {
    RoundRecord r;
    r.startedAt = "2026-01-02T10:00:00";
    r.timeLimit = limit;
    r.modeText = mode;
    for (int k = 0; k < answers; ++k) {
        AnswerRecord a;
        a.ms = 350 * k;
        a.box = k % 14 + 1;
        a.left = k % 10;
        a.right = (k * 7) % 10;
        a.expected = (a.left + a.right) % 10;
        a.correct = k % 5 != 0;
        a.typed = std::to_string(a.correct ? a.expected : (a.expected + 1) % 10);
        r.events.push_back(a);
        ++(a.correct ? r.correct : r.wrong);
    }
    r.answers = answers;
    return r;
}

// A second, plain connection to look at the file as any other program would.
struct Peek {
    explicit Peek(const QString& path) : name(QStringLiteral("peek-%1").arg(++serial)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
    }
    ~Peek() {
        QSqlDatabase::database(name).close();
        QSqlDatabase::removeDatabase(name);
    }
    QVariant One(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(name));
        if (!q.exec(sql) || !q.next()) return {};
        return q.value(0);
    }
    bool Exec(const QString& sql) { return QSqlQuery(QSqlDatabase::database(name)).exec(sql); }
    QString name;
    static inline int serial = 0;
};

}  // namespace keta::test
