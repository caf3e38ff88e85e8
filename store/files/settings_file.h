#pragma once
// The settings file "設定.txt": one line holding the time limit and the auto-save flag,
// read once at start-up and rewritten whole whenever the user changes either.

#include <QString>
#include <cstdint>

#include "drill_state.h"
#include "message_boxes.h"
#include "settings_controls.h"

namespace keta {

inline constexpr std::int16_t kDefaultTimeLimit = 60;
inline constexpr std::int16_t kDefaultAutoSave = 1;

class SettingsFile {
public:
    SettingsFile(DrillState& state, SettingsControls& controls, MessageBoxes& boxes,
                 QString path = QStringLiteral("設定.txt"));

    // Start-up: reads intJikan and intAs, then sets chkAs from intAs. A missing, unreadable
    // or malformed file gives the default for each value it cannot supply, and is then left
    // as it is until the user changes a setting.
    void ReadSettei();
    // Rewrites the whole file from intJikan and intAs. Returns false, with the old file kept
    // and the user told, when it cannot be written; the values in use stay as they are.
    bool WriteSettei();

    // The user picked an entry of cboJikan.
    void cboJikan_Click();
    // The state of chkAs changed.
    void chkAs_Click();

private:
    DrillState& state_;
    SettingsControls& controls_;
    MessageBoxes& boxes_;
    QString path_;
    // Set while ReadSettei hands a flag it did not read from a sound file to the check box:
    // the box's click must not rewrite a file the user has not asked to change.
    bool keepFileAsItIs_ = false;
    // Set while ReadSettei hands the flag it read to the check box (the start-up rewrite).
    bool startingUp_ = false;
};

}  // namespace keta
