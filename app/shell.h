#pragma once
// Start-up, help and exit around the main window.

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <functional>
#include <memory>

#include "frm_main.h"

namespace keta {

class AnalysisWindows;
class MainFrame;

// Where a window whose client area has the size `client` and whose frame adds `frame` around
// it goes (the frame's top-left corner) so that the frame is centred in `available`.
QPoint CentredFramePosition(const QRect& available, QSize client, const QMargins& frame);

class Shell : public QObject {
    Q_OBJECT

public:
    // `quit` ends the program; tests give their own.
    explicit Shell(Clock* clock = nullptr, std::function<void()> quit = {});
    ~Shell() override;

    FrmMain& window() { return *window_; }
    // The program's window: the menu bar and, under it, the main window's client area.
    MainFrame& frame() { return *frame_; }
    // The history grid's context menu and the windows it opens; owned by the window.
    AnalysisWindows& analysis() { return *analysis_; }

    void Form_Load();
    void cmdHelp_Click();
    void cmdEnd_Click();

private:
    std::unique_ptr<MainFrame> frame_;  // owns window_
    FrmMain* window_ = nullptr;
    AnalysisWindows* analysis_ = nullptr;
    std::function<void()> quit_;
};

}  // namespace keta
