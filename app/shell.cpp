#include "shell.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <cmath>

#include "analysis/analysis_menu.h"
#include "history_file.h"
#include "html_help.h"
#include "settings_file.h"

namespace keta {

Shell::Shell(Clock* clock, std::function<void()> quit)
    : window_(std::make_unique<FrmMain>(clock)), quit_(std::move(quit)) {
    if (!quit_) quit_ = [] { QCoreApplication::exit(0); };
    connect(window_.get(), &FrmMain::helpClicked, this, &Shell::cmdHelp_Click);
    connect(window_.get(), &FrmMain::endClicked, this, &Shell::cmdEnd_Click);
    // Reached only through the history grid's context menu: the window's layout stays as it is.
    analysis_ = new AnalysisWindows(*window_->msgRireki, window_->historyModel(), *window_,
                                    QDir::currentPath());
}

Shell::~Shell() = default;

void Shell::Form_Load() {
    FrmMain& w = *window_;
    DrillState& s = w.state();

    s.strHelp = "VexoHelp.chm";
    w.historyFile().InitRireki();
    w.historyFile().LoadRireki();
    // Opened centred on the screen.
    if (QScreen* screen = w.screen()) {
        const QRect area = screen->availableGeometry();
        w.move(area.center() - QPoint(w.width() / 2, w.height() / 2));
    }
    w.show();
    w.settingsFile().ReadSettei();
    w.drill().ResetRowAtStartup();

    for (int limit = 10; limit <= 180; limit += 10) w.cboJikan->addItem(QString::number(limit));
    // The list's current entry is the limit shown, so that the arrow keys, the wheel and the
    // opened list start from it; a limit outside the list is text only. Neither is a pick.
    const QString limit = QString::number(s.intJikan);
    w.cboJikan->setCurrentIndex(w.cboJikan->findText(limit));
    w.cboJikan->setEditText(limit);
    w.cboMode->addItem(QStringLiteral("＋"));
    w.cboMode->addItem(QStringLiteral("－"));
    w.cboMode->setEditText(QStringLiteral("＋"));

    s.intHaba = NarrowToInt16(std::llround(w.BarWidth()));
    for (QLabel* label : {w.lblOk, w.lblNg, w.lblByou, w.lblRitu}) label->clear();
}

void Shell::cmdHelp_Click() {
    HtmlHelp(window_.get(), QString::fromStdString(window_->state().strHelp), HH_DISPLAY_TOPIC, 0);
}

void Shell::cmdEnd_Click() {
    HtmlHelp(window_.get(), QString::fromStdString(window_->state().strHelp), HH_CLOSE_ALL, 0);
    quit_();
}

}  // namespace keta
