#include "analysis_menu.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

#include "answer_log.h"
#include "calendar_source.h"
#include "captioned_combo.h"
#include "csv_export.h"
#include "export_target.h"
#include "fonts.h"
#include "history_grid.h"
#include "history_model.h"
#include "history_points.h"
#include "log_owner.h"
#include "window_module.h"
#include "window_place.h"

namespace keta {
namespace {

const QString kHistoryName = QStringLiteral("履歴.txt");

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

WindowModule* AnalysisWindows::Module() {
    QString problem;
    WindowModule* module = Windows(&problem);
    if (module == nullptr) Tell(problem, true);
    return module;
}

// The windows live in the module, loaded the first time one of them opens.
void AnalysisWindows::OpenWorkCurve(int gridRow) {
    if (WindowModule* m = Module()) m->OpenWorkCurve(*this, gridRow);
}
void AnalysisWindows::OpenWorkCurveOfResult(const QString& date, const QString& time, int answers,
                                            int correct, int wrong) {
    if (WindowModule* m = Module())
        m->OpenWorkCurveOfResult(*this, date, time, answers, correct, wrong);
}
void AnalysisWindows::OpenProgress() {
    if (WindowModule* m = Module()) m->OpenProgress(*this);
}
void AnalysisWindows::OpenPairs() {
    if (WindowModule* m = Module()) m->OpenPairs(*this);
}
void AnalysisWindows::OpenSession() {
    if (WindowModule* m = Module()) m->OpenSession(*this);
}
void AnalysisWindows::OpenSessionList() {
    if (WindowModule* m = Module()) m->OpenSessionList(*this);
}
void AnalysisWindows::OpenCalendar() {
    if (WindowModule* m = Module()) m->OpenCalendar(*this);
}
void AnalysisWindows::OpenFocus() {
    if (WindowModule* m = Module()) m->OpenFocus(*this);
}
void AnalysisWindows::OpenFocusOnShownPairs() {
    if (WindowModule* m = Module()) m->OpenFocusOnShownPairs(*this);
}

bool AnalysisWindows::ClosePractice() {
    // Without the module no practice window was ever opened.
    WindowModule* m = LoadedWindows();
    return m == nullptr || m->ClosePractice(*this);
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
