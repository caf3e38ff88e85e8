// The window as the drill's view, and the binding of the controls' events to the handlers.

#include "frm_main.h"

#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>

#include "answer_log.h"
#include "history_file.h"
#include "history_grid.h"
#include "history_model.h"
#include "log_owner.h"
#include "result_saver.h"
#include "round_recorder.h"
#include "settings_file.h"
#include "twips.h"
#include "wall_clock.h"

namespace keta {
namespace {

QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
std::string ToUtf8(const QString& s) { return s.toUtf8().toStdString(); }

QColor PaletteRgb(PaletteColour colour) {
    switch (colour) {
        case PaletteColour::Green:
            return {0, 255, 0};
        case PaletteColour::Red:
            return {255, 0, 0};
        case PaletteColour::White:
            return {255, 255, 255};
    }
    return {255, 255, 255};
}

}  // namespace

FrmMain::FrmMain(Clock* clock, QWidget* parent) : QWidget(parent) {
    if (clock == nullptr) {
        ownClock_ = std::make_unique<WallClock>();
        clock = ownClock_.get();
    }
    drill_ = std::make_unique<Drill>(*this, *clock);
    historyModel_ = std::make_unique<HistoryModel>();
    historyFile_ = std::make_unique<HistoryFile>(*historyModel_, *this);
    // Read while the window is built; start-up's LoadRireki then only fills the grid.
    historyFile_->PrefetchRireki();
    settingsFile_ = std::make_unique<SettingsFile>(drill_->State(), *this, *this);
    saver_ = std::make_unique<ResultSaver>(drill_->State(), *historyModel_, *historyFile_, *this,
                                           [this] { return cboMode->currentText(); });
    drill_->AttachSave([this] { saver_->cmdHozon_Click(); });
    // The answer log beside the data files, checked and written by its owner on a thread of its
    // own once the window is shown: a close only hands its round over. When the log cannot be
    // used the drill and the history go on without it.
    logOwner_ = LogOwner::Of(QDir::current().absoluteFilePath(AnswerLog::FileName()));
    logOwner_->Listen(this, this);
    recorder_ = std::make_unique<RoundRecorder>(*logOwner_);
    drill_->AttachObserver(recorder_.get());
    saver_->OnSaved(
        [this](const QString& date, const QString& time) { recorder_->ResultSaved(date, time); });

    BuildTopStrip();
    BuildSettingsArea();
    BuildResultLabels();
    BuildDrillArea();
    BuildHistoryGrid();
    SetStacking();
    SetTabOrder();
    Bind();
}

FrmMain::~FrmMain() {
    // The rounds still unwritten get a last try; the user hears of any that could not be kept.
    drill_->AttachObserver(nullptr);
    logOwner_->Finish();
}

bool FrmMain::SettleAnswerLog(int timeoutMs) { return logOwner_->WaitUntilTried(timeoutMs); }

void FrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    logOwner_->OpenSoon();
}

void FrmMain::Bind() {
    connect(cmdStart, &QToolButton::clicked, this, [this] { drill_->cmdStart_Click(); });
    connect(cmdHozon, &QToolButton::clicked, this, [this] { saver_->cmdHozon_Click(); });
    connect(cmdClear, &QToolButton::clicked, this, [this] { historyFile_->cmdClear_Click(); });
    connect(cmdHelp, &QToolButton::clicked, this, &FrmMain::helpClicked);
    connect(cmdEnd, &QToolButton::clicked, this, &FrmMain::endClicked);
    // Only a pick from the list sets the limit; typed text does not, even text that matches an
    // entry when editing finishes.
    connect(cboJikan, &ListPickCombo::listPicked, this,
            [this] { settingsFile_->cboJikan_Click(); });
    connect(chkAs, &QToolButton::clicked, this, [this](bool on) {
        autoSaveState_ = on ? 1 : 0;
        settingsFile_->chkAs_Click();
    });
    for (int i = 1; i <= kBoxCount; ++i) {
        // textEdited is the user's edits only; the program's settings go through the drill,
        // which runs the change handling itself.
        connect(txtKaitou[i], &QLineEdit::textEdited, this,
                [this, i] { drill_->txtKaitou_Change(static_cast<std::int16_t>(i)); });
        txtKaitou[i]->installEventFilter(this);
    }

    // Enter presses a focused button, as on every desktop: after a round the start button has
    // the focus, and Enter starts the next one.
    for (QToolButton* button : {cmdStart, cmdHozon, cmdClear, cmdHelp, cmdEnd})
        button->installEventFilter(this);

    tmrStart = new QTimer(this);
    tmrStart->setObjectName(QStringLiteral("tmrStart"));
    tmrBp = new QTimer(this);
    tmrBp->setObjectName(QStringLiteral("tmrBp"));
    connect(tmrStart, &QTimer::timeout, this, [this] { drill_->tmrStart_Timer(); });
    connect(tmrBp, &QTimer::timeout, this, [this] { drill_->tmrBp_Timer(); });
    // Precise: a coarse timer drifts by up to 5 %, and the countdown and the round would lose
    // their seconds.
    for (QTimer* timer : {tmrStart, tmrBp}) {
        timer->setTimerType(Qt::PreciseTimer);
        timer->start(1000);
    }
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = qobject_cast<QToolButton*>(watched);
        if (button != nullptr && button != chkAs &&
            (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    const int box = BoxIndex(watched);
    if (box != 0) BoxEvent(box, event);
    return QWidget::eventFilter(watched, event);
}

int FrmMain::BoxIndex(const QObject* watched) const {
    for (int i = 1; i <= kBoxCount; ++i) {
        if (watched == txtKaitou[i]) return i;
    }
    return 0;
}

void FrmMain::BoxEvent(int i, QEvent* event) {
    QLineEdit* box = txtKaitou[i];
    switch (event->type()) {
        case QEvent::FocusIn:
            // Entering a box switches the input method off: each key is a plain character at
            // once, with no composition step.
            SetBoxInputMethod(box, false);
            break;
        case QEvent::KeyPress:
            // The user may switch it on again by hand, with the keyboard's own input method keys.
            if (IsInputMethodKey(static_cast<QKeyEvent*>(event)->key()))
                SetBoxInputMethod(box, true);
            break;
        case QEvent::MouseButtonPress:
            // A click is the left button pressed and released inside the same box; the right
            // button keeps the box's own menu.
            pressedBox_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton ? i : 0;
            break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool click = pressedBox_ == i && mouse->button() == Qt::LeftButton &&
                               box->rect().contains(mouse->position().toPoint());
            if (mouse->button() == Qt::LeftButton) pressedBox_ = 0;
            if (click) drill_->txtKaitou_Click(static_cast<std::int16_t>(i));
            break;
        }
        default:
            break;
    }
}

bool FrmMain::IsInputMethodKey(int key) {
    switch (key) {
        case Qt::Key_Zenkaku_Hankaku:
        case Qt::Key_Zenkaku:
        case Qt::Key_Hankaku:
        case Qt::Key_Kanji:
        case Qt::Key_Henkan:
        case Qt::Key_Hiragana:
        case Qt::Key_Katakana:
        case Qt::Key_Hiragana_Katakana:
        case Qt::Key_Romaji:
        case Qt::Key_Kana_Lock:
        case Qt::Key_Kana_Shift:
        case Qt::Key_Eisu_toggle:
        case Qt::Key_Eisu_Shift:
            return true;
        default:
            return false;
    }
}

void FrmMain::SetBoxInputMethod(QLineEdit* box, bool on) {
    if (box->testAttribute(Qt::WA_InputMethodEnabled) == on) return;
    box->setAttribute(Qt::WA_InputMethodEnabled, on);
    // Tell the platform's input method at once, not at the next focus change.
    if (box->hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImEnabled);
}

void FrmMain::SetAutoSaveState(std::int16_t state) {
    if (state == autoSaveState_) return;
    autoSaveState_ = state;
    // Pressed in only for exactly 1, the one value that saves; any other shows raised.
    chkAs->setChecked(state == 1);
    settingsFile_->chkAs_Click();
}

MessageBoxes::Answer FrmMain::AskOkCancelWarning(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

void FrmMain::InformOk(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, this);
    box.exec();
}

void FrmMain::ReportError(const QString& text, const QString& title) {
    // A warning, not a critical error: the program always carries on.
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.exec();
}

void FrmMain::SetDigitCaption(int j, const std::string& caption) {
    lblMondai[j]->setText(FromUtf8(caption));
}

std::string FrmMain::DigitCaption(int j) const { return ToUtf8(lblMondai[j]->text()); }

std::string FrmMain::BoxText(int i) const { return ToUtf8(txtKaitou[i]->text()); }

void FrmMain::SetBoxText(int i, const std::string& text) { txtKaitou[i]->setText(FromUtf8(text)); }

void FrmMain::SetBoxBackground(int i, PaletteColour colour) {
    QPalette palette = txtKaitou[i]->palette();
    palette.setColor(QPalette::Base, PaletteRgb(colour));
    txtKaitou[i]->setPalette(palette);
}

void FrmMain::SetBoxVisible(int i, bool visible) { txtKaitou[i]->setVisible(visible); }

void FrmMain::FocusBox(int i) { txtKaitou[i]->setFocus(Qt::OtherFocusReason); }

std::string FrmMain::ModeText() const { return ToUtf8(cboMode->currentText()); }

void FrmMain::SetResultCaption(ResultLabel label, const std::string& caption) {
    QLabel* target = label == ResultLabel::Ok     ? lblOk
                     : label == ResultLabel::Ng   ? lblNg
                     : label == ResultLabel::Ritu ? lblRitu
                                                  : lblByou;
    target->setText(FromUtf8(caption));
}

void FrmMain::SetStartEnabled(bool enabled) { cmdStart->setEnabled(enabled); }

void FrmMain::FocusStart() { cmdStart->setFocus(Qt::OtherFocusReason); }

void FrmMain::SetLightVisible(int i, bool visible) { imgStart[i]->setVisible(visible); }

void FrmMain::SetBarWidth(float width) {
    barWidthTwips_ = width;
    // The bar keeps its left edge. A bar wider than laid out is allowed; the frame clips it.
    const QRect full = TwipsRect(kTimeBarTwips);
    const double clamped = std::min<double>(width, 1e6);
    shpJikanK->setGeometry(full.x(), full.y(),
                           TwipsToPixels(kTimeBarTwips.left + clamped) - full.x(), full.height());
}

}  // namespace keta
