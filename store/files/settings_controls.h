#pragma once
// The two controls behind the settings: the auto-save check box chkAs and the time-limit combo
// cboJikan. The window implements them.

#include <QString>
#include <cstdint>

namespace keta {

class SettingsControls {
public:
    virtual ~SettingsControls() = default;

    // The check box's state: 0 cleared, 1 ticked. Other 16-bit values are held as given and
    // read back unchanged; how the box shows them is the window's choice.
    virtual std::int16_t AutoSaveState() const = 0;
    // Sets the state. When that changes it, the window runs SettingsFile::chkAs_Click before
    // returning, exactly as a click by the user does; setting the same state runs nothing.
    virtual void SetAutoSaveState(std::int16_t state) = 0;

    // The current text of cboJikan (the picked entry when cboJikan_Click runs).
    virtual QString TimeLimitText() const = 0;
};

}  // namespace keta
