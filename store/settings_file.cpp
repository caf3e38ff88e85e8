#include "settings_file.h"

#include <QFile>
#include <QSaveFile>
#include <cmath>
#include <deque>
#include <optional>
#include <vector>

#include "cp932.h"
#include "number_text.h"
#include "record_line.h"

namespace keta {
namespace {

const QString kTitleRead = QStringLiteral("設定ファイルの読み込み");
const QString kTitleWrite = QStringLiteral("保存エラー");

struct StoredSettings {
    std::optional<std::int16_t> timeLimit;
    std::optional<std::int16_t> autoSave;
    bool wellFormed = false;
};

// The first two items of the file, over as many lines as that takes; blank lines are
// skipped and everything after the second item is ignored.
StoredSettings ParseSettings(QByteArrayView bytes) {
    StoredSettings stored;
    Cp932Decoder decoder;
    std::vector<RecordItem> items;
    std::deque<QString> lines;  // keeps the texts that the items point into
    std::vector<RecordItem> taken;
    LineReader reader(bytes);
    QByteArrayView raw;
    while (taken.size() < 2 && reader.Next(raw)) {
        if (IsBlankLine(raw)) continue;
        std::optional<QString> line = decoder.Decode(raw);
        if (!line) return stored;
        lines.push_back(std::move(*line));
        if (!SplitRecordLine(lines.back(), items)) return stored;
        for (const RecordItem& item : items) {
            if (taken.size() < 2) taken.push_back(item);
        }
    }
    if (!taken.empty()) {
        const auto limit = ReadInt16Item(taken[0], AfterNumber::MustEnd);
        // A limit below one second would make a round end at once and divide by zero.
        if (limit && *limit >= 1) stored.timeLimit = limit;
    }
    if (taken.size() >= 2) {
        stored.autoSave = ReadInt16Item(taken[1], AfterNumber::IgnoreTheRest);
    }
    stored.wellFormed = stored.timeLimit && stored.autoSave;
    return stored;
}

}  // namespace

SettingsFile::SettingsFile(DrillState& state, SettingsControls& controls, MessageBoxes& boxes,
                           QString path)
    : state_(state), controls_(controls), boxes_(boxes), path_(std::move(path)) {}

void SettingsFile::ReadSettei() {
    StoredSettings stored;
    QString problem;
    QFile file(path_);
    if (file.exists()) {
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
        if (!file.isOpen() || file.error() != QFileDevice::NoError) {
            problem = QStringLiteral("設定.txt を読み込めませんでした。");
        } else {
            stored = ParseSettings(bytes);
            if (!stored.wellFormed) problem = QStringLiteral("設定.txt の内容が正しくありません。");
        }
    }
    // A missing file is the first run: defaults without a word.
    state_.intJikan = stored.timeLimit.value_or(kDefaultTimeLimit);
    state_.intAs = stored.autoSave.value_or(kDefaultAutoSave);
    if (!problem.isEmpty()) {
        boxes_.ReportError(
            problem + QStringLiteral("使えない値の代わりに既定値（プレイ秒数 60 秒、"
                                     "自動保存オン）を使います。ファイルは、設定を変えた"
                                     "ときに正しい形で書き直します。"),
            kTitleRead);
    }
    keepFileAsItIs_ = !stored.wellFormed;
    controls_.SetAutoSaveState(state_.intAs);
    keepFileAsItIs_ = false;
}

bool SettingsFile::WriteSettei() {
    if (keepFileAsItIs_) return true;
    const std::optional<QByteArray> line = FormatRecordLine(
        {static_cast<long long>(state_.intJikan), static_cast<long long>(state_.intAs)});
    // Written beside the old file and renamed over it, so that a failure keeps the old one.
    QSaveFile out(path_);
    bool written = line && out.open(QIODevice::WriteOnly) && out.write(*line) == line->size();
    // commit() alone can report success after a flush that failed on a full disk.
    written = written && out.flush();
    if (!written) out.cancelWriting();
    if (written && out.commit()) return true;
    boxes_.ReportError(
        QStringLiteral("設定.txt に書き込めませんでした。変えた設定はこのまま使えますが、"
                       "次に起動したときには元に戻ります。（ディスクの空きや書き込み"
                       "権限を確かめてください）"),
        kTitleWrite);
    return false;
}

void SettingsFile::cboJikan_Click() {
    const double number = ReadNumber(controls_.TimeLimitText().toStdString());
    // Halves go to the even neighbour: the default rounding mode of nearbyint.
    const double rounded = std::nearbyint(number);
    // Only the list's entries reach here; anything that is no usable limit changes nothing.
    if (!(rounded >= 1 && rounded <= 32767)) return;
    state_.intJikan = static_cast<std::int16_t>(rounded);
    WriteSettei();
}

void SettingsFile::chkAs_Click() {
    state_.intAs = controls_.AutoSaveState();
    WriteSettei();
}

}  // namespace keta
