#pragma once
// What the file-reader fuzz targets share: message boxes that only count, and whole-file
// reading and writing that checks every step.

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include "fuzz_check.h"
#include "message_boxes.h"

namespace fuzz {

class CountingBoxes : public keta::MessageBoxes {
public:
    Answer AskOkCancelWarning(const QString&, const QString&) override {
        ++asked;
        return Answer::Cancel;
    }
    void InformOk(const QString&, const QString&) override { ++informed; }
    void ReportError(const QString&, const QString&) override { ++errors; }

    int asked = 0;
    int informed = 0;
    int errors = 0;
};

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

inline void WriteAll(const QString& path, QByteArrayView bytes) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes.data(), bytes.size()) == bytes.size());
}

}  // namespace fuzz
