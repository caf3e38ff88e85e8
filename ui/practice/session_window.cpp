#include "session_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "analysis/figure_label.h"
#include "answer_row.h"
#include "elapsed_clock.h"
#include "fonts.h"
#include "form_row.h"
#include "log_owner.h"
#include "session_result_window.h"
#include "wall_clock.h"

namespace keta {
namespace {

constexpr int kTickMs = 25;    // well inside a line's 10 s at the least
constexpr int kFlashMs = 900;  // the row's frame in the cue's colour, long enough to be seen
const QString kTitle = QStringLiteral("本番形式で練習");

}  // namespace

SessionWindow::SessionWindow(QString logPath, LinkFactory makeLink, MonotonicClock* clock,
                             QWidget* parent)
    : QWidget(parent), logPath_(std::move(logPath)), makeLink_(std::move(makeLink)), clock_(clock) {
    setWindowFlag(Qt::Window, true);
    setObjectName(QStringLiteral("sessionWindow"));
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    setFont(GothicFont(10));
    wallClock_ = std::make_unique<WallClock>();
    digits_ = std::make_unique<ClockSeededDigits>(*wallClock_);

    pages_ = new QStackedWidget(this);
    pages_->addWidget(BuildSettingsPage());
    pages_->addWidget(BuildWorkPage());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);

    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &SessionWindow::Tick);
    flash_ = new QTimer(this);
    flash_->setSingleShot(true);
    flash_->setInterval(kFlashMs);
    connect(flash_, &QTimer::timeout, this,
            [this] { rowFrame_->setStyleSheet(RowStyle(QStringLiteral("transparent"))); });

    SessionSettings last;
    if (makeLink_) {
        // A damaged log is found, set aside and told now, before any line is at stake.
        owner_ = LogOwner::Of(logPath_);
        owner_->Listen(this, &messages_);
        owner_->OpenSoon();
        if (const std::unique_ptr<SessionLogLink> link = makeLink_()) {
            last = link->LastSettings().value_or(SessionSettings{});
        }
    }
    LoadSettings(last.Clamped());
}

SessionWindow::~SessionWindow() {
    timer_->stop();
    // The session's observer lives in the link: the session goes first.
    session_.reset();
    link_.reset();
}

void SessionWindow::StartSession() {
    if (session_ != nullptr && session_->State() != SessionState::Finished &&
        session_->State() != SessionState::Stopped)
        return;
    session_.reset();
    link_ = makeLink_ ? makeLink_() : nullptr;
    kept_ = false;
    if (link_ != nullptr) {
        QString why;
        kept_ = link_->CheckWritable(&why);
        if (!kept_) {
            QMessageBox box(
                QMessageBox::Warning, kTitle,
                QStringLiteral("解答ログに書き込めないため、この練習は記録されません。"
                               "\n%1\n\n練習はできます。結果は終わったときに表示します。")
                    .arg(why),
                QMessageBox::Ok, this);
            box.exec();
            activateWindow();  // the row takes the keys once the warning is gone
        }
    }
    session_ = std::make_unique<PracticeSession>(*this, *clock_, *digits_);
    if (kept_) session_->AttachObserver(link_->Observer());
    const SessionSettings& s = session_->Configure(ChosenSettings());
    timeLeft_->setVisible(s.showTimeLeft);
    timeLeft_->clear();
    status_->clear();
    for (QLabel* light : lights_) light->clear();
    resultPending_ = false;
    pages_->setCurrentIndex(1);
    EnterWorkingSize();
    SetRowEnabled(true);
    session_->Start();
    timer_->start();
}

void SessionWindow::Tick() {
    if (session_ == nullptr) return;
    session_->Tick();
}

void SessionWindow::BoxEdited(int box) {
    if (session_ == nullptr) return;
    session_->BoxChanged(box, boxes_[static_cast<std::size_t>(box)]->text().toStdString());
}

void SessionWindow::keyPressEvent(QKeyEvent* event) {
    const bool running = session_ != nullptr && session_->State() != SessionState::Ready &&
                         session_->State() != SessionState::Finished &&
                         session_->State() != SessionState::Stopped;
    if (event->key() == Qt::Key_F11) {
        if (isFullScreen()) {
            showNormal();
        } else {
            showFullScreen();
        }
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        if (!running) {
            close();
        } else if (AskStop()) {
            session_->Stop();
        }
        return;
    }
    if (running && session_->State() == SessionState::Rest &&
        (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
         event->key() == Qt::Key_Enter)) {
        session_->EndRestEarly();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SessionWindow::closeEvent(QCloseEvent* event) {
    const bool running = session_ != nullptr && session_->State() != SessionState::Ready &&
                         session_->State() != SessionState::Finished &&
                         session_->State() != SessionState::Stopped;
    if (running) {
        if (!AskStop()) {
            event->ignore();
            return;
        }
        session_->Stop();
    }
    event->accept();
}

bool SessionWindow::AskStop() {
    // No line runs on behind the question; "no" goes on where the line was.
    session_->Pause();
    const bool stop = AskToStop(*this, kTitle,
                                QStringLiteral("練習を中止しますか？\n終わった行は記録に残り、"
                                               "途中の行は数えません。"));
    if (!stop) session_->Resume();
    return stop;
}

void SessionWindow::ShowRow(const DigitRow& digits, bool difference) {
    SetRowEnabled(true);  // a row is shown only to be worked on
    for (int i = 0; i < kDigitCount; ++i) {
        digitLabels_[static_cast<std::size_t>(i)]->setText(
            QString::number(digits[static_cast<std::size_t>(i)]));
    }
    for (int b = 1; b <= kBoxCount; ++b) {
        QLineEdit* box = boxes_[static_cast<std::size_t>(b)];
        box->clear();
        box->setStyleSheet({});
    }
    modeLabel_->setText(difference ? QStringLiteral("－") : QStringLiteral("＋"));
    modeLabel_->setAccessibleName(difference ? QStringLiteral("引き算") : QStringLiteral("足し算"));
}

void SessionWindow::MarkBox(int box, bool correct) {
    boxes_[static_cast<std::size_t>(box)]->setStyleSheet(
        correct ? QStringLiteral("QLineEdit { color: #1060c0; }")
                : QStringLiteral("QLineEdit { color: #d01010; background: #ffe8e8; }"));
}

void SessionWindow::FocusBox(int box) {
    if (box >= 1 && box <= kBoxCount) boxes_[static_cast<std::size_t>(box)]->setFocus();
}

void SessionWindow::LineChanged() {
    status_->clear();
    for (QLabel* light : lights_) light->clear();
    rowFrame_->setStyleSheet(RowStyle(QStringLiteral("#f08000")));
    flash_->start();
    QApplication::beep();
}

void SessionWindow::SetLineLabel(const std::string& text) {
    lineLabel_->setText(QString::fromStdString(text));
    lineLabel_->setAccessibleName(lineLabel_->text());
}

void SessionWindow::ShowTimeLeft(int seconds) {
    timeLeft_->setText(QStringLiteral("残り %1 秒").arg(seconds));
}

void SessionWindow::ShowRestCountdown(int secondsLeft) {
    SetRowEnabled(false);
    timeLeft_->clear();  // the last line's seconds are over
    // The countdown large in the middle: read at a glance from across the desk.
    status_->setAlignment(Qt::AlignHCenter);
    status_->setText(QStringLiteral("<p style=\"font-size: 36pt; margin: 0\">休憩　あと %1:%2</p>"
                                    "<p>Space か Enter で休憩を終えて後半に進みます。</p>")
                         .arg(secondsLeft / 60)
                         .arg(secondsLeft % 60, 2, 10, QLatin1Char('0')));
}

void SessionWindow::ShowReadySignal(int step, int half) {
    SetRowEnabled(false);
    status_->setAlignment(Qt::AlignLeft);
    static const char* const kLights[] = {":/pictures/light_red.svg", ":/pictures/light_yellow.svg",
                                          ":/pictures/light_green.svg"};
    for (int i = 0; i < 3; ++i) {
        lights_[static_cast<std::size_t>(i)]->setPixmap(
            i < step ? QIcon(QString::fromLatin1(kLights[i])).pixmap(32, 32) : QPixmap());
    }
    status_->setText(QString::fromStdString(PracticeSession::ReadyText(half)));
}

void SessionWindow::ShowFinished(bool stopped) {
    timer_->stop();
    SetRowEnabled(false);
    status_->setText(stopped ? QStringLiteral("中止しました。") : QStringLiteral("終わりました。"));
    // The session is still inside its own call: the result opens once it has returned.
    if (!resultPending_) {
        resultPending_ = true;
        QTimer::singleShot(0, this, &SessionWindow::ShowResult);
    }
}

void SessionWindow::EnterWorkingSize() {
    QScreen* screen = this->screen();
    if (screen == nullptr || isFullScreen() || isMaximized() || workingSize_) return;
    settingsGeometry_ = geometry();
    workingSize_ = true;
    // Large and centred: nothing of the other windows beside the row. The frame's title bar
    // comes on top of this.
    const QRect area = screen->availableGeometry();
    const QSize size =
        QSize(area.width() * 9 / 10, area.height() * 8 / 10).expandedTo(minimumSizeHint());
    QRect working(QPoint(0, 0), size.boundedTo(area.size()));
    working.moveCenter(area.center());
    setGeometry(working);
}

void SessionWindow::LeaveWorkingSize() {
    if (!workingSize_) return;
    workingSize_ = false;
    if (!isFullScreen()) setGeometry(settingsGeometry_);
}

void SessionWindow::SetRowEnabled(bool on) {
    for (int b = 1; b <= kBoxCount; ++b) boxes_[static_cast<std::size_t>(b)]->setEnabled(on);
    if (!on) pages_->currentWidget()->setFocus();
}

void SessionWindow::ShowResult() {
    if (session_ == nullptr) return;
    ShownSession shown;
    shown.settings = session_->Settings();
    shown.stopped = session_->State() == SessionState::Stopped;
    shown.lines = session_->Lines();
    shown.when = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    shown.kept = kept_;
    if (kept_ && link_ != nullptr) {
        // No wait for the disk: lines on their way or kept through a lock are recorded; only
        // lines the log will never get make the result say so.
        const int lost = link_->LostLines();
        shown.id = link_->SessionId();
        if (lost > 0) {
            shown.kept = false;
            QMessageBox box(
                QMessageBox::Warning, kTitle,
                QStringLiteral("解答ログに書き込めなかった行が %1 行あります。"
                               "この練習の結果は表示しますが、その行は記録されていません。")
                    .arg(lost),
                QMessageBox::Ok, this);
            box.exec();
        }
    }
    const bool first = result_ == nullptr;
    if (first) result_ = new SessionResultWindow(this);
    result_->ShowSessionReadingEarlier(shown, logPath_, 0, shown.id);
    if (first) {
        FitToScreen(*result_);
        CentreOver(*result_, *this);
    }
    result_->show();
    result_->raise();
    result_->activateWindow();

    pages_->setCurrentIndex(0);
    LeaveWorkingSize();
    start_->setFocus();
    emit resultShown();
}

}  // namespace keta
