#pragma once
// The history grid's context menu and the analysis windows it opens: the work curve of a
// round, progress over the saved results, weak digit pairs, and the CSV exports. Nothing of it
// shows in the main window until the menu is asked for.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace keta {

class AnswerLog;
class CalendarWindow;
class FocusWindow;
class HistoryGrid;
class HistoryModel;
class PairsWindow;
class ProgressWindow;
class SessionListWindow;
class SessionWindow;
class WindowModule;
class WindowPlacer;
class WorkCurveWindow;

class AnalysisWindows : public QObject {
    Q_OBJECT

public:
    // `folder` holds the history file and the answer log; the windows are children of `owner`.
    AnalysisWindows(HistoryGrid& grid, const HistoryModel& model, QWidget& owner,
                    const QString& folder);
    ~AnalysisWindows() override;

    // The menu for grid row `gridRow` (0: none), opened at `globalPos`.
    void ShowMenu(int gridRow, const QPoint& globalPos);
    QMenu* Menu() const { return menu_; }
    // The menu bar's 練習 and 記録 menus, with the same windows as the grid's menu.
    void AddToMenuBar(QMenuBar& bar);
    // The round the menu bar's work curve opens: the grid's selected row, else the newest
    // (0: the grid has none).
    int ChosenOrNewestRow() const;

    // The work curve of the round saved as grid row `gridRow`; says so when the log lacks it.
    void OpenWorkCurve(int gridRow);
    void OpenProgress();
    // The work curve of a saved result picked on the progress chart, found by its stamp and
    // counts; says so when the log lacks it.
    void OpenWorkCurveOfResult(const QString& date, const QString& time, int answers, int correct,
                               int wrong);
    void OpenPairs();
    // A practice session in the written test's format, and the list of those kept in the log.
    void OpenSession();
    void OpenSessionList();
    // The practice calendar: days of practice over the last 53 weeks and the daily goal.
    void OpenCalendar();
    CalendarWindow* Calendar() const;
    // A focus round on the weakest pairs, or on the pairs the weak-pairs window shows.
    void OpenFocus();
    void OpenFocusOnShownPairs();
    FocusWindow* Focus() const;
    // Closes the practice windows before the program ends: one playing asks first, as Esc
    // does. False when the person chose to go on.
    bool ClosePractice();
    void ExportHistory();
    void ExportAnswers();

    // The windows once opened, nullptr before (defined with the windows: tests and benchmarks).
    WorkCurveWindow* WorkCurve() const;
    ProgressWindow* Progress() const;
    PairsWindow* Pairs() const;

    // Where an export goes: asks with a save dialog unless a test gives its own answer
    // (empty: cancelled).
    using PathAsker = std::function<QString(const QString& title, const QString& suggested)>;
    void SetPathAsker(PathAsker asker) { askPath_ = std::move(asker); }
    // Whether an existing file may be replaced: a question with No as its default unless a
    // test answers it.
    using ReplaceAsker = std::function<bool(const QString& path)>;
    void SetReplaceAsker(ReplaceAsker asker) { askReplace_ = std::move(asker); }
    // The global rectangle the windows opened here keep clear of (the main window's start and
    // save buttons).
    void SetKeepClear(std::function<QRect()> keepClear) { keepClear_ = std::move(keepClear); }
    // Lets the answer log's writer finish what it was handed before a window or an export
    // reads the log: a round closed a moment ago belongs in what the person sees.
    using LogSettler = std::function<void()>;
    void SetLogSettler(LogSettler settler) { settleLog_ = std::move(settler); }
    // How the user is told something: a message box unless a test listens instead.
    using Teller = std::function<void(const QString& text, bool problem)>;
    void SetTeller(Teller teller) { tell_ = std::move(teller); }

private:
    friend class WindowOpener;
    // The windows' module, loaded at the first call; nullptr (the person told why) when it
    // cannot be.
    WindowModule* Module();
    QAction* Action(const char* name, const char* text, void (AnalysisWindows::*open)());
    void Export(bool answers);
    void Tell(const QString& text, bool problem);
    static void Present(QWidget& window);

    HistoryGrid& grid_;
    const HistoryModel& model_;
    QWidget& owner_;
    QString historyPath_;
    QString logPath_;
    QMenu* menu_ = nullptr;
    WindowPlacer* placer_ = nullptr;
    std::function<QRect()> keepClear_;
    QAction* progressAction_ = nullptr;
    QAction* pairsAction_ = nullptr;
    QAction* historyCsvAction_ = nullptr;
    QAction* answersCsvAction_ = nullptr;
    QAction* sessionAction_ = nullptr;
    QAction* sessionListAction_ = nullptr;
    QAction* calendarAction_ = nullptr;
    QAction* focusAction_ = nullptr;
    int menuRow_ = 0;
    QPointer<WorkCurveWindow> workCurve_;
    QPointer<ProgressWindow> progress_;
    QPointer<PairsWindow> pairs_;
    QPointer<SessionWindow> session_;
    QPointer<SessionListWindow> sessionList_;
    QPointer<CalendarWindow> calendar_;
    QPointer<FocusWindow> focus_;
    PathAsker askPath_;
    ReplaceAsker askReplace_;
    LogSettler settleLog_;
    Teller tell_;
};

}  // namespace keta
