// A stand-in for the Windows HTML Help API (HtmlHelpA in hhctrl.ocx) for platforms without it:
// opens compiled HTML Help files (.chm) in a small viewer window of this process.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace keta {

inline constexpr int HH_DISPLAY_TOPIC = 0;
inline constexpr int HH_CLOSE_ALL = 18;

// Same contract as the HTML Help API: command 0 opens `file` (a bare name is looked up in the
// working directory first, then in the installed help folders) in a help window owned by
// `owner` and returns at once; command 18 closes every help window. Returns the help window
// (or nullptr), which callers may ignore.
//
// Details of this implementation:
// - Command 0 with a file that already has an open help window for the same owner raises that
//   window and brings it back to the default topic instead of opening a second one.
// - `file` may name a topic inside the file the HTML Help way, "VexoHelp.chm::/play.html";
//   otherwise the file's default topic is shown. `data` is not used by either command.
// - When the file cannot be found or opened (or is damaged, or has no page), a non-modal
//   warning message box owned by `owner` says so; the call returns nullptr and opens no window.
// - Other commands do nothing and return nullptr.
QWidget* HtmlHelp(QWidget* owner, const QString& file, int command, int data);

QStringList HelpSearchPath();  // the folders searched after the working directory

}  // namespace keta
