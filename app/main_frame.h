#pragma once
// The program's window: the menu bar above the main window's client area, which keeps its
// size, places and tab order; the window grows by the bar. Today's progress against the daily
// goal sits in the bar's corner.

#include <QWidget>
#include <functional>

class QMenuBar;

namespace keta {

class AnalysisWindows;
class FrmMain;
class TodayGoalLabel;

class MainFrame : public QWidget {
    Q_OBJECT

public:
    // Takes `client` in as its child; `help` opens the help file.
    MainFrame(FrmMain& client, AnalysisWindows& analysis, const QString& folder,
              std::function<void()> help);

    QMenuBar* MenuBar() const { return bar_; }
    TodayGoalLabel* TodayGoal() const { return today_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void About();

    QMenuBar* bar_ = nullptr;
    TodayGoalLabel* today_ = nullptr;
};

}  // namespace keta
