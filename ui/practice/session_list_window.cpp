#include "session_list_window.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/chart_support.h"
#include "csv_export.h"
#include "export_target.h"
#include "log_owner.h"
#include "session_figure_rows.h"
#include "session_store.h"

namespace keta {
namespace {

QString ModeText(SessionMode mode) {
    switch (mode) {
        case SessionMode::Sum:
            return QStringLiteral("＋");
        case SessionMode::Difference:
            return QStringLiteral("－");
        case SessionMode::Alternating:
            return QStringLiteral("交互");
    }
    return {};
}

}  // namespace

SessionListWindow::SessionListWindow(QString logPath, QWidget* parent)
    : QWidget(parent), logPath_(std::move(logPath)) {
    SetUpAnalysisWindow(*this, QStringLiteral("本番形式の記録"));
    setObjectName(QStringLiteral("sessionList"));
    note_ = new QLabel;
    note_->setWordWrap(true);
    list_ = new QTreeWidget;
    list_->setObjectName(QStringLiteral("sessions"));
    list_->setAccessibleName(QStringLiteral("本番形式の記録の一覧"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels(
        {QStringLiteral("日時"), QStringLiteral("行の時間"), QStringLiteral("行数"),
         QStringLiteral("休憩"), QStringLiteral("モード"), QStringLiteral("状態"),
         QStringLiteral("解答数"), QStringLiteral("正答率"),
         QStringLiteral("1 行あたり（前半 / 後半）"), QStringLiteral("休憩効果")});
    // Widths are set from the texts once the rows are in (FitColumns): every heading whole.
    list_->header()->setSectionResizeMode(QHeaderView::Interactive);
    list_->header()->setStretchLastSection(false);
    connect(list_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { OpenRow(list_->indexOfTopLevelItem(item)); });
    auto* exportButton = new QPushButton(QStringLiteral("CSVに書き出す(&E)..."));
    exportButton->setObjectName(QStringLiteral("exportCsv"));
    exportButton->setAccessibleName(QStringLiteral("CSVに書き出す"));
    connect(exportButton, &QPushButton::clicked, this, &SessionListWindow::ExportCsv);
    // A session gone wrong (a phone call, the wrong format) need not pull the means down.
    leaveOut_ = new QPushButton(QStringLiteral("平均から外す(&X)"));
    leaveOut_->setObjectName(QStringLiteral("leaveOut"));
    leaveOut_->setToolTip(QStringLiteral("選んだ回を、これまでの回の平均に入れないようにします"));
    connect(leaveOut_, &QPushButton::clicked, this, &SessionListWindow::ToggleLeftOut);
    connect(list_, &QTreeWidget::currentItemChanged, this, &SessionListWindow::ShowChoice);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(leaveOut_);
    buttons->addStretch(1);
    buttons->addWidget(exportButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(960, 480);
    Reload();
}

void SessionListWindow::Reload() {
    list_->clear();
    sessions_.clear();
    states_.clear();
    leftOut_ = LoadLeftOutSessions(logPath_);
    QString why;
    const std::optional<std::vector<StoredSession>> all = LoadSessions(logPath_, &why);
    if (!all) {
        note_->setText(QStringLiteral("解答ログを読めません。%1").arg(why));
        return;
    }
    for (std::size_t i = all->size(); i-- > 0;) {  // the newest first
        const StoredSession& s = (*all)[i];
        ShownSession shown;
        shown.id = s.id;
        shown.when = QString::fromStdString(analysis::SessionWhenText(s.startedAt));
        shown.settings = s.settings;
        shown.stopped = s.state == SessionState::Stopped || s.running;
        if (!s.damaged) shown.lines = s.lines;
        QString state = shown.stopped ? QStringLiteral("中止") : QStringLiteral("終了");
        if (s.running) state = QStringLiteral("途中で終わった");
        if (s.damaged) state = QStringLiteral("読めない");
        long long answers = 0;
        for (const LineResult& l : shown.lines) answers += l.Answers();
        const SessionFigureValues figures = ComputeSessionFigureValues(shown.lines, s.settings);
        // The accuracy is the third figure of the list.
        const std::optional<double> accuracy =
            figures.values.size() > 2 ? figures.values[2] : std::nullopt;
        QString perLine = FigureText(figures.firstMean, 1);
        if (s.settings.secondHalfLines > 0)
            perLine += QStringLiteral(" / ") + FigureText(figures.secondMean, 1);
        std::optional<double> restEffect;
        const std::vector<SessionFigureRow>& rows = SessionFigureRows();
        for (std::size_t r = 0; r < rows.size() && r < figures.values.size(); ++r) {
            if (rows[r].caption == "休憩効果") restEffect = figures.values[r];
        }
        auto* item = new QTreeWidgetItem(
            {shown.when, QStringLiteral("%1 秒").arg(s.settings.lineSeconds),
             s.settings.secondHalfLines > 0 ? QStringLiteral("%1 + %2")
                                                  .arg(s.settings.firstHalfLines)
                                                  .arg(s.settings.secondHalfLines)
                                            : QString::number(s.settings.firstHalfLines),
             QStringLiteral("%1 分").arg(s.settings.restMinutes), ModeText(s.settings.mode),
             StateText(shown, state), QString::number(answers), PercentText(accuracy), perLine,
             FigureText(restEffect, 2)});
        list_->addTopLevelItem(item);
        sessions_.push_back(std::move(shown));
        states_.push_back(state);
    }
    note_->setText(sessions_.empty()
                       ? QStringLiteral("本番形式の練習はまだ記録されていません。メニューの"
                                        "「練習」→「本番形式で練習」から始められます。")
                       : QStringLiteral("%1 回。Enter かダブルクリックで結果を開きます。")
                             .arg(sessions_.size()));
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
    FitColumns();
    ShowChoice();
}

QString SessionListWindow::StateText(const ShownSession& shown, const QString& state) const {
    return leftOut_.contains(shown.id) ? state + QStringLiteral("・平均から外した") : state;
}

void SessionListWindow::ShowChoice() {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    const bool chosen = row >= 0 && row < static_cast<int>(sessions_.size());
    const ShownSession* shown = chosen ? &sessions_[static_cast<std::size_t>(row)] : nullptr;
    // Only finished sessions are in the means; a stopped one never is.
    const bool averaged = shown != nullptr && !shown->stopped && shown->id > 0;
    leaveOut_->setEnabled(averaged);
    leaveOut_->setText(averaged && leftOut_.contains(shown->id)
                           ? QStringLiteral("平均に戻す(&X)")
                           : QStringLiteral("平均から外す(&X)"));
}

void SessionListWindow::ToggleLeftOut() {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || row >= static_cast<int>(sessions_.size())) return;
    const ShownSession& shown = sessions_[static_cast<std::size_t>(row)];
    if (shown.stopped || shown.id <= 0) return;
    if (!leftOut_.erase(shown.id)) leftOut_.insert(shown.id);
    // The whole set each time, in the order of the clicks: the log's owner writes them in turn.
    LogOwner::Of(logPath_)->SetPreference(LeftOutKey(), LeftOutText(leftOut_));
    list_->currentItem()->setText(5, StateText(shown, states_[static_cast<std::size_t>(row)]));
    FitColumns();
    ShowChoice();
}

void SessionListWindow::FitColumns() {
    // The header's own size hint leaves out the section's padding on some styles and scales:
    // each column is as wide as its widest text, heading included, and a margin.
    const QFontMetrics items = list_->fontMetrics();
    const QFontMetrics heading = list_->header()->fontMetrics();
    const int margin = list_->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, list_) * 2 +
                       items.horizontalAdvance(QStringLiteral("　"));
    for (int c = 0; c < list_->columnCount(); ++c) {
        int widest = heading.horizontalAdvance(list_->headerItem()->text(c));
        for (int r = 0; r < list_->topLevelItemCount(); ++r)
            widest = std::max(widest, items.horizontalAdvance(list_->topLevelItem(r)->text(c)));
        list_->header()->resizeSection(c, widest + margin);
    }
}

void SessionListWindow::OpenRow(int row) {
    if (row < 0 || row >= static_cast<int>(sessions_.size())) return;
    const ShownSession& shown = sessions_[static_cast<std::size_t>(row)];
    const bool first = result_ == nullptr;
    if (first) result_ = new SessionResultWindow(this);
    result_->ShowSessionReadingEarlier(shown, logPath_, shown.id, shown.id);
    if (first) {
        FitToScreen(*result_);
        CentreOver(*result_, *this);
    }
    result_->show();
    result_->raise();
    result_->activateWindow();
}

void SessionListWindow::ExportCsv() {
    const QString title = QStringLiteral("本番形式の記録をCSVに書き出す");
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(QStringLiteral("本番形式の記録.csv"));
    // No replace question from the dialog: a data file is refused before any question.
    const QString path =
        askPath_ ? askPath_(suggested)
                 : QFileDialog::getSaveFileName(this, title, suggested,
                                                QStringLiteral("CSV ファイル (*.csv)"), nullptr,
                                                QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return;
    const auto tell = [this, &title](const QString& text, bool problem) {
        QMessageBox box(problem ? QMessageBox::Warning : QMessageBox::Information, title, text,
                        QMessageBox::Ok, this);
        box.exec();
    };
    const ExportTarget target = ResolveExportTarget(QFileInfo(logPath_).absolutePath(), path);
    if (target.kind == ExportTarget::Kind::Refused) {
        tell(target.reason, true);
        return;
    }
    if (target.exists) {
        QMessageBox ask(QMessageBox::Question, title,
                        QStringLiteral("%1 は既にあります。置き換えますか？")
                            .arg(QDir::toNativeSeparators(path)),
                        QMessageBox::Yes | QMessageBox::No, this);
        ask.setDefaultButton(QMessageBox::No);
        if (ask.exec() != QMessageBox::Yes) return;
    }
    QString error;
    if (ExportSessionsCsv(logPath_, path, &error)) {
        tell(QStringLiteral("%1 に書き出しました。").arg(QDir::toNativeSeparators(path)), false);
    } else {
        tell(error, true);
    }
}

}  // namespace keta
