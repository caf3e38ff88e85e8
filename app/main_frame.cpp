#include "main_frame.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QVBoxLayout>

#include "analysis/analysis_menu.h"
#include "answer_log.h"
#include "fonts.h"
#include "frm_main.h"
#include "practice/today_goal_label.h"

namespace keta {

MainFrame::MainFrame(FrmMain& client, AnalysisWindows& analysis, const QString& folder,
                     std::function<void()> help) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(client.windowTitle());
    setWindowIcon(client.windowIcon());
    // The client's fixed border: minimise and close, no maximise.
    setWindowFlags(client.windowFlags() | Qt::Window);
    client.setParent(this, Qt::Widget);

    bar_ = new QMenuBar(this);
    bar_->setObjectName(QStringLiteral("menuBar"));
    bar_->setFont(GothicFont(9));
    analysis.AddToMenuBar(*bar_);
    QMenu* helpMenu = bar_->addMenu(QStringLiteral("ヘルプ(&H)"));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    helpMenu->setFont(GothicFont(9));
    QAction* contents = helpMenu->addAction(QStringLiteral("ケタトビのヘルプ(&H)"));
    contents->setObjectName(QStringLiteral("menuHelp"));
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    connect(contents, &QAction::triggered, this, std::move(help));
    QAction* about = helpMenu->addAction(QStringLiteral("バージョン情報(&A)"));
    about->setObjectName(QStringLiteral("menuAbout"));
    connect(about, &QAction::triggered, this, &MainFrame::About);

    const QDir dataFolder(folder);
    today_ = new TodayGoalLabel(dataFolder.absoluteFilePath(AnswerLog::FileName()),
                                dataFolder.absoluteFilePath(QStringLiteral("履歴.txt")), bar_);
    today_->setFont(GothicFont(9));
    bar_->setCornerWidget(today_, Qt::TopRightCorner);
    connect(today_, &TodayGoalLabel::refreshed, bar_, [this] { bar_->adjustSize(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(bar_);
    layout->addWidget(&client);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void MainFrame::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Back from the calendar or another program: a goal set meanwhile shows at once.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) today_->RefreshIfChanged();
}

void MainFrame::About() {
    QMessageBox::about(this, QStringLiteral("バージョン情報"),
                       QStringLiteral("ケタトビ %1\n\n隣り合う数字の和（差）の一の位を打つ、"
                                      "暗算と入力の速さの練習。")
                           .arg(QCoreApplication::applicationVersion()));
}

}  // namespace keta
