#pragma once
// The windows beyond the main one (the analysis and practice windows and the help) need Qt
// Charts, Qt OpenGL and Qt SVG, which the main window does not. The program keeps them in a
// module of their own, loaded the first time one of those windows opens, so that a start loads
// only what the main window shows. Tests and benchmarks link the windows in instead.

#include <QString>

class QWidget;

namespace keta {

class AnalysisWindows;

class WindowModule {
public:
    virtual ~WindowModule() = default;
    virtual void OpenWorkCurve(AnalysisWindows& windows, int gridRow) = 0;
    virtual void OpenWorkCurveOfResult(AnalysisWindows& windows, const QString& date,
                                       const QString& time, int answers, int correct,
                                       int wrong) = 0;
    virtual void OpenProgress(AnalysisWindows& windows) = 0;
    virtual void OpenPairs(AnalysisWindows& windows) = 0;
    virtual void OpenSession(AnalysisWindows& windows) = 0;
    virtual void OpenSessionList(AnalysisWindows& windows) = 0;
    virtual void OpenCalendar(AnalysisWindows& windows) = 0;
    virtual void OpenFocus(AnalysisWindows& windows) = 0;
    virtual void OpenFocusOnShownPairs(AnalysisWindows& windows) = 0;
    // Closes the practice windows before the program ends, as AnalysisWindows::ClosePractice.
    virtual bool ClosePractice(AnalysisWindows& windows) = 0;
    // The help viewer, as HtmlHelp.
    virtual QWidget* Help(QWidget* owner, const QString& file, int command, int data) = 0;
    // A practice session on its own, without the main window, over the log at `logPath`; the
    // caller owns it.
    virtual QWidget* LoneSession(const QString& logPath) = 0;
};

// The module, loaded at the first call. nullptr when it cannot be: `problem` then says so in
// words for the person.
WindowModule* Windows(QString* problem = nullptr);
// The module if it has been loaded, without loading it.
WindowModule* LoadedWindows();

}  // namespace keta

// The module's one entry point.
extern "C" keta::WindowModule* ketatobi_window_module();
