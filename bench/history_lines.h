#pragma once
// Saved results as the program writes them, for the benchmarks that load or start with a history.

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "qt_text.h"

namespace keta {

// The longest history the program has ever been able to hold.
constexpr int kLongestHistory = 32766;

// `count` records of varied content, as the program writes them.
inline QByteArray History(int count) {
    QByteArray bytes;
    QDateTime t(QDate(2004, 5, 1), QTime(13, 5, 9));
    for (int i = 0; i < count; ++i) {
        const int monsu = 20 + i % 180, ok = monsu - i % 7, ng = monsu - ok;
        const QString line =
            QStringLiteral("\"%1\",\"%2\",%3,%4,%5,\"%6%\",\"%7/秒\",\"%8秒\",\"%9\"\r\n")
                .arg(t.toString(QStringLiteral("yyyy/MM/dd")),
                     t.toString(QStringLiteral("HH:mm:ss")))
                .arg(monsu)
                .arg(ok)
                .arg(ng)
                .arg(100.0 * ok / monsu, 0, 'f', 1)
                .arg(ok / 60.0, 0, 'f', 2)
                .arg(60)
                .arg(i % 2 ? QStringLiteral("－") : QStringLiteral("＋"));
        bytes += Cp932Bytes(line).value();
        t = t.addSecs(3607);
    }
    return bytes;
}

inline QString WriteHistory(const QTemporaryDir& dir, int count) {
    const QString path = dir.filePath(QStringLiteral("履歴.txt"));
    QFile f(path);
    (void)f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(History(count));
    return path;
}

}  // namespace keta
