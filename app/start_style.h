#pragma once
// The program's style: the desktop's own, except that Qt's toolbar and menu bar overflow icons
// are read when they are first drawn. Qt's style reads them from picture files, and reading any
// picture file makes Qt load every image format plugin (the SVG one, with Qt SVG, among them);
// the menu bar asks for its overflow icon when it is made, at every start, though the button
// shows only when the menus do not fit.

namespace keta {

// Gives the application the program's style; call once the application object is made, before
// any window.
void UseStartStyle();

// What the program sets for the whole application before its first window: the style above,
// the desktop entry's name (so that the desktop finds the program's icon and entry) and the
// icon every window carries, the practice session opened on its own too.
void PrepareApplication();

}  // namespace keta
