#include "analysis_menu.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

#include "answer_log.h"
#include "answer_log_rounds.h"
#include "calendar_source.h"
#include "captioned_combo.h"
#include "csv_export.h"
#include "export_target.h"
#include "fonts.h"
#include "history_grid.h"
#include "history_model.h"
#include "history_points.h"
#include "log_owner.h"
#include "pairs_window.h"
#include "practice/calendar_window.h"
#include "practice/focus_pairs.h"
#include "practice/focus_window.h"
#include "practice/session_list_window.h"
#include "practice/session_window.h"
#include "progress_window.h"
#include "window_place.h"
#include "work_curve_window.h"

namespace keta {
namespace {

const QString kHistoryName = QStringLiteral("履歴.txt");

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

QString PlaceKey(const QString& window) { return QStringLiteral("window_at_") + window; }

}  // namespace

AnalysisWindows::AnalysisWindows(HistoryGrid& grid, const HistoryModel& model, QWidget& owner,
                                 const QString& folder)
    : QObject(&owner),
      grid_(grid),
      model_(model),
      owner_(owner),
      historyPath_(QDir(folder).absoluteFilePath(kHistoryName)),
      logPath_(QDir(folder).absoluteFilePath(AnswerLog::FileName())) {
    NameComboBoxesByCaption();  // before any of the windows' choices is read out
    // Each window opens where the person last put it, kept in the log's preferences.
    const QString logPath = logPath_;
    placer_ = new WindowPlacer(
        owner_, [this] { return keepClear_ ? keepClear_() : QRect(); },
        [logPath](const QString& name) -> std::optional<QPoint> {
            const QStringList xy = LoadPreference(logPath, PlaceKey(name)).split(u',');
            bool x = false, y = false;
            if (xy.size() != 2) return std::nullopt;
            const QPoint at(xy[0].toInt(&x), xy[1].toInt(&y));
            if (!x || !y) return std::nullopt;
            return at;
        },
        [logPath](const QString& name, QPoint at) {
            LogOwner::Of(logPath)->SetPreference(PlaceKey(name),
                                                 QStringLiteral("%1,%2").arg(at.x()).arg(at.y()));
        });
    menu_ = new QMenu(&owner_);
    menu_->setObjectName(QStringLiteral("analysisMenu"));
    menu_->setAccessibleName(QStringLiteral("履歴のメニュー"));
    menu_->setFont(GothicFont(9));
    QAction* curve = menu_->addAction(QStringLiteral("この回の作業曲線(&W)"));
    curve->setObjectName(QStringLiteral("actionWorkCurve"));
    connect(curve, &QAction::triggered, this, [this] { OpenWorkCurve(menuRow_); });
    // The other entries are the menu bar's actions too, under the same letters where the
    // menus allow.
    progressAction_ = Action("actionProgress", "上達の記録(&P)", &AnalysisWindows::OpenProgress);
    pairsAction_ = Action("actionPairs", "苦手な数字の組(&D)", &AnalysisWindows::OpenPairs);
    historyCsvAction_ = Action("actionExportHistory", "履歴をCSVに書き出す(&H)...",
                               &AnalysisWindows::ExportHistory);
    answersCsvAction_ = Action("actionExportAnswers", "解答ログをCSVに書き出す(&L)...",
                               &AnalysisWindows::ExportAnswers);
    sessionAction_ = Action("actionSession", "本番形式で練習(&S)", &AnalysisWindows::OpenSession);
    sessionListAction_ =
        Action("actionSessionList", "本番形式の記録(&R)", &AnalysisWindows::OpenSessionList);
    calendarAction_ =
        Action("actionCalendar", "練習カレンダー(&C)", &AnalysisWindows::OpenCalendar);
    focusAction_ = Action("actionFocus", "苦手克服(&F)", &AnalysisWindows::OpenFocus);
    menu_->addActions({progressAction_, pairsAction_});
    menu_->addSeparator();
    menu_->addActions({historyCsvAction_, answersCsvAction_});
    menu_->addSeparator();
    menu_->addActions({sessionAction_, sessionListAction_, calendarAction_, focusAction_});

    connect(&grid_, &HistoryGrid::contextMenuAsked, this, &AnalysisWindows::ShowMenu);
}

AnalysisWindows::~AnalysisWindows() = default;

WorkCurveWindow* AnalysisWindows::WorkCurve() const { return workCurve_; }
ProgressWindow* AnalysisWindows::Progress() const { return progress_; }
PairsWindow* AnalysisWindows::Pairs() const { return pairs_; }
CalendarWindow* AnalysisWindows::Calendar() const { return calendar_; }
FocusWindow* AnalysisWindows::Focus() const { return focus_; }

void AnalysisWindows::ShowMenu(int gridRow, const QPoint& globalPos) {
    menuRow_ = gridRow;
    const QList<QAction*> actions = menu_->actions();
    if (!actions.isEmpty()) actions.front()->setEnabled(gridRow >= 1 && gridRow < model_.Rows());
    menu_->popup(globalPos);
}

void AnalysisWindows::Present(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

void AnalysisWindows::OpenWorkCurve(int gridRow) {
    if (gridRow < 1 || gridRow >= model_.Rows()) return;
    if (settleLog_) settleLog_();
    const RowCounts counts = CountsOf(model_, gridRow);
    const QString date = model_.TextMatrix(gridRow, 1);
    const QString time = model_.TextMatrix(gridRow, 2);
    // Read through connections of their own, read-only and without a check of the whole file:
    // the first open stays quick on a long log.
    std::optional<analysis::RoundRecord> round;
    if (const std::optional<std::int64_t> id = FindLoggedRoundBySave(
            logPath_, {date, time}, counts.answers, counts.correct, counts.wrong)) {
        round = LoadLoggedRound(logPath_, *id);
    }
    if (!round) {
        Tell(QStringLiteral("この回（%1）の解答は解答ログにありません。解答ログができる前の回か、"
                            "記録できなかった回です。")
                 .arg(model_.TextMatrix(gridRow, 0)),
             false);
        return;
    }
    const bool first = workCurve_ == nullptr;
    if (first) {
        workCurve_ = new WorkCurveWindow(&owner_);
        placer_->Manage(*workCurve_);
    }
    // Every logged round, so that the window can step to rounds the grid has no row for.
    const QString logPath = logPath_;
    const auto load = [logPath](std::int64_t id) { return LoadLoggedRound(logPath, id); };
    workCurve_->SetLoggedRounds(ListLoggedRounds(logPath_).value_or(std::vector<LoggedRound>{}),
                                load);
    workCurve_->ShowRound(*round, {date.toStdString(), time.toStdString(), true});
    if (first) FitToScreen(*workCurve_);
    Present(*workCurve_);
}

void AnalysisWindows::OpenSession() {
    if (session_ == nullptr) {
        const QString logPath = logPath_;
        session_ = new SessionWindow(
            logPath_, [logPath] { return MakeSessionLogLink(logPath); }, nullptr, &owner_);
        FitToScreen(*session_);
        placer_->Manage(*session_);
    }
    Present(*session_);
}

void AnalysisWindows::OpenSessionList() {
    if (settleLog_) settleLog_();
    if (sessionList_ == nullptr) {
        sessionList_ = new SessionListWindow(logPath_, &owner_);
        FitToScreen(*sessionList_);
        placer_->Manage(*sessionList_);
    } else {
        sessionList_->Reload();
    }
    Present(*sessionList_);
}

void AnalysisWindows::OpenCalendar() {
    if (settleLog_) settleLog_();
    if (calendar_ == nullptr) {
        calendar_ = new CalendarWindow(logPath_, historyPath_, &owner_);
        placer_->Manage(*calendar_);
    } else {
        calendar_->Reload();
    }
    Present(*calendar_);
}

void AnalysisWindows::OpenFocus() {
    // The round closed a moment ago counts in the weakest pairs of the next start.
    if (settleLog_) settleLog_();
    if (focus_ == nullptr) {
        focus_ = new FocusWindow(logPath_, nullptr, &owner_);
        FitToScreen(*focus_);
        placer_->Manage(*focus_);
        // The weak-pairs map shown beside it counts the round just played.
        connect(focus_, &FocusWindow::roundFinished, this, [this] {
            if (pairs_ == nullptr || !pairs_->isVisible()) return;
            if (settleLog_) settleLog_();
            pairs_->Load(logPath_);
        });
    }
    // Asked for anew, it offers a new round rather than the last one's result.
    focus_->ShowSettings();
    Present(*focus_);
}

bool AnalysisWindows::ClosePractice() {
    // A refused close leaves the window shown and the round going on.
    for (QWidget* window :
         {static_cast<QWidget*>(session_.data()), static_cast<QWidget*>(focus_.data())}) {
        if (window != nullptr && window->isVisible() && !window->close()) return false;
    }
    return true;
}

void AnalysisWindows::OpenFocusOnShownPairs() {
    if (pairs_ == nullptr) return;
    const analysis::Mode mode = pairs_->ShownMode();
    const std::vector<DigitPair> shown = WeakestOf(pairs_->Figures(), mode);
    OpenFocus();
    if (!shown.empty() && !focus_->Playing()) focus_->UsePairs(shown, mode);
}

void AnalysisWindows::OpenProgress() {
    const bool made = progress_ == nullptr;
    if (made) {
        progress_ = new ProgressWindow(&owner_);
        placer_->Manage(*progress_);
        progress_->SetLogPath(logPath_);
        connect(progress_, &ProgressWindow::resultChosen, this,
                &AnalysisWindows::OpenWorkCurveOfResult);
    }
    // A long history is read off this thread; the window shows that it is busy meanwhile.
    progress_->Load(historyPath_);
    if (made) FitToScreen(*progress_);
    Present(*progress_);
}

void AnalysisWindows::OpenWorkCurveOfResult(const QString& date, const QString& time, int answers,
                                            int correct, int wrong) {
    // The grid row of the result, newest first: the work curve opens as from the grid's menu.
    for (int row = model_.Rows() - 1; row >= 1; --row) {
        const RowCounts counts = CountsOf(model_, row);
        if (model_.TextMatrix(row, 1) == date && model_.TextMatrix(row, 2) == time &&
            counts.answers == answers && counts.correct == correct && counts.wrong == wrong) {
            OpenWorkCurve(row);
            return;
        }
    }
    Tell(QStringLiteral("この回（%1 %2）の解答は解答ログにありません。").arg(date, time), false);
}

void AnalysisWindows::OpenPairs() {
    const bool first = pairs_ == nullptr;
    if (first) {
        pairs_ = new PairsWindow(&owner_);
        placer_->Manage(*pairs_);
        connect(pairs_, &PairsWindow::focusRoundAsked, this,
                &AnalysisWindows::OpenFocusOnShownPairs);
    }
    if (settleLog_) settleLog_();
    if (QFileInfo::exists(logPath_)) {
        // Read and counted off the drill's thread: a long log never freezes the main window.
        pairs_->Load(logPath_);
    } else {
        pairs_->ShowUnavailable(QStringLiteral("解答ログがまだありません。1回遊ぶとできます。"));
    }
    if (first) FitToScreen(*pairs_);
    Present(*pairs_);
}

void AnalysisWindows::ExportHistory() { Export(false); }
void AnalysisWindows::ExportAnswers() { Export(true); }

void AnalysisWindows::Export(bool answers) {
    const QString title =
        answers ? QStringLiteral("解答ログをCSVに書き出す") : QStringLiteral("履歴をCSVに書き出す");
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(answers ? QStringLiteral("解答ログ.csv")
                                                            : QStringLiteral("履歴.csv"));
    // The dialog asks no replace question of its own: a data file is refused before any.
    const QString path =
        askPath_ ? askPath_(title, suggested)
                 : QFileDialog::getSaveFileName(&owner_, title, suggested,
                                                QStringLiteral("CSV ファイル (*.csv)"), nullptr,
                                                QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return;
    if (answers && settleLog_) settleLog_();
    const QString source = answers ? logPath_ : historyPath_;
    const ExportTarget target = ResolveExportTarget(QFileInfo(source).absolutePath(), path);
    if (target.kind == ExportTarget::Kind::Refused) {
        Tell(target.reason, true);
        return;
    }
    if (target.exists) {
        const QString shown = QDir::toNativeSeparators(path);
        const bool replace =
            askReplace_
                ? askReplace_(path)
                : QMessageBox::question(
                      &owner_, title,
                      QStringLiteral("%1 は既にあります。置き換えますか？").arg(shown),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
        if (!replace) return;
    }
    QString error;
    const bool done =
        answers ? ExportAnswersCsv(source, path, &error) : ExportHistoryCsv(source, path, &error);
    if (done) {
        Tell(QStringLiteral("%1 に書き出しました。").arg(QDir::toNativeSeparators(path)), false);
    } else {
        Tell(error, true);
    }
}

void AnalysisWindows::Tell(const QString& text, bool problem) {
    if (tell_) {
        tell_(text, problem);
        return;
    }
    if (problem) {
        QMessageBox::warning(&owner_, QStringLiteral("ケタトビ"), text);
    } else {
        QMessageBox::information(&owner_, QStringLiteral("ケタトビ"), text);
    }
}

}  // namespace keta
