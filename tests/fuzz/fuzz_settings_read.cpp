// Reading the settings file from arbitrary bytes: the values in use are always usable, a
// file that is not sound is reported once and left exactly as it was, and what is in use
// writes out and reads back unchanged. The same bytes as the combo's text must never give
// a limit that is no limit.

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "file_fuzz_support.h"
#include "fuzz_check.h"
#include "number_text.h"
#include "qt_text.h"
#include "record_line.h"
#include "settings_file.h"

namespace {

using fuzz::CountingBoxes;
using fuzz::ReadAll;
using fuzz::WriteAll;

// chkAs as the window behaves: starts ticked, and a change of state runs the click handler.
class Controls : public keta::SettingsControls {
public:
    std::int16_t AutoSaveState() const override { return state; }
    void SetAutoSaveState(std::int16_t s) override {
        if (s == state) return;
        state = s;
        if (settings) settings->chkAs_Click();
    }
    QString TimeLimitText() const override { return text; }

    std::int16_t state = 1;
    QString text;
    keta::SettingsFile* settings = nullptr;
};

const QString& SettingsPath() {
    static const std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
    static const QString path = dir->filePath(QStringLiteral("設定.txt"));
    return path;
}

QByteArray Line(const keta::DrillState& state) {
    const auto line = keta::FormatRecordLine(
        {static_cast<long long>(state.intJikan), static_cast<long long>(state.intAs)});
    FUZZ_CHECK(line.has_value());
    return keta::ToQByteArray(*line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString& path = SettingsPath();
    WriteAll(path, bytes);

    keta::DrillState state;
    Controls controls;
    CountingBoxes boxes;
    keta::SettingsFile settings(state, controls, boxes, path);
    controls.settings = &settings;
    settings.ReadSettei();

    // A limit below one second would end a round at once and divide by zero.
    FUZZ_CHECK(state.intJikan >= 1);
    FUZZ_CHECK(controls.state == state.intAs);
    FUZZ_CHECK(boxes.errors <= 1 && boxes.asked == 0 && boxes.informed == 0);
    const QByteArray stored = ReadAll(path);
    if (boxes.errors == 1) {
        FUZZ_CHECK(stored == bytes);  // kept for the user to mend, not overwritten
    } else if (state.intAs == 1) {
        FUZZ_CHECK(stored == bytes);  // the box was already ticked: no rewrite
    } else {
        FUZZ_CHECK(stored == Line(state));  // the start-up rewrite, in the exact form
    }

    // What is in use is written and read back as it is.
    FUZZ_CHECK(settings.WriteSettei());
    FUZZ_CHECK(ReadAll(path) == Line(state));
    keta::DrillState back;
    Controls backControls;
    CountingBoxes backBoxes;
    keta::SettingsFile reread(back, backControls, backBoxes, path);
    backControls.settings = &reread;
    reread.ReadSettei();
    FUZZ_CHECK(backBoxes.errors == 0);
    FUZZ_CHECK(back.intJikan == state.intJikan && back.intAs == state.intAs);

    // The bytes as a picked entry of the combo: a usable limit, or no change at all.
    const std::int16_t before = state.intJikan;
    controls.text = QString::fromUtf8(bytes.data(), bytes.size());
    settings.cboJikan_Click();
    FUZZ_CHECK(state.intJikan >= 1);
    const double wanted = std::nearbyint(keta::ReadNumber(controls.text.toStdString()));
    if (wanted >= 1 && wanted <= 32767) {
        FUZZ_CHECK(state.intJikan == wanted);
    } else {
        FUZZ_CHECK(state.intJikan == before);
    }
    FUZZ_CHECK(ReadAll(path) == Line(state));
    FUZZ_CHECK(boxes.errors <= 1);
    return 0;
}
