// The windows' side of the analysis menus: each window made, filled and shown, in the module
// the program loads the first time one of them opens (linked in by the tests).

#include <QFileInfo>

#include "analysis_menu.h"
#include "answer_log.h"
#include "answer_log_rounds.h"
#include "figure_label.h"
#include "history_model.h"
#include "html_help.h"
#include "pairs_window.h"
#include "practice/calendar_window.h"
#include "practice/focus_pairs.h"
#include "practice/focus_window.h"
#include "practice/session_list_window.h"
#include "practice/session_log_link.h"
#include "practice/session_window.h"
#include "progress_window.h"
#include "window_module.h"
#include "window_place.h"
#include "work_curve_window.h"

namespace keta {
namespace {

// Counters of a grid row as numbers; item 3 may be hand-made text, and then correct + wrong
// is what the drill would have written.
struct RowCounts {
    int answers = 0;
    int correct = 0;
    int wrong = 0;
};

RowCounts CountsOf(const HistoryModel& model, int row) {
    RowCounts c;
    c.correct = model.TextMatrix(row, 4).toInt();
    c.wrong = model.TextMatrix(row, 5).toInt();
    bool ok = false;
    c.answers = model.TextMatrix(row, 3).trimmed().toInt(&ok);
    if (!ok) c.answers = c.correct + c.wrong;
    return c;
}

}  // namespace

class WindowOpener : public WindowModule {
public:
    bool ClosePractice(AnalysisWindows& a) override {
        // A refused close leaves the window shown and the round going on.
        for (QWidget* window :
             {static_cast<QWidget*>(a.session_.data()), static_cast<QWidget*>(a.focus_.data())}) {
            if (window != nullptr && window->isVisible() && !window->close()) return false;
        }
        return true;
    }

    void OpenWorkCurve(AnalysisWindows& a, int gridRow) override {
        if (gridRow < 1 || gridRow >= a.model_.Rows()) return;
        if (a.settleLog_) a.settleLog_();
        const RowCounts counts = CountsOf(a.model_, gridRow);
        const QString date = a.model_.TextMatrix(gridRow, 1);
        const QString time = a.model_.TextMatrix(gridRow, 2);
        // Read through connections of their own, read-only and without a check of the whole file:
        // the first open stays quick on a long log.
        std::optional<analysis::RoundRecord> round;
        if (const std::optional<std::int64_t> id = FindLoggedRoundBySave(
                a.logPath_, {date, time}, counts.answers, counts.correct, counts.wrong)) {
            round = LoadLoggedRound(a.logPath_, *id);
        }
        if (!round) {
            a.Tell(QStringLiteral(
                       "この回（%1）の解答は解答ログにありません。解答ログができる前の回か、"
                       "記録できなかった回です。")
                       .arg(a.model_.TextMatrix(gridRow, 0)),
                   false);
            return;
        }
        const bool first = a.workCurve_ == nullptr;
        if (first) {
            a.workCurve_ = new WorkCurveWindow(&a.owner_);
            a.placer_->Manage(*a.workCurve_);
        }
        // Every logged round, so that the window can step to rounds the grid has no row for.
        const QString logPath = a.logPath_;
        const auto load = [logPath](std::int64_t id) { return LoadLoggedRound(logPath, id); };
        a.workCurve_->SetLoggedRounds(
            ListLoggedRounds(a.logPath_).value_or(std::vector<LoggedRound>{}), load);
        a.workCurve_->ShowRound(*round, {date.toStdString(), time.toStdString(), true});
        if (first) FitToScreen(*a.workCurve_);
        a.Present(*a.workCurve_);
    }

    void OpenSession(AnalysisWindows& a) override {
        if (a.session_ == nullptr) {
            const QString logPath = a.logPath_;
            a.session_ = new SessionWindow(
                a.logPath_, [logPath] { return MakeSessionLogLink(logPath); }, nullptr, &a.owner_);
            FitToScreen(*a.session_);
            a.placer_->Manage(*a.session_);
        }
        a.Present(*a.session_);
    }

    void OpenSessionList(AnalysisWindows& a) override {
        if (a.settleLog_) a.settleLog_();
        if (a.sessionList_ == nullptr) {
            a.sessionList_ = new SessionListWindow(a.logPath_, &a.owner_);
            FitToScreen(*a.sessionList_);
            a.placer_->Manage(*a.sessionList_);
        } else {
            a.sessionList_->Reload();
        }
        a.Present(*a.sessionList_);
    }

    void OpenCalendar(AnalysisWindows& a) override {
        if (a.settleLog_) a.settleLog_();
        if (a.calendar_ == nullptr) {
            a.calendar_ = new CalendarWindow(a.logPath_, a.historyPath_, &a.owner_);
            a.placer_->Manage(*a.calendar_);
        } else {
            a.calendar_->Reload();
        }
        a.Present(*a.calendar_);
    }

    void OpenFocus(AnalysisWindows& a) override {
        // The round closed a moment ago counts in the weakest pairs of the next start.
        if (a.settleLog_) a.settleLog_();
        if (a.focus_ == nullptr) {
            a.focus_ = new FocusWindow(a.logPath_, nullptr, &a.owner_);
            FitToScreen(*a.focus_);
            a.placer_->Manage(*a.focus_);
            // The weak-pairs map shown beside it counts the round just played.
            QObject::connect(a.focus_, &FocusWindow::roundFinished, &a, [&a] {
                if (a.pairs_ == nullptr || !a.pairs_->isVisible()) return;
                if (a.settleLog_) a.settleLog_();
                a.pairs_->Load(a.logPath_);
            });
        }
        // Asked for anew, it offers a new round rather than the last one's result.
        a.focus_->ShowSettings();
        a.Present(*a.focus_);
    }

    void OpenFocusOnShownPairs(AnalysisWindows& a) override {
        if (a.pairs_ == nullptr) return;
        const analysis::Mode mode = a.pairs_->ShownMode();
        const std::vector<DigitPair> shown = WeakestOf(a.pairs_->Figures(), mode);
        OpenFocus(a);
        if (!shown.empty() && !a.focus_->Playing()) a.focus_->UsePairs(shown, mode);
    }

    void OpenProgress(AnalysisWindows& a) override {
        const bool made = a.progress_ == nullptr;
        if (made) {
            a.progress_ = new ProgressWindow(&a.owner_);
            a.placer_->Manage(*a.progress_);
            a.progress_->SetLogPath(a.logPath_);
            QObject::connect(a.progress_, &ProgressWindow::resultChosen, &a,
                             &AnalysisWindows::OpenWorkCurveOfResult);
        }
        // A long history is read off this thread; the window shows that it is busy meanwhile.
        a.progress_->Load(a.historyPath_);
        if (made) FitToScreen(*a.progress_);
        a.Present(*a.progress_);
    }

    void OpenWorkCurveOfResult(AnalysisWindows& a, const QString& date, const QString& time,
                               int answers, int correct, int wrong) override {
        // The grid row of the result, newest first: the work curve opens as from the grid's menu.
        for (int row = a.model_.Rows() - 1; row >= 1; --row) {
            const RowCounts counts = CountsOf(a.model_, row);
            if (a.model_.TextMatrix(row, 1) == date && a.model_.TextMatrix(row, 2) == time &&
                counts.answers == answers && counts.correct == correct && counts.wrong == wrong) {
                OpenWorkCurve(a, row);
                return;
            }
        }
        a.Tell(QStringLiteral("この回（%1 %2）の解答は解答ログにありません。").arg(date, time),
               false);
    }

    void OpenPairs(AnalysisWindows& a) override {
        const bool first = a.pairs_ == nullptr;
        if (first) {
            a.pairs_ = new PairsWindow(&a.owner_);
            a.placer_->Manage(*a.pairs_);
            QObject::connect(a.pairs_, &PairsWindow::focusRoundAsked, &a,
                             &AnalysisWindows::OpenFocusOnShownPairs);
        }
        if (a.settleLog_) a.settleLog_();
        if (QFileInfo::exists(a.logPath_)) {
            // Read and counted off the drill's thread: a long log never freezes the main window.
            a.pairs_->Load(a.logPath_);
        } else {
            a.pairs_->ShowUnavailable(
                QStringLiteral("解答ログがまだありません。1回遊ぶとできます。"));
        }
        if (first) FitToScreen(*a.pairs_);
        a.Present(*a.pairs_);
    }

    QWidget* Help(QWidget* owner, const QString& file, int command, int data) override {
        return HtmlHelp(owner, file, command, data);
    }

    QWidget* LoneSession(const QString& logPath) override {
        auto* session =
            new SessionWindow(logPath, [logPath] { return MakeSessionLogLink(logPath); });
        FitToScreen(*session);
        return session;
    }
};

WorkCurveWindow* AnalysisWindows::WorkCurve() const { return workCurve_; }
ProgressWindow* AnalysisWindows::Progress() const { return progress_; }
PairsWindow* AnalysisWindows::Pairs() const { return pairs_; }
CalendarWindow* AnalysisWindows::Calendar() const { return calendar_; }
FocusWindow* AnalysisWindows::Focus() const { return focus_; }

}  // namespace keta

keta::WindowModule* ketatobi_window_module() {
    static keta::WindowOpener opener;
    return &opener;
}
