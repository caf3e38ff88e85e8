#include "shell.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cmath>

#include "analysis/analysis_menu.h"
#include "history_file.h"
#include "html_help.h"
#include "main_frame.h"
#include "practice/today_goal_label.h"
#include "settings_file.h"
#include "window_module.h"

namespace keta {
namespace {

// The captions the window is laid out with stand for the texts a round shows; start-up
// replaces them. A message box that opens during start-up (a damaged file) must not show the
// window behind it with those samples, so they go before anything can be seen. The steps of
// start-up still run as they are: box 1 keeps its text, whose clearing closes the round.
void BlankSamples(FrmMain& w) {
    for (int j = 1; j <= kDigitCount; ++j) w.lblMondai[j]->clear();
    for (int i = 1; i <= kBoxCount; ++i) w.txtKaitou[i]->hide();
    for (QLabel* label : {w.lblOk, w.lblNg, w.lblByou, w.lblRitu}) label->clear();
}

// Opens the window centred on the screen by its frame, title bar included. The frame is known
// only once the window is on screen, and on some desktops only once the window manager has
// framed it: the window is placed again whenever its frame turns out other than assumed, for a
// short while after it is first shown.
class FrameCentring : public QObject {
public:
    explicit FrameCentring(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

    void Centre() {
        QScreen* screen = window_.screen();
        if (screen == nullptr) return;
        margins_ = Margins();
        window_.move(CentredFramePosition(screen->availableGeometry(), window_.size(), margins_));
    }

    void Shown() {
        if (Margins() != margins_) Centre();
        // Long enough for a window manager to frame the window, too short for the person to
        // have moved it meanwhile.
        QTimer::singleShot(2000, this, [this] { window_.removeEventFilter(this); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && window_.isVisible() &&
            (event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
            Margins() != margins_) {
            Centre();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QMargins Margins() const {
        const QRect frame = window_.frameGeometry();
        const QRect client = window_.geometry();
        return {client.left() - frame.left(), client.top() - frame.top(),
                frame.right() - client.right(), frame.bottom() - client.bottom()};
    }

    QWidget& window_;
    QMargins margins_;
};

}  // namespace

QPoint CentredFramePosition(const QRect& available, QSize client, const QMargins& frame) {
    QRect outer(QPoint(0, 0), client.grownBy(frame));
    outer.moveCenter(available.center());
    return outer.topLeft();
}

Shell::Shell(Clock* clock, std::function<void()> quit)
    : window_(new FrmMain(clock)), quit_(std::move(quit)) {
    if (!quit_) quit_ = [] { QCoreApplication::exit(0); };
    connect(window_, &FrmMain::helpClicked, this, &Shell::cmdHelp_Click);
    connect(window_, &FrmMain::endClicked, this, &Shell::cmdEnd_Click);
    // Reached through the menu bar and the history grid's context menu: the client area's
    // layout stays as it is.
    analysis_ = new AnalysisWindows(*window_->msgRireki, window_->historyModel(), *window_,
                                    QDir::currentPath());
    analysis_->SetLogSettler([w = window_] { w->SettleAnswerLog(1000); });
    // The other windows never open over the buttons a round starts and is saved with.
    analysis_->SetKeepClear([w = window_] {
        const QRect buttons = w->cmdStart->geometry().united(w->cmdHozon->geometry());
        return QRect(w->mapToGlobal(buttons.topLeft()), buttons.size());
    });
    frame_ = std::make_unique<MainFrame>(*window_, *analysis_, QDir::currentPath(),
                                         [this] { cmdHelp_Click(); });
}

Shell::~Shell() = default;

void Shell::Form_Load() {
    FrmMain& w = *window_;
    DrillState& s = w.state();

    BlankSamples(w);
    s.strHelp = "VexoHelp.chm";
    w.historyFile().InitRireki();
    w.historyFile().LoadRireki();
    auto* centring = new FrameCentring(*frame_);
    centring->Centre();
    frame_->show();
    centring->Shown();
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
    // Today's progress against the goal once the window is up: the log is read off this thread.
    QTimer::singleShot(0, frame_->TodayGoal(), &TodayGoalLabel::Refresh);
}

void Shell::cmdHelp_Click() {
    // The help viewer is one of the windows of the module.
    QString problem;
    if (WindowModule* windows = Windows(&problem)) {
        windows->Help(window_, QString::fromStdString(window_->state().strHelp), HH_DISPLAY_TOPIC,
                      0);
    } else {
        QMessageBox::warning(window_, QStringLiteral("ケタトビ"), problem);
    }
}

void Shell::cmdEnd_Click() {
    // A session or focus round under way is not ended behind the person's back.
    if (!analysis_->ClosePractice()) return;
    // Only a module once loaded can have a help window open.
    if (WindowModule* windows = LoadedWindows()) {
        windows->Help(window_, QString::fromStdString(window_->state().strHelp), HH_CLOSE_ALL, 0);
    }
    quit_();
}

}  // namespace keta
