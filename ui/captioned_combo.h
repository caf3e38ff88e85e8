#pragma once
// Combo boxes read by their caption. On Linux, Qt's own accessible combo box answers its name
// with the current item ("＋"), so a screen reader never says what the choice is for; a combo
// box given an accessible name is read by that name, its item as the value.

namespace keta {

// Once per program; later calls do nothing. Before the first screen-reader query of a combo
// box, which the windows with choices make sure of by calling it as they are built.
void NameComboBoxesByCaption();

}  // namespace keta
